// Target presets: everything the next output file needs to conform to a disc or camcorder
// standard (VCD, SVCD, DVD, DV), for the PAL, NTSC or film norm.
#include <cmath>
#include <optional>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/CoverPictures.h"
#include "engine/EngineTypes.h"
#include "engine/FirstFrames.h"
#include "engine/job/JobPlan.h"
#include "engine/options/EngineOptions.h"
#include "engine/options/LibraryOptions.h"

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
std::optional<TNorm> NormOfInputs(const TJobPlan* plan) {
  for (int i = 0; plan && i < plan->NbInputFiles; ++i) {
    const AVFormatContext* input = plan->InputFiles[i].get();
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

// The norm asked for; "auto" (or any other word) deduces it, setting assumed.
TNorm TargetNorm(const TEngineSettings& settings, const TJobPlan* plan, const std::string& Norm,
                 const std::string& FallbackNorm, bool& assumed) {
  if (Norm == "pal") return TNorm::Pal;
  if (Norm == "ntsc") return TNorm::Ntsc;
  if (Norm == "film") return TNorm::Film;
  const AVRational frameRate = settings.FrameRate;
  if (frameRate.den == 0) throw FFMpegException("frame_rate is invalid.");
  std::optional<TNorm> found = NormOfRate(frameRate);
  if (!found) found = NormOfInputs(plan);
  assumed = true;
  return found                    ? *found
         : FallbackNorm == "film" ? TNorm::Film
         : FallbackNorm == "ntsc" ? TNorm::Ntsc
                                  : TNorm::Pal;
}

}  // namespace

// A disc standard: what its streams and its muxer are set to.
struct TDiscTarget {
  const char* Kind;
  const char* VideoCodec;
  const char* AudioCodec;
  const char* PalSize;
  const char* NtscSize;
  const char* Bitrate;
  const char* MaxRate;
  const char* MinRate;
  const char* BufferSize;
  bool ScanOffset;  // the encoder keeps room for the scan offset
  const char* AudioBitrate;
  int SampleRate;
  bool TwoChannels;  // always two channels; otherwise mono becomes stereo
  const char* PacketSize;
  const char* MuxRate;  // nullptr: the muxer's own
  float MuxPreload;     // negative: unchanged
  const char* Aspect;   // when none is set
};

namespace {

// The output format of each is named as its kind.
constexpr TDiscTarget kDiscTargets[] = {
    {"vcd", "mpeg1video", "mp2", "352x288", "352x240", "1150000", "1150000", "1150000", "327680",
     false, "224000", 44100, true, "2324", "1411200", 0.44f, "4:3"},
    {"svcd", "mpeg2video", "mp2", "480x576", "480x480", "2040000", "2516000", "0", "1835008", true,
     "224000", 44100, false, "2324", nullptr, -1, "4:3"},
    {"dvd", "mpeg2video", "ac3", "720x576", "720x480", "6000000", "9000000", "0", "1835008", false,
     "448000", 48000, false, "2048", "10080000", -1, "16:9"},
};

}  // namespace

void TEngineOptions::SetTarget(const std::string& Text) {
  const std::string text = TrimText(Text);
  for (const std::string norm : {"pal", "ntsc", "film"})
    if (text.rfind(norm + "-", 0) == 0) {
      ApplyTarget(text.substr(norm.size() + 1), norm, "ntsc");
      return;
    }
  ApplyTarget(text, "auto", "ntsc");
}

void TEngineOptions::ApplyTarget(const std::string& Kind, const std::string& Norm,
                                 const std::string& FallbackNorm) {
  bool assumed = false;
  const TNorm norm = TargetNorm(S, Plan_, Norm, FallbackNorm, assumed);
  if (assumed && S.Verbosity > 0 && Logging())
    Log(1, StringFormat("Assuming %s for target.", norm == TNorm::Pal ? "PAL" : "NTSC"));

  const bool pal = norm == TNorm::Pal;
  const std::string rate = pal ? "25" : norm == TNorm::Ntsc ? "30000/1001" : "24000/1001";
  for (const TDiscTarget& target : kDiscTargets)
    if (Kind == target.Kind) {
      ApplyDiscTarget(target, pal, rate);
      return;
    }
  if (Kind != "dv" && Kind != "dv50") throw FFMpegException("Unknown target type");
  SetOutputFormat("dv");
  // A disc's or tape's frame size is the standard's, whatever the shape of the pictures.
  SetFrameSize(pal ? "720x576" : "720x480");
  S.FrameSizeGiven = false;
  SetPixelFormat(Kind == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
  SetFrameRate(rate);
  S.AudioSampleRate = 48000;
  S.AudioChannels = 2;
}

void TEngineOptions::ApplyDiscTarget(const TDiscTarget& Target, bool Pal, const std::string& Rate) {
  // Library options that the libraries do not know are skipped, as always.
  const auto option = [this](const char* name, const char* value) { SetCodecOption(name, value); };
  SetVideoCodec(Target.VideoCodec);
  SetAudioCodec(Target.AudioCodec);
  SetOutputFormat(Target.Kind);
  SetFrameSize(Pal ? Target.PalSize : Target.NtscSize);
  S.FrameSizeGiven = false;
  SetFrameRate(Rate);
  option("g", Pal ? "15" : "18");  // the library's name for the group-of-pictures length
  option("b", Target.Bitrate);
  option("maxrate", Target.MaxRate);
  option("minrate", Target.MinRate);
  option("bufsize", Target.BufferSize);
  // Libraries that keep the scan-offset reservation only as a private encoder option
  // would answer the flag with an error in their log; they are spared it.
  if (Target.ScanOffset && L.CodecContexts[0] &&
      lib::av_opt_find(L.CodecContexts[0].get(), "scan_offset", "flags", 0, 0))
    option("flags", "+scan_offset");
  option("ab", Target.AudioBitrate);
  S.AudioSampleRate = Target.SampleRate;
  if (Target.TwoChannels || S.AudioChannels == 1) S.AudioChannels = 2;
  option("packetsize", Target.PacketSize);
  if (Target.MuxRate) option("muxrate", Target.MuxRate);
  if (Target.MuxPreload >= 0) S.MuxPreload = Target.MuxPreload;
  if (S.FrameAspectRatio != 0) return;
  if (Logging()) Log(1, StringFormat("Assuming %s for aspect ratio", Target.Aspect));
  SetAspectRatio(Target.Aspect);
}
