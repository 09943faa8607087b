// Setters of the streams: codec names and tags, audio parameters, stream and metadata maps,
// input time stamp scales, bitstream filters and video hooks.
#include <algorithm>
#include <climits>
#include <cstring>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/EngineTypes.h"
#include "engine/job/JobPlan.h"
#include "engine/options/EngineOptions.h"

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

void TEngineOptions::SetVideoCodec(const std::string& Name) {
  ApplyCodecName(Name, S.VideoCodecName, S.VideoStreamCopy);
}

void TEngineOptions::SetAudioCodec(const std::string& Name) {
  ApplyCodecName(Name, S.AudioCodecName, S.AudioStreamCopy);
}

void TEngineOptions::SetSubtitleCodec(const std::string& Name) {
  ApplyCodecName(Name, S.SubtitleCodecName, S.SubtitleStreamCopy);
}

void TEngineOptions::SetVideoTag(const std::string& Text) {
  if (Text.empty()) return;
  S.VideoCodecTag = FourCC(Text, "video tag parameter must be 4 chars");
}

void TEngineOptions::SetVideoEncoderOption(const std::string& Name, const std::string& Value) {
  S.VideoEncoderOptions.emplace_back(Name, Value);
}

void TEngineOptions::SetAudioTag(const std::string& Text) {
  if (Text.empty()) return;
  S.AudioCodecTag = FourCC(Text, "audio tag parameter must be 4 chars");
}

void TEngineOptions::SetAudioSampleRate(int Value) {
  if (Value <= 0) return;
  S.AudioSampleRate = Value;
  S.GivenInputParameters.SampleRate = true;
}

void TEngineOptions::SetAudioChannels(int Value) {
  if (Value <= 0) return;
  S.AudioChannels = Value;
  S.GivenInputParameters.Channels = true;
}

void TEngineOptions::SetAudioVolume(int Value) {
  if (Value >= 0) S.AudioVolume = Value;
}

void TEngineOptions::SetAudioSyncMethod(int Value) {
  S.AudioSyncMethod = Value;
}

void TEngineOptions::SetVideoSyncMethod(int Value) {
  S.VideoSyncMethod = Value;
}

void TEngineOptions::SetVideoChannel(int Value) {
  S.VideoChannel = Value;
}

void TEngineOptions::SetVideoStandard(const std::string& Text) {
  S.VideoStandard = Text;
}

void TEngineOptions::SetVideoFilters(const std::string& Text) {
  if (!Text.empty()) S.VideoFilters = Text;
}

void TEngineOptions::AddStreamMap(const std::string& Text) {
  Plan("map").AddStreamMap(Text);
}

void TEngineOptions::AddMetaDataMap(const std::string& Text) {
  Plan("map_meta_data").AddMetaDataMap(Text, mmTexts);
}

void TEngineOptions::AddAllTagsMap(const std::string& Text) {
  Plan("map_all_tags").AddMetaDataMap(Text, mmAllTags);
}

void TEngineOptions::AddChapterMap(const std::string& Text) {
  Plan("map_chapters").AddMetaDataMap(Text, mmChapters);
}

void TEngineOptions::SetInputTimeScale(const std::string& Text) {
  Plan("itsscale").SetInputTimeScale(Text);
}

void TEngineOptions::AddBitstreamFilter(const std::string& Option, const std::string& Value) {
  Plan(Option).AddBitstreamFilter(Option, Value);
}

void TEngineOptions::AddVideoHook(const std::string& Text) {
  Plan("vhook").AddVideoHook(Text);
  S.UsingFrameHooks = true;
}

void TEngineOptions::AddVideoStream() {
  AddStream("newvideo", AVMEDIA_TYPE_VIDEO);
}

void TEngineOptions::AddAudioStream() {
  AddStream("newaudio", AVMEDIA_TYPE_AUDIO);
}

void TEngineOptions::AddSubtitleStream() {
  AddStream("newsubtitle", AVMEDIA_TYPE_SUBTITLE);
}
