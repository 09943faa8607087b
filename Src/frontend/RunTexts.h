// Texts the front ends show about files and a run: durations, progress and error boxes.
// Plain C++: both front ends use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Whole seconds of a duration in microseconds as HH:MM:SS, each part at least two digits
// (hours may have more). Empty for an unknown (negative) duration.
std::string FormatDuration(std::int64_t microseconds);

// The "Status" of a file being converted: "<percent>% Completed" of the total output
// duration. Without a known total (0 or less) there is no percentage to give, so it
// tells how much has been converted: "<HH:MM:SS> converted".
std::string ProgressStatus(int currentMilliseconds, int totalMilliseconds);
// The percentage that status gives, or -1 without a known total.
int ProgressPercent(int currentMilliseconds, int totalMilliseconds);

// Where a file stands: "Current Frame=<frame>, 00:00:13 of 00:01:00, 53 fps, 00:00:35 left".
// The frame and the rate only for files with pictures (a frame number of 0 or more, a rate
// above 0), "of <total>" only with a known total, the time left only when known (0 or more).
std::string ProgressLine(int frameNumber, int currentMilliseconds, int totalMilliseconds,
                         int framesPerSecond, double secondsLeft);

// Where a run stands: "file 2 of 5, 00:00:20 elapsed, 00:00:40 left" (the time left only
// when known).
std::string RunProgressLine(int fileNumber, int fileCount, double elapsedSeconds,
                            double secondsLeft);

// How the files of a run ended.
struct TRunCounts {
  int Converted = 0;
  int Failed = 0;
  int Stopped = 0;
  int NotStarted = 0;
};

// "3 converted, 1 failed, 1 stopped, 2 not started": the converted count always, the others
// when there are any.
std::string RunCountsText(const TRunCounts& counts);

// A file that failed and why, as the end of a run lists it.
struct TFailedFile {
  std::string Name;
  std::string Reason;
};

// One line per failed file: "<name>: <reason in plain words>".
std::string FailedFilesText(const std::vector<TFailedFile>& files);

// One line per note on a file's output (tracks left out): "<name>: <note>".
std::string FileNotesText(const std::vector<TFailedFile>& notes);

// The libraries' reason put in words a user knows, when it is one of the common ones
// (a full disk, a file that is no media); otherwise unchanged.
std::string PlainReason(const std::string& reason);
