// Ctrl+C and SIGTERM during a conversion: the first asks for a clean stop (the main thread
// polls for it), a second one ends the program at once, taking along the outputs that were
// reserved but have received nothing yet.
#pragma once

#include <string>

#include "LocalFiles.h"

// Installs the handlers, and ignores SIGPIPE so that a closed log pipe cannot kill the run
// in the middle of writing a file.
void InstallStopSignals();
// The signal that asked for a stop, 0 while none has.
int StopSignal();
// An output file this run created: a quit at once removes it while it is still empty.
void RegisterReservedOutput(const std::string& path, const TFileIdentity& identity);
