// One run of an engine's job: the set-up of the working tables, the packet loop, the
// decode and the video, audio and subtitle output paths, and the progress report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/FFmpeg.h"
#include "engine/JobTables.h"
#include "engine/TranscodeTables.h"

// What the drift correction does to one block of samples: samples left out at its start,
// or silence (in the encoder's samples) put ahead of it.
struct TAudioCorrection {
  int Skip = 0;
  std::int64_t Silence = 0;
};

class TTranscoder {
 public:
  TTranscoder(TCustomFFmpeg& Engine, const TJobTables& Tables);
  TTranscoder(const TTranscoder&) = delete;
  TTranscoder& operator=(const TTranscoder&) = delete;

  // Sets up, loops until the inputs end, a limit is reached or a stop is requested, then
  // flushes, writes the trailers and reports. Raises FFMpegException on failure.
  void Run();

 private:
  // Set-up (TranscodeSetup.cpp).
  void BuildInputTables();
  void BuildOutputTables();
  TInputStream* FindSource(const TOutputStream& Output, int MapIndex);
  void PrepareStreamCopy(TOutputStream& Output, TInputStream& Input);
  void PrepareEncoding(TOutputStream& Output, TInputStream& Input);
  void PrepareVideoEncoding(TOutputStream& Output, TInputStream& Input);
  void OpenTwoPassLog(TOutputStream& Output, int Index);
  void OpenVStatsFile();
  void LogStreamMapping();
  void OpenEncoders();
  void OpenDecoders();
  void OpenDecoder(TInputStream& Input);
  void InitBitstreamFilters(TOutputStream& Output);

  // Metadata maps and subtitle headers (TranscodeMetaData.cpp).
  void CopyMetaDataMaps();
  void CopyChapters(int InFile, AVFormatContext* Output);
  void HandOverSubtitleHeaders();

  // Raises when an input's start time lies at or past its end.
  void RefuseStartPastEnd() const;
  void WriteHeaders();
  // Writes every trailer still due; returns the first failure's message, empty when none.
  std::string WriteTrailers();

  // Loop (TranscodeLoop.cpp).
  void Loop();
  int ChooseInputFile(double& SmallestOutputTime);
  void CorrectTimestamps(TInputStream& Input, AVPacket* Packet);
  void Finish();

  // Decoding and stream copy (PacketDecoding.cpp). The decoding steps return 0, or the
  // library's negative result for a packet that could not be decoded.
  int OutputPacket(int InputIndex, AVPacket* Packet);
  void CopyPacket(TInputStream& Input, TOutputStream& Output, const AVPacket* Packet);
  int DecodeAudioOrVideo(int InputIndex, AVPacket* Packet);
  int DecodeSubtitle(int InputIndex, AVPacket* Packet);
  void HandleDecodedFrame(int InputIndex, AVFrame* Frame);
  void ApplyVolume(AVFrame* Frame);
  void EmulateRate(TInputStream& Input);
  void FlushEncoders(int InputIndex);

  // Encoding and writing (shared by the output paths).
  void EncodeAndWrite(TOutputStream& Output, AVFrame* Frame);
  void WriteEncodedPacket(TOutputStream& Output, AVPacket* Packet);
  void WritePacket(TOutputStream& Output, AVPacket* Packet, AVCodecContext* Codec);

  // Video (VideoOutput.cpp).
  void StepOverTimestampJump(TOutputStream& Output, const TInputStream& Input, double TimeBase);
  void DoVideoOut(TOutputStream& Output, TInputStream& Input, AVFrame* Picture);
  AVFrame* PrepareVideoPicture(TOutputStream& Output, AVFrame* Picture);
  void EnsureScaler(TOutputStream& Output, const AVFrame* Picture);

  // Audio (AudioOutput.cpp).
  void DoAudioOut(TOutputStream& Output, TInputStream& Input, AVFrame* Samples);
  TAudioCorrection CorrectAudioDrift(TOutputStream& Output, TInputStream& Input,
                                     const AVFrame* Samples, int FifoSamples);
  void CompensateAudioDrift(TOutputStream& Output, double Delta);
  void FollowAudioClock(TOutputStream& Output, const TInputStream& Input, int FifoSamples);
  bool WriteSamples(TOutputStream& Output, const AVFrame* Samples, int Skip);
  void EncodeAudioFromFifo(TOutputStream& Output, bool Flush);
  void DrainResampler(TOutputStream& Output);
  void EnsureResampler(TOutputStream& Output, const AVFrame* Samples);

  // Picture pre-processing and hooks (PreProcessing.cpp).
  void PreProcessVideoFrame(TInputStream& Input, AVFrame* Picture);
  void DecideFrameHooks(std::int64_t Pts);
  AVFrame* MakeWorkingPicture(AVFrame* Picture);
  void RunCustomHook(AVFrame* Working, std::int64_t Pts);
  bool ConvertForHook(AVFrame* Working, AVFrame* Rgb);
  bool ConvertFromHook(AVFrame* Rgb, AVFrame* Working);
  void RunFrameHooks(AVFrame* Working, std::int64_t Pts);
  void HandBackWorkingPicture(AVFrame* Picture, AVFrame* Working);

  // Video filter graph (FilterGraph.cpp). A failure raises "Error opening filters: " with the
  // step that failed and the library's reason.
  void ConfigureFilters(TInputStream& Input, TOutputStream& Output);
  void FilterVideoOut(TOutputStream& Output, TInputStream& Input, AVFrame* Picture);
  TFramePtr MatchFilterSource(TOutputStream& Output, const AVFrame* Picture);
  void DrainFilterGraph(TOutputStream& Output, TInputStream& Input);
  void FlushFilterGraphs(int InputIndex);

  // Subtitles, statistics and report (OutputReport.cpp).
  void DoSubtitleOut(TOutputStream& Output, TInputStream& Input, AVSubtitle& Subtitle,
                     std::int64_t Pts);
  void DoVideoStats(TOutputStream& Output, int FrameSize);
  void PrintReport(bool IsLast);

  double SyncInputTime(const TInputStream& Input) const;

  TCustomFFmpeg& E;
  const TJobTables J;
  TEngineSettings& S;
  std::vector<TInputFile> InputFiles;
  std::vector<TInputStream> InputStreams;
  std::vector<std::unique_ptr<TOutputStream>> OutputStreams;
  TFramePtr DecodedFrame;
  TFramePtr WorkFrame;
  TPacketPtr WorkPacket;
  TFramePtr FilteredFrame;
  TPictureHookState Hooks;
  std::vector<std::uint8_t> SubtitleBuffer;
  std::int64_t LastReportTime = 0;
  double ReportedSeconds = 0;  // the output's position last reported; reports never go back
  // Per output file: its header is written and its trailer not yet.
  std::vector<bool> TrailerPending;
  int QpHistogram[52] = {};
};
