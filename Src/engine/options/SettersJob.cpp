// Setters of the job: times, muxing, metadata, two-pass, statistics and the hook time
// ranges.
#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "engine/EngineTypes.h"
#include "engine/options/EngineOptions.h"

std::int64_t TEngineOptions::ParseTime(const std::string& Name, const std::string& Text,
                                       bool IsDuration) {
  std::int64_t microseconds = 0;
  if (lib::av_parse_time(&microseconds, Text.c_str(), IsDuration ? 1 : 0) < 0)
    throw FFMpegException(StringFormat(kInvalidTimeTextFormat, IsDuration ? "duration" : "date",
                                       Name.c_str(), Text.c_str()));
  return microseconds;
}

void TEngineOptions::SetRecordingTime(const std::string& Name, const std::string& Text) {
  // Beyond INT_MAX milliseconds (24 days) the limit is as good as none; it must not wrap.
  const std::int64_t milliseconds = ParseTime(Name, Text, true) / 1000;
  SetRecordingTimeMs(static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX)));
}

void TEngineOptions::SetRecordingTimeMs(int Value) {
  if (Value <= 0) return;
  S.RecordingTime = static_cast<std::int64_t>(Value) * 1000;
  S.ExpectedTotalDurationMs = Value;
}

void TEngineOptions::SetStartTime(const std::string& Name, const std::string& Text) {
  S.StartTime = ParseTime(Name, Text, true);
}

void TEngineOptions::SetStartTimeUs(std::int64_t Value) {
  if (Value > 0) S.StartTime = Value;
}

void TEngineOptions::SetInputTimeOffset(const std::string& Name, const std::string& Text) {
  S.InputTimeOffset = ParseTime(Name, Text, true);
}

void TEngineOptions::SetRecordTimestamp(const std::string& Name, const std::string& Text) {
  S.RecordTimestamp = std::llround(ParseTime(Name, Text, false) / 1000000.0);
}

void TEngineOptions::SetProgramId(int Value) {
  if (Value >= 0) S.ProgramId = Value;
}

void TEngineOptions::SetAudioSourceStream(int FileIndex, int StreamIndex) {
  S.AudioSourceFile = FileIndex;
  S.AudioSourceStream = StreamIndex;
}

void TEngineOptions::SetMuxMaxDelay(float Value) {
  if (Value > 0) S.MuxMaxDelay = Value;
}

void TEngineOptions::SetMuxPreload(float Value) {
  if (Value > 0) S.MuxPreload = Value;
}

void TEngineOptions::SetTitle(const std::string& Text) {
  if (!Text.empty()) S.Title = Text;
}

void TEngineOptions::SetAuthor(const std::string& Text) {
  if (!Text.empty()) S.Author = Text;
}

void TEngineOptions::SetCopyright(const std::string& Text) {
  if (!Text.empty()) S.Copyright = Text;
}

void TEngineOptions::SetComment(const std::string& Text) {
  if (!Text.empty()) S.Comment = Text;
}

void TEngineOptions::SetGenre(const std::string& Text) {
  if (!Text.empty()) S.Genre = Text;
}

void TEngineOptions::SetAlbum(const std::string& Text) {
  if (!Text.empty()) S.Album = Text;
}

void TEngineOptions::SetYear(int Value) {
  if (Value > 0) S.Year = Value;
}

void TEngineOptions::SetTrack(int Value) {
  if (Value > 0) S.Track = Value;
}

void TEngineOptions::SetPass(int Value) {
  if (Value != 1 && Value != 2) throw FFMpegException("pass number can be only 1 or 2");
  S.Pass = Value;
}

void TEngineOptions::SetVStats(bool Enable) {
  S.VStatsFileName.clear();
  if (!Enable) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[8];
  std::strftime(clock, sizeof clock, "%H%M%S", &local);
  // Placed beside the output when the job opens it.
  S.VStatsFileName = StringFormat("vstats_%s.log", clock);
}

void TEngineOptions::SetVStatsFile(const std::string& Text) {
  S.VStatsFileName = Text;
}

void TEngineOptions::SetTimeRanges(
    const std::vector<std::pair<std::int64_t, std::int64_t>>& Ranges) {
  S.HookTimeRanges = Ranges;
  std::stable_sort(S.HookTimeRanges.begin(), S.HookTimeRanges.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
  S.CurrentHookTimeRange = 0;
}
