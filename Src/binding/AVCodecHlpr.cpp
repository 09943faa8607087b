#include "binding/AVCodecHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_AVCODEC_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVCodecBinding() {
  static TLibraryBinding binding(
      {"avcodec", LIBAVCODEC_VERSION_MAJOR},
      {{"avutil", LIBAVUTIL_VERSION_MAJOR}, {"swresample", LIBSWRESAMPLE_VERSION_MAJOR}},
      {TOVRENA_AVCODEC_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
