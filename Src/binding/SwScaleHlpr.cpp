#include "binding/SwScaleHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_SWSCALE_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibSwScaleBinding() {
  static TLibraryBinding binding({"swscale", LIBSWSCALE_VERSION_MAJOR},
                                 {{"avutil", LIBAVUTIL_VERSION_MAJOR}},
                                 {TOVRENA_SWSCALE_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
