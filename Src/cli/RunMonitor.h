// What tovrena-cli knows about the files of a conversion run. The component's events write
// into it from their threads; the main thread reads copies and the lines to print.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "frontend/RunModel.h"

using TCliClock = std::chrono::steady_clock;

// A file of the command line: what it is called and where it goes; what became of it is
// the run model's (Run).
struct TFileRecord {
  std::string Input;   // as given on the command line
  std::string Output;  // empty when the file got no task
  std::string Note;    // what the user is told about its output beside how it ended
  TRunFile Run;
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

  // Files in command-line order; a file's task index is set when it gets one. Without a
  // duration (seconds) a file weighs in the time left by its output's length once it runs.
  int AddFile(const std::string& input, double durationSeconds = -1);
  void SetTask(int file, int task, const std::string& output);
  void Reject(int file, const std::string& reason);

  // The component's events (any thread).
  void Progress(int task, int frame, int fps, int currentMs, int totalMs);
  // The task's end, with the component's TaskEnd for it.
  void Ended(int task, const TTaskEnd& end, const std::string& message);
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
  void Close();

  // Waits until the run has ended or the time has passed; true when it has ended.
  bool WaitForRunEnd(std::chrono::milliseconds timeout);
  std::vector<TFileRecord> Files() const;
  // The run as the model has it now.
  TRunSnapshot Run() const;
  std::vector<TPrintLine> TakeLines();
  void StartRun();
  // Seconds on the run model's clock.
  double Seconds(TCliClock::time_point when) const;

 private:
  std::string Tag(int file) const;
  void PrintStarted(int file);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TFileRecord> files_;  // their Run is filled when they are read
  std::vector<TPrintLine> lines_;
  const TCliClock::time_point epoch_ = TCliClock::now();
  TRunModel model_;
  std::vector<bool> startPrinted_;
  bool runEnded_ = false;
  const bool keepProgressLines_;
};

// Seconds as HH:MM:SS; "--:--:--" for an unknown (negative) count.
std::string ClockText(double seconds);
// The progress of one file: "42%" of a known total, else the time converted ("starting"
// before its first report).
std::string ProgressText(const TRunFile& file);
// Why a file failed, as the command line words it.
std::string FailureText(const TRunFile& file);
// The text as one printable line: control characters (a newline in a file name) and bytes
// that are not UTF-8 are written as escapes ("\\n", "\\xff").
std::string OneLine(const std::string& text);
