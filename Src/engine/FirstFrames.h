// Whether a stream of an opened input decodes at all, found by decoding its first packets
// through a second opening of the same file: the input's own reading position and packet
// queue stay as they are for the conversion.
#pragma once

#include <string>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFormatContext;

struct TFirstFrames {
  // Why no frame came out of the stream's first packets; empty when one did.
  std::string Failure;
  // The frame rate the decoder read from the stream itself (an MPEG-4 stream's clock);
  // 0/1 when it tells none.
  AVRational DecoderFrameRate{0, 1};
};

// Reads a bounded number of packets; the input must stay open meanwhile.
TFirstFrames DecodeFirstFrames(const AVFormatContext* Input, int StreamIndex);
