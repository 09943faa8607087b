#include "component/AVProbe.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "binding/MediaPointers.h"
#include "component/OptionRecords.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"
#include "engine/PictureRotation.h"

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
  AVDictionary* parameters = nullptr;
  if (IsHeaderlessTelephoneSound(format, FileName))
    lib::av_dict_set_int(&parameters, "sample_rate", kTelephoneSampleRate, 0);
  AVFormatContext* context = lib::avformat_alloc_context();
  std::string failure =
      context ? OpenConfinedInput(context, FileName, format, &parameters, AllowPlaylists)
              : OpenErrorText(FileName, AVERROR(ENOMEM));
  lib::av_dict_free(&parameters);
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
