// The component's conversion task: TFFmpeg, an engine with its index, its option records
// and its own probe. The list that owns the tasks is in component/TaskHandles.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "component/AVProbe.h"
#include "component/OptionRecords.h"
#include "component/TaskHandles.h"
#include "engine/FFmpeg.h"

class TFFmpeg : public TCustomFFmpeg {
 public:
  TFFmpeg() = default;
  // Ends a running job first, so that no job thread meets a half-destroyed task.
  ~TFFmpeg() override;

  // "name=value" lines through SetOption; the first failing one throws.
  void ApplyOptionText(const std::string& Text);
  // The fields of the records, in their fixed order; the first failing one throws.
  void ApplyInputOptions(const TInputOptions& Options);
  void ApplyOutputOptions(const TOutputOptions& Options);
  void ApplyTargetOptions(const TOutputOptions& Options);
  // Points the audio output at the input's preferred audio track (see the probe) and logs it
  // when the input has several.
  void PickAudioTrack();
  // The video encoder's own settings (component/EncoderSettings): constant quality, speed,
  // the HEVC tag of MP4 and MOV; for the output file FileName.
  void ApplyVideoEncoderSettings(const TOutputOptions& Options, const std::string& FileName);
  // Information lines of the component's own about this task; build them only while
  // Listening().
  bool Listening() const { return Logging(); }
  void LogInfo(const std::string& Line) { Log(1, Line); }
  // "start-end" pieces in milliseconds, separated by ","; see the implementation.
  void ApplyTimeRanges(const std::string& Text);
  // The codecs' threads of the next job (0: the libraries choose); the component's
  // ThreadCount, one for a check.
  void SetThreadCount(int Count) { FSettings.ThreadCount = Count; }
  // A listed task starts its set-up from the settings a new engine has.
  using TCustomFFmpeg::ResetSettings;

  // Position in the component's list; -1 before it is added.
  int Index = -1;
  // The thread that runs the job, 0 when none does.
  std::atomic<std::uint32_t> ThreadID{0};
  TInputOptions InputOptions;
  TOutputOptions OutputOptions;
  TAVProbe Probe;
  // What the user is told about the output beside how it ended (tracks left out); set
  // while the output is set up.
  std::string OutputNote;

  // The component's bookkeeping of this task: only the component's files read and write it,
  // under its ComponentLock (the atomics are set by the job thread too).

  // A listed task's set-up (input opened, output created), run on the job's own thread
  // when it starts; it throws with the reason when a step fails and answers false when a
  // stop came first. Empty for a task that was set up when it was added.
  std::function<bool(TFFmpeg&)> ListedSetUp;
  TTaskSetupStep SetupFailure = tsNone;
  // Its job of this run began before any stop was asked for; reset when a run takes it.
  std::atomic<bool> JobBegan{false};
  // Its last end, as TaskEnd tells it; filled under the component's lock.
  TTaskEnd LastEnd;

  // This run's state: five facts, each with a reader that needs it (see the component's
  // header).
  struct TRunState {
    bool InRun = false;         // one of the tasks the open run waits for
    bool EndDelivered = false;  // its OnTerminate of this run has been raised
    // A DoTerminate for it is still to come: set when it is picked to start or a helper
    // thread is asked to deliver its end, cleared when that DoTerminate is over.
    bool EndOutstanding = false;
    bool TerminateRequested = false;  // that DoTerminate comes from a helper thread
    // A main-thread start holds it, from its check until its job has returned (which
    // is after the job's own DoTerminate).
    bool InlineStarting = false;

    // Picked to start, running, or ending: it may be freed only when this is false.
    bool Busy() const { return EndOutstanding || InlineStarting; }
    // Waits for its turn in the open run. A task picked to start stays Busy until its
    // end, and ended then, so this needs no flag of its own.
    bool Pending() const { return InRun && !EndDelivered && !EndOutstanding; }
  };
  TRunState RunState;
  // Set when a stop is asked for while an inline start cannot be stopped yet; the job
  // then stops itself at its first step.
  std::atomic<bool> StopOnStart{false};

 protected:
  void Transcode() override;
  bool OpensFilesInJob() const override { return static_cast<bool>(ListedSetUp); }
};
