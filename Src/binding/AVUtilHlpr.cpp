#include "binding/AVUtilHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_AVUTIL_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVUtilBinding() {
  static TLibraryBinding binding({"avutil", LIBAVUTIL_VERSION_MAJOR}, {}, {TOVRENA_AVUTIL_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}

bool LoadLibAVUtil(std::string& error, const std::string& folder, bool versioned) {
  return LibAVUtilBinding().Load(error, folder, versioned);
}

void FreeLibAVUtil() { LibAVUtilBinding().Free(); }

bool LibAVUtilLoaded() { return LibAVUtilBinding().EntriesLoaded(); }
