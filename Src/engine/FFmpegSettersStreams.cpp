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

// Reads the numbers of a map text one after another: each in C notation (decimal, "0x"
// hexadecimal, leading "0" octal), followed by one separator character that is skipped.
class TNumberReader {
 public:
  explicit TNumberReader(const std::string& Text) : text_(Text), at_(text_.c_str()) {}

  int NextInt() {
    char* end = nullptr;
    const long value = lib::my_strtol(at_, &end, 0);
    at_ = end;
    SkipSeparator();
    // Beyond the range of an index it can only name no stream at all.
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
  }
  double NextDouble() {
    char* end = nullptr;
    const double value = lib::my_strtod(at_, &end);
    at_ = end;
    SkipSeparator();
    return value;
  }
  bool AtEnd() const { return *at_ == '\0'; }

 private:
  // The terminating zero is never skipped: reading stops at the end of the text.
  void SkipSeparator() {
    if (*at_ != '\0') ++at_;
  }

  std::string text_;
  const char* at_;
};

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
  if (FNbStreamMaps >= kMaxStreamMaps)
    throw FFMpegException(
        StringFormat("Too many stream maps: at most %d can be given", kMaxStreamMaps));
  TNumberReader numbers(Text);
  TStreamMap map;
  map.FileIndex = numbers.NextInt();
  map.StreamIndex = numbers.NextInt();
  if (!numbers.AtEnd()) {
    map.SyncFileIndex = numbers.NextInt();
    map.SyncStreamIndex = numbers.NextInt();
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  FStreamMaps.resize(FNbStreamMaps + 1);
  FStreamMaps[FNbStreamMaps++] = map;
}

void TCustomFFmpeg::AddMetaDataMap(const std::string& Text) {
  AddMetaDataMapOf(Text, mmTexts);
}

void TCustomFFmpeg::AddAllTagsMap(const std::string& Text) {
  AddMetaDataMapOf(Text, mmAllTags);
}

void TCustomFFmpeg::AddChapterMap(const std::string& Text) {
  AddMetaDataMapOf(Text, mmChapters);
}

void TCustomFFmpeg::AddMetaDataMapOf(const std::string& Text, TMetaDataMapKind Kind) {
  if (FNbMetaDataMaps >= kMaxMetaDataMaps)
    throw FFMpegException(
        StringFormat("Too many metadata maps: at most %d can be given", kMaxMetaDataMaps));
  TNumberReader numbers(Text);
  TMetaDataMap map;
  map.OutFile = numbers.NextInt();
  map.InFile = numbers.NextInt();
  map.Kind = Kind;
  FMetaDataMaps[FNbMetaDataMaps++] = map;
}

constexpr double kMaxInputTimeScale = 1000;

void TCustomFFmpeg::SetInputTimeScale(const std::string& Text) {
  TNumberReader numbers(Text);
  const int stream = numbers.NextInt();
  const double scale = numbers.NextDouble();
  if (stream < 0 || stream >= kMaxStreams)
    throw FFMpegException(StringFormat("stream index over MAX_STREAMS(%d)", kMaxStreams));
  // Time runs forwards, and a stamp times the scale must stay a stamp (0 leaves them as read).
  if (!(scale >= 0 && scale <= kMaxInputTimeScale))
    throw FFMpegException(StringFormat("itsscale must be >= 0.0 and <= %g", kMaxInputTimeScale));
  // The scale belongs to the input opened next; after the last one there is none.
  if (FNbInputFiles >= kMaxFiles)
    throw FFMpegException(StringFormat(
        "Input time stamp scale given after the last input file: at most %d can be opened",
        kMaxFiles));
  if (static_cast<int>(FInputFilesTsScale.size()) <= FNbInputFiles)
    FInputFilesTsScale.resize(FNbInputFiles + 1, {});
  FInputFilesTsScale[FNbInputFiles][stream] = scale;
}

void TCustomFFmpeg::AddBitstreamFilter(const std::string& Option, const std::string& Value) {
  if (Option.empty() || Value.empty() || Value[0] == '=') return;
  const std::string name = Value.substr(0, Value.find('='));
  const AVBitStreamFilter* filter = lib::av_bsf_get_by_name(name.c_str());
  if (!filter) {
    throw FFMpegException(StringFormat("Unknown bitstream filter %s", TrimText(Value).c_str()));
  }
  AVBSFContext* context = nullptr;
  if (lib::av_bsf_alloc(filter, &context) < 0)
    throw FFMpegException(OpenErrorText("av_bsf_alloc()", AVERROR(ENOMEM)));
  const int type = Option[0] == 'v' ? 0 : Option[0] == 'a' ? 1 : 2;
  FPendingBitstreamFilters[type].emplace_back(context);
}

void TCustomFFmpeg::AddVideoHook(const std::string& Text) {
  // The module file and at most 63 arguments, separated by "|" when the text has one, else
  // by blanks; runs of separators count as one. Split here rather than with a tokenizer
  // that keeps its place between calls: jobs on other threads add their hooks meanwhile.
  constexpr int kMaxHookArguments = 64;
  const char separator = Text.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> words;
  for (std::size_t start = 0; start < Text.size();) {
    const std::size_t end = std::min(Text.find(separator, start), Text.size());
    if (end > start) {
      if (static_cast<int>(words.size()) == kMaxHookArguments)
        throw FFMpegException(
            StringFormat("Too many video hook arguments: at most %d can follow the module in: %s",
                         kMaxHookArguments - 1, Text.c_str()));
      words.push_back(Text.substr(start, end - start));
    }
    start = end + 1;
  }
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(word.data());
  if (FFrameHooks.Add(static_cast<int>(arguments.size()), arguments.data()) != 0)
    throw FFMpegException("Failed to add video hook function: " + Text);
  FSettings.UsingFrameHooks = true;
}

AVFormatContext* TCustomFFmpeg::LastOutputFile() const {
  if (FNbOutputFiles == 0) throw FFMpegException("At least one output file must be specified");
  return FOutputFiles[FNbOutputFiles - 1].get();
}

void TCustomFFmpeg::AddVideoStream() {
  new_video_stream(LastOutputFile());
}

void TCustomFFmpeg::AddAudioStream() {
  new_audio_stream(LastOutputFile());
}

void TCustomFFmpeg::AddSubtitleStream() {
  new_subtitle_stream(LastOutputFile());
}
