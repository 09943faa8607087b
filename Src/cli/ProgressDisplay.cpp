#include "cli/ProgressDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

double SecondsSince(TCliClock::time_point from, TCliClock::time_point now) {
  return std::chrono::duration<double>(now - from).count();
}

// Lines longer than the terminal would wrap and break the count of lines to redraw.
std::string FittedToTerminal(const std::string& line, int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col < 2) return line;
  const std::size_t width = size.ws_col - 1u;
  return line.size() > width ? line.substr(0, width) : line;
}

std::string FileLine(int position, int count, const TFileRecord& file, TCliClock::time_point now) {
  const double elapsed = SecondsSince(file.Started, now);
  const double fraction = file.TotalMs > 0 ? static_cast<double>(file.CurrentMs) / file.TotalMs : 0;
  std::string line = "[" + std::to_string(position) + "/" + std::to_string(count) + "] " +
                     OneLine(file.Input) + "  " + ProgressText(file);
  if (file.HasProgress && file.Fps >= 0) line += "  " + std::to_string(file.Fps) + " fps";
  line +=
      "  elapsed " + ClockText(elapsed) + "  ETA " + ClockText(RemainingSeconds(fraction, elapsed));
  return line;
}

}  // namespace

std::vector<std::string> LiveBlock(const std::vector<TFileRecord>& files,
                                   TCliClock::time_point runStart, TCliClock::time_point now) {
  std::vector<std::string> block;
  int ended = 0, failed = 0, running = 0, tasks = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const TFileRecord& file = files[i];
    if (file.State == TFileState::Failed) ++failed;
    if (file.Output.empty()) continue;
    ++tasks;
    if (file.State == TFileState::Running) {
      ++running;
      block.push_back(FileLine(static_cast<int>(i) + 1, static_cast<int>(files.size()), file, now));
    } else if (file.State != TFileState::Waiting) {
      ++ended;
    }
  }
  const double elapsed = SecondsSince(runStart, now);
  std::string total = "Total: " + std::to_string(ended) + " of " + std::to_string(tasks) +
                      " ended, " + std::to_string(running) + " running";
  if (failed > 0) total += ", " + std::to_string(failed) + " failed";
  total += "  elapsed " + ClockText(elapsed) + "  ETA " +
           ClockText(RemainingSeconds(RunFraction(files), elapsed));
  block.push_back(total);
  return block;
}

void TProgressDisplay::Show(const std::vector<TPrintLine>& lines,
                            const std::vector<TFileRecord>& files, TCliClock::time_point runStart) {
  if (!live_) {
    PrintLines(lines);
    return;
  }
  ClearBlock();
  PrintLines(lines);
  const std::vector<std::string> block = LiveBlock(files, runStart, TCliClock::now());
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
