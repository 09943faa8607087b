#include "cli/RunMonitor.h"

#include <algorithm>
#include <cmath>

#include "frontend/RunTexts.h"

namespace {

double SecondsBetween(TCliClock::time_point from, TCliClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::string Padded(const std::string& word) {
  constexpr std::size_t kWidth = 10;
  return word.size() < kWidth ? word + std::string(kWidth - word.size(), ' ') : word + " ";
}

// The length of the well-formed UTF-8 sequence at text[at], 0 when there is none.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  if (byte < 0x80) return 1;
  if (byte >= 0xC2 && byte <= 0xDF) length = 2;
  if (byte >= 0xE0 && byte <= 0xEF) length = 3;
  if (byte >= 0xF0 && byte <= 0xF4) length = 4;
  for (std::size_t k = 1; k < length; ++k)
    if (at + k >= text.size() || (static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80)
      return 0;
  return length;
}

}  // namespace

std::string OneLine(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string line;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    const auto byte = static_cast<unsigned char>(text[i]);
    if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F)) {
      line.append(text, i, length);
      i += length;
      continue;
    }
    if (byte == '\n') {
      line += "\\n";
    } else if (byte == '\r') {
      line += "\\r";
    } else {
      line += "\\x";
      line += kHex[byte >> 4];
      line += kHex[byte & 15];
    }
    ++i;
  }
  return line;
}

double RemainingSeconds(double fraction, double elapsedSeconds) {
  if (fraction >= 1) return 0;
  if (fraction < 0.01 || elapsedSeconds < 1) return -1;
  return elapsedSeconds * (1 - fraction) / fraction;
}

std::string ClockText(double seconds) {
  if (seconds < 0) return "--:--:--";
  return FormatDuration(static_cast<std::int64_t>(std::llround(seconds)) * 1000000);
}

std::string ProgressText(const TFileRecord& file) {
  if (!file.HasProgress) return "starting";
  if (file.TotalMs <= 0) return FormatDuration(std::int64_t{file.CurrentMs} * 1000) + " converted";
  const std::int64_t percent = std::int64_t{file.CurrentMs} * 100 / file.TotalMs;
  return std::to_string(percent > 100 ? 100 : percent) + "%";
}

double RunFraction(const std::vector<TFileRecord>& files) {
  double done = 0;
  int counted = 0;
  for (const TFileRecord& file : files) {
    if (file.Output.empty()) continue;  // never had a task
    ++counted;
    if (file.State == TFileState::Running && file.TotalMs > 0) {
      done += std::min(1.0, static_cast<double>(file.CurrentMs) / file.TotalMs);
    } else if (file.State != TFileState::Running && file.State != TFileState::Waiting) {
      done += 1;
    }
  }
  return counted == 0 ? 1.0 : done / counted;
}

int TRunMonitor::AddFile(const std::string& input) {
  std::lock_guard lock(mutex_);
  files_.push_back({});
  files_.back().Input = input;
  return static_cast<int>(files_.size()) - 1;
}

void TRunMonitor::SetTask(int file, int task, const std::string& output) {
  std::lock_guard lock(mutex_);
  if (static_cast<int>(fileOfTask_.size()) <= task) fileOfTask_.resize(task + 1, -1);
  fileOfTask_[task] = file;
  files_[file].Output = output;
}

void TRunMonitor::Reject(int file, const std::string& reason) {
  std::lock_guard lock(mutex_);
  files_[file].State = TFileState::Failed;
  files_[file].Message = reason;
  lines_.push_back({"tovrena-cli: " + files_[file].Input + ": " + reason, true});
  lines_.push_back({Tag(file) + Padded("failed") + files_[file].Input});
}

void TRunMonitor::StartRun() {
  std::lock_guard lock(mutex_);
  runStart_ = lastEnd_ = TCliClock::now();
}

void TRunMonitor::MarkStarted(int nextTaskIndex) {
  std::lock_guard lock(mutex_);
  const TCliClock::time_point now = TCliClock::now();
  for (int task = 0; task < nextTaskIndex && task < static_cast<int>(fileOfTask_.size()); ++task) {
    const int file = fileOfTask_[task];
    if (file >= 0 && !files_[file].HasStarted) Started(file, now);
  }
}

void TRunMonitor::Started(int file, TCliClock::time_point when) {
  TFileRecord& record = files_[file];
  record.HasStarted = true;
  record.Started = when;
  if (record.State == TFileState::Waiting) record.State = TFileState::Running;
  if (keepProgressLines_) {
    lines_.push_back({Tag(file) + Padded("started") + record.Input + " -> " + record.Output});
  }
}

void TRunMonitor::Progress(int task, int frame, int fps, int currentMs, int totalMs) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTask(task);
  if (file < 0) return;
  TFileRecord& record = files_[file];
  const TCliClock::time_point now = TCliClock::now();
  if (!record.HasStarted) Started(file, now);
  record.HasProgress = true;
  record.Frame = frame;
  record.Fps = fps;
  record.CurrentMs = currentMs;
  record.TotalMs = totalMs;
  if (!keepProgressLines_) return;
  const double elapsed = SecondsBetween(record.Started, now);
  const double fraction = totalMs > 0 ? static_cast<double>(currentMs) / totalMs : 0;
  std::string line = Tag(file) + Padded("progress") + record.Input + " " + ProgressText(record);
  if (frame >= 0) line += " frame=" + std::to_string(frame) + " fps=" + std::to_string(fps);
  line +=
      " elapsed=" + ClockText(elapsed) + " eta=" + ClockText(RemainingSeconds(fraction, elapsed));
  lines_.push_back({line});
}

void TRunMonitor::Ended(int task, bool finished, bool exception, const std::string& message,
                        bool started) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTask(task);
  if (file < 0) return;
  TFileRecord& record = files_[file];
  const TCliClock::time_point now = TCliClock::now();
  started = started || finished || exception;
  if (started && !record.HasStarted) Started(file, lastEnd_);
  record.Ended = now;
  lastEnd_ = now;
  const std::string took = " (" + ClockText(SecondsBetween(record.Started, now)) + ")";
  if (exception) {
    record.State = TFileState::Failed;
    if (!record.SetupFailed) record.Message = message;
    lines_.push_back({"tovrena-cli: " + record.Input + ": " + record.Message, true});
    lines_.push_back({Tag(file) + Padded("failed") + record.Input + took});
  } else if (finished) {
    record.State = TFileState::Completed;
    lines_.push_back(
        {Tag(file) + Padded("completed") + record.Input + " -> " + record.Output + took});
  } else if (started) {
    record.State = TFileState::Stopped;
    lines_.push_back(
        {Tag(file) + Padded("stopped") + record.Input + " -> " + record.Output + took});
  } else {
    record.State = TFileState::NotStarted;
    lines_.push_back({Tag(file) + Padded("not started") + record.Input});
  }
  changed_.notify_all();
}

void TRunMonitor::SetupFailed(int task, const std::string& reason) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTask(task);
  if (file < 0) return;
  files_[file].SetupFailed = true;
  files_[file].Message = reason;
  // Nothing was written: the file counts as one that got no output.
  files_[file].Output.clear();
}

void TRunMonitor::RunEnded() {
  std::lock_guard lock(mutex_);
  runEnded_ = true;
  changed_.notify_all();
}

void TRunMonitor::Log(int task, const std::string& line) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTask(task);
  lines_.push_back({(file < 0 ? std::string("[log] ") : Tag(file)) + line, true});
}

void TRunMonitor::Print(const std::string& text, bool error) {
  std::lock_guard lock(mutex_);
  lines_.push_back({text, error});
}

void TRunMonitor::MarkUnstartedAsNotStarted() {
  std::lock_guard lock(mutex_);
  for (TFileRecord& record : files_) {
    if (record.State == TFileState::Waiting) record.State = TFileState::NotStarted;
  }
}

bool TRunMonitor::WaitForRunEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return runEnded_; });
}

std::vector<TFileRecord> TRunMonitor::Files() const {
  std::lock_guard lock(mutex_);
  return files_;
}

std::vector<TPrintLine> TRunMonitor::TakeLines() {
  std::lock_guard lock(mutex_);
  std::vector<TPrintLine> taken;
  taken.swap(lines_);
  for (TPrintLine& line : taken) line.Text = OneLine(line.Text);
  return taken;
}

void TRunMonitor::Note(int task, const std::string& note) {
  std::lock_guard lock(mutex_);
  if (const int file = FileOfTask(task); file >= 0) files_[file].Note = note;
}

void TRunMonitor::OutputNamed(int task, const std::string& output) {
  std::lock_guard lock(mutex_);
  if (const int file = FileOfTask(task); file >= 0 && !output.empty()) files_[file].Output = output;
}

int TRunMonitor::FileOfTask(int task) const {
  return task >= 0 && task < static_cast<int>(fileOfTask_.size()) ? fileOfTask_[task] : -1;
}

std::string TRunMonitor::Tag(int file) const {
  return "[" + std::to_string(file + 1) + "/" + std::to_string(files_.size()) + "] ";
}
