// Run-time binding of libmyutil. Entries are called as lib::name(...).
#pragma once

#include <string>

#include "binding/myutil/myutil.h"

#include "binding/LibraryBinding.h"

// Every libmyutil function the system calls; the binding resolves all or nothing.
#define TOVRENA_MYUTIL_ENTRIES(X) \
  X(my_vsprintf)                  \
  X(my_fprintf)                   \
  X(my_snprintf)                  \
  X(my_fopen)                     \
  X(my_ftell)                     \
  X(my_fread)                     \
  X(my_fwrite)                    \
  X(my_fseek)                     \
  X(my_fclose)                    \
  X(my_strtok)                    \
  X(my_strtol)                    \
  X(my_strtod)

namespace lib {
TOVRENA_MYUTIL_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& MyUtilBinding();
inline constexpr auto LoadMyUtil = LoadBinding<MyUtilBinding>;
inline constexpr auto FreeMyUtil = FreeBinding<MyUtilBinding>;
inline constexpr auto MyUtilLoaded = BindingLoaded<MyUtilBinding>;
