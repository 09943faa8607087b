// Run-time binding of libavformat. Entries are called as lib::name(...).
#pragma once

#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
}

#include "binding/LibraryBinding.h"

// Every libavformat function the system calls; the binding resolves all or nothing.
#define TOVRENA_AVFORMAT_ENTRIES(X) \
  X(avformat_version)               \
  X(avformat_alloc_context)         \
  X(avformat_alloc_output_context2) \
  X(avformat_free_context)          \
  X(avformat_open_input)            \
  X(avformat_close_input)           \
  X(avformat_find_stream_info)      \
  X(avformat_new_stream)            \
  X(av_stream_get_side_data)        \
  X(av_stream_new_side_data)        \
  X(avformat_write_header)          \
  X(av_interleaved_write_frame)     \
  X(av_write_trailer)               \
  X(av_read_frame)                  \
  X(av_seek_frame)                  \
  X(avformat_seek_file)             \
  X(av_guess_format)                \
  X(av_guess_codec)                 \
  X(av_find_input_format)           \
  X(av_dump_format)                 \
  X(av_filename_number_test)        \
  X(av_codec_get_id)                \
  X(av_codec_get_tag)               \
  X(av_sdp_create)                  \
  X(av_pkt_dump_log2)               \
  X(av_read_pause)                  \
  X(av_read_play)                   \
  X(av_muxer_iterate)               \
  X(av_demuxer_iterate)             \
  X(avformat_query_codec)           \
  X(avio_open)                      \
  X(avio_open2)                     \
  X(av_probe_input_format2)         \
  X(av_probe_input_buffer2)         \
  X(avio_closep)                    \
  X(avio_size)                      \
  X(avio_seek)                      \
  X(avio_feof)                      \
  X(avio_alloc_context)             \
  X(avio_context_free)              \
  X(avio_flush)

namespace lib {
TOVRENA_AVFORMAT_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVFormatBinding();
inline constexpr auto LoadLibAVFormat = LoadBinding<LibAVFormatBinding>;
inline constexpr auto FreeLibAVFormat = FreeBinding<LibAVFormatBinding>;
inline constexpr auto LibAVFormatLoaded = BindingLoaded<LibAVFormatBinding>;
