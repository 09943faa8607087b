#include "frontend/ProfileOutput.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "frontend/ProfileLimits.h"

namespace {

EConvertError ProfileValueError(const char* key, const std::string& detail) {
  return EConvertError(std::string("Profile value ") + key + ": " + detail);
}

int ProfileInteger(const char* key, const std::string& text) {
  try {
    return StrToInt(text);
  } catch (const EConvertError& error) {
    throw ProfileValueError(key, error.what());
  }
}

void CheckBitsPerSecond(const char* key, double bits, const std::string& text) {
  if (!(bits >= std::numeric_limits<int>::min() && bits <= std::numeric_limits<int>::max())) {
    throw ProfileValueError(key, "'" + text + "' kbit/s is out of range");
  }
}

// Decimal kbit/s text to bit/s, rounded to the nearest integer with halves to even. The
// binary value of a decimal may lie a hair off a half ("0.0005" lies a little above it), so
// a product within a few units of the last place of a half counts as that half.
int AudioBitsPerSecond(const std::string& text) {
  double kilobits = 0;
  try {
    kilobits = StrToFloat(text);
  } catch (const EConvertError& error) {
    throw ProfileValueError("AudioBitRate", error.what());
  }
  double bits = kilobits * 1000.0;
  const double below = std::floor(bits);
  const double hair = 8 * std::numeric_limits<double>::epsilon() * std::fabs(bits);
  if (std::fabs(bits - below - 0.5) <= hair) bits = below + 0.5;
  bits = std::nearbyint(bits);
  CheckBitsPerSecond("AudioBitRate", bits, text);
  return static_cast<int>(bits);
}

int VideoBitsPerSecond(const std::string& text) {
  const double bits = ProfileInteger("VideoBitrate", text) * 1000.0;
  CheckBitsPerSecond("VideoBitrate", bits, text);
  return static_cast<int>(bits);
}

// The encoder a display name stands for; empty for "Auto" (or no name), which leaves the
// codec to the output format. Any other name the catalogue cannot resolve fails the file:
// converting with a codec other than the one asked for would go unnoticed.
std::string CodecName(const TIniFile& catalogue, const char* section,
                      const std::string& displayName, const std::string& profileName) {
  if (displayName.empty() || displayName == kAutoCodec) return {};
  std::string reason = catalogue.Missing() ? std::strerror(ENOENT) : catalogue.ReadProblem();
  if (reason.empty()) {
    const std::string codec = catalogue.ReadString(section, displayName, "\n");
    if (codec == kAutoCodec) return {};
    if (!codec.empty() && codec != "\n") return codec;
    reason = std::string(codec.empty() ? "no encoder named for it in [" : "no entry in [") +
             section + "]";
  }
  throw ECodecCatalogueError("codec '" + displayName + "' of profile '" + profileName +
                             "' is not in the codec catalogue (" + catalogue.FileName() + ": " +
                             reason + ")");
}

std::string FrameRateText(const std::string& option) {
  if (option == "23.976") return "24000/1001";
  if (option == "29.97") return "30000/1001";
  return option;
}

}  // namespace

std::string OutputExtension(const TProfileSettings& profile) {
  return "." + LowerCase(profile.TargetType);
}

void FillOutputOptions(const TProfileSettings& profile, const TIniFile& codecCatalogue,
                       TOutputOptions& options, const std::string& profileName) {
  options.Timestamp = 0;  // the moment the task is set up
  options.FileExt = OutputExtension(profile);
  const std::string videoCodec =
      CodecName(codecCatalogue, kVideoCodecSection, profile.VideoCodec, profileName);
  if (!videoCodec.empty()) options.VideoCodec = videoCodec;
  const std::string audioCodec =
      CodecName(codecCatalogue, kAudioCodecSection, profile.AudioCodec, profileName);
  if (!audioCodec.empty()) options.AudioCodec = audioCodec;
  if (profile.VideoDisabled) options.DisableVideo = true;
  if (profile.AudioDisabled) options.DisableAudio = true;
  if (profile.VideoSizeOption != "Original") {
    options.FrameSize = profile.VideoCustomWidth + "x" + profile.VideoCustomHeight;
  }
  if (profile.VideoFrameRateOption != "Original") {
    options.FrameRate = FrameRateText(profile.VideoFrameRateOption);
  }
  options.VideoBitrate = VideoBitsPerSecond(profile.VideoBitrate);
  if (profile.VideoRateControl == kRateControlQuality) {
    options.VideoQuality = ProfileInteger("VideoQuality", profile.VideoQuality);
  }
  options.KeepAllTracks = profile.Tracks == kTracksAll;
  options.CopyFittingStreams = profile.CopyStreamsThatFit;
  options.AudioChannels = ProfileInteger("AudioChannels", profile.AudioChannels);
  options.AudioSampleRate = ProfileInteger("AudioSampleRate", profile.AudioSampleRate);
  options.AudioBitrate = AudioBitsPerSecond(profile.AudioBitRate);
  // Hand-edited files reach here without the dialog's check.
  if (const std::string problem = ProfileValueProblem(profile); !problem.empty()) {
    throw EConvertError("Profile value " + problem);
  }

  // Players and devices play 8-bit 4:2:0: sources of more bits or fuller chroma (10-bit
  // phone and camera video) would otherwise keep theirs wherever the encoder takes them.
  // An option line given after this one still asks for another format.
  if (!profile.VideoDisabled) options.ExtOptions = "pix_fmt=yuv420p\n";
  options.PickAudioTrack = true;

  options.TargetType = ttNone;
  if (profile.OOTargetType == "ttVCD") options.TargetType = ttVCD;
  if (profile.OOTargetType == "ttSVCD") options.TargetType = ttSVCD;
  if (profile.OOTargetType == "ttDVD") options.TargetType = ttDVD;
  options.TargetNorm = ntAuto;
  if (profile.OONormType == "ntPAL") options.TargetNorm = ntPAL;
  if (profile.OONormType == "ntNTSC") options.TargetNorm = ntNTSC;
}
