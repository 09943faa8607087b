// The transcode loop: which input to read next, time stamp correction, limits, the stop
// request, and the end of the job with its flush, trailers and final report.
#include <cmath>

#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

// A stamp times the scale; one that no longer fits in 64 bits (a damaged stamp) is dropped
// as missing, which the loop knows how to carry on from.
std::int64_t ScaledTimestamp(std::int64_t stamp, double scale) {
  if (stamp == AV_NOPTS_VALUE) return stamp;
  const double scaled = std::nearbyint(static_cast<double>(stamp) * scale);
  constexpr double kLimit = 9.2e18;  // just inside the 64-bit range
  return std::fabs(scaled) < kLimit ? static_cast<std::int64_t>(scaled) : AV_NOPTS_VALUE;
}

}  // namespace

double TTranscoder::SyncInputTime(const TInputStream& Input) const {
  return static_cast<double>(Input.Pts - S.StartTime) / AV_TIME_BASE;
}

// The file whose streams lag most; -1 when every input has ended or a frame limit is hit.
int TTranscoder::ChooseInputFile(double& SmallestOutputTime) {
  int chosen = -1;
  double smallestInputPts = 1e100;
  SmallestOutputTime = 1e100;
  for (const auto& output : OutputStreams) {
    // A cover is one picture at the start: it neither lags nor ends the output.
    if (output->Setup->CoverFile >= 0) continue;
    const AVCodecContext* encoder = output->Encoder();
    const double outputTime = output->EncodingNeeded && encoder->codec_type == AVMEDIA_TYPE_VIDEO
                                  ? output->SyncOpts * RationalToDouble(encoder->time_base)
                                  : output->OutputTime;
    const TInputStream& source = InputStreams[output->SourceIndex];
    const double inputPts = static_cast<double>(source.Pts);
    if (!InputFiles[source.FileIndex].EofReached) {
      if (inputPts < smallestInputPts) {
        smallestInputPts = inputPts;
        if (S.InputSync) chosen = source.FileIndex;
      }
      if (outputTime < SmallestOutputTime) {
        SmallestOutputTime = outputTime;
        if (!S.InputSync) chosen = source.FileIndex;
      }
    }
    const int type = encoder->codec_type;
    if (type >= 0 && type < 4 && output->FrameNumber >= S.MaxFrames[type]) return -1;
  }
  return chosen;
}

void TTranscoder::CorrectTimestamps(TInputStream& Input, AVPacket* Packet) {
  const AVRational timeBase = Input.Stream->time_base;
  std::int64_t& offset = J.InputFilesTsOffset[Input.FileIndex];
  if (Packet->dts != AV_NOPTS_VALUE)
    Packet->dts += lib::av_rescale_q(offset, kMicrosecondTimeBase, timeBase);
  if (Packet->pts != AV_NOPTS_VALUE)
    Packet->pts += lib::av_rescale_q(offset, kMicrosecondTimeBase, timeBase);

  // Scales can only be given for the first streams of a file; later ones keep their stamps.
  const double scale =
      Input.StreamIndex < kMaxStreams ? J.InputFilesTsScale[Input.FileIndex][Input.StreamIndex] : 0;
  if (scale != 0) {
    Packet->pts = ScaledTimestamp(Packet->pts, scale);
    Packet->dts = ScaledTimestamp(Packet->dts, scale);
  }

  if (Packet->dts == AV_NOPTS_VALUE || Input.NextPts == kNoTimestamp || S.CopyTimestamps) return;
  const std::int64_t dts = lib::av_rescale_q(Packet->dts, timeBase, kMicrosecondTimeBase);
  const std::int64_t delta = dts - Input.NextPts;
  if (std::fabs(static_cast<double>(delta)) > S.DtsDeltaThreshold * 1e6 || dts + 1 < Input.Pts) {
    offset -= delta;
    if (S.Verbosity > 2 && E.Logging())
      E.Log(1, StringFormat("timestamp discontinuity %lld, new offset= %lld",
                            static_cast<long long>(delta), static_cast<long long>(offset)));
    const std::int64_t shift = lib::av_rescale_q(delta, kMicrosecondTimeBase, timeBase);
    Packet->dts -= shift;
    if (Packet->pts != AV_NOPTS_VALUE) Packet->pts -= shift;
  }
}

void TTranscoder::Loop() {
  TPacketPtr packet(lib::av_packet_alloc());
  if (!packet) throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
  while (!E.StopRequested()) {
    double smallestOutputTime = 0;
    const int fileIndex = ChooseInputFile(smallestOutputTime);
    if (fileIndex < 0) break;
    if (smallestOutputTime >= static_cast<double>(S.RecordingTime) / 1000000) break;
    AVIOContext* firstOutput = E.OutputFile(0)->pb;
    if (S.FileSizeLimit && firstOutput &&
        static_cast<std::uint64_t>(lib::avio_seek(firstOutput, 0, SEEK_CUR)) > S.FileSizeLimit)
      break;

    AVFormatContext* file = E.InputFile(fileIndex);
    const int result = lib::av_read_frame(file, packet.get());
    if (result == AVERROR(EAGAIN)) continue;
    if (result < 0) {
      // Whatever stops the reading (end, damage, a stop request) ends this input.
      InputFiles[fileIndex].EofReached = true;
      if (S.Shortest) break;
      continue;
    }
    const TInputFile& inputFile = InputFiles[fileIndex];
    if (S.PacketDump)
      lib::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, packet.get(), S.HexDump,
                            file->streams[packet->stream_index]);
    if (packet->stream_index < inputFile.StreamCount) {
      const int inputIndex = inputFile.FirstStreamIndex + packet->stream_index;
      TInputStream& input = InputStreams[inputIndex];
      if (!input.Discard) {
        CorrectTimestamps(input, packet.get());
        if (const int result = OutputPacket(inputIndex, packet.get()); result < 0) {
          const std::string message =
              StringFormat("Error while decoding stream #%d.%d: %s", input.FileIndex,
                           input.StreamIndex, ErrorReason(result).c_str());
          if (S.ExitOnError) throw FFMpegException(message);
          if (S.Verbosity >= 0 && E.Logging()) E.Log(1, message);
          lib::av_packet_unref(packet.get());
          continue;
        }
      }
    }
    lib::av_packet_unref(packet.get());
    const std::int64_t now = lib::av_gettime();
    if (now - LastReportTime > E.FProgressInterval) {
      LastReportTime = now;
      PrintReport(false);
    }
  }
}

void TTranscoder::Finish() {
  for (std::size_t i = 0; i < InputStreams.size(); ++i)
    if (InputStreams[i].DecodingNeeded) OutputPacket(static_cast<int>(i), nullptr);
  // A video stream that took packets and gave no picture cannot make its output.
  for (const TInputStream& input : InputStreams)
    if (input.DecodingNeeded && input.Decoder->codec_type == AVMEDIA_TYPE_VIDEO &&
        input.PacketsDecoded > 0 && input.PicturesDecoded == 0 && !E.StopRequested())
      throw FFMpegException(StringFormat("no picture could be decoded from stream #%d:%d",
                                         input.FileIndex, input.StreamIndex));
  if (const std::string failure = WriteTrailers(); !failure.empty()) throw FFMpegException(failure);
  for (int i = 0; i < E.OutputFileCount(); ++i)
    if (J.OutputWithoutData[i] && !E.StopRequested())
      throw FFMpegException(
          StringFormat("Output file #%d is empty: nothing could be converted", i));
  PrintReport(true);
  for (const auto& output : OutputStreams)
    if (output->EncodingNeeded) E.CloseEncoder(output->Encoder());
  for (TInputStream& input : InputStreams)
    if (input.DecodingNeeded) E.CloseDecoder(input.Decoder);
  // Only a file whose last bytes reached the disk is complete. One without data stays open
  // until the clean-up removes it.
  for (int i = 0; i < E.OutputFileCount(); ++i) {
    if (!J.OutputByteStreams[i] || J.OutputWithoutData[i]) continue;
    E.OutputFile(i)->pb = nullptr;
    const int flushed = J.OutputByteStreams[i]->Flush();
    J.OutputWritten[i].Bytes = flushed < 0 ? -1 : J.OutputByteStreams[i]->Size();
    if (const int result = J.OutputByteStreams[i]->Close(); result < 0)
      throw FFMpegException(StringFormat("Could not close '%s': %s", E.OutputFile(i)->url,
                                         ErrorReason(result).c_str()));
  }
  // Completed means the file holds what was written, as a player opens it.
  if (!E.StopRequested()) E.CheckOutputFiles();
  J.Finished = !E.StopRequested();
}

std::string TTranscoder::WriteTrailers() {
  std::string failure;
  for (std::size_t i = 0; i < TrailerPending.size(); ++i) {
    if (!TrailerPending[i]) continue;
    TrailerPending[i] = false;
    AVFormatContext* file = E.OutputFile(static_cast<int>(i));
    // The trailer holds the index of many formats: without it the file is not finished.
    if (const int result = lib::av_write_trailer(file); result < 0 && failure.empty())
      failure = StringFormat("Could not write the trailer of output file #%d '%s': %s",
                             static_cast<int>(i), file->url ? file->url : "",
                             ErrorReason(result).c_str());
    bool withoutData = true;
    for (const auto& output : OutputStreams)
      withoutData &= output->FileIndex != static_cast<int>(i) || output->PacketsWritten == 0;
    J.OutputWithoutData[i] = withoutData;
  }
  return failure;
}

TJobTables TCustomFFmpeg::JobTables() {
  return {FSettings,
          FPlan.InputStreamCodecs,
          FPlan.InputFilesRateEmulation,
          FPlan.InputFilesStartTime,
          FPlan.InputFilesTsOffset,
          FPlan.InputFilesTsScale,
          FPlan.OutputStreams,
          FPlan.OutputByteStreams,
          FPlan.OutputWritten,
          FPlan.OutputWithoutData,
          FPlan.StreamMaps,
          FPlan.NbStreamMaps,
          FPlan.MetaDataMaps,
          FPlan.NbMetaDataMaps,
          FLibraryOptions.CodecContexts,
          FLibraryOptions.ScalerContext,
          FPlan.FrameHooks,
          FPlan.SideFiles,
          FCounters.VideoSize,
          FCounters.AudioSize,
          FCounters.ExtraSize,
          FCounters.FramesDuplicated,
          FCounters.FramesDropped,
          FCounters.TimerStart,
          FCounters.VStatsFile,
          FFinished};
}

void TCustomFFmpeg::Transcode() {
  TTranscoder(*this, JobTables()).Run();
}
