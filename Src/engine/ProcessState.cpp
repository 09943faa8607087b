#include "engine/ProcessState.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

namespace {

thread_local const void* threadLogOwner = nullptr;
thread_local unsigned refusedOpens = 0;

// Read on every thread that logs, written by the engines' own threads: the map under its
// lock, the maximum also as an atomic so that a line no one wants is dropped without it.
struct TLogEngines {
  std::mutex Lock;
  std::unordered_map<const void*, int> Levels;
  std::atomic<int> MostVerbose = -1;

  void UpdateMostVerbose() {
    int most = -1;
    for (const auto& [engine, level] : Levels) most = std::max(most, level);
    MostVerbose = most;
  }
};

TLogEngines& Engines() {
  static TLogEngines engines;
  return engines;
}

// Constant-initialised at namespace scope: the signal handler never meets a first use.
std::atomic<TTemporaryNode*> gTemporaries{nullptr};
static_assert(std::atomic<TTemporaryNode*>::is_always_lock_free);
std::atomic<unsigned long> gNextNumber{0};

struct TVisitedFolders {
  std::mutex Lock;
  std::set<std::pair<dev_t, ino_t>> Folders;
};

}  // namespace

std::mutex& CodecLock() {
  static std::mutex lock;
  return lock;
}

TLogOwnerScope::TLogOwnerScope(const TCustomFFmpeg* Engine) : previous_(threadLogOwner) {
  threadLogOwner = Engine;
}

TLogOwnerScope::~TLogOwnerScope() {
  threadLogOwner = previous_;
}

const void* ThreadLogOwner() {
  return threadLogOwner;
}

bool LogVerbosityOf(const void* Owner, int& Level) {
  if (!Owner) return false;
  TLogEngines& engines = Engines();
  std::lock_guard lock(engines.Lock);
  const auto found = engines.Levels.find(Owner);
  if (found == engines.Levels.end()) return false;
  Level = found->second;
  return true;
}

int MostVerboseEngineVerbosity() {
  return Engines().MostVerbose;
}

void RegisterLogEngine(const TCustomFFmpeg* Engine, int Level) {
  TLogEngines& engines = Engines();
  std::lock_guard lock(engines.Lock);
  engines.Levels[Engine] = Level;
  engines.UpdateMostVerbose();
}

void UnregisterLogEngine(const TCustomFFmpeg* Engine) {
  TLogEngines& engines = Engines();
  std::lock_guard lock(engines.Lock);
  engines.Levels.erase(Engine);
  engines.UpdateMostVerbose();
}

unsigned& RefusedOpensOnThisThread() {
  return refusedOpens;
}

std::atomic<TTemporaryNode*>& TemporaryOutputNodes() {
  return gTemporaries;
}

unsigned long NextTemporaryNumber() {
  return gNextNumber.fetch_add(1);
}

bool FirstVisitOfFolder(dev_t Device, ino_t Inode) {
  static TVisitedFolders visited;
  std::lock_guard lock(visited.Lock);
  return visited.Folders.insert({Device, Inode}).second;
}
