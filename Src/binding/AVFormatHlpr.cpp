#include "binding/AVFormatHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_AVFORMAT_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVFormatBinding() {
  static TLibraryBinding binding({"avformat", LIBAVFORMAT_VERSION_MAJOR},
                                 {{"avutil", LIBAVUTIL_VERSION_MAJOR},
                                  {"swresample", LIBSWRESAMPLE_VERSION_MAJOR},
                                  {"avcodec", LIBAVCODEC_VERSION_MAJOR}},
                                 {TOVRENA_AVFORMAT_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
