// A run: starting the tasks (several at once, or one after another on the main thread),
// stopping them, and relaying each end, then the run's own end with index -1.
#include <utility>

#include "component/DelayedCalls.h"
#include "component/EventScope.h"
#include "component/LogRelay.h"
#include "component/TaskList.h"
#include "component/VornConverter.h"

void TCustomVornConverter::StartConvert(int Count) {
  FreeRetired();
  ClearLog();
  std::lock_guard lock(ComponentLock);
  FNextTaskIndex = 0;
  FFinishedCount = 0;
  FParallelCount = Count;
  for (const TTaskPtr& task : Tasks.All()) {
    TFFmpeg::TRunState& run = task->RunState;
    run.InRun = true;
    // A task still running from before is not started again (it is Busy): its coming
    // end counts.
    run.EndDelivered = false;
    if (!run.Busy()) {
      task->JobBegan = false;
      task->SetupFailure = tsNone;
      task->LastEnd = {};
    }
  }
  for (const TTaskPtr& task : FRetired) task->RunState.InRun = false;
  FRunOpen = true;
  CountPending();
  if (Count <= 0) {
    StartNext();
    return;
  }
  for (int i = 0; i < Count && FPendingCount > 0; ++i) StartNext();
}

void TCustomVornConverter::CountPending() {
  FPendingCount = 0;
  for (const TTaskPtr& task : Tasks.All())
    if (task->RunState.Pending()) ++FPendingCount;
}

void TCustomVornConverter::StartNext() {
  if (FPendingCount <= 0 || FClosing) return;
  TTaskPtr next;
  for (const TTaskPtr& task : Tasks.All()) {
    if (task->RunState.Pending()) {
      next = task;
      break;
    }
  }
  if (!next) {
    FPendingCount = 0;
    return;
  }
  --FPendingCount;
  next->RunState.EndOutstanding = true;
  FNextTaskIndex = next->Index + 1;
  if (FParallelCount <= 0)
    PostStart(next);
  else
    StartTask(next);
}

void TCustomVornConverter::StartTask(const TTaskPtr& Task) {
  Task->FProgressInterval = static_cast<std::int64_t>(FProgressInterval) * 1000;
  Task->SetVerbosity(FLogLevel - 1);
  Task->ThreadID = 0;
  if (TFFmpegThread* thread = Task->Start(true, ThreadPriority)) {
    thread->Resume();
    return;
  }
  // Nothing runs. A start without files has reported its end already; an engine that
  // refuses to start again (its end was reported before) gets its end here.
  if (!Task->RunState.EndDelivered) DoTerminate(Task.get());
}

void TCustomVornConverter::PostStart(const TTaskPtr& Task) {
  std::weak_ptr<TCustomVornConverter*> alive = FAlive;
  std::weak_ptr<TFFmpeg> task = Task;
  auto call = [alive, task] {
    const auto owner = alive.lock();
    if (const TTaskPtr started = task.lock(); owner && started) (*owner)->StartTaskInline(started);
  };
  if (FMainThreadPoster)
    FMainThreadPoster(100, std::move(call));
  else
    FDelayedCalls->Post(100, std::move(call));
}

void TCustomVornConverter::PostEnd(const TTaskPtr& Task) {
  std::weak_ptr<TCustomVornConverter*> alive = FAlive;
  std::weak_ptr<TFFmpeg> task = Task;
  // Never through the front end's main-thread timer: a ClearTasks on that thread waits
  // for this end.
  FDelayedCalls->Post(0, [alive, task] {
    const auto owner = alive.lock();
    if (const TTaskPtr ended = task.lock(); owner && ended) (*owner)->DoTerminate(ended.get());
  });
}

// The whole job runs in the calling thread, without the lock, so that the job's events
// (and the libraries' threads logging through them) are never held up.
void TCustomVornConverter::StartTaskInline(const TTaskPtr& Task) {
  TFFmpeg::TRunState& run = Task->RunState;
  TConvertPriority priority = tpNormal;
  {
    std::lock_guard lock(ComponentLock);
    if (FClosing || !run.EndOutstanding || run.EndDelivered || run.TerminateRequested) return;
    run.InlineStarting = true;
    Task->FProgressInterval = static_cast<std::int64_t>(FProgressInterval) * 1000;
    Task->SetVerbosity(FLogLevel - 1);
    priority = ThreadPriority;
  }
  Task->Start(false, priority);
  std::lock_guard lock(ComponentLock);
  run.InlineStarting = false;
  // No helper can have been asked for its end meanwhile: a stop of a task being started
  // inline goes through StopOnStart.
  if (!run.EndDelivered) DoTerminate(Task.get());
  FEndDelivered.notify_all();
}

void TCustomVornConverter::StopAll() {
  std::lock_guard lock(ComponentLock);
  FPendingCount = 0;
  bool joined = false;
  for (const TTaskPtr& task : Tasks.All()) {
    if (!RequestEnd(task) || task->RunState.InRun) continue;
    // A task stopped outside a run: its end and the closing -1 come as for a run.
    task->RunState.InRun = true;
    joined = true;
  }
  if (joined && !FRunOpen) {
    FRunOpen = true;
    FFinishedCount = 0;
  }
}

void TCustomVornConverter::StopRunLocked() {
  FPendingCount = 0;
  for (const std::vector<TTaskPtr>* list : {&Tasks.All(), &std::as_const(FRetired)}) {
    for (const TTaskPtr& task : *list) {
      if (OwesEnd(*task)) RequestEnd(task);
    }
  }
}

bool TCustomVornConverter::OwesEnd(const TFFmpeg& Task) const {
  const TFFmpeg::TRunState& run = Task.RunState;
  return run.Busy() || (FRunOpen && run.InRun && !run.EndDelivered);
}

bool TCustomVornConverter::RequestEnd(const TTaskPtr& Shared) {
  TFFmpeg& Task = *Shared;
  TFFmpeg::TRunState& run = Task.RunState;
  if (run.InlineStarting) {
    // Its start may be under way in another thread: the job stops itself when it begins,
    // or is asked now if it has begun already.
    Task.StopOnStart = true;
    if (Task.Running()) Task.Stop();
    return true;
  }
  if (Task.Running()) {
    Task.Terminate();
    return true;
  }
  if (run.TerminateRequested) return true;
  if (Task.Terminated()) {
    // An engine that has reported its end may still be on its way to DoTerminate.
    if (run.EndOutstanding || !run.Pending()) return run.EndOutstanding;
    // It ended in an earlier run and never starts again, so no engine thread will bring
    // this run's end: a helper thread does, as for a stop of an idle engine.
    run.TerminateRequested = true;
    run.EndOutstanding = true;
    PostEnd(Shared);
    return true;
  }
  Task.Terminate();
  run.TerminateRequested = true;
  run.EndOutstanding = true;
  return true;
}

bool TCustomVornConverter::RunComplete() const {
  if (!FRunOpen || FPendingCount > 0) return false;
  for (const std::vector<TTaskPtr>* list : {&Tasks.All(), &std::as_const(FRetired)})
    for (const TTaskPtr& task : *list)
      if (task->RunState.InRun && !task->RunState.EndDelivered) return false;
  return true;
}

void TCustomVornConverter::RaiseRunEnd() {
  FRunOpen = false;
  if (OnTerminate) OnTerminate(-1, true, false, std::string());
  ClearLog();
}

void TCustomVornConverter::DoTerminate(TCustomFFmpeg* Sender) {
  TEventScope scope;
  std::lock_guard lock(ComponentLock);
  auto* task = static_cast<TFFmpeg*>(Sender);
  TFFmpeg::TRunState& run = task->RunState;
  if (!run.EndDelivered) {
    run.EndDelivered = true;
    // The thread that delivered the previous end has nothing left to do: joined, its stack
    // goes, so that a long list does not keep one per ended file.
    if (FLastEnded && FLastEnded != task) FLastEnded->ReleaseEndedThreads();
    FLastEnded = task;
    // Its thread identifier may be reused by any thread from now on.
    task->ThreadID = 0;
    // The job's clean-up has closed the input the probe looked at.
    if (task->InputFileCount() == 0) task->Probe.Close();
    task->LastEnd.Started = task->JobBegan;
    task->LastEnd.SetupStep = task->SetupFailure;
    if (task->SetupFailure != tsNone)
      task->LastEnd.Failure = tfSetup;
    else if (task->ExceptionRaised())
      task->LastEnd.Failure = tfJob;
    else if (task->Finished())
      task->LastEnd.Failure = tfNone;
    else
      task->LastEnd.Failure = task->LastEnd.Started ? tfStopped : tfNotStarted;
    if (task->SetupFailure != tsNone && OnSetupFailure)
      OnSetupFailure(task->Index, task->SetupFailure, task->ExceptionMessage());
    if (OnTerminate)
      OnTerminate(task->Index, task->Finished(), task->ExceptionRaised(), task->ExceptionMessage());
    if (run.InRun) {
      ++FFinishedCount;
      StartNext();
      if (RunComplete()) RaiseRunEnd();
    }
  }
  run.EndOutstanding = false;
  run.TerminateRequested = false;
  FEndDelivered.notify_all();
}
