// What tovrena-cli knows about the files of a conversion run. The component's events write
// into it from their threads; the main thread reads copies and the lines to print.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

using TCliClock = std::chrono::steady_clock;

enum class TFileState { Waiting, Running, Completed, Stopped, Failed, NotStarted };

struct TFileRecord {
  std::string Input;   // as given on the command line
  std::string Output;  // empty when the file got no task
  TFileState State = TFileState::Waiting;
  std::string Message;       // why it failed
  std::string Note;          // what the user is told about its output beside how it ended
  bool SetupFailed = false;  // its input or output could not be set up when its turn came
  bool HasStarted = false;
  TCliClock::time_point Started{};
  TCliClock::time_point Ended{};
  bool HasProgress = false;
  int Frame = 0;
  int Fps = 0;
  int CurrentMs = 0;
  int TotalMs = 0;  // 0 or less: unknown
};

// A line to print: on stdout, or on stderr for failures and the log.
struct TPrintLine {
  std::string Text;
  bool Error = false;
};

class TRunMonitor {
 public:
  // Ends and progress of a run are kept as plain lines too (for output that is not a
  // terminal); Live keeps only the lines a live display prints above its live block.
  explicit TRunMonitor(bool keepProgressLines) : keepProgressLines_(keepProgressLines) {}

  // Files in command-line order; a file's task index is set when it gets one.
  int AddFile(const std::string& input);
  void SetTask(int file, int task, const std::string& output);
  void Reject(int file, const std::string& reason);

  // Called by the main thread when the component has picked tasks below nextTaskIndex.
  void MarkStarted(int nextTaskIndex);
  // The component's events (any thread).
  void Progress(int task, int frame, int fps, int currentMs, int totalMs);
  // started: the component had picked the task to start.
  void Ended(int task, bool finished, bool exception, const std::string& message, bool started);
  // Comes just before the task's end: the reason it then fails with, as a rejection reads.
  void SetupFailed(int task, const std::string& reason);
  // The component's note on the task's output (tracks left out); empty: none.
  void Note(int task, const std::string& note);
  // The name the task's output finally got (it may differ from the one planned); empty:
  // none was kept, the planned name stays shown.
  void OutputNamed(int task, const std::string& output);
  void RunEnded();
  void Log(int task, const std::string& line);
  // A line of the main thread's own.
  void Print(const std::string& text, bool error = false);
  // Files that never got to run (nor a task, when a stop came first), once the run is over.
  void MarkUnstartedAsNotStarted();

  // Waits until the run has ended or the time has passed; true when it has ended.
  bool WaitForRunEnd(std::chrono::milliseconds timeout);
  std::vector<TFileRecord> Files() const;
  std::vector<TPrintLine> TakeLines();
  TCliClock::time_point RunStart() const { return runStart_; }
  void StartRun();

 private:
  int FileOfTask(int task) const;
  std::string Tag(int file) const;
  void Started(int file, TCliClock::time_point when);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TFileRecord> files_;
  std::vector<int> fileOfTask_;
  std::vector<TPrintLine> lines_;
  TCliClock::time_point runStart_ = TCliClock::now();
  // When a slot was last freed: the start of a task whose first sign of life is its end.
  TCliClock::time_point lastEnd_ = runStart_;
  bool runEnded_ = false;
  const bool keepProgressLines_;
};

// What remains of a part of the work after elapsed seconds with fraction done, in seconds;
// -1 while too little is done (or has passed) to tell.
double RemainingSeconds(double fraction, double elapsedSeconds);
// Seconds as HH:MM:SS; "--:--:--" for an unknown (negative) count.
std::string ClockText(double seconds);
// The progress of one file: "42%" of a known total, else the time converted ("starting"
// before its first report).
std::string ProgressText(const TFileRecord& file);
// The text as one printable line: control characters (a newline in a file name) and bytes
// that are not UTF-8 are written as escapes ("\\n", "\\xff").
std::string OneLine(const std::string& text);
// How far the run is from 0 to 1: ended files count whole, running ones by their part.
double RunFraction(const std::vector<TFileRecord>& files);
