#include "frontend/RunTexts.h"

#include <algorithm>
#include <utility>

namespace {

std::string TwoDigits(std::int64_t value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// Seconds as HH:MM:SS, rounded down.
std::string SecondsText(double seconds) {
  return FormatDuration(static_cast<std::int64_t>(std::max(seconds, 0.0) * 1000000));
}

}  // namespace

std::string FormatDuration(std::int64_t microseconds) {
  if (microseconds < 0) return {};
  const std::int64_t seconds = microseconds / 1000000;
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
         TwoDigits(seconds % 60);
}

std::string ProgressStatus(int currentMilliseconds, int totalMilliseconds) {
  const int percent = ProgressPercent(currentMilliseconds, totalMilliseconds);
  if (percent < 0) {
    return FormatDuration(std::int64_t{std::max(currentMilliseconds, 0)} * 1000) + " converted";
  }
  return std::to_string(percent) + "% Completed";
}

int ProgressPercent(int currentMilliseconds, int totalMilliseconds) {
  if (totalMilliseconds <= 0) return -1;
  // 64-bit: a 32-bit product overflows after six hours of media.
  return static_cast<int>(std::int64_t{std::max(currentMilliseconds, 0)} * 100 / totalMilliseconds);
}

std::string ProgressLine(int frameNumber, int currentMilliseconds, int totalMilliseconds,
                         int framesPerSecond, double secondsLeft) {
  std::string line;
  if (frameNumber >= 0) line = "Current Frame=" + std::to_string(frameNumber) + ", ";
  line += SecondsText(std::max(currentMilliseconds, 0) / 1000.0);
  if (totalMilliseconds > 0) line += " of " + SecondsText(totalMilliseconds / 1000.0);
  if (frameNumber >= 0 && framesPerSecond > 0) {
    line += ", " + std::to_string(framesPerSecond) + " fps";
  }
  if (secondsLeft >= 0) line += ", " + SecondsText(secondsLeft) + " left";
  return line;
}

std::string RunProgressLine(int fileNumber, int fileCount, double elapsedSeconds,
                            double secondsLeft) {
  std::string line = "file " + std::to_string(fileNumber) + " of " + std::to_string(fileCount) +
                     ", " + SecondsText(elapsedSeconds) + " elapsed";
  if (secondsLeft >= 0) line += ", " + SecondsText(secondsLeft) + " left";
  return line;
}

std::string RunCountsText(const TRunCounts& counts) {
  std::string text = std::to_string(counts.Converted) + " converted";
  const auto add = [&text](int count, const char* what) {
    if (count > 0) text += ", " + std::to_string(count) + " " + what;
  };
  add(counts.Failed, "failed");
  add(counts.Stopped, "stopped");
  add(counts.NotStarted, "not started");
  return text;
}

std::string FailedFilesText(const std::vector<TFailedFile>& files) {
  std::string text;
  for (const TFailedFile& file : files) {
    if (!text.empty()) text += "\n";
    text += file.Name + ": " + PlainReason(file.Reason);
  }
  return text;
}

std::string FileNotesText(const std::vector<TFailedFile>& notes) {
  std::string text;
  for (const TFailedFile& note : notes)
    text += (text.empty() ? "" : "\n") + note.Name + ": " + note.Reason;
  return text;
}

std::string PlainReason(const std::string& reason) {
  // The libraries' words (av_strerror, strerror) for failures users meet often and that do
  // not say what they mean to a user.
  static const std::pair<const char*, const char*> kPlainWords[] = {
      {"No space left on device", "the disk is full"},
      {"Invalid data found when processing input", "not a media file"},
  };
  for (const auto& [words, plain] : kPlainWords) {
    if (reason.find(words) != std::string::npos && reason.find(plain) == std::string::npos) {
      return reason + " (" + plain + ")";
    }
  }
  return reason;
}
