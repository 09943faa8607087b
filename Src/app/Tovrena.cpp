// Program entry. Binds the media libraries from LibAV beside the program and reports what
// was bound; the main window takes over here once it exists.
#include <cstdio>

#include "AVCodecHlpr.h"
#include "AVFilterHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "MyUtilHlpr.h"
#include "MyUtils.h"
#include "SwResampleHlpr.h"
#include "SwScaleHlpr.h"

namespace {

void PrintBinding(const TLibraryBinding& binding, unsigned version) {
  std::printf("  %-22s %u.%u.%u  (%zu entries)\n", binding.FileName().c_str(), version >> 16,
              (version >> 8) & 0xFF, version & 0xFF, binding.EntryCount());
}

}  // namespace

int main() {
  const std::string folder = ExecutableFolder() + "LibAV";
  if (!LoadMediaLibraries(folder, true)) {
    std::fprintf(stderr, "Tovrena: %s\n", MediaLibrariesError().c_str());
    return 1;
  }
  std::printf("Tovrena bound the media libraries from %s:\n", folder.c_str());
  PrintBinding(LibAVCodecBinding(), lib::avcodec_version());
  PrintBinding(LibAVFilterBinding(), lib::avfilter_version());
  PrintBinding(LibAVFormatBinding(), lib::avformat_version());
  PrintBinding(LibAVUtilBinding(), lib::avutil_version());
  PrintBinding(LibSwScaleBinding(), lib::swscale_version());
  PrintBinding(LibSwResampleBinding(), lib::swresample_version());
  std::printf("  %-22s (%zu entries)\n", MyUtilBinding().FileName().c_str(),
              MyUtilBinding().EntryCount());
  FreeMediaLibraries();
  return 0;
}
