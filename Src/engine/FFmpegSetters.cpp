// The engine's option setters: each hands its value to the option vocabulary, which works
// on the engine's settings, library option contexts and job plan.
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"
#include "engine/job/JobSetup.h"
#include "engine/options/EngineOptions.h"

TEngineOptions TCustomFFmpeg::Options() {
  TOptionJob job;
  if (Logging()) job.Log = [this](int Level, const std::string& Msg) { Log(Level, Msg); };
  // The engine's own threshold: the libraries' level is the whole process's.
  job.VerbosityChanged = [this](int Level) { RegisterLogEngine(this, Level); };
  job.AddStream = [this](AVMediaType Type) {
    Setup().NewOutputStream(FPlan.LastOutputFile(), Type);
  };
  return TEngineOptions(FSettings, FLibraryOptions, &FPlan, std::move(job));
}

bool TCustomFFmpeg::KnowsOption(const std::string& Name) const {
  return TEngineOptions::InVocabulary(Name) || KnowsCodecOption(Name);
}

bool TCustomFFmpeg::KnowsCodecOption(const std::string& Name) const {
  return FLibraryOptions.Knows(Name);
}

void TCustomFFmpeg::SetOption(const std::string& Name, const std::string& Value) {
  Options().SetOption(Name, Value);
}

bool TCustomFFmpeg::SetCodecOption(const std::string& Name, const std::string& Value) {
  return Options().SetCodecOption(Name, Value);
}

bool TCustomFFmpeg::SetCodecOption(const std::string& Name, const std::string& Value,
                                   int& Refusal) {
  return Options().SetCodecOption(Name, Value, Refusal);
}

void TCustomFFmpeg::SetLibraryOption(const std::string& Name, const std::string& Value) {
  Options().SetLibraryOption(Name, Value);
}

bool TCustomFFmpeg::SetCodecOptionInt(const std::string& Name, int Value) {
  return Options().SetCodecOptionInt(Name, Value);
}

bool TCustomFFmpeg::SetBitrateOption(const std::string& Name, const std::string& Value) {
  return Options().SetBitrateOption(Name, Value);
}

void TCustomFFmpeg::SetFormat(const std::string& Name) {
  Options().SetFormat(Name);
}

void TCustomFFmpeg::SetInputFormat(const std::string& Name) {
  Options().SetInputFormat(Name);
}

void TCustomFFmpeg::SetOutputFormat(const std::string& Name) {
  Options().SetOutputFormat(Name);
}

void TCustomFFmpeg::SetVerbosity(int Level) {
  Options().SetVerbosity(Level);
}

void TCustomFFmpeg::SetFrameRate(const std::string& Text) {
  Options().SetFrameRate(Text);
}

void TCustomFFmpeg::SetFrameSize(const std::string& Text) {
  Options().SetFrameSize(Text);
}

void TCustomFFmpeg::SetAspectRatio(const std::string& Text) {
  Options().SetAspectRatio(Text);
}

void TCustomFFmpeg::SetPixelFormat(const std::string& Text) {
  Options().SetPixelFormat(Text);
}

void TCustomFFmpeg::SetSampleFormat(const std::string& Text) {
  Options().SetSampleFormat(Text);
}

void TCustomFFmpeg::SetCropTop(int Value) {
  Options().SetCropTop(Value);
}

void TCustomFFmpeg::SetCropBottom(int Value) {
  Options().SetCropBottom(Value);
}

void TCustomFFmpeg::SetCropLeft(int Value) {
  Options().SetCropLeft(Value);
}

void TCustomFFmpeg::SetCropRight(int Value) {
  Options().SetCropRight(Value);
}

void TCustomFFmpeg::SetPadTop(int Value) {
  Options().SetPadTop(Value);
}

void TCustomFFmpeg::SetPadBottom(int Value) {
  Options().SetPadBottom(Value);
}

void TCustomFFmpeg::SetPadLeft(int Value) {
  Options().SetPadLeft(Value);
}

void TCustomFFmpeg::SetPadRight(int Value) {
  Options().SetPadRight(Value);
}

void TCustomFFmpeg::SetPadColor(int Color) {
  Options().SetPadColor(Color);
}

void TCustomFFmpeg::SetVideoQScale(float Value) {
  Options().SetVideoQScale(Value);
}

void TCustomFFmpeg::SetRcOverride(const std::string& Text) {
  Options().SetRcOverride(Text);
}

void TCustomFFmpeg::SetTopFieldFirst(int Value) {
  Options().SetTopFieldFirst(Value);
}

void TCustomFFmpeg::SetMotionThreshold(int Value) {
  Options().SetMotionThreshold(Value);
}

void TCustomFFmpeg::SetIntraMatrix(const std::string& Text) {
  Options().SetIntraMatrix(Text);
}

void TCustomFFmpeg::SetInterMatrix(const std::string& Text) {
  Options().SetInterMatrix(Text);
}

void TCustomFFmpeg::SetVideoCodec(const std::string& Name) {
  Options().SetVideoCodec(Name);
}

void TCustomFFmpeg::SetAudioCodec(const std::string& Name) {
  Options().SetAudioCodec(Name);
}

void TCustomFFmpeg::SetSubtitleCodec(const std::string& Name) {
  Options().SetSubtitleCodec(Name);
}

void TCustomFFmpeg::SetVideoTag(const std::string& Text) {
  Options().SetVideoTag(Text);
}

void TCustomFFmpeg::SetVideoEncoderOption(const std::string& Name, const std::string& Value) {
  Options().SetVideoEncoderOption(Name, Value);
}

void TCustomFFmpeg::SetAudioTag(const std::string& Text) {
  Options().SetAudioTag(Text);
}

void TCustomFFmpeg::SetAudioSampleRate(int Value) {
  Options().SetAudioSampleRate(Value);
}

void TCustomFFmpeg::SetAudioChannels(int Value) {
  Options().SetAudioChannels(Value);
}

void TCustomFFmpeg::SetAudioVolume(int Value) {
  Options().SetAudioVolume(Value);
}

void TCustomFFmpeg::SetAudioSyncMethod(int Value) {
  Options().SetAudioSyncMethod(Value);
}

void TCustomFFmpeg::SetVideoSyncMethod(int Value) {
  Options().SetVideoSyncMethod(Value);
}

void TCustomFFmpeg::SetMuxMaxDelay(float Value) {
  Options().SetMuxMaxDelay(Value);
}

void TCustomFFmpeg::SetMuxPreload(float Value) {
  Options().SetMuxPreload(Value);
}

void TCustomFFmpeg::SetVideoChannel(int Value) {
  Options().SetVideoChannel(Value);
}

void TCustomFFmpeg::SetVideoStandard(const std::string& Text) {
  Options().SetVideoStandard(Text);
}

void TCustomFFmpeg::SetVideoFilters(const std::string& Text) {
  Options().SetVideoFilters(Text);
}

void TCustomFFmpeg::AddVideoHook(const std::string& Text) {
  Options().AddVideoHook(Text);
}

void TCustomFFmpeg::AddStreamMap(const std::string& Text) {
  Options().AddStreamMap(Text);
}

void TCustomFFmpeg::AddMetaDataMap(const std::string& Text) {
  Options().AddMetaDataMap(Text);
}

void TCustomFFmpeg::AddAllTagsMap(const std::string& Text) {
  Options().AddAllTagsMap(Text);
}

void TCustomFFmpeg::AddChapterMap(const std::string& Text) {
  Options().AddChapterMap(Text);
}

void TCustomFFmpeg::SetInputTimeScale(const std::string& Text) {
  Options().SetInputTimeScale(Text);
}

void TCustomFFmpeg::AddBitstreamFilter(const std::string& Option, const std::string& Value) {
  Options().AddBitstreamFilter(Option, Value);
}

void TCustomFFmpeg::SetRecordingTime(const std::string& Name, const std::string& Text) {
  Options().SetRecordingTime(Name, Text);
}

void TCustomFFmpeg::SetRecordingTimeMs(int Value) {
  Options().SetRecordingTimeMs(Value);
}

void TCustomFFmpeg::SetStartTime(const std::string& Name, const std::string& Text) {
  Options().SetStartTime(Name, Text);
}

void TCustomFFmpeg::SetStartTimeUs(std::int64_t Value) {
  Options().SetStartTimeUs(Value);
}

void TCustomFFmpeg::SetRecordTimestamp(const std::string& Name, const std::string& Text) {
  Options().SetRecordTimestamp(Name, Text);
}

void TCustomFFmpeg::SetInputTimeOffset(const std::string& Name, const std::string& Text) {
  Options().SetInputTimeOffset(Name, Text);
}

void TCustomFFmpeg::SetProgramId(int Value) {
  Options().SetProgramId(Value);
}

void TCustomFFmpeg::SetAudioSourceStream(int FileIndex, int StreamIndex) {
  Options().SetAudioSourceStream(FileIndex, StreamIndex);
}

void TCustomFFmpeg::SetTitle(const std::string& Text) {
  Options().SetTitle(Text);
}

void TCustomFFmpeg::SetAuthor(const std::string& Text) {
  Options().SetAuthor(Text);
}

void TCustomFFmpeg::SetCopyright(const std::string& Text) {
  Options().SetCopyright(Text);
}

void TCustomFFmpeg::SetComment(const std::string& Text) {
  Options().SetComment(Text);
}

void TCustomFFmpeg::SetGenre(const std::string& Text) {
  Options().SetGenre(Text);
}

void TCustomFFmpeg::SetAlbum(const std::string& Text) {
  Options().SetAlbum(Text);
}

void TCustomFFmpeg::SetYear(int Value) {
  Options().SetYear(Value);
}

void TCustomFFmpeg::SetTrack(int Value) {
  Options().SetTrack(Value);
}

void TCustomFFmpeg::SetPass(int Value) {
  Options().SetPass(Value);
}

void TCustomFFmpeg::SetVStats(bool Enable) {
  Options().SetVStats(Enable);
}

void TCustomFFmpeg::SetVStatsFile(const std::string& Text) {
  Options().SetVStatsFile(Text);
}

void TCustomFFmpeg::SetTimeRanges(
    const std::vector<std::pair<std::int64_t, std::int64_t>>& Ranges) {
  Options().SetTimeRanges(Ranges);
}

void TCustomFFmpeg::AddVideoStream() {
  Options().AddVideoStream();
}

void TCustomFFmpeg::AddAudioStream() {
  Options().AddAudioStream();
}

void TCustomFFmpeg::AddSubtitleStream() {
  Options().AddSubtitleStream();
}

void TCustomFFmpeg::SetTarget(const std::string& Text) {
  Options().SetTarget(Text);
}

void TCustomFFmpeg::ApplyTarget(const std::string& Kind, const std::string& Norm,
                                const std::string& FallbackNorm) {
  Options().ApplyTarget(Kind, Norm, FallbackNorm);
}
