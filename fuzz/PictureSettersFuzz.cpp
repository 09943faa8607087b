#include <cmath>

#include "FuzzTargets.h"
#include "engine/FFmpeg.h"

void FuzzPictureSetters(std::string_view data) {
  TCustomFFmpeg engine;
  engine.Reset();
  const std::string text(data);
  const TEngineSettings& settings = engine.Settings();
  try {
    engine.SetFrameSize(text);
    if (!text.empty())
      FuzzExpect(settings.FrameWidth > 0 && settings.FrameHeight > 0 &&
                     settings.FrameWidth % 2 == 0 && settings.FrameHeight % 2 == 0,
                 "an accepted frame size that is not positive and even");
  } catch (const FFMpegException&) {
  }
  try {
    engine.SetFrameRate(text);
    if (!text.empty())
      FuzzExpect(settings.FrameRate.num > 0 && settings.FrameRate.den > 0,
                 "an accepted frame rate that is not positive");
  } catch (const FFMpegException&) {
  }
  try {
    engine.SetAspectRatio(text);
    if (!text.empty())
      FuzzExpect(settings.FrameAspectRatio > 0 && std::isfinite(settings.FrameAspectRatio),
                 "an accepted aspect ratio that is not positive");
  } catch (const FFMpegException&) {
  }
}
