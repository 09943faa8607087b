// Run-time binding of libavfilter. Entries are called as lib::name(...).
#pragma once

#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include "binding/LibraryBinding.h"

// Every libavfilter function the system calls; the binding resolves all or nothing.
#define TOVRENA_AVFILTER_ENTRIES(X) \
  X(avfilter_version)               \
  X(avfilter_get_by_name)           \
  X(avfilter_graph_alloc)           \
  X(avfilter_graph_free)            \
  X(avfilter_graph_create_filter)   \
  X(avfilter_graph_parse_ptr)       \
  X(avfilter_graph_config)          \
  X(avfilter_inout_alloc)           \
  X(avfilter_inout_free)            \
  X(avfilter_link)                  \
  X(av_buffersrc_add_frame_flags)   \
  X(av_buffersink_get_frame)        \
  X(av_buffersink_get_w)            \
  X(av_buffersink_get_h)            \
  X(av_buffersink_get_time_base)

namespace lib {
TOVRENA_AVFILTER_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVFilterBinding();
inline constexpr auto LoadLibAVFilter = LoadBinding<LibAVFilterBinding>;
inline constexpr auto FreeLibAVFilter = FreeBinding<LibAVFilterBinding>;
inline constexpr auto LibAVFilterLoaded = BindingLoaded<LibAVFilterBinding>;
