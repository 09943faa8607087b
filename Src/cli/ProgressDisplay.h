// How a run looks: on a terminal, the event lines scroll above a live block of one line per
// running file and a total line, redrawn in place; otherwise every line is printed once,
// in order, as a log would keep it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/RunMonitor.h"

class TProgressDisplay {
 public:
  // live: redraw a block in place (out must be a terminal).
  TProgressDisplay(bool live, std::FILE* out, std::FILE* err) : live_(live), out_(out), err_(err) {}

  // Prints the lines, then (live only) the block for the files.
  void Show(const std::vector<TPrintLine>& lines, const std::vector<TFileRecord>& files,
            const TRunSnapshot& run, double now);
  // Prints the lines and takes the live block away.
  void Close(const std::vector<TPrintLine>& lines);

 private:
  void ClearBlock();
  void PrintLines(const std::vector<TPrintLine>& lines);

  const bool live_;
  std::FILE* const out_;
  std::FILE* const err_;
  int blockLines_ = 0;  // lines of the live block now on the screen
};

// The live block: one line per running file, then the total line; now on the run model's
// clock.
std::vector<std::string> LiveBlock(const std::vector<TFileRecord>& files, const TRunSnapshot& run,
                                   double now);
