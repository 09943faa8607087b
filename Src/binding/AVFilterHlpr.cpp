#include "binding/AVFilterHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_AVFILTER_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVFilterBinding() {
  static TLibraryBinding binding({"avfilter", LIBAVFILTER_VERSION_MAJOR},
                                 {{"avutil", LIBAVUTIL_VERSION_MAJOR},
                                  {"swresample", LIBSWRESAMPLE_VERSION_MAJOR},
                                  {"swscale", LIBSWSCALE_VERSION_MAJOR},
                                  {"avcodec", LIBAVCODEC_VERSION_MAJOR},
                                  {"avformat", LIBAVFORMAT_VERSION_MAJOR}},
                                 {TOVRENA_AVFILTER_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
