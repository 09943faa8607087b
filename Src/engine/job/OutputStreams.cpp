// The video, audio and subtitle streams of an output file, prepared from the settings and
// the parameters taken over from the inputs.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "binding/MyUtils.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/PictureRotation.h"
#include "engine/RcOverride.h"
#include "engine/job/JobSetup.h"
#include "engine/options/LibraryOptions.h"

namespace {

constexpr float kLambdaPerQScale = 118;  // the libraries' quality unit per qscale step

// Clears a stream type's pending settings however its creation ends.
class TPendingStreamSettings {
 public:
  TPendingStreamSettings(bool& disable, std::string& codecName, bool& streamCopy,
                         std::string* language = nullptr)
      : disable_(disable), codecName_(codecName), streamCopy_(streamCopy), language_(language) {}
  ~TPendingStreamSettings() {
    disable_ = false;
    codecName_.clear();
    streamCopy_ = false;
    if (language_) language_->clear();
  }
  TPendingStreamSettings(const TPendingStreamSettings&) = delete;
  TPendingStreamSettings& operator=(const TPendingStreamSettings&) = delete;

 private:
  bool& disable_;
  std::string& codecName_;
  bool& streamCopy_;
  std::string* language_;
};

// The encoder asked for by name (several encoders may share a codec, as AV1's do), else
// the first one of the codec.
const AVCodec* EncoderOf(const std::string& name, AVCodecID id) {
  if (!name.empty())
    if (const AVCodec* named = lib::avcodec_find_encoder_by_name(name.c_str())) return named;
  return lib::avcodec_find_encoder(id);
}

// The listed rate nearest to rate; the first of equally near ones wins.
AVRational NearestSupportedRate(AVRational rate, const AVRational* supported) {
  AVRational best = rate;
  std::int64_t bestNum = INT_MAX, bestDen = 1;
  for (const AVRational* listed = supported; listed->den; ++listed) {
    int num = 0, den = 1;
    lib::av_reduce(&num, &den,
                   static_cast<std::int64_t>(rate.num) * listed->den -
                       static_cast<std::int64_t>(listed->num) * rate.den,
                   static_cast<std::int64_t>(rate.den) * listed->den, INT_MAX);
    const std::int64_t distance = num < 0 ? -static_cast<std::int64_t>(num) : num;
    if (distance * bestDen < bestNum * den) {
      bestNum = distance;
      bestDen = den;
      best = *listed;
    }
  }
  return best;
}

template <typename T>
bool Lists(const T* list, T terminator, T value) {
  for (; *list != terminator; ++list)
    if (*list == value) return true;
  return false;
}

// The full-range form of a limited-range YUV format, or AV_PIX_FMT_NONE.
AVPixelFormat FullRangeFormOf(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUV420P:
      return AV_PIX_FMT_YUVJ420P;
    case AV_PIX_FMT_YUV422P:
      return AV_PIX_FMT_YUVJ422P;
    case AV_PIX_FMT_YUV444P:
      return AV_PIX_FMT_YUVJ444P;
    case AV_PIX_FMT_YUV440P:
      return AV_PIX_FMT_YUVJ440P;
    case AV_PIX_FMT_YUV411P:
      return AV_PIX_FMT_YUVJ411P;
    default:
      return AV_PIX_FMT_NONE;
  }
}

// JPEG encoders list their full-range formats ahead of the limited-range ones, which they
// only open with relaxed strictness: such an encoder gets the full-range form of the
// format (the scaler converts the range). Encoders that list the limited form first keep it.
AVPixelFormat FullRangeFormatPreferred(const AVPixelFormat* listed, AVPixelFormat format) {
  const AVPixelFormat fullRange = FullRangeFormOf(format);
  if (fullRange == AV_PIX_FMT_NONE) return format;
  for (; *listed != AV_PIX_FMT_NONE; ++listed) {
    if (*listed == format) return format;
    if (*listed == fullRange) return fullRange;
  }
  return format;
}

std::uint16_t* LibraryCopyOf(const std::vector<std::uint16_t>& matrix) {
  auto* copy = static_cast<std::uint16_t*>(lib::av_malloc(matrix.size() * sizeof(std::uint16_t)));
  if (copy) std::memcpy(copy, matrix.data(), matrix.size() * sizeof(std::uint16_t));
  return copy;
}

void SetLanguage(AVStream* stream, const std::string& language) {
  if (!language.empty())
    lib::av_dict_set(&stream->metadata, "language", language.substr(0, 3).c_str(), 0);
}

AVRational SampleAspectFor(float frameAspect, int width, int height) {
  if (width == 0 || height == 0) return RationalFromDouble(frameAspect * 3.0 / 4.0, 255);
  return RationalFromDouble(static_cast<double>(frameAspect) * height / width, 255);
}

// A picture turned on its side no longer has the shape of a size given for the output
// (profiles give landscape sizes): the size is read as a box that the upright picture
// fills, keeping its shape. Sides stay even, as encoders want.
void FitIntoBox(float aspect, int& width, int& height) {
  if (aspect <= 0 || width <= 0 || height <= 0) return;
  const auto even = [](double side) {
    return std::max(2, 2 * static_cast<int>(std::lround(side / 2)));
  };
  if (static_cast<double>(width) / height > aspect)
    width = even(height * static_cast<double>(aspect));
  else
    height = even(width / static_cast<double>(aspect));
}

}  // namespace

TOutputStreamSetup& TJobSetup::NewStreamSetup(AVFormatContext* Context, AVStream* Stream,
                                              int PendingFilterIndex) {
  std::vector<TOutputStreamSetup>& streams = P.OutputStreams[P.OutputRowOf(Context)];
  streams.resize(Stream->index + 1);
  TOutputStreamSetup& setup = streams[Stream->index];
  setup.Filters = std::move(P.PendingBitstreamFilters[PendingFilterIndex]);
  P.PendingBitstreamFilters[PendingFilterIndex].clear();
  return setup;
}

namespace {

AVStream* NewStream(AVFormatContext* context) {
  if (context->nb_streams >= static_cast<unsigned>(kMaxOutputStreams))
    throw FFMpegException(
        StringFormat("Too many streams: at most %d per output file", kMaxOutputStreams));
  AVStream* stream = lib::avformat_new_stream(context, nullptr);
  if (!stream) throw FFMpegException("Could not alloc stream");
  return stream;
}

}  // namespace

namespace {

// The pending settings of a stream type, cleared by the guard however its creation ends.
TPendingStreamSettings PendingSettingsOf(TEngineSettings& s, AVMediaType Type) {
  switch (Type) {
    case AVMEDIA_TYPE_VIDEO:
      return {s.VideoDisable, s.VideoCodecName, s.VideoStreamCopy};
    case AVMEDIA_TYPE_AUDIO:
      return {s.AudioDisable, s.AudioCodecName, s.AudioStreamCopy, &s.AudioLanguage};
    default:
      return {s.SubtitleDisable, s.SubtitleCodecName, s.SubtitleStreamCopy, &s.SubtitleLanguage};
  }
}

// Frame rate, size, aspect and pixel format of a video stream that is encoded.
void SetVideoPicture(const TEngineSettings& s, const AVCodec* encoder, AVCodecContext* codec,
                     AVStream* stream) {
  AVRational rate = s.FrameRate.num && s.FrameRate.den ? s.FrameRate : AVRational{25, 1};
  if (encoder && encoder->supported_framerates)
    rate = NearestSupportedRate(rate, encoder->supported_framerates);
  codec->time_base = {rate.den, rate.num};
  codec->framerate = rate;
  int width = s.FrameWidth, height = s.FrameHeight;
  if (TurnsOnSide(s.FrameRotation) && s.FrameSizeGiven)
    FitIntoBox(s.FrameAspectRatio, width, height);
  codec->width = width + s.PadLeft + s.PadRight;
  codec->height = height + s.PadTop + s.PadBottom;
  codec->sample_aspect_ratio = SampleAspectFor(s.FrameAspectRatio, codec->width, codec->height);
  stream->sample_aspect_ratio = codec->sample_aspect_ratio;

  auto pixelFormat = static_cast<AVPixelFormat>(s.FramePixelFormat);
  if (encoder && encoder->pix_fmts && !Lists(encoder->pix_fmts, AV_PIX_FMT_NONE, pixelFormat))
    pixelFormat = encoder->pix_fmts[0];
  if (encoder && encoder->pix_fmts)
    pixelFormat = FullRangeFormatPreferred(encoder->pix_fmts, pixelFormat);
  codec->pix_fmt = pixelFormat;
}

// Quality, matrices, rate control and pass of a video stream that is encoded.
void SetVideoRateControl(const TEngineSettings& s, TOutputStreamSetup& setup,
                         AVCodecContext* codec) {
  if (s.IntraOnly) codec->gop_size = 0;
  if (s.VideoQScale != 0 || s.SameQuality) {
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    setup.Quality = kLambdaPerQScale * s.VideoQScale;
    codec->global_quality = static_cast<int>(setup.Quality);
  }
  if (s.IntraMatrix.size() == 64) codec->intra_matrix = LibraryCopyOf(s.IntraMatrix);
  if (s.InterMatrix.size() == 64) codec->inter_matrix = LibraryCopyOf(s.InterMatrix);
  codec->thread_count = s.ThreadCount;

  if (!s.RcOverride.empty()) {
    const std::vector<RcOverride> entries = ParseRcOverride(s.RcOverride);
    codec->rc_override =
        static_cast<RcOverride*>(lib::av_malloc(entries.size() * sizeof(RcOverride)));
    if (!codec->rc_override) throw FFMpegException("Could not alloc stream");
    std::memcpy(codec->rc_override, entries.data(), entries.size() * sizeof(RcOverride));
    codec->rc_override_count = static_cast<int>(entries.size());
  }
  if (codec->rc_initial_buffer_occupancy == 0)
    codec->rc_initial_buffer_occupancy = codec->rc_buffer_size * 3 / 4;
  codec->intra_dc_precision = s.IntraDcPrecision - 8;
  if (s.DoPsnr) codec->flags |= AV_CODEC_FLAG_PSNR;
  if (s.Pass == 1) codec->flags |= AV_CODEC_FLAG_PASS1;
  if (s.Pass == 2) codec->flags |= AV_CODEC_FLAG_PASS2;
}

}  // namespace

void TJobSetup::NewOutputStream(AVFormatContext* Context, AVMediaType Type) {
  TEngineSettings& s = S;
  const TPendingStreamSettings pending = PendingSettingsOf(s, Type);
  const bool video = Type == AVMEDIA_TYPE_VIDEO, audio = Type == AVMEDIA_TYPE_AUDIO;
  // Taken at once: a stream that fails leaves none of them for the next one.
  const TEncoderOptions encoderOptions =
      video ? std::exchange(s.VideoEncoderOptions, {}) : TEncoderOptions{};
  AVStream* stream = NewStream(Context);
  TOutputStreamSetup& setup = NewStreamSetup(Context, stream, video ? 0 : audio ? 1 : 2);
  const bool copy = video ? s.VideoStreamCopy : audio ? s.AudioStreamCopy : s.SubtitleStreamCopy;
  const std::string& name = video   ? s.VideoCodecName
                            : audio ? s.AudioCodecName
                                    : s.SubtitleCodecName;

  // Without a name the format's own codec of the type is used, so subtitles convert too.
  AVCodecID id = AV_CODEC_ID_NONE;
  const AVCodec* encoder = nullptr;
  if (!copy) {
    id = name.empty() ? lib::av_guess_codec(Context->oformat, nullptr, Context->url, nullptr, Type)
                      : CodecIdByName(name, Type, true);
    if (video || audio)
      encoder = EncoderOf(name, id);
    else if (id)
      encoder = lib::avcodec_find_encoder(id);
  }
  setup.Codec.reset(lib::avcodec_alloc_context3(encoder));
  AVCodecContext* codec = setup.Codec.get();
  if (!codec) throw FFMpegException("Could not alloc stream");
  codec->codec_type = Type;
  setup.StreamCopy = copy;
  if (video)
    SetUpVideoStream(Context, stream, setup, encoder, id, encoderOptions);
  else if (audio)
    SetUpAudioStream(Context, stream, setup, encoder, id);
  else
    SetUpSubtitleStream(stream, setup, id);
}

void TJobSetup::SetUpVideoStream(AVFormatContext* Context, AVStream* Stream,
                                 TOutputStreamSetup& Setup, const AVCodec* Encoder, AVCodecID Id,
                                 const TEncoderOptions& EncoderOptions) {
  const TEngineSettings& s = S;
  if (Setup.StreamCopy) {
    // The copied pictures keep the coded orientation; the settings hold the upright one.
    Stream->sample_aspect_ratio =
        TurnsOnSide(s.FrameRotation)
            ? SampleAspectFor(1 / s.FrameAspectRatio, s.FrameHeight, s.FrameWidth)
            : SampleAspectFor(s.FrameAspectRatio, s.FrameWidth, s.FrameHeight);
    return;
  }
  AVCodecContext* codec = Setup.Codec.get();
  codec->codec_id = Id;
  if (s.VideoCodecTag) codec->codec_tag = s.VideoCodecTag;
  AVCodecContext* options = L.CodecContexts[0].get();
  if ((s.VideoGlobalHeader & 1) ||
      (s.VideoGlobalHeader == 0 && (Context->oformat->flags & AVFMT_GLOBALHEADER))) {
    codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    options->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (s.VideoGlobalHeader & 2) {
    codec->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    options->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }
  L.ApplyRecorded(codec, options, AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  for (const auto& [name, value] : EncoderOptions) {
    const int result = lib::av_opt_set(codec, name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
    if (result < 0)
      throw FFMpegException(
          StringFormat("Encoder %s refuses %s=%s: ", Encoder ? Encoder->name : "(none)",
                       name.c_str(), value.c_str()) +
          ErrorReason(result));
  }
  SetVideoPicture(s, Encoder, codec, Stream);
  SetVideoRateControl(s, Setup, codec);
}

void TJobSetup::SetUpAudioStream(AVFormatContext* Context, AVStream* Stream,
                                 TOutputStreamSetup& Setup, const AVCodec* Encoder, AVCodecID Id) {
  const TEngineSettings& s = S;
  AVCodecContext* codec = Setup.Codec.get();
  if (s.AudioCodecTag) codec->codec_tag = s.AudioCodecTag;
  AVCodecContext* options = L.CodecContexts[1].get();
  if (Context->oformat->flags & AVFMT_GLOBALHEADER) {
    codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    options->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  lib::av_channel_layout_uninit(&codec->ch_layout);
  lib::av_channel_layout_default(&codec->ch_layout, s.AudioChannels);

  if (!Setup.StreamCopy) {
    codec->codec_id = Id;
    L.ApplyRecorded(codec, options, AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    if (s.AudioQScale > -99999) {
      codec->flags |= AV_CODEC_FLAG_QSCALE;
      Setup.Quality = kLambdaPerQScale * s.AudioQScale;
      codec->global_quality = static_cast<int>(Setup.Quality);
    }
    codec->thread_count = s.ThreadCount;
    auto sampleFormat = static_cast<AVSampleFormat>(s.AudioSampleFormat);
    if (Encoder && Encoder->sample_fmts &&
        !Lists(Encoder->sample_fmts, AV_SAMPLE_FMT_NONE, sampleFormat))
      sampleFormat = Encoder->sample_fmts[0];
    codec->sample_fmt = sampleFormat;
  }
  codec->sample_rate = s.AudioSampleRate;
  codec->time_base = {1, s.AudioSampleRate > 0 ? s.AudioSampleRate : 1};
  SetLanguage(Stream, s.AudioLanguage);
}

void TJobSetup::SetUpSubtitleStream(AVStream* Stream, TOutputStreamSetup& Setup, AVCodecID Id) {
  if (!Setup.StreamCopy) {
    Setup.Codec->codec_id = Id;
    L.ApplyRecorded(Setup.Codec.get(), L.CodecContexts[3].get(),
                    AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  }
  SetLanguage(Stream, S.SubtitleLanguage);
}

bool TJobSetup::AddCoverPicture(int File, int Stream) {
  AVFormatContext* output = P.LastOutputFile();
  if (File < 0 || File >= P.NbInputFiles || Stream < 0 ||
      Stream >= static_cast<int>(P.InputFiles[File]->nb_streams) ||
      !IsCoverPicture(P.InputFiles[File]->streams[Stream]))
    throw FFMpegException(StringFormat("Stream #%d.%d is no cover picture", File, Stream));
  const AVStream* cover = P.InputFiles[File]->streams[Stream];
  const AVCodecID codecId = cover->codecpar->codec_id;
  switch (CoverKeepingOf(output->oformat, codecId)) {
    case TCoverKeeping::ckAttachedPicture: {
      S.VideoStreamCopy = true;
      NewOutputStream(output, AVMEDIA_TYPE_VIDEO);
      AVStream* stream = output->streams[output->nb_streams - 1];
      stream->sample_aspect_ratio = cover->sample_aspect_ratio;
      TOutputStreamSetup& setup = P.OutputStreams[P.OutputRowOf(output)][stream->index];
      setup.CoverFile = File;
      setup.CoverStream = Stream;
      return true;
    }
    case TCoverKeeping::ckAttachment: {
      // Written with the header: the file's bytes ride in the stream's extra data.
      const AVPacket& picture = cover->attached_pic;
      if (picture.size <= 0) throw FFMpegException("The cover picture holds no data");
      AVStream* stream = NewStream(output);
      AVCodecParameters* parameters = stream->codecpar;
      parameters->codec_type = AVMEDIA_TYPE_ATTACHMENT;
      parameters->codec_id = codecId;
      parameters->extradata = static_cast<std::uint8_t*>(
          lib::av_mallocz(static_cast<std::size_t>(picture.size) + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!parameters->extradata)
        throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
      std::memcpy(parameters->extradata, picture.data, static_cast<std::size_t>(picture.size));
      parameters->extradata_size = picture.size;
      const bool jpeg = codecId == AV_CODEC_ID_MJPEG;
      lib::av_dict_set(&stream->metadata, "filename", jpeg ? "cover.jpg" : "cover.png", 0);
      lib::av_dict_set(&stream->metadata, "mimetype", jpeg ? "image/jpeg" : "image/png", 0);
      return false;
    }
    case TCoverKeeping::ckNone:
      break;
  }
  throw FFMpegException(StringFormat("The %s format keeps no %s cover picture",
                                     output->oformat->name, lib::avcodec_get_name(codecId)));
}
