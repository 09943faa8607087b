#include "engine/FirstFrames.h"

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"
#include "engine/ProcessState.h"

namespace {

// Enough for a decoder's delay (B-pictures, an audio decoder's priming) while a stream that
// never decodes is given up on quickly.
constexpr int kStreamPackets = 16;
// However the streams interleave, the look ends after this many packets of the file.
constexpr int kFilePackets = 1024;

// The input again, through the same confined opening and with the demuxer it was opened
// with; that demuxer was already allowed once, so a playlist asked for stays readable inside
// its folder and nothing else is.
std::string Reopen(const AVFormatContext* Input, TInputFormatContextPtr& Copy) {
  AVFormatContext* context = lib::avformat_alloc_context();
  if (!context) return ErrorReason(AVERROR(ENOMEM));
  context->interrupt_callback = Input->interrupt_callback;
  context->opaque = Input->opaque;  // its library lines go where the input's go
  std::string failure = OpenConfinedInput(context, Input->url, Input->iformat, nullptr, true);
  if (failure.empty()) Copy.reset(context);
  return failure;
}

// The decoder's context is closed under the codec lock, as it was opened.
void CloseDecoder(TCodecContextPtr& Decoder) {
  std::lock_guard lock(CodecLock());
  Decoder.reset();
}

}  // namespace

TFirstFrames DecodeFirstFrames(const AVFormatContext* Input, int StreamIndex) {
  TFirstFrames result;
  const AVStream* stream = Input->streams[StreamIndex];
  const AVCodec* codec = lib::avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    result.Failure = "no decoder reads it";
    return result;
  }
  TInputFormatContextPtr copy;
  if (std::string failure = Reopen(Input, copy); !failure.empty()) {
    result.Failure = "the file could not be read again: " + failure;
    return result;
  }
  TCodecContextPtr decoder(lib::avcodec_alloc_context3(codec));
  TPacketPtr packet(lib::av_packet_alloc());
  TFramePtr frame(lib::av_frame_alloc());
  if (!decoder || !packet || !frame) {
    result.Failure = ErrorReason(AVERROR(ENOMEM));
    return result;
  }
  int error = lib::avcodec_parameters_to_context(decoder.get(), stream->codecpar);
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = 1;  // no frame threads: their delay would need more packets
  if (error >= 0) {
    std::lock_guard lock(CodecLock());
    error = lib::avcodec_open2(decoder.get(), codec, nullptr);
  }
  if (error < 0) {
    CloseDecoder(decoder);
    result.Failure = "its decoder does not open: " + ErrorReason(error);
    return result;
  }

  const auto frameCameOut = [&] {
    const int received = lib::avcodec_receive_frame(decoder.get(), frame.get());
    if (received < 0 && received != AVERROR(EAGAIN) && received != AVERROR_EOF) error = received;
    return received >= 0;
  };
  bool decoded = false;
  int sent = 0;
  for (int read = 0; !decoded && sent < kStreamPackets && read < kFilePackets; ++read) {
    const int got = lib::av_read_frame(copy.get(), packet.get());
    if (got < 0) {
      if (got != AVERROR_EOF) error = got;
      break;
    }
    if (packet->stream_index == StreamIndex) {
      ++sent;
      const int accepted = lib::avcodec_send_packet(decoder.get(), packet.get());
      if (accepted < 0 && accepted != AVERROR(EAGAIN)) error = accepted;
      decoded = frameCameOut();
    }
    lib::av_packet_unref(packet.get());
  }
  if (!decoded && lib::avcodec_send_packet(decoder.get(), nullptr) >= 0) decoded = frameCameOut();

  if (decoder->framerate.num > 0 && decoder->framerate.den > 0)
    result.DecoderFrameRate = decoder->framerate;
  CloseDecoder(decoder);
  if (decoded) return result;
  result.Failure = sent == 0 ? "none of its packets could be read"
                             : StringFormat("nothing decodes from its first %d packets", sent);
  if (error < 0) result.Failure += ": " + ErrorReason(error);
  return result;
}
