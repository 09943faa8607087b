// TCustomFFmpeg: the transcoding engine. One object holds one conversion job: its
// settings, its input and output files, its working state, its thread and its events.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "EngineSettings.h"
#include "EngineThreads.h"
#include "EngineTypes.h"
#include "MediaPointers.h"

class TCustomFFmpeg;

using TBeforeHookEvent = std::function<void(TCustomFFmpeg* Sender, std::int64_t APTS,
                                            THookAction& AHookAction)>;
using TCustomHookEvent =
    std::function<void(TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber,
                       std::int64_t APTS, bool& AUpdate, bool& AStopHook)>;
using TLogEvent = std::function<void(TCustomFFmpeg* Sender, int Level, const std::string& Msg)>;
using TProgressEvent = std::function<void(TCustomFFmpeg* Sender, int AFrameNumber, int AFPS,
                                          int ACurrentDuration, float AQuality, float ABitRate,
                                          std::int64_t ACurrentSize, int ATotalOutputDuration)>;
using TEngineTerminateEvent = std::function<void(TCustomFFmpeg* Sender)>;

// A stream's bitstream filters, applied in order to every packet written for it.
using TBitstreamFilterChain = std::vector<TBsfContextPtr>;

// What the output side prepared for one stream of an output file; the transcode set-up
// opens the codec and writes the header.
struct TOutputStreamSetup {
  TCodecContextPtr Codec;
  bool StreamCopy = false;
  float Quality = 0;
  TBitstreamFilterChain Filters;
};

// Serialises every codec open and close of all engines in the process.
std::mutex& CodecLock();

// The message for a negative library result: the format for the code with name in it.
std::string OpenErrorText(const std::string& name, int code);

class TCustomFFmpeg {
 public:
  TCustomFFmpeg();
  virtual ~TCustomFFmpeg();
  TCustomFFmpeg(const TCustomFFmpeg&) = delete;
  TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

  // Frees the job's resources, restores every default and makes the option contexts.
  void Reset();
  // Frees every per-job resource; settings keep their values.
  void Cleanup();

  // Starts the job: in a new thread, returned suspended for the caller to resume, or in
  // the caller's thread (returns nullptr when it has ended). nullptr also when nothing
  // was started; a start without files reports its end at once.
  TFFmpegThread* Start(bool InThread, TConvertPriority Priority = tpNormal);
  void Stop();
  void Terminate();

  // Writes one packet through the chain's bitstream filters and the interleaving muxer.
  void WriteFrame(AVFormatContext* AOutput, AVPacket* APacket, TBitstreamFilterChain& AChain,
                  AVCodecContext* ACodec);

  // Codec open and close under CodecLock, keeping OpenedEncoders/OpenedDecoders current.
  int OpenEncoder(AVCodecContext* AContext, const AVCodec* ACodec, AVDictionary** AOptions);
  int OpenDecoder(AVCodecContext* AContext, const AVCodec* ACodec, AVDictionary** AOptions);
  void CloseEncoder(AVCodecContext* AContext);
  void CloseDecoder(AVCodecContext* AContext);

  // Input and output files. Both return false with ErrorText() set when the file cannot
  // be used; the pending settings they consume are cleared either way.
  bool OpenInput(const std::string& FileName);
  bool OpenOutput(const std::string& FileName);
  const std::string& ErrorText() const { return FErrorText; }
  int InputFileCount() const { return FNbInputFiles; }
  int OutputFileCount() const { return FNbOutputFiles; }
  AVFormatContext* InputFile(int Index) const { return FInputFiles[Index].get(); }
  AVFormatContext* OutputFile(int Index) const { return FOutputFiles[Index].get(); }

  // Add one stream of their type to an output file; raise FFMpegException on failure.
  void new_video_stream(AVFormatContext* Context);
  void new_audio_stream(AVFormatContext* Context);
  void new_subtitle_stream(AVFormatContext* Context);

  // Looks a codec up by name: an empty name gives AV_CODEC_ID_NONE and true; an unknown
  // or wrongly typed one false with the error text set.
  bool FindCodec(const std::string& Name, AVMediaType CodecType, bool Encoder,
                 AVCodecID& CodecId);

  // Copies every recorded generic option from Source into Target when the option's flags
  // hold all bits of Flags (AV_OPT_FLAG_ENCODING_PARAM, ..._VIDEO_PARAM, ...).
  void ApplyRecordedOptions(void* Target, void* Source, int Flags);

  bool Running() const { return FRunning; }
  bool StopRequested() const { return FStopRequest; }
  bool Finished() const { return FFinished; }
  bool Terminated() const { return FTerminated; }
  bool ExceptionRaised() const { return FExceptionRaised; }
  const std::string& ExceptionMessage() const { return FExceptionMessage; }
  TFFmpegThread* Thread() const { return FThread; }
  const TEngineSettings& Settings() const { return FSettings; }
  std::size_t OpenedEncoderCount() const { return OpenedEncoders.size(); }
  std::size_t OpenedDecoderCount() const { return OpenedDecoders.size(); }

  std::int64_t FProgressInterval = 500000;

  TBeforeHookEvent OnBeforeHook;
  TCustomHookEvent OnCustomHook;
  TLogEvent OnLog;
  TProgressEvent OnProgress;
  TEngineTerminateEvent OnTerminate;

 protected:
  // The job's body: the transcode of the input files into the output files.
  virtual void Transcode() = 0;

  // Ends a running job and waits until its thread has let go of this object; classes
  // that override Transcode call it from their own destructor.
  void WaitForJobEnd();

  bool Logging() const { return static_cast<bool>(OnLog); }
  void Log(int Level, const std::string& Msg);

  // Settings written by the options.
  TEngineSettings FSettings;

  // Job tables.
  std::array<TInputFormatContextPtr, kMaxFiles> FInputFiles;
  std::array<std::int64_t, kMaxFiles> FInputFilesTsOffset{};
  std::array<std::array<double, kMaxStreams>, kMaxFiles> FInputFilesTsScale{};
  int FNbInputFiles = 0;
  std::array<TOutputFormatContextPtr, kMaxFiles> FOutputFiles;
  // The decoder context of each stream of each input file, by stream index.
  std::array<std::vector<TCodecContextPtr>, kMaxFiles> FInputStreamCodecs;
  std::array<bool, kMaxFiles> FInputFilesRateEmulation{};
  // What each stream of each output file was created with, by stream index.
  std::array<std::vector<TOutputStreamSetup>, kMaxFiles> FOutputStreams;
  int FNbOutputFiles = 0;
  std::array<TStreamMap, kMaxStreamMaps> FStreamMaps{};
  int FNbStreamMaps = 0;
  std::array<TMetaDataMap, kMaxMetaDataMaps> FMetaDataMaps{};
  int FNbMetaDataMaps = 0;

  // Option contexts: they only hold generic option values by name (video, audio, data,
  // subtitle, attachment; then the muxer and the scaler).
  std::array<TCodecContextPtr, 5> FCodecOptionContexts;
  TOutputFormatContextPtr FFormatOptionContext;
  TSwsContextPtr FScalerOptionContext;
  std::vector<std::string> FGenericOptionNames;

  // Bitstream filters waiting for the next stream of their type (video, audio, subtitle).
  std::array<TBitstreamFilterChain, 3> FPendingBitstreamFilters;

  // Per-job working state.
  std::int64_t FVideoSize = 0;
  std::int64_t FAudioSize = 0;
  std::int64_t FExtraSize = 0;
  int FFramesDuplicated = 0;
  int FFramesDropped = 0;
  std::int64_t FTimerStart = 0;
  TCFilePtr FVStatsFile;
  std::string FErrorText;

  // Job control.
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FStopRequest{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  bool FExceptionRaised = false;
  std::string FExceptionMessage;

 private:
  void RunJob();
  void RecordException(const std::string& Message);
  void CloseOpenedCodecs();
  void ReportEnd();
  void CloseOutputFiles();
  void AllocateOptionContexts();
  void ClearPendingFileSettings();
  int OutputRowOf(const AVFormatContext* Context) const;
  TOutputStreamSetup& NewStreamSetup(AVFormatContext* Context, AVStream* Stream,
                                     int PendingFilterIndex);
  void TakeOverInputStream(AVFormatContext* Context, unsigned StreamIndex,
                           const std::string& FileName);
  bool NamesAnInput(const std::string& FileName) const;
  void CheckInputStreamTypes(bool& HasVideo, bool& HasAudio, bool& HasSubtitle) const;
  void WriteThroughFilters(AVFormatContext* AOutput, AVPacket* APacket,
                           TBitstreamFilterChain& AChain, std::size_t AFirst,
                           AVCodecContext* ACodec);

  std::atomic<TFFmpegThread*> FThread{nullptr};
  std::unique_ptr<TFFmpegThread> FWorker;
  std::unique_ptr<TDoTerminateThread> FTerminateThread;
  std::atomic<bool> FTerminatePending{false};
  std::list<AVCodecContext*> OpenedEncoders;
  std::list<AVCodecContext*> OpenedDecoders;
};
