// What the component's callers see of its tasks: the list that owns them and the step a
// listed task's set-up failed at. The task itself (TFFmpeg, an engine) is declared in
// component/TaskList.h, which only the component and its tests include, so that the front
// ends are built without the media libraries' headers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class TFFmpeg;

// The calling thread's identifier (never 0).
std::uint32_t CurrentThreadIdentifier();

// The part of a listed task's set-up that failed when its turn came.
enum TTaskSetupStep : std::int32_t { tsNone, tsInput, tsOutput };

// Why a task's end came without a converted file.
enum TTaskFailure : std::int32_t {
  tfNone,        // converted
  tfSetup,       // its input or output could not be set up at its turn (SetupStep says which)
  tfJob,         // the conversion failed
  tfStopped,     // stopped while it ran
  tfNotStarted,  // the run ended (a stop) before its job began
};

// What a task's end tells beside OnTerminate's flags. Started: its job began (its turn came
// and no stop was asked before), so a stopped file may have left a partial output.
struct TTaskEnd {
  bool Started = false;
  TTaskFailure Failure = tfNone;
  TTaskSetupStep SetupStep = tsNone;
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
