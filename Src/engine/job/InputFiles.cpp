// Opening input files: demuxer parameters from the settings, stream information, the seek
// to the start time, and the take-over of each stream's parameters into the settings.
#include <algorithm>
#include <filesystem>

#include "binding/MyUtils.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"
#include "engine/PictureRotation.h"
#include "engine/ProcessState.h"
#include "engine/job/JobSetup.h"
#include "engine/options/LibraryOptions.h"

namespace {

double AspectOf(AVRational ratio) {
  return ratio.num && ratio.den ? RationalToDouble(ratio) : 0;
}

// A stop request also ends a read that the library is blocked in (a stalled device, a long
// stretch of garbage to resynchronise over).
int StopRequestedCallback(void* engine) {
  return static_cast<TCustomFFmpeg*>(engine)->StopRequested();
}

std::string LowerExtension(const std::string& fileName) {
  return LowerCase(std::filesystem::path(fileName).extension().string());
}

// Whether the names in a library's comma-separated list include the extension (".al").
bool ExtensionListed(const char* list, const std::string& extension) {
  if (!list || extension.size() < 2) return false;
  const std::string names = std::string(",") + list + ",";
  return names.find("," + extension.substr(1) + ",") != std::string::npos;
}

}  // namespace

bool IsHeaderlessTelephoneSound(const AVInputFormat* Forced, const std::string& FileName) {
  for (const char* name : {"alaw", "mulaw"}) {
    const AVInputFormat* format = lib::av_find_input_format(name);
    if (format &&
        (Forced ? Forced == format : ExtensionListed(format->extensions, LowerExtension(FileName))))
      return true;
  }
  return false;
}

std::string BlockingInputText(const std::string& FileName) {
  std::error_code unknown;
  if (IsUrl(FileName) ||
      std::filesystem::status(FileName, unknown).type() != std::filesystem::file_type::fifo)
    return {};
  return FileName + ": Error while opening file (a named pipe cannot be converted)";
}

AVCodecID CodecIdByName(const std::string& Name, AVMediaType CodecType, bool Encoder) {
  if (Name.empty()) return AV_CODEC_ID_NONE;
  const AVCodec* codec = Encoder ? lib::avcodec_find_encoder_by_name(Name.c_str())
                                 : lib::avcodec_find_decoder_by_name(Name.c_str());
  const char* role = Encoder ? "encoder" : "decoder";
  if (!codec) throw FFMpegException(StringFormat("Unknown %s '%s'", role, Name.c_str()));
  if (codec->type != CodecType)
    throw FFMpegException(StringFormat("Invalid %s type '%s'", role, Name.c_str()));
  return codec->id;
}

// The opened and probed demuxer of an input, or FFMpegException with the text OpenInput reports.
TInputFormatContextPtr TJobSetup::OpenInputContext(const std::string& FileName) {
  if (P.NbInputFiles >= kMaxFiles)
    throw FFMpegException(
        StringFormat("Too many input files: at most %d can be opened", kMaxFiles));
  if (std::string refusal = BlockingInputText(FileName); !refusal.empty())
    throw FFMpegException(refusal);
  AVCodecID videoId = CodecIdByName(S.VideoCodecName, AVMEDIA_TYPE_VIDEO, false);
  const AVCodecID audioId = CodecIdByName(S.AudioCodecName, AVMEDIA_TYPE_AUDIO, false);
  const AVCodecID subtitleId = CodecIdByName(S.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false);
  if (S.PgmyuvCompatibility) videoId = AV_CODEC_ID_PGMYUV;

  // What raw and device demuxers need to know, as far as options gave it for this input;
  // the others ignore these.
  const TEngineSettings::TGivenInputParameters& given = S.GivenInputParameters;
  TDictionary parameters;
  if (given.FrameRate && S.FrameRate.num && S.FrameRate.den)
    lib::av_dict_set(parameters.Address(), "framerate",
                     StringFormat("%d/%d", S.FrameRate.num, S.FrameRate.den).c_str(), 0);
  const int width = S.FrameWidth + S.PadLeft + S.PadRight;
  const int height = S.FrameHeight + S.PadTop + S.PadBottom;
  if (given.FrameSize && S.FrameWidth > 0 && S.FrameHeight > 0)
    lib::av_dict_set(parameters.Address(), "video_size",
                     StringFormat("%dx%d", width, height).c_str(), 0);
  if (given.PixelFormat && S.FramePixelFormat >= 0)
    if (const char* name = lib::av_get_pix_fmt_name(static_cast<AVPixelFormat>(S.FramePixelFormat)))
      lib::av_dict_set(parameters.Address(), "pixel_format", name, 0);
  // A file so named that holds another format goes to that format's reader, which takes no
  // rate.
  if (given.SampleRate)
    lib::av_dict_set_int(parameters.Address(), "sample_rate", S.AudioSampleRate, 0);
  else if (IsHeaderlessTelephoneSound(S.ForcedInputFormat, FileName))
    lib::av_dict_set_int(parameters.Address(), "sample_rate", kTelephoneSampleRate, 0);
  if (given.Channels) lib::av_dict_set_int(parameters.Address(), "channels", S.AudioChannels, 0);
  if (S.VideoChannel) lib::av_dict_set_int(parameters.Address(), "channel", S.VideoChannel, 0);
  if (!S.VideoStandard.empty())
    lib::av_dict_set(parameters.Address(), "standard", S.VideoStandard.c_str(), 0);

  AVFormatContext* context = lib::avformat_alloc_context();
  if (!context) throw FFMpegException(OpenErrorText(FileName, AVERROR(ENOMEM)));
  L.ApplyRecorded(context, L.FormatContext.get(), AV_OPT_FLAG_DECODING_PARAM);
  context->interrupt_callback = {StopRequestedCallback, &E};
  E.MarkLogOwner(context->opaque);
  context->video_codec_id = videoId;
  context->audio_codec_id = audioId;
  context->subtitle_codec_id = subtitleId;
  // On failure the context is freed.
  std::string failure = OpenConfinedInput(context, FileName, S.ForcedInputFormat,
                                          parameters.Address(), S.AllowPlaylists);
  if (!failure.empty()) throw FFMpegException(failure);
  TInputFormatContextPtr input(context);
  // The file is known by the name it was given, as every message and check names it.
  lib::av_free(input->url);
  input->url = lib::av_strdup(FileName.c_str());

  if (S.ProgramId != 0)
    for (unsigned i = 0; i < input->nb_programs; ++i)
      if (input->programs[i]->id != S.ProgramId) input->programs[i]->discard = AVDISCARD_ALL;

  int result = 0;
  {
    std::lock_guard lock(CodecLock());
    result = lib::avformat_find_stream_info(input.get(), nullptr);
  }
  if (result < 0 && S.Verbosity >= 0)
    throw FFMpegException(StringFormat("%s: could not find codec parameters: %s", FileName.c_str(),
                                       ErrorReason(result).c_str()));
  return input;
}

bool TJobSetup::OpenInput(const std::string& FileName, std::string& ErrorText) {
  // The settings for the next file are used up however the opening ends, raising included.
  struct TPendingSettingsClearer {
    TEngineSettings& settings;
    ~TPendingSettingsClearer() { settings.ClearPendingFileSettings(); }
  } clearPending{S};
  TInputFormatContextPtr input;
  try {
    input = OpenInputContext(FileName);
  } catch (const FFMpegException& refusal) {
    ErrorText = refusal.what();
    return false;
  }

  const std::int64_t startTime = S.StartTime;
  std::int64_t seekTarget = S.StartTime;
  if (input->start_time != AV_NOPTS_VALUE) seekTarget += input->start_time;
  if (S.StartTime != 0) {
    lib::av_seek_frame(input.get(), -1, seekTarget, AVSEEK_FLAG_BACKWARD);
    S.StartTime = 0;  // applies to this input only
  }

  P.InputStreamCodecs[P.NbInputFiles].clear();
  for (unsigned i = 0; i < input->nb_streams; ++i) TakeOverInputStream(input.get(), i, FileName);

  if (input->duration != AV_NOPTS_VALUE) {
    const std::int64_t durationMs = input->duration / 1000;
    if (durationMs > S.ExpectedTotalDurationMs)
      S.ExpectedTotalDurationMs = static_cast<int>(std::min<std::int64_t>(durationMs, INT32_MAX));
  }

  const int index = P.NbInputFiles;
  P.InputFilesTsOffset[index] = S.InputTimeOffset - (S.CopyTimestamps ? 0 : seekTarget);
  P.InputFilesRateEmulation[index] = S.RateEmulation;
  P.InputFilesStartTime[index] = startTime;
  if (S.Verbosity >= 0) lib::av_dump_format(input.get(), index, FileName.c_str(), 0);
  P.InputFiles[index] = std::move(input);
  if (static_cast<int>(P.InputFilesTsScale.size()) <= index)
    P.InputFilesTsScale.resize(index + 1, {});
  ++P.NbInputFiles;
  return true;
}

void TJobSetup::TakeOverInputStream(AVFormatContext* Context, unsigned StreamIndex,
                                    const std::string& FileName) {
  AVStream* stream = Context->streams[StreamIndex];
  const AVCodec* decoder = lib::avcodec_find_decoder(stream->codecpar->codec_id);
  TCodecContextPtr codec(lib::avcodec_alloc_context3(decoder));
  if (!codec) throw FFMpegException(OpenErrorText(FileName, AVERROR(ENOMEM)));
  if (const int result = lib::avcodec_parameters_to_context(codec.get(), stream->codecpar);
      result < 0)
    throw FFMpegException(OpenErrorText(FileName, result));
  codec->pkt_timebase = stream->time_base;
  codec->thread_count = S.ThreadCount;

  switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      L.ApplyRecorded(codec.get(), L.CodecContexts[1].get(),
                      AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
      S.AudioChannels = codec->ch_layout.nb_channels;
      S.AudioSampleRate = codec->sample_rate;
      S.AudioSampleFormat = codec->sample_fmt;
      if (S.AudioDisable) stream->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_VIDEO: {
      L.ApplyRecorded(codec.get(), L.CodecContexts[0].get(),
                      AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
      // A cover picture's size and rate are no video's to take over.
      if (IsCoverPicture(stream)) break;
      S.FrameWidth = codec->width;
      S.FrameHeight = codec->height;
      double aspect = stream->sample_aspect_ratio.num ? AspectOf(stream->sample_aspect_ratio)
                                                      : AspectOf(codec->sample_aspect_ratio);
      if (codec->width != 0 && codec->height != 0)
        aspect = aspect != 0 ? aspect * codec->width / codec->height
                             : static_cast<double>(codec->width) / codec->height;
      else if (aspect == 0)
        aspect = 4.0 / 3.0;
      // Pictures filmed upright are converted upright: the output side sees their shape.
      S.FrameRotation = UprightRotation(stream);
      S.FrameSizeGiven = false;
      if (TurnsOnSide(S.FrameRotation)) {
        std::swap(S.FrameWidth, S.FrameHeight);
        aspect = 1 / aspect;
      }
      S.FrameAspectRatio = static_cast<float>(aspect);
      if (codec->pix_fmt == AV_PIX_FMT_NONE && LowerExtension(FileName).rfind(".rmvb", 0) == 0)
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
      S.FramePixelFormat = codec->pix_fmt;
      const AVRational codecRate = stream->avg_frame_rate;
      const AVRational streamRate = stream->r_frame_rate;
      if (codecRate.num && (codecRate.num != streamRate.num || codecRate.den != streamRate.den) &&
          S.Verbosity > 0 && E.Logging())
        E.Log(1, StringFormat("Seems stream %d codec frame rate differs from container frame rate: "
                              "%2.2f (%d/%d) -> %2.2f (%d/%d)",
                              static_cast<int>(StreamIndex), AspectOf(codecRate), codecRate.num,
                              codecRate.den, AspectOf(streamRate), streamRate.num, streamRate.den));
      S.FrameRate = streamRate;
      if (S.VideoDisable)
        stream->discard = AVDISCARD_ALL;
      else if (S.VideoDiscard)
        stream->discard = static_cast<AVDiscard>(S.VideoDiscard);
      break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
      if (S.SubtitleDisable) stream->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT:
    case AVMEDIA_TYPE_UNKNOWN:
      break;
    default:
      throw FFMpegException("invalid codec_type");
  }
  P.InputStreamCodecs[P.NbInputFiles].push_back(std::move(codec));
}
