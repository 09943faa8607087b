#include "StopSignals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void RequestStop(int signal) {
  if (gStopSignal == 0) gStopSignal = signal;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  // The next signal of the same kind takes the default action: the user insists.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int StopSignal() {
  return gStopSignal;
}
