#include "binding/SwResampleHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_SWRESAMPLE_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibSwResampleBinding() {
  static TLibraryBinding binding({"swresample", LIBSWRESAMPLE_VERSION_MAJOR},
                                 {{"avutil", LIBAVUTIL_VERSION_MAJOR}},
                                 {TOVRENA_SWRESAMPLE_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
