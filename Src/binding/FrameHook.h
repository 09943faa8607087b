// Video hook modules: loading them (once per process), the per-engine list of configured
// hooks, passing pictures through it and releasing it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "binding/FrameHookModule.h"

// One configured hook. The entry keeps its own copy of the arguments, since a module may
// hold on to the texts Configure was given; the list holds it by pointer so that neither
// moves while the hook lives.
struct TFrameHookEntry {
  TFrameHookConfigure Configure = nullptr;
  TFrameHookProcess Process = nullptr;
  TFrameHookRelease Release = nullptr;
  void* Context = nullptr;
  std::vector<std::string> Arguments;
  std::vector<char*> ArgumentPointers;
};

// A list of configured hooks, in the order they were added.
using TFrameHookEntries = std::vector<std::unique_ptr<TFrameHookEntry>>;

// A loaded module: the file name exactly as it was given, and its handle.
struct TLoadedHookModule {
  std::string FileName;
  void* Handle = nullptr;
};

// Every module loaded by this process (a copy, taken under the registry's lock). Modules
// stay loaded until the process ends; naming a file again reuses its module.
std::vector<TLoadedHookModule> LoadedHookModules();

// Loads argv[0] (unless loaded before), makes a new entry for it, configures it with the
// arguments and appends it to the list. Answers 0, or -1 (module cannot be loaded),
// -2 (no arguments; no "Process"; no "Configure" although arguments are given),
// -12 (no memory) or -22 (Configure failed); the reason is logged through the libraries.
// A file name with a folder part is loaded by its absolute path; neither the current
// directory nor "PATH" changes, since other jobs may be opening files meanwhile. Safe on
// several threads at once (each with its own list).
int FrameHookAdd(TFrameHookEntries& List, int Argc, char* Argv[]);

// Hands the picture to every hook of the list, in the order they were added.
void FrameHookProcess(const TFrameHookEntries& List, TFrameHookPicture* Picture, int PixelFormat,
                      int Width, int Height, std::int64_t Pts);

// Releases every hook of the list (its module's Release, then the entry) and empties the
// list. The modules stay loaded.
void FrameHookRelease(TFrameHookEntries& List);

// An engine's list of hooks; whatever it holds is released when it goes.
class TFrameHookList {
 public:
  TFrameHookList() = default;
  ~TFrameHookList() { Release(); }
  TFrameHookList(const TFrameHookList&) = delete;
  TFrameHookList& operator=(const TFrameHookList&) = delete;

  int Add(int Argc, char* Argv[]) { return FrameHookAdd(entries_, Argc, Argv); }
  void Process(TFrameHookPicture* Picture, int PixelFormat, int Width, int Height,
               std::int64_t Pts) {
    FrameHookProcess(entries_, Picture, PixelFormat, Width, Height, Pts);
  }
  void Release() { FrameHookRelease(entries_); }
  const TFrameHookEntries& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }

 private:
  TFrameHookEntries entries_;
};
