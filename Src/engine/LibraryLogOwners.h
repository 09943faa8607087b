// Which engine a library log line belongs to, and that engine's own threshold for the
// libraries' lines. The libraries' process-wide level stays where the log relay set it once;
// each engine's verbosity filters only its own lines.
#pragma once

class TCustomFFmpeg;

// While it lives, the library lines logged on this thread belong to the engine (its job,
// or a check that works on it). Scopes nest; the previous owner comes back.
class TLogOwnerScope {
 public:
  explicit TLogOwnerScope(const TCustomFFmpeg* Engine);
  ~TLogOwnerScope();
  TLogOwnerScope(const TLogOwnerScope&) = delete;
  TLogOwnerScope& operator=(const TLogOwnerScope&) = delete;

 private:
  const void* previous_;
};

// The engine this thread works for, nullptr outside every scope.
const void* ThreadLogOwner();

// The verbosity (engine scale: -1 quiet ... 3 trace) of a live engine; false when Owner is
// not a live engine.
bool LogVerbosityOf(const void* Owner, int& Level);
// The most verbose threshold of the live engines; -1 when there is none.
int MostVerboseEngineVerbosity();

// Kept by the engine: from its creation to its destruction, and at each verbosity change.
void RegisterLogEngine(const TCustomFFmpeg* Engine, int Level);
void UnregisterLogEngine(const TCustomFFmpeg* Engine);
