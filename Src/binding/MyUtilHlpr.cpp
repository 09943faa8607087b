#include "binding/MyUtilHlpr.h"

namespace lib {
TOVRENA_MYUTIL_ENTRIES(TOVRENA_DEFINE_ENTRY)
}  // namespace lib

TLibraryBinding& MyUtilBinding() {
  static TLibraryBinding binding({"myutil", -1}, {}, {TOVRENA_MYUTIL_ENTRIES(TOVRENA_LIST_ENTRY)});
  return binding;
}
