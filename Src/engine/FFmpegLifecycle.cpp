// Creation, reset, clean-up, start, stop and end of an engine's job.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "binding/MediaLibraries.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

TCustomFFmpeg::TCustomFFmpeg() {
  RegisterLogEngine(this, FSettings.Verbosity);
}

TCustomFFmpeg::~TCustomFFmpeg() {
  WaitForJobEnd();
  Cleanup();
  // After the clean-up, whose library lines are still this engine's.
  UnregisterLogEngine(this);
}

void TCustomFFmpeg::WaitForJobEnd() {
  Stop();
  for (int wait = 0; wait < 10 && FThread.load() != nullptr; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // Joining makes sure no thread still uses this object once it goes.
  FWorker.reset();
  FTerminateThread.reset();
}

void TCustomFFmpeg::Log(int Level, const std::string& Msg) {
  if (OnLog) OnLog(this, Level, Msg);
}

void TCustomFFmpeg::Reset() {
  if (!MediaLibrariesLoaded()) return;
  ResetSettings();
  FRunning = false;
  FStopRequest = false;
  FFinished = false;
  FTerminated = false;
  FExceptionRaised = false;
}

void TCustomFFmpeg::ResetSettings() {
  if (!MediaLibrariesLoaded()) return;
  Cleanup();
  FSettings = TEngineSettings{};
  RegisterLogEngine(this, FSettings.Verbosity);
  FPlan.Clear();
  FCounters = TJobCounters{};
  FErrorText.clear();
  FLibraryOptions.Allocate(FSettings.ScalerFlags);
}

void TCustomFFmpeg::Cleanup() {
  if (!MediaLibrariesLoaded()) return;
  FLibraryOptions.Release();
  FPlan.Release();
  FSettings.IntraMatrix.clear();
  FSettings.InterMatrix.clear();
  FCounters.VStatsFile.reset();
  FSettings.VStatsFileName.clear();
  FSettings.VideoCodecName.clear();
  FSettings.RcOverride.clear();
  FSettings.AudioCodecName.clear();
  FSettings.SubtitleCodecName.clear();
  FSettings.VideoStandard.clear();
  FSettings.AudioLanguage.clear();
  FSettings.SubtitleLanguage.clear();
}

TFFmpegThread* TCustomFFmpeg::Start(bool InThread, TConvertPriority Priority) {
  if (FRunning || FTerminated || FTerminatePending) return nullptr;
  try {
    // A job that opens its files on its own thread is checked there.
    if (!OpensFilesInJob() && FPlan.NbOutputFiles == 0) {
      Cleanup();
      throw FFMpegException("Must supply at least one output file");
    }
    if (!OpensFilesInJob() && FPlan.NbInputFiles == 0) {
      Cleanup();
      throw FFMpegException("Must supply at least one input file");
    }
  } catch (const std::exception& failure) {
    RecordException(failure.what());
    ReportEnd();
    return nullptr;
  }
  FRunning = true;
  FStopRequest = false;
  FFinished = false;
  FTerminated = false;
  if (!InThread) {
    RunJob();
    return nullptr;
  }
  FWorker.reset();  // the previous job's thread has ended; let it go
  FWorker = std::make_unique<TFFmpegThread>([this] { RunJob(); }, Priority);
  FThread = FWorker.get();
  return FWorker.get();
}

void TCustomFFmpeg::ReleaseEndedThreads() {
  if (FRunning || FTerminatePending || FThread.load() != nullptr) return;
  FWorker.reset();
  FTerminateThread.reset();
}

void TCustomFFmpeg::Stop() {
  FStopRequest = true;
  if (TFFmpegThread* thread = FThread.load(); thread && thread->Suspended()) thread->Resume();
}

void TCustomFFmpeg::Terminate() {
  if (FRunning) {
    Stop();
    return;
  }
  if (FTerminated || FTerminatePending.exchange(true)) return;
  FTerminateThread.reset();
  FTerminateThread = std::make_unique<TDoTerminateThread>([this] { ReportEnd(); });
  FTerminateThread->Resume();
}

void TCustomFFmpeg::RecordException(const std::string& Message) {
  Log(-1, Message);
  FExceptionRaised = true;
  FExceptionMessage = Message;
}

void TCustomFFmpeg::RunJob() {
  FFinished = false;
  // Not around the end's report: its handler may start another task on this thread.
  std::optional<TLogOwnerScope> logOwner(std::in_place, this);
  try {
    Transcode();
    if (const std::string failure = FPlan.PublishOutputFiles(FExceptionRaised); !failure.empty())
      throw FFMpegException(failure);
    if (!FStopRequest) FPlan.SideFiles.JobCompleted();
  } catch (const std::exception& failure) {
    // The libraries pass on only an error code for a side file that was refused.
    const std::string& refusal = FPlan.SideFiles.LastRefusal();
    RecordException(refusal.empty() ? failure.what()
                                    : std::string(failure.what()) + " (" + refusal + ")");
  } catch (...) {
    // Nothing may escape a worker thread: that would end the whole program.
    RecordException("Unknown error");
  }
  // After a failure: what was written up to it is kept where it opens.
  if (FExceptionRaised)
    if (const std::string failure = FPlan.PublishOutputFiles(FExceptionRaised); !failure.empty())
      Log(-1, failure);
  CloseOpenedCodecs();
  Cleanup();
  // Once the C library has raised its mmap threshold, a job's large buffers (pictures,
  // encoder look-ahead) come from the heap and stay resident after they are freed: handed
  // back here, the next file of a batch does not start on top of them. Under a sanitizer
  // the C library's heap is not the one in use, and trimming it from two threads at once
  // walks arenas that were never set up.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  malloc_trim(0);
#endif
  logOwner.reset();
  ReportEnd();
}

void TCustomFFmpeg::ReportEnd() {
  // Terminated before not-running: a concurrent Terminate must never see neither.
  FTerminated = true;
  FRunning = false;
  FTerminatePending = false;
  FThread = nullptr;
  // A copy: the handler may free this engine, and with it the member it was called through.
  const TEngineTerminateEvent handler = OnTerminate;
  if (handler) handler(this);
}

std::string TCustomFFmpeg::PublishedOutputPath() const {
  return FPlan.PublishedOutputPath();
}

void TCustomFFmpeg::CheckOutputFiles() {
  FPlan.CheckOutputFiles();
}

void TCustomFFmpeg::ApplyRecordedOptions(void* Target, void* Source, int Flags) {
  FLibraryOptions.ApplyRecorded(Target, Source, Flags);
}
