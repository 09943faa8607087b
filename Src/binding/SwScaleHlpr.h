// Run-time binding of libswscale. Entries are called as lib::name(...).
#pragma once

#include <string>

extern "C" {
#include <libswscale/swscale.h>
}

#include "binding/LibraryBinding.h"

// Every libswscale function the system calls; the binding resolves all or nothing.
#define TOVRENA_SWSCALE_ENTRIES(X) \
  X(swscale_version)               \
  X(sws_getContext)                \
  X(sws_getCachedContext)          \
  X(sws_freeContext)               \
  X(sws_scale)                     \
  X(sws_alloc_context)             \
  X(sws_init_context)

namespace lib {
TOVRENA_SWSCALE_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& LibSwScaleBinding();
inline constexpr auto LoadLibSwScale = LoadBinding<LibSwScaleBinding>;
inline constexpr auto FreeLibSwScale = FreeBinding<LibSwScaleBinding>;
inline constexpr auto LibSwScaleLoaded = BindingLoaded<LibSwScaleBinding>;
