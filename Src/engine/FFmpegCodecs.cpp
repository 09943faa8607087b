// Codec open and close under the process-wide lock, with the lists of open codecs that
// the end of a job walks to close what an error left open.
#include <algorithm>

#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

namespace {

int OpenCodec(std::list<AVCodecContext*>& opened, AVCodecContext* context, const AVCodec* codec,
              AVDictionary** options) {
  int result;
  {
    std::lock_guard lock(CodecLock());
    result = lib::avcodec_open2(context, codec, options);
  }
  if (result >= 0) opened.push_front(context);
  return result;
}

void CloseCodec(std::list<AVCodecContext*>& opened, AVCodecContext* context) {
  const auto node = std::find(opened.begin(), opened.end(), context);
  if (node == opened.end()) return;
  opened.erase(node);
  std::lock_guard lock(CodecLock());
  lib::avcodec_close(context);
}

}  // namespace

int TCustomFFmpeg::OpenEncoder(AVCodecContext* AContext, const AVCodec* ACodec,
                               AVDictionary** AOptions) {
  MarkLogOwner(AContext->opaque);
  return OpenCodec(OpenedEncoders, AContext, ACodec, AOptions);
}

int TCustomFFmpeg::OpenDecoder(AVCodecContext* AContext, const AVCodec* ACodec,
                               AVDictionary** AOptions) {
  MarkLogOwner(AContext->opaque);
  return OpenCodec(OpenedDecoders, AContext, ACodec, AOptions);
}

void TCustomFFmpeg::CloseEncoder(AVCodecContext* AContext) {
  // The two-pass statistics text is ours to free, before the codec goes.
  lib::av_freep(&AContext->stats_in);
  CloseCodec(OpenedEncoders, AContext);
}

void TCustomFFmpeg::CloseDecoder(AVCodecContext* AContext) {
  CloseCodec(OpenedDecoders, AContext);
}

void TCustomFFmpeg::CloseOpenedCodecs() {
  while (!OpenedEncoders.empty()) CloseEncoder(OpenedEncoders.front());
  while (!OpenedDecoders.empty()) CloseDecoder(OpenedDecoders.front());
}
