// The component's life, its libraries, the removal and freeing of tasks, its settings and
// the relays of the engines' log, progress and hook events.
#include <algorithm>

#include "binding/MediaLibraries.h"
#include "component/DelayedCalls.h"
#include "component/EventScope.h"
#include "component/LogRelay.h"
#include "component/TaskList.h"
#include "component/VornConverter.h"
#include "engine/OutputPlacement.h"

namespace {

TLogLevel LogLevelOfEngineLevel(int Level) {
  if (Level < 0) return llQuiet;
  if (Level >= 4) return llAll;
  return static_cast<TLogLevel>(Level + 1);
}

}  // namespace

bool IsEngineFailure(const std::exception& error) {
  return dynamic_cast<const FFMpegException*>(&error) != nullptr;
}

void RemoveTasksTemporaryOutputs() {
  RemoveTemporaryOutputs();
}

TCustomVornConverter::TCustomVornConverter(TMainThreadPoster MainThreadPoster)
    : FMainThreadPoster(std::move(MainThreadPoster)),
      FDelayedCalls(std::make_unique<TDelayedCalls>()),
      FAlive(std::make_shared<TCustomVornConverter*>(this)) {
  RegisterComponent(this, FLogLevel - 1);
}

TCustomVornConverter::~TCustomVornConverter() {
  UnregisterComponent(this);
  std::vector<TTaskPtr> tasks;
  {
    std::lock_guard lock(ComponentLock);
    FClosing = true;
    StopRunLocked();
    tasks = Tasks.All();
    tasks.insert(tasks.end(), FRetired.begin(), FRetired.end());
  }
  WaitForEnds(tasks);
  FDelayedCalls.reset();
  FAlive.reset();
  {
    std::lock_guard lock(ComponentLock);
    for (TTaskPtr& task : Tasks.ExtractAll()) tasks.push_back(std::move(task));
    for (TTaskPtr& task : FRetired) tasks.push_back(std::move(task));
    FRetired.clear();
    FLastEnded = nullptr;
  }
  // The last references go here, outside the lock: freeing a task joins its threads.
  tasks.clear();
}

bool TCustomVornConverter::InsideEvent() {
  return eventDepth > 0;
}

bool TCustomVornConverter::LoadLibraries(const std::string& Folder, bool Versioned) {
  if (!LoadMediaLibraries(Folder, Versioned)) {
    LastErrorMessage = MediaLibrariesError();
    return false;
  }
  InstallLibraryLogCallback();
  SetLogLevel(LogLevel());
  return true;
}

void TCustomVornConverter::UnloadLibraries() {
  // Engines must be gone before their libraries; inside an event they cannot be waited for.
  if (InsideEvent()) return;
  ClearTasks();
  std::vector<TTaskPtr> retired;
  {
    std::lock_guard lock(ComponentLock);
    retired = FRetired;
  }
  WaitForEnds(retired);
  retired.clear();
  FreeRetired();
  Probe->Close();
  FreeMediaLibraries();
}

void TCustomVornConverter::RemoveTask(int Index) {
  TTaskPtr task;
  {
    std::lock_guard lock(ComponentLock);
    task = Tasks.Shared(Index);
    if (OwesEnd(*task)) {
      RequestEnd(task);
      CountPending();
    }
    if (InsideEvent()) {
      FRetired.push_back(Tasks.Extract(Index));
      return;
    }
  }
  WaitForEnds({task});
  {
    std::lock_guard lock(ComponentLock);
    // An event may have taken it out of the list meanwhile.
    const auto& all = Tasks.All();
    const auto position = std::find(all.begin(), all.end(), task);
    if (position != all.end())
      FRetired.push_back(Tasks.Extract(static_cast<int>(position - all.begin())));
  }
  task.reset();
  FreeRetired();
}

void TCustomVornConverter::ClearTasks() {
  if (!InsideEvent()) {
    std::vector<TTaskPtr> tasks;
    {
      std::lock_guard lock(ComponentLock);
      StopRunLocked();
      tasks = Tasks.All();
    }
    WaitForEnds(tasks);
  }
  {
    std::lock_guard lock(ComponentLock);
    StopRunLocked();
    for (TTaskPtr& task : Tasks.ExtractAll()) FRetired.push_back(std::move(task));
    LastErrorMessage.clear();
    FParallelCount = 0;
  }
  FreeRetired();
}

void TCustomVornConverter::WaitForEnds(const std::vector<TTaskPtr>& Waited) {
  std::unique_lock lock(ComponentLock);
  FEndDelivered.wait(lock, [&] {
    return std::none_of(Waited.begin(), Waited.end(),
                        [](const TTaskPtr& task) { return task->RunState.Busy(); });
  });
}

void TCustomVornConverter::FreeRetired() {
  if (InsideEvent()) return;
  std::vector<TTaskPtr> idle;
  {
    std::lock_guard lock(ComponentLock);
    const auto busy =
        std::stable_partition(FRetired.begin(), FRetired.end(),
                              [](const TTaskPtr& task) { return task->RunState.Busy(); });
    std::move(busy, FRetired.end(), std::back_inserter(idle));
    FRetired.erase(busy, FRetired.end());
    for (const TTaskPtr& task : idle)
      if (task.get() == FLastEnded) FLastEnded = nullptr;
  }
  // Freed outside the lock: a task's destruction joins its threads.
}

// The component's own level: its tasks get it at their start, and it filters the lines no
// task owns. The libraries' level is left alone, since other components' tasks may run.
void TCustomVornConverter::SetLogLevel(TLogLevel Value) {
  {
    std::lock_guard lock(ComponentLock);
    FLogLevel = Value;
  }
  // Outside ComponentLock: the relay's lock comes first.
  SetComponentLogLevel(this, Value - 1);
}

TLogLevel TCustomVornConverter::LogLevel() const {
  std::lock_guard lock(ComponentLock);
  return FLogLevel;
}

void TCustomVornConverter::SetProgressInterval(int Value) {
  std::lock_guard lock(ComponentLock);
  FProgressInterval = Value <= 100 ? 100 : Value;
}

int TCustomVornConverter::ProgressInterval() const {
  std::lock_guard lock(ComponentLock);
  return FProgressInterval;
}

int TCustomVornConverter::NextTaskIndex() const {
  std::lock_guard lock(ComponentLock);
  return FNextTaskIndex;
}

int TCustomVornConverter::ParallelCount() const {
  std::lock_guard lock(ComponentLock);
  return FParallelCount;
}

int TCustomVornConverter::PendingCount() const {
  std::lock_guard lock(ComponentLock);
  return FPendingCount;
}

int TCustomVornConverter::FinishedCount() const {
  std::lock_guard lock(ComponentLock);
  return FFinishedCount;
}

int TCustomVornConverter::TaskCount() const {
  std::lock_guard lock(ComponentLock);
  return Tasks.Count();
}

std::string TCustomVornConverter::TaskOutputFile(int Index) const {
  std::lock_guard lock(ComponentLock);
  if (Index < 0 || Index >= Tasks.Count()) return {};
  return Tasks.Items(Index).PublishedOutputPath();
}

std::string TCustomVornConverter::TaskOutputNote(int Index) const {
  std::lock_guard lock(ComponentLock);
  if (Index < 0 || Index >= Tasks.Count()) return {};
  return Tasks.Items(Index).OutputNote;
}

TTaskEnd TCustomVornConverter::TaskEnd(int Index) const {
  std::lock_guard lock(ComponentLock);
  if (Index < 0 || Index >= Tasks.Count()) return {};
  return Tasks.Items(Index).LastEnd;
}

void TCustomVornConverter::ConnectEvents(TFFmpeg& Task, bool Progress) {
  if (!Progress) {
    Task.OnLog = [this](TCustomFFmpeg* Sender, int Level, const std::string& Msg) {
      DoLog(Sender, Level, Msg);
    };
    return;
  }
  Task.OnProgress = [this](TCustomFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration,
                           float AQuality, float ABitRate, std::int64_t ACurrentSize,
                           int ATotalOutputDuration) {
    DoProgress(Sender, AFrameNumber, AFPS, ACurrentDuration, AQuality, ABitRate, ACurrentSize,
               ATotalOutputDuration);
  };
  Task.OnTerminate = [this](TCustomFFmpeg* Sender) { DoTerminate(Sender); };
}

void TCustomVornConverter::RaiseLibraryLine(int Level, const std::string& Line, const void* Owner) {
  TEventScope scope;
  std::lock_guard lock(ComponentLock);
  TFFmpeg* task = Tasks.FindByThreadID(CurrentThreadIdentifier());
  if (!task && Owner) task = Tasks.FindByEngine(Owner);
  DoLog(task, Level, Line);
}

void TCustomVornConverter::DoLog(TCustomFFmpeg* Sender, int Level, const std::string& Msg) {
  if (!OnLog) return;
  TEventScope scope;
  std::lock_guard lock(ComponentLock);
  const int index = Sender ? static_cast<TFFmpeg*>(Sender)->Index : -1;
  OnLog(index, LogLevelOfEngineLevel(Level), Msg);
}

void TCustomVornConverter::DoProgress(TCustomFFmpeg* Sender, int AFrameNumber, int AFPS,
                                      int ACurrentDuration, float AQuality, float ABitRate,
                                      std::int64_t ACurrentSize, int ATotalOutputDuration) {
  if (!OnProgress) return;
  TEventScope scope;
  std::lock_guard lock(ComponentLock);
  OnProgress(static_cast<TFFmpeg*>(Sender)->Index, AFrameNumber, AFPS, ACurrentDuration, AQuality,
             ABitRate, ACurrentSize, ATotalOutputDuration);
}

// The hooks run without the lock (a picture hook may take long); only the index is read
// under it, since removing another task renumbers the list.
void TCustomVornConverter::DoBeforeHook(TCustomFFmpeg* Sender, std::int64_t APTS,
                                        THookAction& AHookAction) {
  if (!OnBeforeHook) return;
  TEventScope scope;
  int index = -1;
  {
    std::lock_guard lock(ComponentLock);
    index = static_cast<TFFmpeg*>(Sender)->Index;
  }
  OnBeforeHook(index, APTS, AHookAction);
}

void TCustomVornConverter::DoCustomHook(TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber,
                                        std::int64_t APTS, bool& AUpdate, bool& AStopHook) {
  if (!OnCustomHook) return;
  TEventScope scope;
  int index = -1;
  {
    std::lock_guard lock(ComponentLock);
    index = static_cast<TFFmpeg*>(Sender)->Index;
  }
  OnCustomHook(index, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
}
