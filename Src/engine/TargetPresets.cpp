// Target presets: everything the next output file needs to conform to a disc or camcorder
// standard (VCD, SVCD, DVD, DV), for the PAL, NTSC or film norm.
#include <cmath>
#include <optional>

#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/FirstFrames.h"

namespace {

enum class TNorm { Pal, Ntsc, Film };

// The norm whose frame rate this is: 25, 29.97 or 23.976 frames per second.
std::optional<TNorm> NormOfRate(AVRational rate) {
  if (rate.den == 0) return std::nullopt;
  const double milliFps = std::nearbyint(rate.num * 1000.0 / rate.den);
  if (milliFps == 25000) return TNorm::Pal;
  if (milliFps == 29970 || milliFps == 23976) return TNorm::Ntsc;
  return std::nullopt;
}

// The norm of the first video stream of the inputs whose tick names one: the tick is the
// frame period the stream was made for (an AVI of 15 pictures a second whose MPEG-4 stream
// counts in 1/25 s was made for PAL). The decoder's clock, read from the stream itself,
// comes first; then the container's time base; a stream whose ticks name no norm is judged
// by its average rate, or by the demuxer's real base rate when the average is unknown.
std::optional<TNorm> NormOfInputs(const TCustomFFmpeg& engine) {
  for (int i = 0; i < engine.InputFileCount(); ++i) {
    const AVFormatContext* input = engine.InputFile(i);
    for (unsigned j = 0; j < input->nb_streams; ++j) {
      const AVStream* stream = input->streams[j];
      if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || IsCoverPicture(stream)) continue;
      const AVRational decoderRate = DecodeFirstFrames(input, static_cast<int>(j)).DecoderFrameRate;
      if (const auto norm = NormOfRate(decoderRate)) return norm;
      if (const auto norm = NormOfRate(av_inv_q(stream->time_base))) return norm;
      const AVRational rate = stream->avg_frame_rate.num && stream->avg_frame_rate.den
                                  ? stream->avg_frame_rate
                                  : stream->r_frame_rate;
      if (const auto norm = NormOfRate(rate)) return norm;
    }
  }
  return std::nullopt;
}

}  // namespace

void TCustomFFmpeg::SetTarget(const std::string& Text) {
  const std::string text = TrimText(Text);
  for (const std::string norm : {"pal", "ntsc", "film"})
    if (text.rfind(norm + "-", 0) == 0) {
      ApplyTarget(text.substr(norm.size() + 1), norm, "ntsc");
      return;
    }
  ApplyTarget(text, "auto", "ntsc");
}

void TCustomFFmpeg::ApplyTarget(const std::string& Kind, const std::string& Norm,
                                const std::string& FallbackNorm) {
  TNorm norm;
  if (Norm == "pal") {
    norm = TNorm::Pal;
  } else if (Norm == "ntsc") {
    norm = TNorm::Ntsc;
  } else if (Norm == "film") {
    norm = TNorm::Film;
  } else {
    if (FSettings.FrameRate.den == 0) throw FFMpegException("frame_rate is invalid.");
    std::optional<TNorm> found = NormOfRate(FSettings.FrameRate);
    if (!found) found = NormOfInputs(*this);
    norm = found                    ? *found
           : FallbackNorm == "film" ? TNorm::Film
           : FallbackNorm == "ntsc" ? TNorm::Ntsc
                                    : TNorm::Pal;
    if (FSettings.Verbosity > 0 && Logging())
      Log(1, StringFormat("Assuming %s for target.", norm == TNorm::Pal ? "PAL" : "NTSC"));
  }

  const bool pal = norm == TNorm::Pal;
  const std::string rate = pal ? "25" : norm == TNorm::Ntsc ? "30000/1001" : "24000/1001";
  // A disc's frame size is the standard's, whatever the shape of the pictures.
  const auto frameSize = [&](const char* palSize, const char* ntscSize) {
    SetFrameSize(pal ? palSize : ntscSize);
    FSettings.FrameSizeGiven = false;
  };
  // Library options that the libraries do not know are skipped, as always.
  const auto option = [this](const char* name, const char* value) { SetCodecOption(name, value); };
  // The library's name for the group-of-pictures length.
  const auto gop = [&] { option("g", pal ? "15" : "18"); };
  const auto monoToStereo = [this] {
    if (FSettings.AudioChannels == 1) FSettings.AudioChannels = 2;
  };
  const auto defaultAspect = [this](const char* aspect) {
    if (FSettings.FrameAspectRatio != 0) return;
    if (Logging()) Log(1, StringFormat("Assuming %s for aspect ratio", aspect));
    SetAspectRatio(aspect);
  };

  if (Kind == "vcd") {
    SetVideoCodec("mpeg1video");
    SetAudioCodec("mp2");
    SetOutputFormat("vcd");
    frameSize("352x288", "352x240");
    SetFrameRate(rate);
    gop();
    option("b", "1150000");
    option("maxrate", "1150000");
    option("minrate", "1150000");
    option("bufsize", "327680");
    option("ab", "224000");
    FSettings.AudioSampleRate = 44100;
    FSettings.AudioChannels = 2;
    option("packetsize", "2324");
    option("muxrate", "1411200");
    FSettings.MuxPreload = 0.44f;
    defaultAspect("4:3");
  } else if (Kind == "svcd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("mp2");
    SetOutputFormat("svcd");
    frameSize("480x576", "480x480");
    SetFrameRate(rate);
    gop();
    option("b", "2040000");
    option("maxrate", "2516000");
    option("minrate", "0");
    option("bufsize", "1835008");
    // Libraries that keep the scan-offset reservation only as a private encoder option
    // would answer the flag with an error in their log; they are spared it.
    if (FCodecOptionContexts[0] &&
        lib::av_opt_find(FCodecOptionContexts[0].get(), "scan_offset", "flags", 0, 0))
      option("flags", "+scan_offset");
    option("ab", "224000");
    FSettings.AudioSampleRate = 44100;
    option("packetsize", "2324");
    monoToStereo();
    defaultAspect("4:3");
  } else if (Kind == "dvd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("ac3");
    SetOutputFormat("dvd");
    frameSize("720x576", "720x480");
    SetFrameRate(rate);
    gop();
    option("b", "6000000");
    option("maxrate", "9000000");
    option("minrate", "0");
    option("bufsize", "1835008");
    option("packetsize", "2048");
    option("muxrate", "10080000");
    option("ab", "448000");
    FSettings.AudioSampleRate = 48000;
    monoToStereo();
    defaultAspect("16:9");
  } else if (Kind == "dv" || Kind == "dv50") {
    SetOutputFormat("dv");
    frameSize("720x576", "720x480");
    SetPixelFormat(Kind == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    SetFrameRate(rate);
    FSettings.AudioSampleRate = 48000;
    FSettings.AudioChannels = 2;
  } else {
    throw FFMpegException("Unknown target type");
  }
}
