#include "binding/AVUtilHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_AVUTIL_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVUtilBinding() {
  static TLibraryBinding binding({"avutil", LIBAVUTIL_VERSION_MAJOR}, {},
                                 {TOVRENA_AVUTIL_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
