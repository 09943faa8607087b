#include "cli/StopSignals.h"

#include <cerrno>
#include <csignal>

#include "component/VornConverter.h"

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void RequestStop(int signal) {
  if (gStopSignal == 0) {
    gStopSignal = signal;
    return;
  }
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
  return gStopSignal;
}
