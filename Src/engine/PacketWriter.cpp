// Writing packets: the stream's bitstream filters, then the interleaving muxer; and the
// messages for negative library results.
#include <cerrno>

#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"

namespace {

// The format for a code with a text of its own; nullptr for any other.
const char* OpenErrorFormat(int code) {
  switch (code) {
    case AVERROR(EILSEQ):
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_MUXER_NOT_FOUND:
      return "%s: Unknown format";
    case AVERROR(EDOM):
      return "%s: Incorrect image filename syntax.\r\n"
             "Use '%%d' to specify the image number:\r\n"
             "  for img1.jpg, img2.jpg, ..., use 'img%%d.jpg';\r\n"
             "  for img001.jpg, img002.jpg, ..., use 'img%%03d.jpg'.";
    case AVERROR(EINVAL):
    case AVERROR_INVALIDDATA:
      return "%s: Error while parsing header";
    case AVERROR(ENOMEM):
      return "%s: memory allocation error occurred";
    case AVERROR(EIO):
      return "%s: I/O error occurred\r\nUsually that means that input file is truncated and/or "
             "corrupted.";
    case AVERROR(ENOENT):
      return "%s: no such file or directory";
    default:
      return nullptr;
  }
}

}  // namespace

std::string ErrorReason(int code) {
  // Without the libraries only the system's own codes have a text.
  if (!lib::av_strerror) return SystemReason(AVUNERROR(code));
  // For a code it does not know the library still writes "Error number N occurred".
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  lib::av_strerror(code, text, sizeof text);
  return text;
}

std::string OpenErrorText(const std::string& name, int code, const std::string& explanation) {
  const char* format = OpenErrorFormat(code);
  // The general text alone does not say what stood in the way (permissions, a full disk).
  // Where the libraries said it in their log, their code may name something else: a picture
  // size beyond their limits comes back as "Device or resource busy".
  if (!format)
    return name +
           ": Error while opening file: " + (explanation.empty() ? ErrorReason(code) : explanation);
  std::string text;
  for (const char* at = format; *at; ++at) {
    if (at[0] == '%' && at[1] == 's') {
      text += name;
      ++at;
    } else if (at[0] == '%' && at[1] == '%') {
      text += '%';
      ++at;
    } else {
      text += *at;
    }
  }
  return text;
}

namespace {

// The packet through the chain's filters from AFirst on, then into the muxer.
void WriteThroughFilters(TCustomFFmpeg& E, const TEngineSettings& S, TJobPlan& P,
                         AVFormatContext* AOutput, AVPacket* APacket, TBitstreamFilterChain& AChain,
                         std::size_t AFirst, AVCodecContext* ACodec) {
  if (AFirst == AChain.size()) {
    // What the output must hold when it is checked; taken before the muxer takes the packet.
    if (const int row = P.OutputRowOf(AOutput);
        row < kMaxFiles && APacket->stream_index >= 0 &&
        static_cast<unsigned>(APacket->stream_index) < AOutput->nb_streams)
      P.OutputWritten[row].Note(APacket->pts != AV_NOPTS_VALUE ? APacket->pts : APacket->dts,
                                APacket->duration,
                                AOutput->streams[APacket->stream_index]->time_base);
    const int result = lib::av_interleaved_write_frame(AOutput, APacket);
    // Not the open-error table: that reads a muxer's refusal (EINVAL) as a header fault.
    if (result < 0)
      throw FFMpegException(
          StringFormat("av_interleaved_write_frame(): Error while writing '%s': %s",
                       AOutput->url ? AOutput->url : "", ErrorReason(result).c_str()));
    return;
  }
  AVBSFContext* filter = AChain[AFirst].get();
  const auto reportFailure = [&](int result) {
    if (!E.Logging() && !S.ExitOnError) return;
    const char* codecName = !ACodec         ? "copy"
                            : ACodec->codec ? ACodec->codec->name
                                            : lib::avcodec_get_name(ACodec->codec_id);
    const std::string message =
        OpenErrorText(StringFormat("%s failed for stream %d, codec %s", filter->filter->name,
                                   APacket->stream_index, codecName),
                      result);
    if (S.ExitOnError) throw FFMpegException(message);
    E.Log(0, message);
  };

  int result = lib::av_bsf_send_packet(filter, APacket);
  if (result < 0) {
    // The filter refused the packet and left it untouched: it goes on unfiltered.
    reportFailure(result);
    WriteThroughFilters(E, S, P, AOutput, APacket, AChain, AFirst + 1, ACodec);
    return;
  }
  TPacketPtr filtered(lib::av_packet_alloc());
  if (!filtered) throw FFMpegException(OpenErrorText("av_packet_alloc()", AVERROR(ENOMEM)));
  while ((result = lib::av_bsf_receive_packet(filter, filtered.get())) >= 0) {
    WriteThroughFilters(E, S, P, AOutput, filtered.get(), AChain, AFirst + 1, ACodec);
    lib::av_packet_unref(filtered.get());
  }
  if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) reportFailure(result);
}

}  // namespace

void TCustomFFmpeg::WriteFrame(AVFormatContext* AOutput, AVPacket* APacket,
                               TBitstreamFilterChain& AChain, AVCodecContext* ACodec) {
  WriteThroughFilters(*this, FSettings, FPlan, AOutput, APacket, AChain, 0, ACodec);
}
