// Setters of the streams: codec names and tags, audio parameters, stream and metadata maps,
// input time stamp scales, bitstream filters and video hooks.
#include <algorithm>
#include <climits>
#include <cstring>

#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/FFmpeg.h"

namespace {

// A pending codec name, or stream copy for "copy".
void ApplyCodecName(const std::string& Name, std::string& CodecName, bool& StreamCopy) {
  if (Name.empty()) return;
  CodecName.clear();
  if (Name == "copy")
    StreamCopy = true;
  else
    CodecName = Name;
}

std::uint32_t FourCC(const std::string& Text, const char* LengthMessage) {
  if (Text.size() != 4) throw EAssertionFailed(LengthMessage);
  std::uint32_t tag = 0;
  for (int i = 3; i >= 0; --i) tag = (tag << 8) | static_cast<unsigned char>(Text[i]);
  return tag;
}

}  // namespace

void TCustomFFmpeg::SetVideoCodec(const std::string& Name) {
  ApplyCodecName(Name, FSettings.VideoCodecName, FSettings.VideoStreamCopy);
}

void TCustomFFmpeg::SetAudioCodec(const std::string& Name) {
  ApplyCodecName(Name, FSettings.AudioCodecName, FSettings.AudioStreamCopy);
}

void TCustomFFmpeg::SetSubtitleCodec(const std::string& Name) {
  ApplyCodecName(Name, FSettings.SubtitleCodecName, FSettings.SubtitleStreamCopy);
}

void TCustomFFmpeg::SetVideoTag(const std::string& Text) {
  if (Text.empty()) return;
  FSettings.VideoCodecTag = FourCC(Text, "video tag parameter must be 4 chars");
}

void TCustomFFmpeg::SetVideoEncoderOption(const std::string& Name, const std::string& Value) {
  FSettings.VideoEncoderOptions.emplace_back(Name, Value);
}

void TCustomFFmpeg::SetAudioTag(const std::string& Text) {
  if (Text.empty()) return;
  FSettings.AudioCodecTag = FourCC(Text, "audio tag parameter must be 4 chars");
}

void TCustomFFmpeg::SetAudioSampleRate(int Value) {
  if (Value <= 0) return;
  FSettings.AudioSampleRate = Value;
  FSettings.GivenInputParameters.SampleRate = true;
}

void TCustomFFmpeg::SetAudioChannels(int Value) {
  if (Value <= 0) return;
  FSettings.AudioChannels = Value;
  FSettings.GivenInputParameters.Channels = true;
}

void TCustomFFmpeg::SetAudioVolume(int Value) {
  if (Value >= 0) FSettings.AudioVolume = Value;
}

void TCustomFFmpeg::SetAudioSyncMethod(int Value) {
  FSettings.AudioSyncMethod = Value;
}

void TCustomFFmpeg::SetVideoSyncMethod(int Value) {
  FSettings.VideoSyncMethod = Value;
}

void TCustomFFmpeg::SetVideoChannel(int Value) {
  FSettings.VideoChannel = Value;
}

void TCustomFFmpeg::SetVideoStandard(const std::string& Text) {
  FSettings.VideoStandard = Text;
}

void TCustomFFmpeg::SetVideoFilters(const std::string& Text) {
  if (!Text.empty()) FSettings.VideoFilters = Text;
}

void TCustomFFmpeg::AddStreamMap(const std::string& Text) {
  FPlan.AddStreamMap(Text);
}

void TCustomFFmpeg::AddMetaDataMap(const std::string& Text) {
  FPlan.AddMetaDataMap(Text, mmTexts);
}

void TCustomFFmpeg::AddAllTagsMap(const std::string& Text) {
  FPlan.AddMetaDataMap(Text, mmAllTags);
}

void TCustomFFmpeg::AddChapterMap(const std::string& Text) {
  FPlan.AddMetaDataMap(Text, mmChapters);
}

void TCustomFFmpeg::SetInputTimeScale(const std::string& Text) {
  FPlan.SetInputTimeScale(Text);
}

void TCustomFFmpeg::AddBitstreamFilter(const std::string& Option, const std::string& Value) {
  FPlan.AddBitstreamFilter(Option, Value);
}

void TCustomFFmpeg::AddVideoHook(const std::string& Text) {
  FPlan.AddVideoHook(Text);
  FSettings.UsingFrameHooks = true;
}

void TCustomFFmpeg::AddVideoStream() {
  new_video_stream(FPlan.LastOutputFile());
}

void TCustomFFmpeg::AddAudioStream() {
  new_audio_stream(FPlan.LastOutputFile());
}

void TCustomFFmpeg::AddSubtitleStream() {
  new_subtitle_stream(FPlan.LastOutputFile());
}
