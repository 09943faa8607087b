// Subtitle output, the video statistics file and the progress report.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

constexpr double kLambdaPerQScale = 118;
constexpr int kSubtitleBufferSize = 65536;

double Psnr(double d) {
  return -10.0 * std::log10(d);
}

}  // namespace

void TTranscoder::DoSubtitleOut(TOutputStream& Output, TInputStream& Input, AVSubtitle& Subtitle,
                                std::int64_t Pts) {
  if (Pts == AV_NOPTS_VALUE) {
    if (S.ExitOnError) throw FFMpegException("Subtitle packets must have a pts");
    E.Log(0, "Subtitle packets must have a pts");
    return;
  }
  if (SubtitleBuffer.empty()) SubtitleBuffer.resize(kSubtitleBufferSize);
  AVCodecContext* encoder = Output.Encoder();
  const bool dvb = encoder->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  for (int i = 0; i < (dvb ? 2 : 1); ++i) {
    const int size = lib::avcodec_encode_subtitle(encoder, SubtitleBuffer.data(),
                                                  kSubtitleBufferSize, &Subtitle);
    if (size < 0) throw FFMpegException("Subtitle encoding failed: " + ErrorReason(size));
    TPacketPtr packet(lib::av_packet_alloc());
    if (!packet || lib::av_new_packet(packet.get(), size) < 0)
      throw FFMpegException("av_malloc failed: " + ErrorReason(AVERROR(ENOMEM)));
    std::memcpy(packet->data, SubtitleBuffer.data(), size);
    packet->stream_index = Output.Stream->index;
    // The output's time line starts at the start time, as the pictures' and the sound's do.
    packet->pts = lib::av_rescale_q(Pts, Input.Stream->time_base, Output.Stream->time_base) -
                  lib::av_rescale_q(S.StartTime, kMicrosecondTimeBase, Output.Stream->time_base);
    if (dvb) {
      const std::int64_t displayMs =
          i == 0 ? Subtitle.start_display_time : Subtitle.end_display_time;
      packet->pts += lib::av_rescale_q(90 * displayMs, {1, 90000}, Output.Stream->time_base);
    } else {
      // A text cue is shown from its start for its time: containers keep that as the
      // packet's own stamp and duration.
      packet->pts +=
          lib::av_rescale_q(Subtitle.start_display_time, {1, 1000}, Output.Stream->time_base);
      if (Subtitle.end_display_time > Subtitle.start_display_time)
        packet->duration =
            lib::av_rescale_q(Subtitle.end_display_time - Subtitle.start_display_time, {1, 1000},
                              Output.Stream->time_base);
    }
    packet->dts = packet->pts;
    WritePacket(Output, packet.get(), encoder);
    ++Output.FrameNumber;
  }
}

void TTranscoder::DoVideoStats(TOutputStream& Output, int FrameSize) {
  // The set-up opened the file for every job that encodes video.
  const AVCodecContext* encoder = Output.Encoder();
  if (!J.VStatsFile || encoder->codec_type != AVMEDIA_TYPE_VIDEO) return;
  FILE* file = J.VStatsFile.get();
  lib::my_fprintf(file, "frame= %5d q= %2.1f ", Output.FrameNumber,
                  Output.LastQuality / kLambdaPerQScale);
  if (encoder->flags & AV_CODEC_FLAG_PSNR)
    lib::my_fprintf(
        file, "PSNR= %6.2f ",
        Psnr(Output.LastErrors[0] / (encoder->width * encoder->height * 255.0 * 255.0)));
  lib::my_fprintf(file, "f_size= %6d ", FrameSize);
  double time = Output.SyncOpts * RationalToDouble(encoder->time_base);
  if (time < 0.01) time = 0.01;
  const double frameRate = FrameSize * 8 / RationalToDouble(encoder->time_base) / 1000.0;
  const double averageRate = J.VideoSize * 8 / time / 1000.0;
  lib::my_fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                  J.VideoSize / 1024.0, time, frameRate, averageRate);
  lib::my_fprintf(file, "type= %c\n", Output.LastPictureType);
}

void TTranscoder::PrintReport(bool IsLast) {
  int frameNumber = -1;
  int fps = -1;
  float quality = -1.0f;
  AVIOContext* io = E.OutputFile(0)->pb;
  std::int64_t totalSize = io ? lib::avio_size(io) : 0;
  if (totalSize < 0 && io) totalSize = lib::avio_seek(io, 0, SEEK_CUR);
  if (totalSize < 0) totalSize = 0;

  std::string text;
  double writtenEnd = 0;
  bool firstVideo = true;
  for (const auto& output : OutputStreams) {
    const AVCodecContext* encoder = output->Encoder();
    const bool video = output->Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    const float streamQuality =
        output->EncodingNeeded ? static_cast<float>(output->LastQuality / kLambdaPerQScale) : -1.0f;
    if (video && !firstVideo && output->EncodingNeeded)
      text += StringFormat("q=%2.1f ", streamQuality);
    if (video && firstVideo) {
      firstVideo = false;
      const float elapsed = static_cast<float>(lib::av_gettime() - J.TimerStart) / 1000000.0f;
      frameNumber = output->FrameNumber;
      if (frameNumber < 1) return;  // nothing to tell before the first picture
      fps = elapsed > 1 ? static_cast<int>(frameNumber / elapsed + 0.5) : 0;
      quality = streamQuality;
      text += StringFormat("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, quality);
      if (IsLast) text += "L";
      if (S.QpHistogram && output->EncodingNeeded) {
        const int qp = static_cast<int>(std::lround(quality));
        if (qp >= 0 && qp < 52) ++QpHistogram[qp];
        for (int j = 0; j < 32; ++j)
          text += StringFormat("%X", static_cast<int>(std::lround(std::log2(QpHistogram[j] + 1))));
      }
      if (output->EncodingNeeded && (encoder->flags & AV_CODEC_FLAG_PSNR)) {
        text += "PSNR=";
        double errorSum = 0, scaleSum = 0;
        static const char kPlanes[] = "YUV";
        for (int j = 0; j < 3; ++j) {
          double error =
              static_cast<double>(IsLast ? output->TotalErrors[j] : output->LastErrors[j]);
          double scale = encoder->width * encoder->height * 255.0 * 255.0;
          if (IsLast) scale *= frameNumber;
          if (j) scale /= 4;
          errorSum += error;
          scaleSum += scale;
          text += StringFormat("%c:%2.2f ", kPlanes[j], Psnr(error / scale));
        }
        text += StringFormat("*:%2.2f ", Psnr(errorSum / scaleSum));
      }
    }
    // The output reaches as far as its furthest stream: one that started late or ended
    // early (a shorter track) does not hold the position back.
    writtenEnd = std::max(writtenEnd, output->WrittenEnd);
  }
  ReportedSeconds = std::max(ReportedSeconds, writtenEnd);
  double time = std::max(ReportedSeconds, 0.01);
  int currentMs = static_cast<int>(std::min(time * 1000, double(INT_MAX)));
  // A job that ran to its end has converted all there was, whatever its last packet's stamp.
  if (IsLast && !E.StopRequested()) currentMs = std::max(currentMs, S.ExpectedTotalDurationMs);

  if (E.OnProgress || S.Verbosity > 0 || IsLast) {
    const double bitRate = totalSize * 8 / time / 1000.0;
    text += StringFormat("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", totalSize / 1024.0, time,
                         bitRate);
    if (S.Verbosity > 1)
      text += StringFormat(" dup=%d drop=%d", J.FramesDuplicated, J.FramesDropped);
    if (E.OnProgress) {
      E.OnProgress(&E, frameNumber, fps, currentMs, quality, static_cast<float>(bitRate), totalSize,
                   S.ExpectedTotalDurationMs);
    } else if (S.Verbosity >= 0 && E.Logging()) {
      E.Log(1, text);
    }
  }
  if (IsLast && S.Verbosity >= 0 && E.Logging()) {
    const double raw = static_cast<double>(J.VideoSize + J.AudioSize + J.ExtraSize);
    E.Log(1, StringFormat(
                 "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                 J.VideoSize / 1024.0, J.AudioSize / 1024.0, J.ExtraSize / 1024.0,
                 raw > 0 ? (totalSize - raw) * 100 / raw : 0.0));
  }
}
