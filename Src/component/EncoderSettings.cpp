// The video encoder's own settings for a task: constant quality instead of a bit rate,
// speeds that suit a desktop for encoders whose own defaults are far slower, and the tag
// players expect for HEVC in MP4 and MOV.
#include <algorithm>
#include <cstring>

#include "binding/MediaLibraries.h"
#include "binding/MyUtils.h"
#include "component/TaskList.h"

namespace {

struct TEncoderSpeed {
  const char* Encoder;
  const char* Option;
  const char* Value;
};

// Left to themselves these encode a 1080p minute in tens of minutes or hours (libaom's
// cpu-used 1, libvpx's cpu-used 1); these settings keep it to minutes on a desktop at a
// small cost in size. libx264 keeps its own defaults, which the older profiles rely on.
constexpr TEncoderSpeed kEncoderSpeeds[] = {
    {"libx265", "preset", "fast"},   {"libvpx-vp9", "cpu-used", "4"}, {"libvpx-vp9", "row-mt", "1"},
    {"libaom-av1", "cpu-used", "6"}, {"libaom-av1", "row-mt", "1"},   {"libsvtav1", "preset", "8"},
};

// The muxer OpenOutput will choose for the file.
const AVOutputFormat* OutputFormatFor(const TEngineSettings& Settings,
                                      const std::string& FileName) {
  if (Settings.ForcedOutputFormat) return Settings.ForcedOutputFormat;
  return lib::av_guess_format(nullptr, FileName.c_str(), nullptr);
}

// The encoder the output's video stream will get: the one named by the options or a target
// preset, else the muxer's default.
const AVCodec* VideoEncoderFor(const TEngineSettings& Settings, const AVOutputFormat* Format,
                               const std::string& FileName) {
  if (!Settings.VideoCodecName.empty())
    return lib::avcodec_find_encoder_by_name(Settings.VideoCodecName.c_str());
  if (!Format) return nullptr;
  const AVCodecID id =
      lib::av_guess_codec(Format, nullptr, FileName.c_str(), nullptr, AVMEDIA_TYPE_VIDEO);
  return id == AV_CODEC_ID_NONE ? nullptr : lib::avcodec_find_encoder(id);
}

bool HasOwnOption(const AVCodec* Encoder, const char* Name) {
  const AVClass* options = Encoder->priv_class;
  return options && lib::av_opt_find(&options, Name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
}

bool IsOneOf(const char* Name, std::initializer_list<const char*> Names) {
  return std::any_of(Names.begin(), Names.end(),
                     [Name](const char* listed) { return std::strcmp(Name, listed) == 0; });
}

}  // namespace

void TFFmpeg::ApplyVideoEncoderSettings(const TOutputOptions& Options,
                                        const std::string& FileName) {
  if (FSettings.VideoDisable || FSettings.VideoStreamCopy) return;
  const AVOutputFormat* format = OutputFormatFor(FSettings, FileName);
  const AVCodec* encoder = VideoEncoderFor(FSettings, format, FileName);
  if (!encoder) return;  // the output's set-up says why

  for (const TEncoderSpeed& speed : kEncoderSpeeds) {
    if (std::strcmp(speed.Encoder, encoder->name) == 0)
      SetVideoEncoderOption(speed.Option, speed.Value);
  }
  if (encoder->id == AV_CODEC_ID_HEVC && FSettings.VideoCodecTag == 0 && format &&
      IsOneOf(format->name, {"mp4", "mov"}))
    SetVideoTag("hvc1");

  if (Options.VideoQuality < 0) return;
  std::string how;
  if (HasOwnOption(encoder, "crf")) {
    // A bit rate beside the CRF would make VP9 and libaom cap the quality by it.
    SetVideoEncoderOption("b", "0");
    SetVideoEncoderOption("crf", std::to_string(Options.VideoQuality));
    how = "crf " + std::to_string(Options.VideoQuality);
  } else {
    // Encoders without a CRF take a fixed quantiser, whose scale ends at 31.
    const int scale = std::clamp(Options.VideoQuality, 1, 31);
    SetVideoQScale(static_cast<float>(scale));
    how = "qscale " + std::to_string(scale);
  }
  if (Logging()) Log(1, "Video quality: " + how + " (" + encoder->name + ")");
}
