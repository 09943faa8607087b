// The table printed at the end of a conversion run.
#pragma once

#include <string>
#include <vector>

#include "cli/RunMonitor.h"

// "completed", "stopped", "failed", "not started" (or "waiting").
std::string StateText(TRunFileState state);

// One row per file (input, output, status, time) under a header, the columns aligned,
// then a line with the counts, then "Note <input>: <note>" for each file with a note (tracks
// left out) and "Failed <input>: <reason>" for each failed file.
std::string SummaryTable(const std::vector<TFileRecord>& files);
