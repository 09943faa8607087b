// TCustomFFmpeg: the transcoding engine's face. One object runs one conversion job: its
// operations, setters and events are here; what they work on are its parts: the settings
// value with the option vocabulary (engine/options), the job plan and the steps that build it
// (engine/job), and the state all engines of the process share (engine/ProcessState).
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

#include "binding/MediaPointers.h"
#include "engine/Bitmap.h"
#include "engine/EngineSettings.h"
#include "engine/EngineThreads.h"
#include "engine/EngineTypes.h"
#include "engine/job/JobPlan.h"
#include "engine/options/EngineOptions.h"
#include "engine/options/LibraryOptions.h"

class TCustomFFmpeg;
class TJobSetup;
struct TJobTables;

using TBeforeHookEvent =
    std::function<void(TCustomFFmpeg* Sender, std::int64_t APTS, THookAction& AHookAction)>;
using TCustomHookEvent =
    std::function<void(TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber, std::int64_t APTS,
                       bool& AUpdate, bool& AStopHook)>;
using TLogEvent = std::function<void(TCustomFFmpeg* Sender, int Level, const std::string& Msg)>;
using TProgressEvent = std::function<void(TCustomFFmpeg* Sender, int AFrameNumber, int AFPS,
                                          int ACurrentDuration, float AQuality, float ABitRate,
                                          std::int64_t ACurrentSize, int ATotalOutputDuration)>;
using TEngineTerminateEvent = std::function<void(TCustomFFmpeg* Sender)>;

// The library's AV_TIME_BASE_Q is a C compound literal, which C++ compilers only take as an
// extension.
inline constexpr AVRational kMicrosecondTimeBase{1, AV_TIME_BASE};

// The message for a negative library result: the format for the code with name in it. A code
// without a text of its own takes the libraries' explanation, when they logged one for the
// call (see binding/LibraryErrorLine), else the code's reason.
std::string OpenErrorText(const std::string& name, int code, const std::string& explanation = {});
// The libraries' own text for a negative result ("No space left on device").
std::string ErrorReason(int code);

// A-law and u-law sound without a header is telephone sound (G.711), 8000 samples a second,
// which its readers take for 44100 unless told: true for a file that the forced format, or
// without one its name, gives to those readers.
bool IsHeaderlessTelephoneSound(const AVInputFormat* Forced, const std::string& FileName);
inline constexpr int kTelephoneSampleRate = 8000;

// Why a path cannot be read as an input without blocking: a named pipe waits in open for a
// writer that may never come, beyond the reach of a stop. Empty when nothing stands against it.
std::string BlockingInputText(const std::string& FileName);

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
  // Joins the threads of a job whose end has been delivered, which frees their stacks (on
  // one of those threads it lets that thread finish alone). Nothing while a job runs.
  void ReleaseEndedThreads();

  // Writes one packet through the chain's bitstream filters and the interleaving muxer.
  void WriteFrame(AVFormatContext* AOutput, AVPacket* APacket, TBitstreamFilterChain& AChain,
                  AVCodecContext* ACodec);

  // Codec open and close under CodecLock, keeping OpenedEncoders/OpenedDecoders current.
  int OpenEncoder(AVCodecContext* AContext, const AVCodec* ACodec, AVDictionary** AOptions);
  int OpenDecoder(AVCodecContext* AContext, const AVCodec* ACodec, AVDictionary** AOptions);
  void CloseEncoder(AVCodecContext* AContext);
  void CloseDecoder(AVCodecContext* AContext);
  // The job's codec and format contexts and filter graphs carry the engine (as a
  // TCustomFFmpeg*) in their opaque field, so that a library log line from a thread of the
  // library's own can be traced to the engine through the context that logged it.
  void MarkLogOwner(void*& Opaque) { Opaque = this; }
  // The registry of the files written beside the outputs, which the muxers' file callbacks
  // reach through the engine in a context's opaque field.
  TSideFiles& SideFiles() { return FPlan.SideFiles; }

  // Input and output files. Both return false with ErrorText() set when the file cannot
  // be used; the pending settings they consume are cleared either way.
  bool OpenInput(const std::string& FileName);
  bool OpenOutput(const std::string& FileName);
  // For the next OpenOutput: the base its name counts on from when it is taken by the time
  // the file is complete, and whether it only sets the output up without creating a file.
  void SetOutputNameBase(const std::string& Base) { FSettings.OutputNameBase = Base; }
  void SetOutputWithoutFile(bool WithoutFile) { FSettings.OutputWithoutFile = WithoutFile; }
  // The name the first output finally got (it is written under a temporary name until it
  // is closed); empty until then and for an output that was not kept.
  std::string PublishedOutputPath() const;
  const std::string& ErrorText() const { return FErrorText; }
  int InputFileCount() const { return FPlan.NbInputFiles; }
  int OutputFileCount() const { return FPlan.NbOutputFiles; }
  AVFormatContext* InputFile(int Index) const { return FPlan.InputFiles[Index].get(); }
  AVFormatContext* OutputFile(int Index) const { return FPlan.OutputFiles[Index].get(); }

  // Add one stream of their type to an output file; raise FFMpegException on failure.
  void new_video_stream(AVFormatContext* Context);
  void new_audio_stream(AVFormatContext* Context);
  void new_subtitle_stream(AVFormatContext* Context);

  // Looks a codec up by name: an empty name gives AV_CODEC_ID_NONE and true; an unknown
  // or wrongly typed one false with the error text set.
  bool FindCodec(const std::string& Name, AVMediaType CodecType, bool Encoder, AVCodecID& CodecId);

  // Copies every recorded generic option from Source into Target when the option's flags
  // hold all bits of Flags (AV_OPT_FLAG_ENCODING_PARAM, ..._VIDEO_PARAM, ...).
  void ApplyRecordedOptions(void* Target, void* Source, int Flags);

  // ---- Option vocabulary: the dispatcher, generic library options and typed setters ----
  // Each hands its value to TEngineOptions (engine/options), on this engine's settings,
  // option contexts and plan. Every failure raises FFMpegException with its message, except the
  // runtime's number conversions (EConvertError) and the tag length check (EAssertionFailed). An
  // empty text means that the value is not given.

  // One named option with its text value (names are case-sensitive, without a dash).
  // Names the vocabulary does not know go to SetLibraryOption.
  void SetOption(const std::string& Name, const std::string& Value);
  // Whether SetOption can place the name: the vocabulary's own, or one that the libraries'
  // codec, muxer or scaler option tables know (as SetCodecOption looks names up).
  bool KnowsOption(const std::string& Name) const;
  bool KnowsCodecOption(const std::string& Name) const;
  // A generic option of the libraries' option tables (codec, muxer, scaler); false when
  // no table takes it.
  bool SetCodecOption(const std::string& Name, const std::string& Value);
  // The same; on false, Refusal holds the library's error when a table that knows the name
  // refused the value (0 when none knows it, or the name or the value is blank).
  bool SetCodecOption(const std::string& Name, const std::string& Value, int& Refusal);
  // SetCodecOption for an option line: a name no table knows is skipped, but a value that
  // a table knowing the name refuses, or leaves blank, raises FFMpegException with the
  // library's reason.
  void SetLibraryOption(const std::string& Name, const std::string& Value);
  bool SetCodecOptionInt(const std::string& Name, int Value);
  // "b", "vb", "ab": a bit rate in bits/s, with a warning when it looks like kbit/s.
  bool SetBitrateOption(const std::string& Name, const std::string& Value);

  void SetFormat(const std::string& Name);
  void SetInputFormat(const std::string& Name);
  // Lets the next inputs read the files their playlist names inside its own folder.
  void SetAllowPlaylists(bool Value) { FSettings.AllowPlaylists = Value; }
  void SetOutputFormat(const std::string& Name);
  void SetVerbosity(int Level);

  void SetFrameRate(const std::string& Text);
  void SetFrameSize(const std::string& Text);
  void SetAspectRatio(const std::string& Text);
  // "list" logs the known formats and changes nothing.
  void SetPixelFormat(const std::string& Text);
  void SetSampleFormat(const std::string& Text);
  void SetCropTop(int Value);
  void SetCropBottom(int Value);
  void SetCropLeft(int Value);
  void SetCropRight(int Value);
  void SetPadTop(int Value);
  void SetPadBottom(int Value);
  void SetPadLeft(int Value);
  void SetPadRight(int Value);
  // Color is 0x00BBGGRR.
  void SetPadColor(int Color);
  void SetVideoQScale(float Value);
  void SetRcOverride(const std::string& Text);
  void SetTopFieldFirst(int Value);
  void SetMotionThreshold(int Value);
  // 64 comma-separated coefficients.
  void SetIntraMatrix(const std::string& Text);
  void SetInterMatrix(const std::string& Text);

  // "copy" asks for stream copy of that type.
  void SetVideoCodec(const std::string& Name);
  void SetAudioCodec(const std::string& Name);
  void SetSubtitleCodec(const std::string& Name);
  // Four characters, stored as a little-endian FourCC.
  void SetVideoTag(const std::string& Text);
  // An option of the next video stream's encoder itself (beyond the option vocabulary; the
  // component's encoder settings). An encoder that refuses it fails the output file.
  void SetVideoEncoderOption(const std::string& Name, const std::string& Value);
  void SetAudioTag(const std::string& Text);
  void SetAudioSampleRate(int Value);
  void SetAudioChannels(int Value);
  void SetAudioVolume(int Value);
  void SetAudioSyncMethod(int Value);
  void SetVideoSyncMethod(int Value);
  void SetMuxMaxDelay(float Value);
  void SetMuxPreload(float Value);
  void SetVideoChannel(int Value);
  void SetVideoStandard(const std::string& Text);
  void SetVideoFilters(const std::string& Text);
  // The module file, then its arguments, separated by "|" or else by blanks.
  void AddVideoHook(const std::string& Text);

  // "file:stream[:syncfile:syncstream]" and "outfile:infile"; numbers in C notation.
  void AddStreamMap(const std::string& Text);
  void AddMetaDataMap(const std::string& Text);
  // "outfile:infile" as well: every tag of the input file, and of each input stream that
  // feeds the output file, where the output has none of that name ("map_all_tags"); the
  // input's chapters, moved and cut as the output's time line is ("map_chapters").
  void AddAllTagsMap(const std::string& Text);
  void AddChapterMap(const std::string& Text);
  // "stream:scale" for the input file opened next.
  void SetInputTimeScale(const std::string& Text);
  // "absf", "vbsf", "sbsf": a bitstream filter for the next stream of that type.
  void AddBitstreamFilter(const std::string& Option, const std::string& Value);

  // Durations and dates in the libraries' time syntax; Name is the option, for messages.
  void SetRecordingTime(const std::string& Name, const std::string& Text);
  void SetRecordingTimeMs(int Value);
  void SetStartTime(const std::string& Name, const std::string& Text);
  void SetStartTimeUs(std::int64_t Value);
  void SetRecordTimestamp(const std::string& Name, const std::string& Text);
  void SetInputTimeOffset(const std::string& Name, const std::string& Text);
  void SetProgramId(int Value);
  // The audio stream an audio output takes instead of the first free one (beyond the option
  // vocabulary; the front ends' choice among several audio tracks).
  void SetAudioSourceStream(int FileIndex, int StreamIndex);

  void SetTitle(const std::string& Text);
  void SetAuthor(const std::string& Text);
  void SetCopyright(const std::string& Text);
  void SetComment(const std::string& Text);
  void SetGenre(const std::string& Text);
  void SetAlbum(const std::string& Text);
  void SetYear(int Value);
  void SetTrack(int Value);

  void SetPass(int Value);
  void SetVStats(bool Enable);
  void SetVStatsFile(const std::string& Text);
  // (start, end) pairs in microseconds for the picture hooks; kept sorted by end.
  void SetTimeRanges(const std::vector<std::pair<std::int64_t, std::int64_t>>& Ranges);
  // "newvideo", "newaudio", "newsubtitle": one more stream in the last output file.
  void AddVideoStream();
  void AddAudioStream();
  void AddSubtitleStream();
  // The cover picture of input stream File:Stream in the last output file, as its container
  // keeps covers (CoverKeepingOf). True when that made a picture stream, which a stream map
  // then names; false for an attached file, which needs none. Raises FFMpegException when
  // the container keeps no cover or the stream is none.
  bool AddCoverPicture(int File, int Stream);
  // "target": an optional "pal-", "ntsc-" or "film-" prefix, then the kind ("vcd", "svcd",
  // "dvd", "dv", "dv50"); without a prefix the norm is deduced, with NTSC as the fallback.
  void SetTarget(const std::string& Text);
  // Norm "pal", "ntsc" or "film"; anything else deduces it from the frame rate, then from
  // the inputs' video streams, then takes FallbackNorm ("film", "ntsc", else PAL).
  void ApplyTarget(const std::string& Kind, const std::string& Norm,
                   const std::string& FallbackNorm);
  // ---- end of the option vocabulary ----

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

  // Lines for OnLog, from the engine and from the parts of its job.
  bool Logging() const { return static_cast<bool>(OnLog); }
  void Log(int Level, const std::string& Msg);
  // Each local output checked against what was written into it; raises the first mismatch.
  void CheckOutputFiles();

  std::int64_t FProgressInterval = 500000;

  TBeforeHookEvent OnBeforeHook;
  TCustomHookEvent OnCustomHook;
  TLogEvent OnLog;
  TProgressEvent OnProgress;
  TEngineTerminateEvent OnTerminate;

 protected:
  // The job's body: the transcode of the input files into the output files.
  virtual void Transcode();
  // What the job's transcoder works on, all of it this engine's.
  TJobTables JobTables();

  // Ends a running job and waits until its thread has let go of this object; classes
  // that override Transcode call it from their own destructor.
  void WaitForJobEnd();

  // Reset without the job-control state, for a job that sets itself up on its own thread
  // (a stop asked for meanwhile must survive it).
  void ResetSettings();
  // True for a job that opens its files at the start of its Transcode: Start then does not
  // ask for files up front.
  virtual bool OpensFilesInJob() const { return false; }

  // Settings written by the options.
  TEngineSettings FSettings;

  // What set-up builds for the job: files, streams, maps, what waits for its stream.
  TJobPlan FPlan;

  // The libraries' option contexts that generic options are set on by name.
  TLibraryOptions FLibraryOptions;

  // Per-job working state.
  TJobCounters FCounters;
  std::string FErrorText;

  // Job control.
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FStopRequest{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  bool FExceptionRaised = false;
  std::string FExceptionMessage;

 private:
  // The option vocabulary on this engine's settings, option contexts, plan, log and outputs.
  TEngineOptions Options();
  // The set-up steps on this engine's settings, plan and option contexts.
  TJobSetup Setup();
  void RunJob();
  void RecordException(const std::string& Message);
  void CloseOpenedCodecs();
  void ReportEnd();

  std::atomic<TFFmpegThread*> FThread{nullptr};
  std::unique_ptr<TFFmpegThread> FWorker;
  std::unique_ptr<TDoTerminateThread> FTerminateThread;
  std::atomic<bool> FTerminatePending{false};
  std::list<AVCodecContext*> OpenedEncoders;
  std::list<AVCodecContext*> OpenedDecoders;
};
