#include "component/LogRelay.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <vector>

#include "binding/AVCodecHlpr.h"
#include "binding/AVFilterHlpr.h"
#include "binding/AVFormatHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/LibraryErrorLine.h"
#include "binding/MediaLibraries.h"
#include "component/TaskList.h"
#include "component/VornConverter.h"
#include "engine/ProcessState.h"

namespace {

struct TRegistryEntry {
  TCustomVornConverter* Component = nullptr;
  int Level = 1;         // the component's own threshold for lines that no task owns
  int Deliveries = 0;    // lines being raised on it right now
  bool Leaving = false;  // no new lines once it is set
};

// Every live component, and the unfinished lines of every thread. The lock serialises the
// assembly of lines; the lines themselves are raised after it is released, so a thread
// that holds a component's lock and logs can never deadlock against another one here.
struct TComponentRegistry {
  std::mutex Lock;
  std::condition_variable Delivered;
  std::list<TRegistryEntry> Entries;
  TLogList PendingLog;
  // The most verbose of the entries' levels, read before the lock.
  std::atomic<int> MostVerbose = -1;

  void UpdateMostVerbose() {
    int most = -1;
    for (const TRegistryEntry& entry : Entries) most = std::max(most, entry.Level);
    MostVerbose = most;
  }
};

TComponentRegistry& Registry() {
  static TComponentRegistry registry;
  return registry;
}

constexpr std::size_t kLineBufferSize = 2048;

// The engine that a log source belongs to, as its contexts carry it in their opaque field;
// nullptr when the source is not one of an engine's. Child objects that name their parent
// for logging are followed up to it; filters lead to their graph.
const void* LogOwnerOf(void* source) {
  constexpr int kMaxParents = 8;  // against a chain that loops
  for (int parents = 0; source && parents <= kMaxParents; ++parents) {
    const AVClass* descriptor = *static_cast<const AVClass* const*>(source);
    if (!descriptor || !descriptor->class_name) return nullptr;
    const char* name = descriptor->class_name;
    if (std::strcmp(name, "AVCodecContext") == 0)
      return static_cast<AVCodecContext*>(source)->opaque;
    if (std::strcmp(name, "AVFormatContext") == 0)
      return static_cast<AVFormatContext*>(source)->opaque;
    if (std::strcmp(name, "AVFilterGraph") == 0) return static_cast<AVFilterGraph*>(source)->opaque;
    if (std::strcmp(name, "AVFilter") == 0) {
      const AVFilterGraph* graph = static_cast<AVFilterContext*>(source)->graph;
      return graph ? graph->opaque : nullptr;
    }
    if (descriptor->parent_log_context_offset <= 0) return nullptr;
    source = *reinterpret_cast<void**>(static_cast<char*>(source) +
                                       descriptor->parent_log_context_offset);
  }
  return nullptr;
}

// Fills the zeroed buffer with the thread's unfinished text (or, at the start of a line, the
// source's "[name @ ADDRESS]") and the formatted message. True when the text had to be cut
// at the buffer's end.
bool AssembleText(char (&buffer)[kLineBufferSize], const TLogItem& item, void* source,
                  const char* format, va_list arguments) {
  const AVClass* descriptor = source ? *static_cast<const AVClass* const*>(source) : nullptr;
  constexpr std::size_t room = kLineBufferSize - 1;
  std::size_t used = 0;
  if (descriptor && item.Text.empty()) {
    const char* name = descriptor->item_name ? descriptor->item_name(source) : nullptr;
    if (!name) name = descriptor->class_name ? descriptor->class_name : "";
    const int written = std::snprintf(buffer, kLineBufferSize, "[%s @ %08" PRIXPTR "]", name,
                                      reinterpret_cast<std::uintptr_t>(descriptor));
    used = written < 0 ? 0 : static_cast<std::size_t>(written);
  } else {
    used = item.Text.copy(buffer, room);
  }
  if (used >= room) return true;
  const int written = std::vsnprintf(buffer + used, kLineBufferSize - used, format, arguments);
  return written >= 0 && static_cast<std::size_t>(written) >= kLineBufferSize - used;
}

// The libraries' level is set once to the most verbose; the threshold is the task's own:
// that of the engine this thread works for, else that of the engine whose object logged.
// A line that no live engine owns goes to each component by the component's level.
void LibraryLogCallback(void* source, int level, const char* format, va_list arguments) {
  if (level <= AV_LOG_ERROR) RecordLibraryErrorLine(format, arguments);
  const int engineLevel = EngineLogLevelOf(level);
  TComponentRegistry& registry = Registry();
  if (engineLevel > std::max(MostVerboseEngineVerbosity(), registry.MostVerbose.load())) return;
  const void* owner = ThreadLogOwner();
  if (!owner) owner = LogOwnerOf(source);
  int taskLevel = 0;
  const bool owned = LogVerbosityOf(owner, taskLevel);
  if (owned && engineLevel > taskLevel) return;
  if (!owned && engineLevel > registry.MostVerbose) return;
  std::vector<std::string> lines;
  std::vector<TRegistryEntry*> targets;
  {
    std::lock_guard lock(registry.Lock);
    TLogItem& item = registry.PendingLog.ItemFor(CurrentThreadIdentifier());
    char buffer[kLineBufferSize] = {};
    const bool cut = AssembleText(buffer, item, source, format, arguments);
    std::string text(buffer);  // up to the terminator
    // A text that filled the buffer ends its line there, or the thread's later lines
    // could never get through.
    if (cut) text += '\n';
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n')) {
      lines.push_back(text.substr(0, end));
      text.erase(0, end + 1);
    }
    item.Text = std::move(text);
    if (lines.empty()) return;
    for (TRegistryEntry& entry : registry.Entries) {
      if (entry.Leaving || (!owned && engineLevel > entry.Level)) continue;
      ++entry.Deliveries;
      targets.push_back(&entry);
    }
  }
  for (const std::string& line : lines)
    for (TRegistryEntry* entry : targets)
      entry->Component->RaiseLibraryLine(engineLevel, line, owner);
  std::lock_guard lock(registry.Lock);
  for (TRegistryEntry* entry : targets) --entry->Deliveries;
  registry.Delivered.notify_all();
}

}  // namespace

TLogItem& TLogList::ItemFor(std::uint32_t ThreadID) {
  if (FHead.ThreadID == 0 || FHead.ThreadID == ThreadID) {
    FHead.ThreadID = ThreadID;
    return FHead;
  }
  for (TLogItem* item = FHead.Next.get(); item; item = item->Next.get())
    if (item->ThreadID == ThreadID) return *item;
  auto item = std::make_unique<TLogItem>();
  item->ThreadID = ThreadID;
  item->Next = std::move(FHead.Next);
  FHead.Next = std::move(item);
  return *FHead.Next;
}

void TLogList::Clear() {
  FHead.ThreadID = 0;
  FHead.Text.clear();
  // Unlinked one by one: a long chain must not recurse through the destructors.
  while (FHead.Next) FHead.Next = std::move(FHead.Next->Next);
}

void InstallLibraryLogCallback() {
  lib::av_log_set_callback(LibraryLogCallback);
  // Set here once for the whole process; the callback filters by each task's own level.
  lib::av_log_set_level(AV_LOG_TRACE);
  SetCurrentLogLevel(lib::av_log_get_level());
}

void RegisterComponent(TCustomVornConverter* Component, int Level) {
  TComponentRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  registry.Entries.push_back(TRegistryEntry{Component, Level});
  registry.UpdateMostVerbose();
}

void SetComponentLogLevel(TCustomVornConverter* Component, int Level) {
  TComponentRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  for (TRegistryEntry& entry : registry.Entries)
    if (entry.Component == Component) entry.Level = Level;
  registry.UpdateMostVerbose();
}

void UnregisterComponent(TCustomVornConverter* Component) {
  TComponentRegistry& registry = Registry();
  std::unique_lock lock(registry.Lock);
  for (auto entry = registry.Entries.begin(); entry != registry.Entries.end(); ++entry) {
    if (entry->Component != Component) continue;
    entry->Leaving = true;
    registry.Delivered.wait(lock, [&] { return entry->Deliveries == 0; });
    registry.Entries.erase(entry);
    registry.UpdateMostVerbose();
    return;
  }
}

void ClearLog() {
  TComponentRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  registry.PendingLog.Clear();
}

int EngineLogLevelOf(int LibraryLevel) {
  if (LibraryLevel < 0) return -1;
  LibraryLevel &= 0xff;  // the higher bits carry colour hints
  if (LibraryLevel <= AV_LOG_ERROR) return 0;
  if (LibraryLevel <= AV_LOG_INFO) return 1;
  if (LibraryLevel <= AV_LOG_DEBUG) return 2;
  return 3;
}
