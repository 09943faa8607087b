#include "frontend/ProfileLimits.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "binding/MyUtils.h"

namespace {

// Bitrates travel to the engine in bits per second as 32-bit numbers.
constexpr double kMostKilobits = std::numeric_limits<int>::max() / 1000;
constexpr int kLeastPixels = 2;  // the encoders take even sizes from 2 up
constexpr int kMostPixels = 16384;
constexpr double kLeastFrameRate = 1;
constexpr double kMostFrameRate = 1000;
constexpr int kMostChannels = 64;  // recorders write 16 or 24, 22.2 sound 24
constexpr int kLeastSampleRate = 1000;
constexpr int kMostSampleRate = 384000;

std::optional<long long> WholeNumber(const std::string& text) {
  std::string digits = Trim(text);
  if (!digits.empty() && digits.front() == '+') digits.erase(0, 1);
  long long value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<double> DecimalNumber(const std::string& text) {
  const std::string digits = Trim(text);
  if (digits.empty() || digits.find_first_not_of("+-0123456789.") != std::string::npos) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double value = std::strtod(digits.c_str(), &end);
  if (end != digits.c_str() + digits.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Number(double value) {
  if (value == std::floor(value)) return std::to_string(static_cast<long long>(value));
  std::string text = std::to_string(value);
  while (text.back() == '0') text.pop_back();
  return text;
}

std::string Range(const char* key, const std::string& value, double low, double high,
                  const char* unit) {
  return std::string(key) + " " + value + ": must be from " + Number(low) + " to " + Number(high) +
         " " + unit;
}

std::string CheckWhole(const char* key, const std::string& value, long long low, long long high,
                       const char* unit) {
  const std::optional<long long> number = WholeNumber(value);
  if (number && *number >= low && *number <= high) return {};
  return Range(key, value, static_cast<double>(low), static_cast<double>(high), unit) +
         (number ? "" : " (a whole number)");
}

std::string CheckDecimal(const char* key, const std::string& value, double low, double high,
                         const char* unit) {
  const std::optional<double> number = DecimalNumber(value);
  if (number && *number >= low && *number <= high) return {};
  return Range(key, value, low, high, unit) + (number ? "" : " (a number)");
}

// The names of rates the libraries read ("pal" is 25 fps).
constexpr const char* kFrameRateNames[] = {"ntsc",  "pal",  "qntsc", "qpal",
                                           "sntsc", "spal", "film",  "ntsc-film"};

// "25", "23.976" or "30000/1001" as frames per second; nothing for other text.
std::optional<double> FramesPerSecond(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return DecimalNumber(text);
  const std::optional<double> frames = DecimalNumber(text.substr(0, slash));
  const std::optional<double> seconds = DecimalNumber(text.substr(slash + 1));
  if (!frames || !seconds) return std::nullopt;
  return *seconds == 0 ? std::numeric_limits<double>::infinity() : *frames / *seconds;
}

// 0 leaves the rate to the encoder, as profiles of encoders without one store it.
std::string CheckBitrate(std::string problem, const std::string& value) {
  if (problem.empty() || DecimalNumber(value) == 0.0) return {};
  return problem + " (or 0 for the encoder's own)";
}

// Rate control names a known mode; quality is the encoders' CRF / CQ scale, 0 to 63 across
// x264, x265, VP9 and AV1.
std::string CheckRateControl(const TProfileSettings& profile) {
  if (profile.VideoRateControl == kRateControlBitrate) return {};
  if (profile.VideoRateControl != kRateControlQuality) {
    return std::string("VideoRateControl ") + profile.VideoRateControl + ": must be " +
           kRateControlBitrate + " or " + kRateControlQuality;
  }
  return CheckWhole("VideoQuality", profile.VideoQuality, 0, 63, "(constant quality)");
}

template <std::size_t N>
bool OneOf(const std::string& text, const char* const (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [&](const char* name) { return text == name; });
}

template <std::size_t N>
std::string Joined(const char* const (&names)[N]) {
  std::string text;
  for (std::size_t i = 0; i < N; ++i)
    text += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + names[i];
  return text;
}

// "320x240": the names the options dialog gives its sizes; the size itself is in the
// custom width and height.
bool IsSizeName(const std::string& text) {
  const std::size_t x = text.find('x');
  return x != std::string::npos && WholeNumber(text.substr(0, x)) &&
         WholeNumber(text.substr(x + 1)) && text.find_first_of("+- ") == std::string::npos;
}

constexpr const char* kDiscTargets[] = {"", "ttNone", "ttVCD", "ttSVCD", "ttDVD"};
constexpr const char* kDiscNorms[] = {"", "ntAuto", "ntPAL", "ntNTSC"};

// The keys every profile has, whatever its streams: the output's extension and the disc
// preset.
std::string CheckOutput(const TProfileSettings& profile) {
  const std::string& type = profile.TargetType;
  const bool extension =
      !type.empty() && type.size() <= 16 &&
      std::all_of(type.begin(), type.end(), [](unsigned char c) { return std::isalnum(c); });
  if (!extension) {
    return "TargetType " + type +
           ": must be an output file's extension such as MKV or MP4 (letters and digits)";
  }
  if (!OneOf(profile.OOTargetType, kDiscTargets)) {
    return "OOTargetType " + profile.OOTargetType + ": must be empty or one of " +
           Joined(kDiscTargets);
  }
  if (!OneOf(profile.OONormType, kDiscNorms)) {
    return "OONormType " + profile.OONormType + ": must be empty or one of " + Joined(kDiscNorms);
  }
  return {};
}

std::string CheckVideo(const TProfileSettings& profile) {
  if (profile.VideoSizeOption != "Original" && profile.VideoSizeOption != "Custom..." &&
      !IsSizeName(profile.VideoSizeOption)) {
    return "VideoSizeOption " + profile.VideoSizeOption +
           ": must be Original, Custom... or a size such as 320x240";
  }
  if (std::string problem = CheckRateControl(profile); !problem.empty()) return problem;
  std::string problem = CheckBitrate(CheckWhole("VideoBitrate", profile.VideoBitrate, 1,
                                                static_cast<long long>(kMostKilobits), "kbit/s"),
                                     profile.VideoBitrate);
  if (problem.empty() && profile.VideoSizeOption != "Original") {
    problem = CheckWhole("VideoCustomWidth", profile.VideoCustomWidth, kLeastPixels, kMostPixels,
                         "pixels");
    if (problem.empty()) {
      problem = CheckWhole("VideoCustomHeight", profile.VideoCustomHeight, kLeastPixels,
                           kMostPixels, "pixels");
    }
  }
  if (problem.empty() && profile.VideoFrameRateOption != "Original") {
    const std::string& text = profile.VideoFrameRateOption;
    const std::optional<double> rate = FramesPerSecond(text);
    if (rate && !(*rate >= kLeastFrameRate && *rate <= kMostFrameRate)) {
      problem = Range("VideoFrameRateOption", text, kLeastFrameRate, kMostFrameRate, "fps");
    } else if (!rate && !OneOf(text, kFrameRateNames)) {
      problem = "VideoFrameRateOption " + text + ": must be Original, a rate such as 25, 29.97 " +
                "or 30000/1001, or one of " + Joined(kFrameRateNames);
    }
  }
  return problem;
}

std::string CheckAudio(const TProfileSettings& profile) {
  std::string problem =
      CheckWhole("AudioChannels", profile.AudioChannels, 1, kMostChannels, "channels");
  if (problem.empty()) {
    problem = CheckWhole("AudioSampleRate", profile.AudioSampleRate, kLeastSampleRate,
                         kMostSampleRate, "Hz");
  }
  if (problem.empty()) {
    problem =
        CheckBitrate(CheckDecimal("AudioBitRate", profile.AudioBitRate, 1, kMostKilobits, "kbit/s"),
                     profile.AudioBitRate);
  }
  return problem;
}

}  // namespace

std::string ProfileValueProblem(const TProfileSettings& profile) {
  std::string problem;
  if (profile.Tracks != kTracksFirst && profile.Tracks != kTracksAll) {
    return std::string("Tracks ") + profile.Tracks + ": must be " + kTracksFirst + " or " +
           kTracksAll;
  }
  problem = CheckOutput(profile);
  if (problem.empty() && !profile.VideoDisabled) problem = CheckVideo(profile);
  if (problem.empty() && !profile.AudioDisabled) problem = CheckAudio(profile);
  return problem;
}
