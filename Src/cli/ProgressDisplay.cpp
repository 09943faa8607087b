#include "cli/ProgressDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Lines longer than the terminal would wrap and break the count of lines to redraw.
std::string FittedToTerminal(const std::string& line, int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col < 2) return line;
  const std::size_t width = size.ws_col - 1u;
  return line.size() > width ? line.substr(0, width) : line;
}

std::string FileLine(int position, int count, const TFileRecord& file, double now) {
  const TRunFile& run = file.Run;
  std::string line = "[" + std::to_string(position) + "/" + std::to_string(count) + "] " +
                     OneLine(file.Input) + "  " + ProgressText(run);
  if (run.HasProgress && run.Fps >= 0) line += "  " + std::to_string(run.Fps) + " fps";
  line += "  elapsed " + ClockText(now - run.StartedAt) + "  ETA " + ClockText(run.SecondsLeft);
  return line;
}

}  // namespace

std::vector<std::string> LiveBlock(const std::vector<TFileRecord>& files, const TRunSnapshot& run,
                                   double now) {
  std::vector<std::string> block;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].Run.HasTask && files[i].Run.State == TRunFileState::Running) {
      block.push_back(
          FileLine(static_cast<int>(i) + 1, static_cast<int>(files.size()), files[i], now));
    }
  }
  const int ended = run.Tasks - run.Running - run.Queued;
  std::string total = "Total: " + std::to_string(ended) + " of " + std::to_string(run.Tasks) +
                      " ended, " + std::to_string(run.Running) + " running";
  if (run.Counts.Failed > 0) total += ", " + std::to_string(run.Counts.Failed) + " failed";
  total += "  elapsed " + ClockText(run.Elapsed) + "  ETA " + ClockText(run.SecondsLeft);
  block.push_back(total);
  return block;
}

void TProgressDisplay::Show(const std::vector<TPrintLine>& lines,
                            const std::vector<TFileRecord>& files, const TRunSnapshot& run,
                            double now) {
  if (!live_) {
    PrintLines(lines);
    return;
  }
  ClearBlock();
  PrintLines(lines);
  const std::vector<std::string> block = LiveBlock(files, run, now);
  for (const std::string& line : block) {
    std::fputs((FittedToTerminal(line, ::fileno(out_)) + "\n").c_str(), out_);
  }
  blockLines_ = static_cast<int>(block.size());
  std::fflush(out_);
}

void TProgressDisplay::Close(const std::vector<TPrintLine>& lines) {
  if (live_) ClearBlock();
  PrintLines(lines);
  std::fflush(out_);
}

void TProgressDisplay::ClearBlock() {
  if (blockLines_ == 0) return;
  // Back to the block's first line, then erase to the end of the screen.
  std::fprintf(out_, "\r\033[%dA\033[J", blockLines_);
  blockLines_ = 0;
}

void TProgressDisplay::PrintLines(const std::vector<TPrintLine>& lines) {
  for (const TPrintLine& line : lines) {
    std::FILE* stream = line.Error ? err_ : out_;
    // Keep the two streams in order where they share a terminal or a log.
    std::fflush(line.Error ? out_ : err_);
    std::fputs((line.Text + "\n").c_str(), stream);
  }
  std::fflush(out_);
  std::fflush(err_);
}
