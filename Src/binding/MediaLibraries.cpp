#include "binding/MediaLibraries.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

#include "binding/AVCodecHlpr.h"
#include "binding/AVFilterHlpr.h"
#include "binding/AVFormatHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/MyUtilHlpr.h"
#include "binding/SwResampleHlpr.h"
#include "binding/SwScaleHlpr.h"

namespace {

bool mediaLibrariesLoaded = false;
std::string mediaLibrariesError;
// Read by the log callback on any thread while engines set it.
std::atomic<int> currentLogLevel = AV_LOG_INFO;

// The libraries' floating-point code must never trap: all x87 exceptions stay masked
// (0x133F) from start-up to shutdown, and the previous control word comes back at exit.
#if defined(__i386__) || defined(__x86_64__)
class TFloatingPointGuard {
 public:
  TFloatingPointGuard() {
    _FPU_GETCW(previous_);
    fpu_control_t masked = 0x133F;
    _FPU_SETCW(masked);
  }
  ~TFloatingPointGuard() { _FPU_SETCW(previous_); }

 private:
  fpu_control_t previous_{};
};
const TFloatingPointGuard floatingPointGuard;
#endif

using TLoadFunction = bool (*)(std::string&, const std::string&, bool);
using TFreeFunction = void (*)();

struct TBindStep {
  TLoadFunction load;
  TFreeFunction free;
};

// Bind order; freeing runs through the same list.
const TBindStep bindSteps[] = {
    {LoadLibAVCodec, FreeLibAVCodec},   {LoadLibAVFilter, FreeLibAVFilter},
    {LoadLibAVFormat, FreeLibAVFormat}, {LoadLibAVUtil, FreeLibAVUtil},
    {LoadLibSwScale, FreeLibSwScale},   {LoadLibSwResample, FreeLibSwResample},
    {LoadMyUtil, FreeMyUtil},
};

}  // namespace

bool LoadMediaLibraries(const std::string& folder, bool versioned) {
  if (mediaLibrariesLoaded) return true;
  mediaLibrariesError.clear();
  bool allBound = true;
  for (const TBindStep& step : bindSteps) {
    if (!step.load(mediaLibrariesError, folder, versioned)) {
      allBound = false;
      break;
    }
  }
  mediaLibrariesLoaded = allBound;
  if (allBound)
    currentLogLevel = lib::av_log_get_level();
  else
    FreeMediaLibraries();
  return allBound;
}

void FreeMediaLibraries() {
  mediaLibrariesLoaded = false;
  for (const TBindStep& step : bindSteps) step.free();
}

bool MediaLibrariesLoaded() {
  return mediaLibrariesLoaded;
}
const std::string& MediaLibrariesError() {
  return mediaLibrariesError;
}
int CurrentLogLevel() {
  return currentLogLevel;
}
void SetCurrentLogLevel(int level) {
  currentLogLevel = level;
}
