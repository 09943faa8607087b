// Ctrl+C and SIGTERM during a conversion: the first asks for a clean stop (the main thread
// polls for it), a second one ends the program at once, taking along the outputs that were
// reserved (RegisterReservedOutput) but have received nothing yet.
#pragma once

// Installs the handlers, and ignores SIGPIPE so that a closed log pipe cannot kill the run
// in the middle of writing a file.
void InstallStopSignals();
// The signal that asked for a stop, 0 while none has.
int StopSignal();
