// How far a run has come: each file's share, the run's share, the time spent and the time
// left. Plain C++: the caller gives the clock's readings (seconds), so it runs the same in
// a test as in a window.
#pragma once

#include <vector>

class TRunProgress {
 public:
  TRunProgress(int fileCount, double startSeconds);

  // A file's position at now; the seconds left for that file, or -1 while its rate is not
  // known yet (a rate needs two reports some time apart).
  double Report(int file, int currentMilliseconds, int totalMilliseconds, double now);
  // The file has ended (converted, failed or stopped): it counts as done.
  void End(int file);

  int FileCount() const { return static_cast<int>(files_.size()); }
  // The file the run is at, counted from 1: one past those ended, at most FileCount().
  int FileNumber() const;
  // 0 to 100: ended files count whole, running ones by their position.
  int Percent() const;
  double Elapsed(double now) const { return now - start_; }
  // The run's time left, -1 while too little has been done to tell.
  double SecondsLeft(double now) const;

 private:
  struct TFile {
    bool reported = false;
    bool ended = false;
    double firstTime = 0;
    int firstMilliseconds = 0;
    double fraction = 0;
  };
  double Fraction() const;

  double start_;
  std::vector<TFile> files_;
};
