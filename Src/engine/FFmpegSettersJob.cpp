// Setters of the job: times, muxing, metadata, two-pass, statistics and the hook time
// ranges.
#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>

#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"

std::int64_t TCustomFFmpeg::ParseTime(const std::string& Name, const std::string& Text,
                                      bool IsDuration) {
  std::int64_t microseconds = 0;
  if (lib::av_parse_time(&microseconds, Text.c_str(), IsDuration ? 1 : 0) < 0)
    throw FFMpegException(StringFormat(kInvalidTimeTextFormat, IsDuration ? "duration" : "date",
                                       Name.c_str(), Text.c_str()));
  return microseconds;
}

void TCustomFFmpeg::SetRecordingTime(const std::string& Name, const std::string& Text) {
  // Beyond INT_MAX milliseconds (24 days) the limit is as good as none; it must not wrap.
  const std::int64_t milliseconds = ParseTime(Name, Text, true) / 1000;
  SetRecordingTimeMs(static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX)));
}

void TCustomFFmpeg::SetRecordingTimeMs(int Value) {
  if (Value <= 0) return;
  FSettings.RecordingTime = static_cast<std::int64_t>(Value) * 1000;
  FSettings.ExpectedTotalDurationMs = Value;
}

void TCustomFFmpeg::SetStartTime(const std::string& Name, const std::string& Text) {
  FSettings.StartTime = ParseTime(Name, Text, true);
}

void TCustomFFmpeg::SetStartTimeUs(std::int64_t Value) {
  if (Value > 0) FSettings.StartTime = Value;
}

void TCustomFFmpeg::SetInputTimeOffset(const std::string& Name, const std::string& Text) {
  FSettings.InputTimeOffset = ParseTime(Name, Text, true);
}

void TCustomFFmpeg::SetRecordTimestamp(const std::string& Name, const std::string& Text) {
  FSettings.RecordTimestamp = std::llround(ParseTime(Name, Text, false) / 1000000.0);
}

void TCustomFFmpeg::SetProgramId(int Value) {
  if (Value >= 0) FSettings.ProgramId = Value;
}

void TCustomFFmpeg::SetAudioSourceStream(int FileIndex, int StreamIndex) {
  FSettings.AudioSourceFile = FileIndex;
  FSettings.AudioSourceStream = StreamIndex;
}

void TCustomFFmpeg::SetMuxMaxDelay(float Value) {
  if (Value > 0) FSettings.MuxMaxDelay = Value;
}

void TCustomFFmpeg::SetMuxPreload(float Value) {
  if (Value > 0) FSettings.MuxPreload = Value;
}

void TCustomFFmpeg::SetTitle(const std::string& Text) {
  if (!Text.empty()) FSettings.Title = Text;
}

void TCustomFFmpeg::SetAuthor(const std::string& Text) {
  if (!Text.empty()) FSettings.Author = Text;
}

void TCustomFFmpeg::SetCopyright(const std::string& Text) {
  if (!Text.empty()) FSettings.Copyright = Text;
}

void TCustomFFmpeg::SetComment(const std::string& Text) {
  if (!Text.empty()) FSettings.Comment = Text;
}

void TCustomFFmpeg::SetGenre(const std::string& Text) {
  if (!Text.empty()) FSettings.Genre = Text;
}

void TCustomFFmpeg::SetAlbum(const std::string& Text) {
  if (!Text.empty()) FSettings.Album = Text;
}

void TCustomFFmpeg::SetYear(int Value) {
  if (Value > 0) FSettings.Year = Value;
}

void TCustomFFmpeg::SetTrack(int Value) {
  if (Value > 0) FSettings.Track = Value;
}

void TCustomFFmpeg::SetPass(int Value) {
  if (Value != 1 && Value != 2) throw FFMpegException("pass number can be only 1 or 2");
  FSettings.Pass = Value;
}

void TCustomFFmpeg::SetVStats(bool Enable) {
  FSettings.VStatsFileName.clear();
  if (!Enable) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[8];
  std::strftime(clock, sizeof clock, "%H%M%S", &local);
  // Placed beside the output when the job opens it.
  FSettings.VStatsFileName = StringFormat("vstats_%s.log", clock);
}

void TCustomFFmpeg::SetVStatsFile(const std::string& Text) {
  FSettings.VStatsFileName = Text;
}

void TCustomFFmpeg::SetTimeRanges(
    const std::vector<std::pair<std::int64_t, std::int64_t>>& Ranges) {
  FSettings.HookTimeRanges = Ranges;
  std::stable_sort(FSettings.HookTimeRanges.begin(), FSettings.HookTimeRanges.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
  FSettings.CurrentHookTimeRange = 0;
}
