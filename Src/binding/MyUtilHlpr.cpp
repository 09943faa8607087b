#include "binding/MyUtilHlpr.h"

namespace lib {
TOVRENA_MYUTIL_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& MyUtilBinding() {
  static TLibraryBinding binding({"myutil", -1}, {}, {TOVRENA_MYUTIL_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}

bool LoadMyUtil(std::string& error, const std::string& folder, bool versioned) {
  return MyUtilBinding().Load(error, folder, versioned);
}

void FreeMyUtil() { MyUtilBinding().Free(); }

bool MyUtilLoaded() { return MyUtilBinding().EntriesLoaded(); }
