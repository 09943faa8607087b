// Setters of the picture: frame rate and size, aspect ratio, pixel and sample formats,
// crop, pad and pad colour, video quality and the quantiser matrices.
#include <array>
#include <cmath>
#include <cstdlib>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/EngineTypes.h"
#include "engine/options/EngineOptions.h"

namespace {

constexpr const char* kVerticalCropRange =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";
constexpr const char* kHorizontalCropRange =
    "Horizontal crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

// Checks one crop value against the dimension it is taken from, then takes it off.
void ApplyCrop(int Value, const char* ParityMessage, const char* RangeMessage, int& Crop,
               int& Dimension) {
  if (Value < 0) return;
  if (Value % 2 != 0) throw FFMpegException(ParityMessage);
  if (Value >= Dimension) throw FFMpegException(RangeMessage);
  Crop = Value;
  Dimension -= Value;
}

void ApplyPad(int Value, const char* ParityMessage, int& Pad) {
  if (Value < 0) return;
  if (Value % 2 != 0) throw FFMpegException(ParityMessage);
  Pad = Value;
}

// The colour conversion constants in 10-bit fixed point, rounded the way the float
// constants round.
int Fix(float X) {
  return static_cast<int>(std::nearbyint(X * 1024.0f + 0.5f));
}

// 64 comma-separated coefficients; nothing is stored unless all of them are there. The
// encoders divide by each coefficient and write it in 8 bits, so each must be 1 to 255.
std::vector<std::uint16_t> ParseMatrix(const std::string& Text) {
  std::array<long, 64> coefficients{};
  std::size_t position = 0;
  for (int i = 0; i < 64; ++i) {
    // strtol stops at the terminating zero of the text, never beyond it.
    coefficients[i] = std::strtol(Text.c_str() + position, nullptr, 10);
    if (i == 63) break;
    position = Text.find(',', position);
    if (position == std::string::npos)
      throw FFMpegException(
          StringFormat("Syntax error in matrix \"%s\" at coeff %d", Text.c_str(), i));
    ++position;
  }
  std::vector<std::uint16_t> matrix(64, 0);
  for (int i = 0; i < 64; ++i) {
    if (coefficients[i] < 1 || coefficients[i] > 255)
      throw FFMpegException(
          StringFormat("Coefficient %d of matrix \"%s\" must be from 1 to 255", i, Text.c_str()));
    matrix[i] = static_cast<std::uint16_t>(coefficients[i]);
  }
  return matrix;
}

}  // namespace

void TEngineOptions::SetFrameRate(const std::string& Text) {
  if (Text.empty()) return;
  if (lib::av_parse_video_rate(&S.FrameRate, Text.c_str()) < 0)
    throw FFMpegException("Incorrect frame rate");
  S.GivenInputParameters.FrameRate = true;
}

void TEngineOptions::SetFrameSize(const std::string& Text) {
  if (Text.empty()) return;
  // A size whose pictures the libraries cannot hold (their byte count past int) is none.
  if (lib::av_parse_video_size(&S.FrameWidth, &S.FrameHeight, Text.c_str()) < 0 ||
      lib::av_image_check_size(static_cast<unsigned>(S.FrameWidth),
                               static_cast<unsigned>(S.FrameHeight), 0, nullptr) < 0)
    throw FFMpegException("Incorrect frame size");
  if (S.FrameWidth % 2 != 0 || S.FrameHeight % 2 != 0)
    throw FFMpegException("Frame size must be a multiple of 2");
  S.FrameSizeGiven = true;
  S.GivenInputParameters.FrameSize = true;
}

void TEngineOptions::SetAspectRatio(const std::string& Text) {
  if (Text.empty()) return;
  double ratio = 0;
  if (const std::size_t colon = Text.find(':'); colon != std::string::npos) {
    const int before = StrToIntDef(Text.substr(0, colon), 0);
    const int after = StrToIntDef(Text.substr(colon + 1), 0);
    if (after > 0) ratio = static_cast<double>(before) / after;
  } else {
    ratio = StrToFloatDef(Text, 0);
  }
  // A ratio below zero, or too large for the stored float, is no picture shape either.
  if (!(ratio > 0) || ratio > std::numeric_limits<float>::max())
    throw FFMpegException("Incorrect aspect ratio specification.");
  S.FrameAspectRatio = static_cast<float>(ratio);
}

void TEngineOptions::SetPixelFormat(const std::string& Text) {
  if (Text != "list") {
    S.FramePixelFormat = lib::av_get_pix_fmt(Text.c_str());
    S.GivenInputParameters.PixelFormat = true;
    return;
  }
  if (!Logging()) return;
  char line[128];
  for (int format = -1; format <= 38; ++format)
    Log(1, TrimText(
               lib::av_get_pix_fmt_string(line, sizeof line, static_cast<AVPixelFormat>(format))));
}

void TEngineOptions::SetSampleFormat(const std::string& Text) {
  if (Text != "list") {
    S.AudioSampleFormat = lib::av_get_sample_fmt(Text.c_str());
    return;
  }
  if (!Logging()) return;
  char line[128];
  for (int format = -1; format <= 3; ++format)
    Log(1, TrimText(lib::av_get_sample_fmt_string(line, sizeof line,
                                                  static_cast<AVSampleFormat>(format))));
}

void TEngineOptions::SetCropTop(int Value) {
  ApplyCrop(Value, "Top crop size must be a multiple of 2", kVerticalCropRange, S.CropTop,
            S.FrameHeight);
}

void TEngineOptions::SetCropBottom(int Value) {
  ApplyCrop(Value, "Bottom crop size must be a multiple of 2", kVerticalCropRange, S.CropBottom,
            S.FrameHeight);
}

void TEngineOptions::SetCropLeft(int Value) {
  ApplyCrop(Value, "Left crop size must be a multiple of 2", kHorizontalCropRange, S.CropLeft,
            S.FrameWidth);
}

void TEngineOptions::SetCropRight(int Value) {
  ApplyCrop(Value, "Right crop size must be a multiple of 2", kHorizontalCropRange, S.CropRight,
            S.FrameWidth);
}

void TEngineOptions::SetPadTop(int Value) {
  ApplyPad(Value, "Top pad size must be a multiple of 2", S.PadTop);
}

void TEngineOptions::SetPadBottom(int Value) {
  ApplyPad(Value, "Bottom pad size must be a multiple of 2", S.PadBottom);
}

void TEngineOptions::SetPadLeft(int Value) {
  ApplyPad(Value, "Left pad size must be a multiple of 2", S.PadLeft);
}

void TEngineOptions::SetPadRight(int Value) {
  ApplyPad(Value, "Right pad size must be a multiple of 2", S.PadRight);
}

void TEngineOptions::SetPadColor(int Color) {
  const int r = Color & 0xFF;
  const int g = (Color >> 8) & 0xFF;
  const int b = (Color >> 16) & 0xFF;
  S.PadColorY = (Fix(0.299f) * r + Fix(0.587f) * g + Fix(0.114f) * b + 512) >> 10;
  S.PadColorU = ((-Fix(0.16874f) * r - Fix(0.33126f) * g + Fix(0.5f) * b + 511) >> 10) + 128;
  S.PadColorV = ((Fix(0.5f) * r - Fix(0.41869f) * g - Fix(0.08131f) * b + 511) >> 10) + 128;
}

void TEngineOptions::SetVideoQScale(float Value) {
  if (!(Value > 0 && Value <= 255)) throw FFMpegException("qscale must be > 0.0 and <= 255");
  S.VideoQScale = Value;
}

void TEngineOptions::SetRcOverride(const std::string& Text) {
  S.RcOverride = Text;
}

void TEngineOptions::SetTopFieldFirst(int Value) {
  S.TopFieldFirst = Value;
}

void TEngineOptions::SetMotionThreshold(int Value) {
  S.MotionThreshold = Value;
}

void TEngineOptions::SetIntraMatrix(const std::string& Text) {
  S.IntraMatrix = ParseMatrix(Text);
}

void TEngineOptions::SetInterMatrix(const std::string& Text) {
  S.InterMatrix = ParseMatrix(Text);
}
