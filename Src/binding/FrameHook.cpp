#include "binding/FrameHook.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "binding/AVUtilHlpr.h"
#include "binding/LibraryBinding.h"

namespace {

// Jobs add their hooks on their own threads, so the modules loaded so far are looked up and
// added under a lock.
struct THookModules {
  std::mutex Lock;
  std::vector<TLoadedHookModule> Modules;
};

THookModules& Registry() {
  static THookModules registry;
  return registry;
}

// File names are compared exactly: on this platform two names that differ only in case
// are two different files. Called under the registry's lock.
void* FindLoadedModule(const std::vector<TLoadedHookModule>& Modules, const std::string& FileName) {
  for (const TLoadedHookModule& module : Modules)
    if (module.FileName == FileName) return module.Handle;
  return nullptr;
}

template <typename TEntry>
TEntry Resolve(void* Handle, const char* Name) {
  return reinterpret_cast<TEntry>(dlsym(Handle, Name));
}

void LogFailure(const char* Format, const std::string& Text) {
  lib::av_log(nullptr, AV_LOG_PANIC, Format, Text.c_str());
}

// Loads the module, or takes it from the modules loaded before; nullptr when it fails. A
// name with a folder part is loaded by its absolute path, without entering the folder.
void* LoadModule(const std::string& FileName) {
  std::string failure;
  {
    THookModules& registry = Registry();
    std::lock_guard lock(registry.Lock);
    if (void* handle = FindLoadedModule(registry.Modules, FileName)) return handle;
    const std::filesystem::path name(FileName);
    std::error_code ignored;
    void* handle =
        name.has_parent_path()
            ? LoadLibraryFrom(std::filesystem::absolute(name.parent_path(), ignored).string(),
                              name.filename().string())
            : LoadLibraryFrom("", FileName);
    if (handle) {
      try {
        registry.Modules.push_back({FileName, handle});
      } catch (const std::bad_alloc&) {
        // Still loaded (modules stay for the process); only found again by loading it again.
      }
      return handle;
    }
    failure = LastLoadError();
  }
  // Logged outside the lock: the log's listeners may take locks of their own.
  LogFailure("%s\n", failure);
  return nullptr;
}

// A new entry for the module, with its own copy of the arguments.
std::unique_ptr<TFrameHookEntry> MakeEntry(void* Handle, int Argc, char* Argv[]) {
  std::unique_ptr<TFrameHookEntry> entry(new (std::nothrow) TFrameHookEntry);
  if (!entry) return nullptr;
  try {
    entry->Arguments.assign(Argv, Argv + Argc);
    for (std::string& argument : entry->Arguments)
      entry->ArgumentPointers.push_back(argument.data());
    entry->ArgumentPointers.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  entry->Configure = Resolve<TFrameHookConfigure>(Handle, "Configure");
  entry->Process = Resolve<TFrameHookProcess>(Handle, "Process");
  entry->Release = Resolve<TFrameHookRelease>(Handle, "Release");
  return entry;
}

}  // namespace

std::vector<TLoadedHookModule> LoadedHookModules() {
  THookModules& registry = Registry();
  std::lock_guard lock(registry.Lock);
  return registry.Modules;
}

int FrameHookAdd(TFrameHookEntries& List, int Argc, char* Argv[]) {
  if (Argc < 1 || !Argv || std::find(Argv, Argv + Argc, nullptr) != Argv + Argc) return -2;
  const std::string fileName = Argv[0];

  void* handle = LoadModule(fileName);
  if (!handle) return -1;

  // A configured entry must reach the list, where its Release will be called.
  try {
    List.reserve(List.size() + 1);
  } catch (const std::bad_alloc&) {
    return -12;
  }
  std::unique_ptr<TFrameHookEntry> entry = MakeEntry(handle, Argc, Argv);
  if (!entry) return -12;
  if (!entry->Process) {
    LogFailure("Failed to find Process entrypoint in %s\n", fileName);
    return -2;
  }
  if (!entry->Configure && Argc > 1) {
    LogFailure("Failed to find Configure entrypoint in %s\n", fileName);
    return -2;
  }
  if (entry->Configure &&
      entry->Configure(&entry->Context, Argc, entry->ArgumentPointers.data()) != 0) {
    LogFailure("Failed to Configure %s\n", fileName);
    return -22;
  }

  List.push_back(std::move(entry));  // room was made before Configure: cannot fail
  return 0;
}

void FrameHookProcess(const TFrameHookEntries& List, TFrameHookPicture* Picture, int PixelFormat,
                      int Width, int Height, std::int64_t Pts) {
  for (const std::unique_ptr<TFrameHookEntry>& entry : List)
    entry->Process(entry->Context, Picture, PixelFormat, Width, Height, Pts);
}

void FrameHookRelease(TFrameHookEntries& List) {
  for (const std::unique_ptr<TFrameHookEntry>& entry : List)
    if (entry->Release) entry->Release(entry->Context);
  List.clear();
}
