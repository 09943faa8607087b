#include "StopSignals.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

// A list the signal handler can walk at any moment: nodes are only ever prepended, fully
// built before they are published, and live until the program ends.
struct TReservedNode {
  char* Path;
  TFileIdentity Identity;
  TReservedNode* Next;
};
std::atomic<TReservedNode*> gReserved{nullptr};
static_assert(std::atomic<TReservedNode*>::is_always_lock_free);

// Only async-signal-safe calls: lstat and unlink.
void RemoveEmptyReservedOutputs() {
  for (TReservedNode* node = gReserved.load(); node; node = node->Next) {
    struct stat info {};
    if (::lstat(node->Path, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0 &&
        info.st_dev == node->Identity.Device && info.st_ino == node->Identity.Inode &&
        info.st_ctim.tv_sec == node->Identity.ChangeSeconds &&
        info.st_ctim.tv_nsec == node->Identity.ChangeNanoseconds)
      ::unlink(node->Path);
  }
}

extern "C" void RequestStop(int signal) {
  if (gStopSignal == 0) {
    gStopSignal = signal;
    return;
  }
  // The user insists (a second Ctrl+C, or SIGTERM after it): end now, by the signal's own
  // default action.
  const int savedErrno = errno;
  RemoveEmptyReservedOutputs();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  errno = savedErrno;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int StopSignal() {
  return gStopSignal;
}

void RegisterReservedOutput(const std::string& path, const TFileIdentity& identity) {
  auto* node = new TReservedNode{::strdup(path.c_str()), identity, gReserved.load()};
  if (!node->Path) {
    delete node;
    return;
  }
  // Only the main thread registers; the handler reads.
  gReserved.store(node);
}
