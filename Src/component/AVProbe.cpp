#include "component/AVProbe.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "component/OptionRecords.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"
#include "engine/PictureRotation.h"

namespace {

// 25, 29.97, 23.976: at most three decimals, no trailing zeros.
std::string RateText(AVRational rate) {
  std::string text = StringFormat("%.3f", RationalToDouble(rate));
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

namespace {

std::string MetadataText(const AVDictionary* metadata, const char* key) {
  const AVDictionaryEntry* entry = lib::av_dict_get(metadata, key, nullptr, 0);
  return entry && entry->value ? entry->value : std::string();
}

// The leading number of a text such as "2008-05-01" or "3/12"; 0 when there is none.
std::int32_t LeadingNumber(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return value > 0 && value <= INT32_MAX ? static_cast<std::int32_t>(value) : 0;
}

}  // namespace

void TAVProbe::TOwnedInputCloser::operator()(AVFormatContext* Context) const {
  TInputFormatContextDeleter()(Context);
}

void TAVProbe::CheckLibrariesLoaded() {
  if (!LibAVCodecLoaded()) throw std::runtime_error("LibAVCodec not loaded.");
  if (!LibAVFormatLoaded()) throw std::runtime_error("LibAVFormat not loaded.");
  if (!LibAVUtilLoaded()) throw std::runtime_error("LibAVUtil not loaded.");
  if (!LibSwScaleLoaded()) throw std::runtime_error("LibSwScale not loaded.");
}

bool TAVProbe::Open(const std::string& FileName, const std::string& FormatName,
                    bool AllowPlaylists) {
  CheckLibrariesLoaded();
  Close();
  const AVInputFormat* format = nullptr;
  if (!FormatName.empty()) {
    format = lib::av_find_input_format(FormatName.c_str());
    if (!format) {
      FLastError = "Unknown input format: " + FormatName;
      return false;
    }
  }
  if (std::string refusal = BlockingInputText(FileName); !refusal.empty()) {
    FLastError = std::move(refusal);
    return false;
  }
  TDictionary parameters;
  if (IsHeaderlessTelephoneSound(format, FileName))
    lib::av_dict_set_int(parameters.Address(), "sample_rate", kTelephoneSampleRate, 0);
  AVFormatContext* context = lib::avformat_alloc_context();
  std::string failure =
      context ? OpenConfinedInput(context, FileName, format, parameters.Address(), AllowPlaylists)
              : OpenErrorText(FileName, AVERROR(ENOMEM));
  if (!failure.empty()) {
    FLastError = std::move(failure);
    Close();
    return false;
  }
  FOwned.reset(context);
  FContext = context;
  if (lib::avformat_find_stream_info(FContext, nullptr) < 0) {
    FLastError = FileName + ": could not find codec parameters";
    Close();
    return false;
  }
  UpdateInfo();
  FFormatName = FormatName;
  return true;
}

void TAVProbe::Attach(AVFormatContext* AContext) {
  CheckLibrariesLoaded();
  Close();
  FContext = AContext;
  UpdateInfo();
}

void TAVProbe::Close() {
  FFormatName.clear();
  FContext = nullptr;
  FOwned.reset();
  UpdateInfo();
}

void TAVProbe::UpdateInfo() {
  FStreamCount = FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStream = FFirstVideoStream = FFirstSubtitleStream = -1;
  if (!FContext) return;
  FStreamCount = static_cast<int>(FContext->nb_streams);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    const AVStream* stream = FContext->streams[i];
    const AVMediaType type = stream->codecpar ? stream->codecpar->codec_type : AVMEDIA_TYPE_UNKNOWN;
    if (type == AVMEDIA_TYPE_VIDEO) {
      if (FVideoStreamCount++ == 0) FFirstVideoStream = i;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      if (FAudioStreamCount++ == 0) FFirstAudioStream = i;
    } else if (type == AVMEDIA_TYPE_SUBTITLE) {
      if (FSubtitleStreamCount++ == 0) FFirstSubtitleStream = i;
    }
  }
}

void TAVProbe::GetInfo(TAVFileInfo& Info) const {
  Info = TAVFileInfo{};
  if (!FContext) {
    lib::av_log(nullptr, AV_LOG_INFO, "file not loaded.\n");
    return;
  }
  Info.StartTime = FContext->start_time;
  Info.Duration = FContext->duration;
  Info.BitRate =
      static_cast<std::int32_t>(FContext->bit_rate > INT32_MAX ? INT32_MAX : FContext->bit_rate);
  // Today's libraries keep what the container says about itself as metadata.
  const AVDictionary* metadata = FContext->metadata;
  Info.Timestamp = 0;
  if (const std::string created = MetadataText(metadata, "creation_time"); !created.empty()) {
    std::int64_t microseconds = 0;
    if (lib::av_parse_time(&microseconds, created.c_str(), 0) >= 0)
      Info.Timestamp = microseconds / 1000000;
  }
  AssignText(Info.Title, MetadataText(metadata, "title"));
  std::string author = MetadataText(metadata, "artist");
  AssignText(Info.Author, author.empty() ? MetadataText(metadata, "author") : author);
  AssignText(Info.Copyright, MetadataText(metadata, "copyright"));
  AssignText(Info.Comment, MetadataText(metadata, "comment"));
  AssignText(Info.Album, MetadataText(metadata, "album"));
  std::string date = MetadataText(metadata, "date");
  Info.Year = LeadingNumber(date.empty() ? MetadataText(metadata, "year") : date);
  Info.Track = LeadingNumber(MetadataText(metadata, "track"));
  AssignText(Info.Genre, MetadataText(metadata, "genre"));
}

namespace {

const AVStream* VideoStreamAt(const AVFormatContext* context, int index) {
  if (!context || index < 0 || index >= static_cast<int>(context->nb_streams)) return nullptr;
  const AVStream* stream = context->streams[index];
  return stream->codecpar && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? stream : nullptr;
}

}  // namespace

int TAVProbe::StreamRotation(int Index) const {
  const AVStream* stream = VideoStreamAt(FContext, Index);
  return stream ? UprightRotation(stream) : 0;
}

int TAVProbe::StreamBitDepth(int Index) const {
  const AVStream* stream = VideoStreamAt(FContext, Index);
  if (!stream) return 0;
  if (const AVPixFmtDescriptor* format =
          lib::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(stream->codecpar->format)))
    return format->comp[0].depth;
  return std::max(stream->codecpar->bits_per_raw_sample, 0);
}

std::string TAVProbe::CoverPictureText(int Index) const {
  const AVStream* stream = VideoStreamAt(FContext, Index);
  return stream && IsCoverPicture(stream) ? ::CoverPictureText(stream) : std::string();
}

int TAVProbe::PreferredAudioStream() const {
  int chosen = -1, chosenChannels = -1;
  for (int i = 0; i < FStreamCount; ++i) {
    const AVCodecParameters* codec = FContext->streams[i]->codecpar;
    if (!codec || codec->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (FContext->streams[i]->disposition & AV_DISPOSITION_DEFAULT) return i;
    if (codec->ch_layout.nb_channels > chosenChannels) {
      chosen = i;
      chosenChannels = codec->ch_layout.nb_channels;
    }
  }
  return chosen;
}

std::string TAVProbe::BitRateText(std::int64_t bitsPerSecond) {
  return std::to_string((bitsPerSecond + 500) / 1000) + " kbit/s";
}

std::string TAVProbe::ContainerText() const {
  std::string text = FContext->iformat->name;
  if (FContext->iformat->long_name) text += std::string(" (") + FContext->iformat->long_name + ")";
  return text;
}

std::string TAVProbe::StreamText(int index) const {
  // A cover is one picture: it has no rate, and is no video to convert.
  if (std::string cover = CoverPictureText(index); !cover.empty()) return cover;
  const AVStream& stream = *FContext->streams[index];
  const AVCodecParameters& codec = *stream.codecpar;
  const char* kind = lib::av_get_media_type_string(codec.codec_type);
  std::string line =
      std::string(kind ? kind : "unknown") + ", " + lib::avcodec_get_name(codec.codec_id);
  if (codec.codec_type == AVMEDIA_TYPE_VIDEO) {
    if (codec.width > 0 && codec.height > 0) {
      line += ", " + std::to_string(codec.width) + "x" + std::to_string(codec.height);
    }
    const AVRational rate = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0
                                ? stream.avg_frame_rate
                                : stream.r_frame_rate;
    if (rate.num > 0 && rate.den > 0) line += ", " + RateText(rate) + " fps";
    if (const int depth = StreamBitDepth(index); depth > 0)
      line += ", " + std::to_string(depth) + "-bit";
    if (const int rotation = StreamRotation(index); rotation != 0)
      line += ", shown turned " + std::to_string(rotation) + " degrees clockwise";
  }
  if (codec.codec_type == AVMEDIA_TYPE_AUDIO) {
    if (codec.sample_rate > 0) line += ", " + std::to_string(codec.sample_rate) + " Hz";
    const int channels = codec.ch_layout.nb_channels;
    if (channels > 0)
      line += ", " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
  }
  if (codec.bit_rate > 0) line += ", " + BitRateText(codec.bit_rate);
  return line;
}
