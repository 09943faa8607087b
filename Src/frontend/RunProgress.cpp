#include "frontend/RunProgress.h"

#include <algorithm>

namespace {

// Shorter spans give rates that jump about.
constexpr double kShortestRateSpan = 0.5;

}  // namespace

TRunProgress::TRunProgress(int fileCount, double startSeconds)
    : start_(startSeconds), files_(static_cast<std::size_t>(std::max(fileCount, 0))) {}

double TRunProgress::Report(int file, int currentMilliseconds, int totalMilliseconds, double now) {
  if (file < 0 || file >= FileCount()) return -1;
  TFile& entry = files_[file];
  if (entry.ended) return -1;
  if (!entry.reported) {
    entry.reported = true;
    entry.firstTime = now;
    entry.firstMilliseconds = currentMilliseconds;
  }
  if (totalMilliseconds <= 0) return -1;
  entry.fraction =
      std::clamp(static_cast<double>(currentMilliseconds) / totalMilliseconds, 0.0, 1.0);
  const double wall = now - entry.firstTime;
  const double media = (currentMilliseconds - entry.firstMilliseconds) / 1000.0;
  if (wall < kShortestRateSpan || media <= 0) return -1;
  const double remaining = std::max(totalMilliseconds - currentMilliseconds, 0) / 1000.0;
  return remaining * wall / media;
}

void TRunProgress::End(int file) {
  if (file < 0 || file >= FileCount()) return;
  files_[file].ended = true;
  files_[file].fraction = 1;
}

int TRunProgress::FileNumber() const {
  const auto ended =
      std::count_if(files_.begin(), files_.end(), [](const TFile& file) { return file.ended; });
  return static_cast<int>(std::min<std::ptrdiff_t>(ended + 1, FileCount()));
}

double TRunProgress::Fraction() const {
  if (files_.empty()) return 1;
  double sum = 0;
  for (const TFile& file : files_) sum += file.fraction;
  return sum / FileCount();
}

int TRunProgress::Percent() const {
  return static_cast<int>(Fraction() * 100);
}

double TRunProgress::SecondsLeft(double now) const {
  const double done = Fraction();
  const double elapsed = Elapsed(now);
  if (done <= 0.01 || elapsed < 1) return -1;
  return elapsed * (1 - done) / done;
}
