#include "cli/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include "component/VornConverter.h"

namespace {

// The handler runs on whichever thread the signal finds (a task's, as often as the main
// one), and a SIGINT and a SIGTERM sent together may be handled on two threads at once:
// an atomic, lock-free so that a handler may use it, with one of them first.
std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RequestStop(int signal) {
  if (int none = 0; gStopSignal.compare_exchange_strong(none, signal)) return;
  // The user insists (a second Ctrl+C, or SIGTERM after it): end now, by the signal's own
  // default action.
  const int savedErrno = errno;
  RemoveTasksTemporaryOutputs();
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
  return gStopSignal.load();
}
