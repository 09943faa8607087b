// Ctrl+C and SIGTERM during a conversion: the first asks for a clean stop (the main thread
// polls for it), a second one of the same kind ends the program at once.
#pragma once

// Installs the handlers, and ignores SIGPIPE so that a closed log pipe cannot kill the run
// in the middle of writing a file.
void InstallStopSignals();
// The signal that asked for a stop, 0 while none has.
int StopSignal();
