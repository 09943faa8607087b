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

std::string ClockText(double seconds) {
  if (seconds < 0) return "--:--:--";
  return FormatDuration(static_cast<std::int64_t>(std::llround(seconds)) * 1000000);
}

std::string ProgressText(const TRunFile& file) {
  if (!file.HasProgress) return "starting";
  if (file.TotalMs <= 0) return FormatDuration(std::int64_t{file.CurrentMs} * 1000) + " converted";
  const std::int64_t percent = std::int64_t{file.CurrentMs} * 100 / file.TotalMs;
  return std::to_string(percent > 100 ? 100 : percent) + "%";
}

std::string FailureText(const TRunFile& file) {
  if (file.Failure != tfSetup) return file.Reason;
  return (file.SetupStep == tsInput ? "not supported: " : "cannot convert: ") + file.Reason;
}

double TRunMonitor::Seconds(TCliClock::time_point when) const {
  return SecondsBetween(epoch_, when);
}

int TRunMonitor::AddFile(const std::string& input, double durationSeconds) {
  std::lock_guard lock(mutex_);
  files_.push_back({});
  files_.back().Input = input;
  startPrinted_.push_back(false);
  return model_.AddFile(durationSeconds);
}

void TRunMonitor::SetTask(int file, int task, const std::string& output) {
  std::lock_guard lock(mutex_);
  model_.SetTask(file, task);
  files_[file].Output = output;
}

void TRunMonitor::Reject(int file, const std::string& reason) {
  std::lock_guard lock(mutex_);
  model_.Refuse(file, reason);
  lines_.push_back({"tovrena-cli: " + files_[file].Input + ": " + reason, true});
  lines_.push_back({Tag(file) + Padded("failed") + files_[file].Input});
}

void TRunMonitor::StartRun() {
  std::lock_guard lock(mutex_);
  model_.Begin(Seconds(TCliClock::now()));
}

void TRunMonitor::PrintStarted(int file) {
  if (startPrinted_[file]) return;
  startPrinted_[file] = true;
  if (keepProgressLines_) {
    const TFileRecord& record = files_[file];
    lines_.push_back({Tag(file) + Padded("started") + record.Input + " -> " + record.Output});
  }
}

void TRunMonitor::Progress(int task, int frame, int fps, int currentMs, int totalMs) {
  std::lock_guard lock(mutex_);
  const int file = model_.FileOfTask(task);
  if (file < 0) return;
  const double now = Seconds(TCliClock::now());
  model_.Progress(task, frame, fps, currentMs, totalMs, now);
  const TRunFile run = model_.File(file);
  if (run.State != TRunFileState::Running) return;
  PrintStarted(file);
  if (!keepProgressLines_) return;
  const TFileRecord& record = files_[file];
  std::string line = Tag(file) + Padded("progress") + record.Input + " " + ProgressText(run);
  if (frame >= 0) line += " frame=" + std::to_string(frame) + " fps=" + std::to_string(fps);
  line += " elapsed=" + ClockText(now - run.StartedAt) + " eta=" + ClockText(run.SecondsLeft);
  lines_.push_back({line});
}

void TRunMonitor::Ended(int task, const TTaskEnd& end, const std::string& message) {
  std::lock_guard lock(mutex_);
  const int file = model_.FileOfTask(task);
  if (file < 0) return;
  model_.Ended(task, end, message, Seconds(TCliClock::now()));
  const TRunFile run = model_.File(file);
  TFileRecord& record = files_[file];
  if (run.Ran()) PrintStarted(file);
  const std::string took = " (" + ClockText(run.EndedAt - run.StartedAt) + ")";
  switch (run.State) {
    case TRunFileState::Failed:
      // Nothing was written: the file counts as one that got no output.
      if (run.Failure == tfSetup) record.Output.clear();
      lines_.push_back({"tovrena-cli: " + record.Input + ": " + FailureText(run), true});
      lines_.push_back({Tag(file) + Padded("failed") + record.Input + took});
      break;
    case TRunFileState::Completed:
      lines_.push_back(
          {Tag(file) + Padded("completed") + record.Input + " -> " + record.Output + took});
      break;
    case TRunFileState::Stopped:
      lines_.push_back(
          {Tag(file) + Padded("stopped") + record.Input + " -> " + record.Output + took});
      break;
    default:
      lines_.push_back({Tag(file) + Padded("not started") + record.Input});
      break;
  }
  changed_.notify_all();
}

void TRunMonitor::RunEnded() {
  std::lock_guard lock(mutex_);
  runEnded_ = true;
  changed_.notify_all();
}

void TRunMonitor::Log(int task, const std::string& line) {
  std::lock_guard lock(mutex_);
  const int file = model_.FileOfTask(task);
  lines_.push_back({(file < 0 ? std::string("[log] ") : Tag(file)) + line, true});
}

void TRunMonitor::Print(const std::string& text, bool error) {
  std::lock_guard lock(mutex_);
  lines_.push_back({text, error});
}

void TRunMonitor::Close() {
  std::lock_guard lock(mutex_);
  model_.Close();
}

bool TRunMonitor::WaitForRunEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return runEnded_; });
}

std::vector<TFileRecord> TRunMonitor::Files() const {
  std::lock_guard lock(mutex_);
  std::vector<TFileRecord> files = files_;
  const TRunSnapshot run = model_.Snapshot(Seconds(TCliClock::now()));
  for (std::size_t i = 0; i < files.size() && i < run.Files.size(); ++i)
    files[i].Run = run.Files[i];
  return files;
}

TRunSnapshot TRunMonitor::Run() const {
  return model_.Snapshot(Seconds(TCliClock::now()));
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
  if (const int file = model_.FileOfTask(task); file >= 0) files_[file].Note = note;
}

void TRunMonitor::OutputNamed(int task, const std::string& output) {
  std::lock_guard lock(mutex_);
  if (const int file = model_.FileOfTask(task); file >= 0 && !output.empty())
    files_[file].Output = output;
}

std::string TRunMonitor::Tag(int file) const {
  return "[" + std::to_string(file + 1) + "/" + std::to_string(files_.size()) + "] ";
}
