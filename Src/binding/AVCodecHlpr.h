// Run-time binding of libavcodec. Entries are called as lib::name(...).
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include "binding/LibraryBinding.h"

// Every libavcodec function the system calls; the binding resolves all or nothing.
#define TOVRENA_AVCODEC_ENTRIES(X)   \
  X(avcodec_version)                 \
  X(avcodec_alloc_context3)          \
  X(avcodec_free_context)            \
  X(avcodec_open2)                   \
  X(avcodec_close)                   \
  X(avcodec_find_encoder)            \
  X(avcodec_find_decoder)            \
  X(avcodec_find_encoder_by_name)    \
  X(avcodec_find_decoder_by_name)    \
  X(av_codec_iterate)                \
  X(av_codec_is_encoder)             \
  X(av_codec_is_decoder)             \
  X(avcodec_get_name)                \
  X(avcodec_descriptor_get)          \
  X(avcodec_parameters_from_context) \
  X(avcodec_parameters_to_context)   \
  X(avcodec_parameters_copy)         \
  X(avcodec_send_packet)             \
  X(avcodec_receive_frame)           \
  X(avcodec_send_frame)              \
  X(avcodec_receive_packet)          \
  X(avcodec_flush_buffers)           \
  X(avcodec_decode_subtitle2)        \
  X(avcodec_encode_subtitle)         \
  X(avsubtitle_free)                 \
  X(avcodec_string)                  \
  X(av_packet_alloc)                 \
  X(av_new_packet)                   \
  X(av_packet_free)                  \
  X(av_packet_ref)                   \
  X(av_packet_unref)                 \
  X(av_packet_rescale_ts)            \
  X(av_packet_get_side_data)         \
  X(av_packet_make_refcounted)       \
  X(av_packet_copy_props)            \
  X(av_bsf_get_by_name)              \
  X(av_bsf_alloc)                    \
  X(av_bsf_init)                     \
  X(av_bsf_send_packet)              \
  X(av_bsf_receive_packet)           \
  X(av_bsf_free)                     \
  X(av_fast_realloc)

namespace lib {
TOVRENA_AVCODEC_ENTRIES(TOVRENA_DECLARE_ENTRY)
}  // namespace lib

TLibraryBinding& LibAVCodecBinding();
inline constexpr auto LoadLibAVCodec = LoadBinding<LibAVCodecBinding>;
inline constexpr auto FreeLibAVCodec = FreeBinding<LibAVCodecBinding>;
inline constexpr auto LibAVCodecLoaded = BindingLoaded<LibAVCodecBinding>;
