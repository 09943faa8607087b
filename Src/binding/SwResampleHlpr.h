// Run-time binding of libswresample. Entries are called as lib::name(...).
#pragma once

#include <string>

extern "C" {
#include <libswresample/swresample.h>
}

#include "binding/LibraryBinding.h"

// Every libswresample function the system calls; the binding resolves all or nothing.
#define TOVRENA_SWRESAMPLE_ENTRIES(X) \
  X(swresample_version)               \
  X(swr_alloc_set_opts2)              \
  X(swr_init)                         \
  X(swr_free)                         \
  X(swr_convert)                      \
  X(swr_set_compensation)             \
  X(swr_get_delay)                    \
  X(swr_get_out_samples)              \
  X(swr_set_matrix)

namespace lib {
TOVRENA_SWRESAMPLE_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& LibSwResampleBinding();
inline constexpr auto LoadLibSwResample = LoadBinding<LibSwResampleBinding>;
inline constexpr auto FreeLibSwResample = FreeBinding<LibSwResampleBinding>;
inline constexpr auto LibSwResampleLoaded = BindingLoaded<LibSwResampleBinding>;
