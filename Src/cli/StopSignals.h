// Ctrl+C and SIGTERM during a conversion: the first asks for a clean stop (the main thread
// polls for it), a second one ends the program at once, taking along the temporaries that
// outputs were being written into: no output name is left with a half-written file.
#pragma once

// Installs the handlers, and ignores SIGPIPE so that a closed log pipe cannot kill the run
// in the middle of writing a file.
void InstallStopSignals();
// The signal that asked for a stop, 0 while none has.
int StopSignal();
