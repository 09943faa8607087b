// One packet of an input stream: copied into the outputs that copy it, decoded for the
// outputs that encode from it, and, at the end, the flush of decoders and encoders.
#include <algorithm>
#include <chrono>
#include <thread>

#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

std::int64_t ToMicroseconds(std::int64_t value, AVRational timeBase) {
  return lib::av_rescale_q(value, timeBase, kMicrosecondTimeBase);
}

}  // namespace

int TTranscoder::OutputPacket(int InputIndex, AVPacket* Packet) {
  TInputStream& input = InputStreams[InputIndex];
  const AVRational timeBase = input.Stream->time_base;
  if (input.NextPts == kNoTimestamp) input.NextPts = input.Pts;
  if (Packet && Packet->dts != AV_NOPTS_VALUE)
    input.NextPts = input.Pts = ToMicroseconds(Packet->dts, timeBase);

  if (Packet) {
    if (!input.DecodingNeeded) {
      // Copied streams advance by the packet's own duration.
      input.Pts = input.NextPts;
      const AVCodecParameters* parameters = input.Stream->codecpar;
      if (Packet->duration > 0)
        input.NextPts += ToMicroseconds(Packet->duration, timeBase);
      else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && parameters->frame_size > 0 &&
               parameters->sample_rate > 0)
        input.NextPts += 1000000LL * parameters->frame_size / parameters->sample_rate;
      else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && input.Stream->r_frame_rate.num)
        input.NextPts +=
            lib::av_rescale_q(1, av_inv_q(input.Stream->r_frame_rate), kMicrosecondTimeBase);
    }
    if (S.StartTime == 0 || input.Pts >= S.StartTime)
      for (const auto& output : OutputStreams)
        if (output->SourceIndex == InputIndex && !output->EncodingNeeded)
          CopyPacket(input, *output, Packet);
  }
  if (!input.DecodingNeeded) return 0;

  int result = 0;
  switch (input.Decoder->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
    case AVMEDIA_TYPE_VIDEO:
      result = DecodeAudioOrVideo(InputIndex, Packet);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      result = Packet ? DecodeSubtitle(InputIndex, Packet) : 0;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (!Packet && S.UseFilterGraph) FlushFilterGraphs(InputIndex);
  if (!Packet) FlushEncoders(InputIndex);
  return result;
}

void TTranscoder::CopyPacket(TInputStream& Input, TOutputStream& Output, const AVPacket* Packet) {
  // A copy starts at a key frame: what comes before cannot be decoded.
  if (Output.FrameNumber == 0 && !(Packet->flags & AV_PKT_FLAG_KEY)) return;
  // The work packet is blank between uses: the muxer takes what it is given.
  AVPacket* copy = WorkPacket.get();
  lib::av_packet_unref(copy);
  if (const int result = lib::av_packet_ref(copy, Packet); result < 0)
    throw FFMpegException("av_mallocz fail: " + ErrorReason(result));
  const AVRational from = Input.Stream->time_base;
  const AVRational to = Output.Stream->time_base;
  if (Output.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
    J.AudioSize += Packet->size;
  } else if (Output.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    J.VideoSize += Packet->size;
    ++Output.SyncOpts;
  }
  copy->stream_index = Output.Stream->index;
  copy->pts =
      Packet->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : lib::av_rescale_q(Packet->pts, from, to);
  copy->dts = Packet->dts == AV_NOPTS_VALUE ? lib::av_rescale_q(Input.Pts, kMicrosecondTimeBase, to)
                                            : lib::av_rescale_q(Packet->dts, from, to);
  // A packet without a duration lasts until the next one, as the input stream's clock says;
  // some formats hide a last picture of duration 0.
  copy->duration = Packet->duration > 0 ? lib::av_rescale_q(Packet->duration, from, to)
                   : Input.NextPts > Input.Pts
                       ? lib::av_rescale_q(Input.NextPts - Input.Pts, kMicrosecondTimeBase, to)
                       : 0;
  WritePacket(Output, copy, nullptr);
  ++Output.FrameNumber;
}

int TTranscoder::DecodeAudioOrVideo(int InputIndex, AVPacket* Packet) {
  TInputStream& input = InputStreams[InputIndex];
  if (Packet) ++input.PacketsDecoded;
  int result = lib::avcodec_send_packet(input.Decoder, Packet);
  if (result < 0 && result != AVERROR_EOF) return result;
  for (;;) {
    result = lib::avcodec_receive_frame(input.Decoder, DecodedFrame.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
    if (result < 0) return result;
    HandleDecodedFrame(InputIndex, DecodedFrame.get());
    lib::av_frame_unref(DecodedFrame.get());
    if (E.StopRequested() && Packet) return 0;
  }
}

void TTranscoder::HandleDecodedFrame(int InputIndex, AVFrame* Frame) {
  TInputStream& input = InputStreams[InputIndex];
  const AVRational timeBase = input.Stream->time_base;
  if (Frame->best_effort_timestamp != AV_NOPTS_VALUE)
    input.Pts = ToMicroseconds(Frame->best_effort_timestamp, timeBase);
  else
    input.Pts = input.NextPts;
  if (input.Decoder->codec_type == AVMEDIA_TYPE_AUDIO) {
    if (Frame->sample_rate > 0)
      input.NextPts = input.Pts + 1000000LL * Frame->nb_samples / Frame->sample_rate;
    if (S.AudioVolume != 256) ApplyVolume(Frame);
  } else {
    std::int64_t duration = 0;
    if (Frame->pkt_duration > 0)
      duration = ToMicroseconds(Frame->pkt_duration, timeBase);
    else if (input.Stream->r_frame_rate.num)
      duration = lib::av_rescale_q(1, av_inv_q(input.Stream->r_frame_rate), kMicrosecondTimeBase);
    input.NextPts = input.Pts + duration;
    input.Quality = static_cast<float>(Frame->quality);
    ++input.PicturesDecoded;
    PreProcessVideoFrame(input, Frame);
  }
  if (input.RateEmulation) EmulateRate(input);
  if (S.StartTime != 0 && input.Pts < S.StartTime) return;
  for (const auto& output : OutputStreams) {
    if (output->SourceIndex != InputIndex || !output->EncodingNeeded) continue;
    switch (output->Encoder()->codec_type) {
      case AVMEDIA_TYPE_AUDIO:
        DoAudioOut(*output, input, Frame);
        break;
      case AVMEDIA_TYPE_VIDEO:
        if (S.UseFilterGraph) {
          FilterVideoOut(*output, input, Frame);
          break;
        }
        DoVideoOut(*output, input, Frame);
        if (!S.VStatsFileName.empty() && output->LastPacketSize > 0)
          DoVideoStats(*output, output->LastPacketSize);
        break;
      default:
        throw FFMpegException("invalid codec_type");
    }
  }
}

int TTranscoder::DecodeSubtitle(int InputIndex, AVPacket* Packet) {
  TInputStream& input = InputStreams[InputIndex];
  AVSubtitle subtitle{};
  int gotSubtitle = 0;
  if (const int result =
          lib::avcodec_decode_subtitle2(input.Decoder, &subtitle, &gotSubtitle, Packet);
      result < 0)
    return result;
  if (!gotSubtitle) return 0;
  // Freed however the outputs end, a failing write included.
  const std::unique_ptr<AVSubtitle, void (*)(AVSubtitle*)> owner(&subtitle, lib::avsubtitle_free);
  if (S.StartTime == 0 || input.Pts >= S.StartTime)
    for (const auto& output : OutputStreams)
      if (output->SourceIndex == InputIndex && output->EncodingNeeded)
        DoSubtitleOut(*output, input, subtitle, Packet->pts);
  return 0;
}

// Volume 256 is unity; 16-bit samples keep the exact integer rule, others scale alike.
void TTranscoder::ApplyVolume(AVFrame* Frame) {
  if (lib::av_frame_make_writable(Frame) < 0) return;
  const auto format = static_cast<AVSampleFormat>(Frame->format);
  const bool planar = lib::av_sample_fmt_is_planar(format);
  const int channels = Frame->ch_layout.nb_channels;
  const int planes = planar ? channels : 1;
  const int count = planar ? Frame->nb_samples : Frame->nb_samples * channels;
  const double factor = S.AudioVolume / 256.0;
  for (int plane = 0; plane < planes; ++plane) {
    std::uint8_t* data = Frame->extended_data[plane];
    for (int i = 0; i < count; ++i) {
      switch (lib::av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16: {
          auto* sample = reinterpret_cast<std::int16_t*>(data) + i;
          *sample = static_cast<std::int16_t>(
              std::clamp((*sample * S.AudioVolume + 128) >> 8, -32768, 32767));
          break;
        }
        case AV_SAMPLE_FMT_S32: {
          auto* sample = reinterpret_cast<std::int32_t*>(data) + i;
          *sample =
              static_cast<std::int32_t>(std::clamp(*sample * factor, -2147483648.0, 2147483647.0));
          break;
        }
        case AV_SAMPLE_FMT_FLT:
          reinterpret_cast<float*>(data)[i] *= static_cast<float>(factor);
          break;
        case AV_SAMPLE_FMT_DBL:
          reinterpret_cast<double*>(data)[i] *= factor;
          break;
        default:
          break;
      }
    }
  }
}

void TTranscoder::EmulateRate(TInputStream& Input) {
  const AVRational frameTime =
      Input.Decoder->codec_type == AVMEDIA_TYPE_VIDEO && Input.Stream->r_frame_rate.num
          ? av_inv_q(Input.Stream->r_frame_rate)
          : AVRational{0, 1};
  const std::int64_t due = frameTime.num ? lib::av_rescale_q(static_cast<std::int64_t>(Input.Frame),
                                                             frameTime, kMicrosecondTimeBase)
                                         : Input.Pts;
  const std::int64_t elapsed = lib::av_gettime() - Input.Start;
  if (due - elapsed > 50000) std::this_thread::sleep_for(std::chrono::microseconds(due - elapsed));
  ++Input.Frame;
}

void TTranscoder::FlushEncoders(int InputIndex) {
  for (const auto& output : OutputStreams) {
    if (output->SourceIndex != InputIndex || !output->EncodingNeeded) continue;
    switch (output->Encoder()->codec_type) {
      case AVMEDIA_TYPE_AUDIO:
        DrainResampler(*output);
        EncodeAudioFromFifo(*output, true);
        EncodeAndWrite(*output, nullptr);
        break;
      case AVMEDIA_TYPE_VIDEO:
        EncodeAndWrite(*output, nullptr);
        break;
      default:
        break;
    }
  }
}

void TTranscoder::WritePacket(TOutputStream& Output, AVPacket* Packet, AVCodecContext* Codec) {
  const AVRational timeBase = Output.Stream->time_base;
  const std::int64_t stamp = Packet->pts != AV_NOPTS_VALUE ? Packet->pts : Packet->dts;
  if (stamp != AV_NOPTS_VALUE) {
    Output.OutputTime = stamp * RationalToDouble(timeBase);
    const double end =
        (stamp + std::max<std::int64_t>(Packet->duration, 0)) * RationalToDouble(timeBase);
    Output.WrittenEnd = std::max(Output.WrittenEnd, end);
  }
  E.WriteFrame(Output.File, Packet, Output.Setup->Filters, Codec);
  ++Output.PacketsWritten;
}

void TTranscoder::EncodeAndWrite(TOutputStream& Output, AVFrame* Frame) {
  AVCodecContext* encoder = Output.Encoder();
  const int result = lib::avcodec_send_frame(encoder, Frame);
  if (result == AVERROR_EOF) return;  // already flushed
  const auto fail = [encoder](int code) {
    throw FFMpegException(std::string(encoder->codec_type == AVMEDIA_TYPE_VIDEO
                                          ? "Video encoding failed: "
                                          : "Audio encoding failed: ") +
                          ErrorReason(code));
  };
  if (result < 0) fail(result);
  for (;;) {
    const int received = lib::avcodec_receive_packet(encoder, WorkPacket.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
    if (received < 0) fail(received);
    WriteEncodedPacket(Output, WorkPacket.get());
  }
}

void TTranscoder::WriteEncodedPacket(TOutputStream& Output, AVPacket* Packet) {
  AVCodecContext* encoder = Output.Encoder();
  Output.LastPacketSize = Packet->size;
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
    J.VideoSize += Packet->size;
    std::size_t statsSize = 0;
    if (const std::uint8_t* stats =
            lib::av_packet_get_side_data(Packet, AV_PKT_DATA_QUALITY_STATS, &statsSize);
        stats && statsSize >= 5) {
      Output.LastQuality =
          static_cast<float>(stats[0] | stats[1] << 8 | stats[2] << 16 | stats[3] << 24);
      Output.LastPictureType = lib::av_get_picture_type_char(static_cast<AVPictureType>(stats[4]));
      const int errorCount = statsSize > 5 ? stats[5] : 0;
      for (int i = 0; i < 3 && i < errorCount && 8 + 8 * i + 8 <= static_cast<int>(statsSize);
           ++i) {
        std::int64_t error = 0;
        for (int b = 7; b >= 0; --b) error = error << 8 | stats[8 + 8 * i + b];
        Output.LastErrors[i] = error;
        Output.TotalErrors[i] += error;
      }
    }
    if (Output.LogFile && encoder->stats_out)
      lib::my_fprintf(Output.LogFile.get(), "%s", encoder->stats_out);
  } else {
    J.AudioSize += Packet->size;
  }
  // Every packet lasts: a video packet one picture of the encoder's clock, an audio one its
  // frame. Without it the last picture of MP4 and MOV outputs is never shown.
  if (Packet->duration <= 0)
    Packet->duration =
        encoder->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : std::max(encoder->frame_size, 0);
  Packet->stream_index = Output.Stream->index;
  lib::av_packet_rescale_ts(Packet, encoder->time_base, Output.Stream->time_base);
  WritePacket(Output, Packet, encoder);
  lib::av_packet_unref(Packet);
}
