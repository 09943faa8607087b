#include "component/StreamCopy.h"

#include <cstdlib>
#include <limits>

#include "binding/MyUtils.h"
#include "component/TaskList.h"
#include "engine/FirstFrames.h"

namespace {

const AVStream* InputStream(const TFFmpeg& Task, int StreamIndex) {
  return Task.InputFile(Task.InputFileCount() - 1)->streams[StreamIndex];
}

std::string CodecName(AVCodecID id) {
  return lib::avcodec_get_name(id);
}

std::string RateText(AVRational rate) {
  return rate.den == 1 ? std::to_string(rate.num)
                       : std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

// The codec the output's encoder would make: the one named (by the profile or an option
// line), else the format's own for the file name.
AVCodecID OutputCodec(const std::string& Name, const AVOutputFormat* Format,
                      const TOutputOptions& Options, AVMediaType Type) {
  if (Name.empty())
    return lib::av_guess_codec(Format, nullptr, Options.FileName.c_str(), nullptr, Type);
  const AVCodec* encoder = lib::avcodec_find_encoder_by_name(Name.c_str());
  return encoder ? encoder->id : AV_CODEC_ID_NONE;
}

// The stream's bit rate in bits/s as the container tells it (Matroska writers keep it in a
// statistics tag); 0 when it does not.
std::int64_t StatedBitRate(const AVStream* Stream) {
  if (Stream->codecpar->bit_rate > 0) return Stream->codecpar->bit_rate;
  if (const AVDictionaryEntry* tag = lib::av_dict_get(Stream->metadata, "BPS", nullptr, 0))
    return std::strtoll(tag->value, nullptr, 10);
  return 0;
}

// Encoders hold an average only roughly and containers measure it with their overhead: a
// stream made at the output's own rate may show a little more, which re-encoding at that
// rate would not change.
constexpr std::int64_t kBitRateMarginPercent = 5;

std::string BitRateObstacle(std::int64_t Rate, std::int64_t Limit) {
  if (Limit <= 0 || Rate <= Limit + Limit * kBitRateMarginPercent / 100) return {};
  return StringFormat("its bit rate %lld kbit/s exceeds %lld kbit/s",
                      static_cast<long long>(Rate / 1000), static_cast<long long>(Limit / 1000));
}

// What makes every stream be decoded: cutting, or a preset that sets its own codecs.
std::string CommonObstacle(const TFFmpeg& Task, const TOutputOptions& Options) {
  const TEngineSettings& s = Task.Settings();
  if (Options.TargetType != ttNone) return "a target preset is set";
  if (Options.Duration > 0 || s.RecordingTime != std::numeric_limits<std::int64_t>::max() ||
      s.StartTime > 0 || Task.InputOptions.StartTime > 0)
    return "a time limit is set";
  return {};
}

std::string ContainerObstacle(const AVOutputFormat* Format, AVCodecID Id) {
  // 0 is a refusal; a format that cannot tell (below 0) takes what its profile names.
  if (lib::avformat_query_codec(Format, Id, FF_COMPLIANCE_NORMAL) == 0)
    return "the " + std::string(Format->name) + " format cannot hold " + CodecName(Id);
  return {};
}

// Last, as it reads the file: a stream that fits but does not decode (one that lost its
// decoder set-up) would be copied as unplayable as it came; re-encoding it fails with the
// decoder's reason instead.
std::string DecodingObstacle(const TFFmpeg& Task, int StreamIndex, const char* What) {
  const TFirstFrames first =
      DecodeFirstFrames(Task.InputFile(Task.InputFileCount() - 1), StreamIndex);
  if (first.Failure.empty()) return {};
  return std::string("its first ") + What + " do not decode (" + first.Failure + ")";
}

}  // namespace

std::string VideoCopyObstacle(const TFFmpeg& Task, const TOutputOptions& Options,
                              const AVOutputFormat* Format, int StreamIndex) {
  const TEngineSettings& s = Task.Settings();
  const AVStream* stream = InputStream(Task, StreamIndex);
  const AVCodecParameters* source = stream->codecpar;
  if (std::string common = CommonObstacle(Task, Options); !common.empty()) return common;
  if (!s.VideoFilters.empty()) return "video filters are set";
  if (s.CropTop || s.CropBottom || s.CropLeft || s.CropRight || s.PadTop || s.PadBottom ||
      s.PadLeft || s.PadRight)
    return "cropping or padding is set";
  if (Options.CustomHook || Options.BeforeHook || s.UsingFrameHooks) return "picture hooks are set";
  if (s.Deinterlace) return "deinterlacing is set";
  if (Task.Probe.StreamRotation(StreamIndex) != 0) return "its pictures are turned upright";
  const AVCodecID wanted = OutputCodec(s.VideoCodecName, Format, Options, AVMEDIA_TYPE_VIDEO);
  if (source->codec_id != wanted)
    return "its codec " + CodecName(source->codec_id) + " differs from " + CodecName(wanted);
  if (s.FramePixelFormat >= 0 && source->format != s.FramePixelFormat) {
    const char* from = lib::av_get_pix_fmt_name(static_cast<AVPixelFormat>(source->format));
    const char* to = lib::av_get_pix_fmt_name(static_cast<AVPixelFormat>(s.FramePixelFormat));
    return std::string("its pixel format ") + (from ? from : "unknown") + " differs from " +
           (to ? to : "unknown");
  }
  if (source->width != s.FrameWidth || source->height != s.FrameHeight)
    return StringFormat("its size %dx%d differs from %dx%d", source->width, source->height,
                        s.FrameWidth, s.FrameHeight);
  if (s.FrameRate.num && av_cmp_q(stream->r_frame_rate, s.FrameRate) != 0)
    return "its frame rate " + RateText(stream->r_frame_rate) + " differs from " +
           RateText(s.FrameRate);
  if (Options.VideoQuality < 0 && Options.VideoBitrate > 0) {
    // Without a stated rate the whole file's bounds it.
    std::int64_t rate = StatedBitRate(stream);
    if (rate <= 0) rate = Task.InputFile(Task.InputFileCount() - 1)->bit_rate;
    if (std::string obstacle = BitRateObstacle(rate, Options.VideoBitrate); !obstacle.empty())
      return obstacle;
  }
  if (std::string obstacle = ContainerObstacle(Format, source->codec_id); !obstacle.empty())
    return obstacle;
  return DecodingObstacle(Task, StreamIndex, "pictures");
}

std::string AudioCopyObstacle(const TFFmpeg& Task, const TOutputOptions& Options,
                              const AVOutputFormat* Format, int StreamIndex) {
  const TEngineSettings& s = Task.Settings();
  const AVStream* stream = InputStream(Task, StreamIndex);
  const AVCodecParameters* source = stream->codecpar;
  if (std::string common = CommonObstacle(Task, Options); !common.empty()) return common;
  if (s.AudioVolume != 256) return "a volume change is set";
  const AVCodecID wanted = OutputCodec(s.AudioCodecName, Format, Options, AVMEDIA_TYPE_AUDIO);
  if (source->codec_id != wanted)
    return "its codec " + CodecName(source->codec_id) + " differs from " + CodecName(wanted);
  const int channels = source->ch_layout.nb_channels;
  if (Options.AudioChannels > 0 && channels != Options.AudioChannels)
    return StringFormat("its channel count %d differs from %d", channels, Options.AudioChannels);
  if (Options.AudioSampleRate > 0 && source->sample_rate != Options.AudioSampleRate)
    return StringFormat("its sample rate %d Hz differs from %d Hz", source->sample_rate,
                        Options.AudioSampleRate);
  // A rate the container does not state is taken to fit: sound is a small part of a file.
  if (std::string obstacle = BitRateObstacle(StatedBitRate(stream), Options.AudioBitrate);
      !obstacle.empty())
    return obstacle;
  if (std::string obstacle = ContainerObstacle(Format, source->codec_id); !obstacle.empty())
    return obstacle;
  return DecodingObstacle(Task, StreamIndex, "frames");
}
