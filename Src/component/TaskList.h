// The component's conversion tasks: TFFmpeg (an engine with its index, its option records
// and its own probe) and TFFmpegList, the ordered list that owns them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component/AVProbe.h"
#include "engine/FFmpeg.h"
#include "component/OptionRecords.h"

// The calling thread's identifier (never 0).
std::uint32_t CurrentThreadIdentifier();

// The part of a listed task's set-up that failed when its turn came.
enum TTaskSetupStep : std::int32_t { tsNone, tsInput, tsOutput };

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
  // "start-end" pieces in milliseconds, separated by ","; see the implementation.
  void ApplyTimeRanges(const std::string& Text);

  // Position in the component's list; -1 before it is added.
  int Index = -1;
  // The thread that runs the job, 0 when none does.
  std::atomic<std::uint32_t> ThreadID{0};
  TInputOptions InputOptions;
  TOutputOptions OutputOptions;
  TAVProbe Probe;

 protected:
  void Transcode() override;
  bool OpensFilesInJob() const override { return static_cast<bool>(FSetUp); }

 private:
  friend class TCustomVornConverter;

  // A listed task's set-up (input opened, output created), run on the job's own thread
  // when it starts; it throws with the reason when a step fails and answers false when a
  // stop came first. Empty for a task that was set up when it was added.
  std::function<bool(TFFmpeg&)> FSetUp;
  TTaskSetupStep FSetupFailure = tsNone;

  // The component's bookkeeping of this task's run, kept under its ComponentLock.
  struct TRunState {
    bool InRun = false;              // one of the tasks the open run waits for
    bool Started = false;            // picked to start in this run
    bool EndDelivered = false;       // its OnTerminate of this run has been raised
    bool EndOutstanding = false;     // a job or an end delivery is under way
    bool TerminateRequested = false; // a helper thread will deliver the end
    bool InlineStarting = false;     // a main-thread start is between its check and its job
  };
  TRunState FRun;
  // Set when a stop is asked for while an inline start cannot be stopped yet; the job
  // then stops itself at its first step.
  std::atomic<bool> FStopOnStart{false};
};

using TTaskPtr = std::shared_ptr<TFFmpeg>;

class TFFmpegList {
 public:
  // The task at a position; throws std::out_of_range outside the list.
  TFFmpeg& Items(int Index) const { return *Shared(Index); }
  const TTaskPtr& Shared(int Index) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  // Appends the task, sets its Index and returns it.
  int Add(TTaskPtr Task);
  // Takes the task at a position out of the list and renumbers the ones behind it; the
  // caller decides when the task may be freed.
  TTaskPtr Extract(int Index);
  std::vector<TTaskPtr> ExtractAll();
  // The first task, in list order, run by that thread; nullptr when there is none.
  TFFmpeg* FindByThreadID(std::uint32_t ThreadID) const;
  // The task whose engine is at that address (compared, never dereferenced); nullptr when
  // none is listed.
  TFFmpeg* FindByEngine(const void* Engine) const;
  const std::vector<TTaskPtr>& All() const { return FItems; }

 private:
  std::vector<TTaskPtr> FItems;
};
