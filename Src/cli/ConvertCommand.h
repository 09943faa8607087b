// tovrena-cli convert: every file set up as the window's PrepareFile does it, the run with
// its live display and clean stop on Ctrl+C, then the summary table.
#pragma once

#include "cli/CliArguments.h"
#include "component/VornConverter.h"

// The libraries must be bound. Returns the exit status: 0 every file completed, 1 some
// failed, was stopped or never started, 128 + the signal after a stop by Ctrl+C or
// SIGTERM. Throws EUsageError for a group, profile or profile value that cannot be used.
int RunConvert(const TCliArguments& arguments, TVornConverter& converter);
