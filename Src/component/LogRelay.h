// The relay of the media libraries' own log output: one process-wide callback assembles
// each thread's text into lines and raises every complete line on every component.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TCustomVornConverter;

// One thread's unfinished last line.
struct TLogItem {
  std::uint32_t ThreadID = 0;  // 0: free
  std::string Text;
  std::unique_ptr<TLogItem> Next;
};

// The unfinished lines of every thread that logged: the head inline, the others chained.
class TLogList {
 public:
  // The item of that thread, claimed or created when it has none.
  TLogItem& ItemFor(std::uint32_t ThreadID);
  void Clear();

 private:
  TLogItem FHead;
};

// Installs the callback in the libraries (they must be bound) and sets their level, once, to
// the most verbose: every line reaches the callback, which drops what its task does not want
// (the task's verbosity, engine/ProcessState), so no task changes the process's level.
void InstallLibraryLogCallback();

// Every component is registered for its whole life, with its threshold (engine scale) for
// the lines no task owns. Unregistering waits until no line is being raised on it any more,
// so it must not be called from the component's own OnLog.
void RegisterComponent(TCustomVornConverter* Component, int Level);
void SetComponentLogLevel(TCustomVornConverter* Component, int Level);
void UnregisterComponent(TCustomVornConverter* Component);

// Forgets every thread's unfinished line.
void ClearLog();

// A library log level (AV_LOG_...) on the engine's scale: -1 quiet, 0 error, 1 warning and
// information, 2 verbose and debug, 3 trace.
int EngineLogLevelOf(int LibraryLevel);
