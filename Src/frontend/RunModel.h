// One run as both front ends show it: each file's state, the run's counts, its share done
// and its time left. The front ends feed it the component's events (from any thread: it
// has its own lock) and format what it decides; neither works out a file's state itself.
// Plain C++: the caller gives the clock's readings (seconds), so it runs the same in a
// test as in a window.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "component/TaskHandles.h"
#include "frontend/RunTexts.h"

enum class TRunFileState { Queued, Running, Completed, Stopped, NotStarted, Failed };

struct TRunFile {
  TRunFileState State = TRunFileState::Queued;
  bool HasTask = false;  // false: refused before the run, no task converts it
  // Failed: why. The component's message for a job or set-up failure (SetupStep tells
  // which part), the front end's own text for a refusal.
  std::string Reason;
  TTaskFailure Failure = tfNone;
  TTaskSetupStep SetupStep = tsNone;
  double Duration = -1;  // seconds its conversion lasts in media time; -1 unknown
  bool HasProgress = false;
  int Frame = -1;
  int Fps = 0;
  int CurrentMs = 0;
  int TotalMs = 0;          // 0 or less: unknown
  int Percent = -1;         // running with a known total: 0 to 100
  double SecondsLeft = -1;  // running: its own time left, -1 while its rate is unknown
  double StartedAt = -1;    // clock reading of its first sign of running; -1: never ran
  double EndedAt = -1;      // clock reading of its end; -1 while it has none
  bool Ended() const { return State != TRunFileState::Queued && State != TRunFileState::Running; }
  bool Ran() const { return StartedAt >= 0; }
};

// The run at one moment.
struct TRunSnapshot {
  std::vector<TRunFile> Files;
  TRunCounts Counts;  // ended files by how they ended
  int Queued = 0;     // files with a task waiting for its turn
  int Running = 0;
  int Tasks = 0;       // files with a task
  int Percent = 0;     // 0 to 100 of the run's work
  int FileNumber = 1;  // the file the run is at, from 1: one past those ended
  double Elapsed = 0;
  double SecondsLeft = -1;  // -1 while too little has been done to tell
  int FileCount() const { return static_cast<int>(Files.size()); }
};

class TRunModel {
 public:
  explicit TRunModel(double startSeconds = 0) : start_(startSeconds) {}

  // A new run from now on, without files.
  void Restart(double startSeconds);
  // The run's clock starts now, its files kept (those added while the run was prepared).
  void Begin(double startSeconds);
  // The run's next file, queued; its duration in seconds from the probe (-1: unknown).
  int AddFile(double durationSeconds);
  // The component's task that converts the file.
  void SetTask(int file, int task);
  // The file gets no task: it fails at once with the front end's reason.
  void Refuse(int file, const std::string& reason);

  // The component's events for a task of the run; the index of another is ignored.
  void Progress(int task, int frame, int fps, int currentMs, int totalMs, double now);
  // The task's end: the component's TaskEnd and OnTerminate's message.
  void Ended(int task, const TTaskEnd& end, const std::string& message, double now);
  // The run is over (its end came, or it was stopped and every end is in): files still
  // queued never started.
  void Close();

  // The file of a task, -1 for none.
  int FileOfTask(int task) const;
  // One file (a default one for an index outside the run).
  TRunFile File(int file) const;
  TRunSnapshot Snapshot(double now) const;

 private:
  struct TFileWork {
    TRunFile File;
    double FirstReport = -1;  // clock and media position of its first report
    int FirstMs = 0;
    double LeftAt = 0;  // clock reading of its own time left
  };
  int FileOfTaskLocked(int task) const;
  double MeanDuration() const;
  double Weight(const TFileWork& work, double mean) const;
  double SecondsLeft(double now, double mean) const;

  mutable std::mutex mutex_;
  double start_;
  // When a slot last freed: the start of a file whose first sign of running is its end.
  double lastEnd_ = -1;
  std::vector<TFileWork> files_;
  std::vector<int> fileOfTask_;
};
