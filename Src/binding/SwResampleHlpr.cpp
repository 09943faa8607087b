#include "binding/SwResampleHlpr.h"

#include "binding/MediaVersions.h"

namespace lib {
TOVRENA_SWRESAMPLE_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& LibSwResampleBinding() {
  static TLibraryBinding binding({"swresample", LIBSWRESAMPLE_VERSION_MAJOR}, {{"avutil", LIBAVUTIL_VERSION_MAJOR}}, {TOVRENA_SWRESAMPLE_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}

bool LoadLibSwResample(std::string& error, const std::string& folder, bool versioned) {
  return LibSwResampleBinding().Load(error, folder, versioned);
}

void FreeLibSwResample() { LibSwResampleBinding().Free(); }

bool LibSwResampleLoaded() { return LibSwResampleBinding().EntriesLoaded(); }
