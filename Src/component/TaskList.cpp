#include "component/TaskList.h"

#include <unistd.h>

#include <stdexcept>

std::uint32_t CurrentThreadIdentifier() {
  return static_cast<std::uint32_t>(gettid());
}

TFFmpeg::~TFFmpeg() {
  WaitForJobEnd();
}

void TFFmpeg::Transcode() {
  // Library log lines of this thread belong to this task from now on.
  ThreadID = CurrentThreadIdentifier();
  if (StopOnStart) Stop();
  if (!StopRequested()) JobBegan = true;
  if (ListedSetUp && !ListedSetUp(*this)) return;
  TCustomFFmpeg::Transcode();
}

const TTaskPtr& TFFmpegList::Shared(int Index) const {
  if (Index < 0 || Index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<std::size_t>(Index)];
}

int TFFmpegList::Add(TTaskPtr Task) {
  Task->Index = Count();
  FItems.push_back(std::move(Task));
  return FItems.back()->Index;
}

TTaskPtr TFFmpegList::Extract(int Index) {
  TTaskPtr task = Shared(Index);
  FItems.erase(FItems.begin() + Index);
  for (int i = Index; i < Count(); ++i) FItems[static_cast<std::size_t>(i)]->Index = i;
  return task;
}

std::vector<TTaskPtr> TFFmpegList::ExtractAll() {
  std::vector<TTaskPtr> tasks;
  tasks.swap(FItems);
  return tasks;
}

TFFmpeg* TFFmpegList::FindByThreadID(std::uint32_t ThreadID) const {
  for (const TTaskPtr& task : FItems)
    if (task->ThreadID == ThreadID) return task.get();
  return nullptr;
}

TFFmpeg* TFFmpegList::FindByEngine(const void* Engine) const {
  for (const TTaskPtr& task : FItems)
    if (static_cast<const void*>(static_cast<const TCustomFFmpeg*>(task.get())) == Engine)
      return task.get();
  return nullptr;
}
