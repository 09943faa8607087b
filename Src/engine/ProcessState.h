// What the engines of one process share, each piece with its own guard: the lock around codec
// opens and closes, which engine a library log line belongs to and each engine's threshold for
// those lines, and the output temporaries being written (for a signal handler to remove) with
// the folders already swept of a past run's leftovers, and the refused further opens of a
// thread's confined inputs. Nothing else in the engine is static but constant tables.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>

class TCustomFFmpeg;

// ---- Codec opens and closes: serialised between all engines ----
std::mutex& CodecLock();

// ---- Library log lines: their engine and its threshold (one lock, a leaf: nothing is
// called under it; the most verbose threshold also as an atomic, read without it) ----

// While it lives, the library lines logged on this thread belong to the engine (its job,
// or a check that works on it). Scopes nest; the previous owner comes back. Thread-local.
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
// not a live engine. The libraries' process-wide level stays where the log relay set it
// once; each engine's verbosity filters only its own lines.
bool LogVerbosityOf(const void* Owner, int& Level);
// The most verbose threshold of the live engines; -1 when there is none.
int MostVerboseEngineVerbosity();

// Kept by the engine: from its creation to its destruction, and at each verbosity change.
void RegisterLogEngine(const TCustomFFmpeg* Engine, int Level);
void UnregisterLogEngine(const TCustomFFmpeg* Engine);

// ---- Confined inputs (engine/InputConfinement) ----
// Further opens of other files refused on this thread (thread-local: no lock): an open that
// fails after one says why. The callbacks run on the thread that opens or reads the input.
unsigned& RefusedOpensOnThisThread();

// ---- Output temporaries (engine/OutputPlacement) ----
struct TTemporaryNode;
// The head of the list of temporaries that a signal handler may remove at any moment: nodes
// are only prepended, with atomic operations alone (no lock: the handler may not take one).
std::atomic<TTemporaryNode*>& TemporaryOutputNodes();
// A number no other temporary of this process has had.
unsigned long NextTemporaryNumber();
// True the first time it is asked for the folder (device, inode); under its own lock.
bool FirstVisitOfFolder(dev_t Device, ino_t Inode);
