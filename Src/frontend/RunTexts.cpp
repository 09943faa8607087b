#include "frontend/RunTexts.h"

namespace {

std::string TwoDigits(std::int64_t value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

std::string FormatDuration(std::int64_t microseconds) {
  if (microseconds < 0) return {};
  const std::int64_t seconds = microseconds / 1000000;
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
         TwoDigits(seconds % 60);
}

std::string ProgressStatus(int currentMilliseconds, int totalMilliseconds) {
  // 64-bit: a 32-bit product overflows after six hours of media.
  const std::int64_t current = currentMilliseconds < 0 ? 0 : currentMilliseconds;
  if (totalMilliseconds <= 0) return FormatDuration(current * 1000) + " converted";
  return std::to_string(current * 100 / totalMilliseconds) + "% Completed";
}

std::string ProgressLine(int frameNumber, int currentMilliseconds, int framesPerSecond) {
  return "Current Frame=" + std::to_string(frameNumber) +
         " Time=" + std::to_string(currentMilliseconds / 1000) +
         " FPS=" + std::to_string(framesPerSecond);
}

std::string WithClosingPeriod(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}
