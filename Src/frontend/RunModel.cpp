#include "frontend/RunModel.h"

#include <algorithm>

namespace {

// Shorter spans give rates that jump about.
constexpr double kShortestRateSpan = 0.5;
// Less than this share of the run converted, or less time spent, tells no rate.
constexpr double kLeastShareForRate = 0.01;
constexpr double kLeastSecondsForRate = 1;

double Fraction(const TRunFile& file) {
  if (file.TotalMs <= 0) return 0;
  return std::clamp(static_cast<double>(file.CurrentMs) / file.TotalMs, 0.0, 1.0);
}

}  // namespace

void TRunModel::Restart(double startSeconds) {
  std::lock_guard lock(mutex_);
  start_ = startSeconds;
  lastEnd_ = -1;
  files_.clear();
  fileOfTask_.clear();
}

void TRunModel::Begin(double startSeconds) {
  std::lock_guard lock(mutex_);
  start_ = startSeconds;
  lastEnd_ = -1;
}

TRunFile TRunModel::File(int file) const {
  std::lock_guard lock(mutex_);
  if (file < 0 || file >= static_cast<int>(files_.size())) return {};
  return files_[file].File;
}

int TRunModel::AddFile(double durationSeconds) {
  std::lock_guard lock(mutex_);
  files_.emplace_back();
  files_.back().File.Duration = durationSeconds > 0 ? durationSeconds : -1;
  return static_cast<int>(files_.size()) - 1;
}

void TRunModel::SetTask(int file, int task) {
  std::lock_guard lock(mutex_);
  if (file < 0 || file >= static_cast<int>(files_.size()) || task < 0) return;
  if (static_cast<int>(fileOfTask_.size()) <= task) fileOfTask_.resize(task + 1, -1);
  fileOfTask_[task] = file;
  files_[file].File.HasTask = true;
}

void TRunModel::Refuse(int file, const std::string& reason) {
  std::lock_guard lock(mutex_);
  if (file < 0 || file >= static_cast<int>(files_.size())) return;
  TRunFile& record = files_[file].File;
  record.State = TRunFileState::Failed;
  record.Reason = reason;
}

int TRunModel::FileOfTask(int task) const {
  std::lock_guard lock(mutex_);
  return FileOfTaskLocked(task);
}

int TRunModel::FileOfTaskLocked(int task) const {
  return task >= 0 && task < static_cast<int>(fileOfTask_.size()) ? fileOfTask_[task] : -1;
}

void TRunModel::Progress(int task, int frame, int fps, int currentMs, int totalMs, double now) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTaskLocked(task);
  if (file < 0) return;
  TFileWork& work = files_[file];
  TRunFile& record = work.File;
  if (record.Ended()) return;
  if (!record.HasProgress) {
    work.FirstReport = now;
    work.FirstMs = currentMs;
  }
  if (!record.Ran()) record.StartedAt = now;
  record.State = TRunFileState::Running;
  record.HasProgress = true;
  record.Frame = frame;
  record.Fps = fps;
  record.CurrentMs = currentMs;
  record.TotalMs = totalMs;
  // Without a probe's word the output's own length stands for the work.
  if (record.Duration <= 0 && totalMs > 0) record.Duration = totalMs / 1000.0;
  record.Percent = totalMs > 0 ? static_cast<int>(Fraction(record) * 100) : -1;
  record.SecondsLeft = -1;
  work.LeftAt = now;
  const double wall = now - work.FirstReport;
  const double media = (currentMs - work.FirstMs) / 1000.0;
  if (totalMs > 0 && wall >= kShortestRateSpan && media > 0)
    record.SecondsLeft = std::max(totalMs - currentMs, 0) / 1000.0 * wall / media;
}

void TRunModel::Ended(int task, const TTaskEnd& end, const std::string& message, double now) {
  std::lock_guard lock(mutex_);
  const int file = FileOfTaskLocked(task);
  if (file < 0) return;
  TRunFile& record = files_[file].File;
  if (record.Ended()) return;
  record.Failure = end.Failure;
  record.SetupStep = end.SetupStep;
  record.SecondsLeft = -1;
  switch (end.Failure) {
    case tfNone:
      record.State = TRunFileState::Completed;
      record.Percent = 100;
      break;
    case tfSetup:
    case tfJob:
      record.State = TRunFileState::Failed;
      record.Reason = message;
      break;
    case tfStopped:
      record.State = TRunFileState::Stopped;
      break;
    case tfNotStarted:
      record.State = TRunFileState::NotStarted;
      break;
  }
  // A file whose first sign of running is its end took the slot the last end freed.
  if ((end.Started || record.HasProgress) && !record.Ran())
    record.StartedAt = lastEnd_ >= 0 ? lastEnd_ : start_;
  if (record.Ran()) record.EndedAt = now;
  lastEnd_ = now;
}

void TRunModel::Close() {
  std::lock_guard lock(mutex_);
  for (TFileWork& work : files_) {
    if (work.File.State == TRunFileState::Queued) work.File.State = TRunFileState::NotStarted;
  }
}

double TRunModel::MeanDuration() const {
  double sum = 0;
  int known = 0;
  for (const TFileWork& work : files_) {
    if (!work.File.HasTask || work.File.Duration <= 0) continue;
    sum += work.File.Duration;
    ++known;
  }
  return known > 0 ? sum / known : 1;
}

double TRunModel::Weight(const TFileWork& work, double mean) const {
  return work.File.Duration > 0 ? work.File.Duration : mean;
}

// The work still to do over the rate the run has converted at so far: with several files
// at once that rate is theirs together. Never less than the time the slowest running file
// needs on its own, since the run cannot end before it.
double TRunModel::SecondsLeft(double now, double mean) const {
  double total = 0, converted = 0, remaining = 0, slowest = -1;
  bool queued = false, runningUnknown = false;
  for (const TFileWork& work : files_) {
    const TRunFile& file = work.File;
    if (!file.HasTask) continue;
    const double weight = Weight(work, mean);
    total += weight;
    switch (file.State) {
      case TRunFileState::Completed:
        converted += weight;
        break;
      case TRunFileState::Stopped:
        converted += Fraction(file) * weight;
        break;
      case TRunFileState::Running: {
        converted += Fraction(file) * weight;
        remaining += (1 - Fraction(file)) * weight;
        if (file.SecondsLeft < 0) {
          runningUnknown = true;
          break;
        }
        // Its own estimate ages since its last report.
        slowest = std::max(slowest, std::max(file.SecondsLeft - (now - work.LeftAt), 0.0));
        break;
      }
      case TRunFileState::Queued:
        queued = true;
        remaining += weight;
        break;
      default:
        break;
    }
  }
  if (remaining <= 0) return 0;
  const double elapsed = now - start_;
  if (converted > total * kLeastShareForRate && elapsed >= kLeastSecondsForRate)
    return std::max(remaining * elapsed / converted, slowest);
  // No rate of the run yet: the running files alone tell, when they are all that is left.
  return queued || runningUnknown ? -1 : slowest;
}

TRunSnapshot TRunModel::Snapshot(double now) const {
  std::lock_guard lock(mutex_);
  TRunSnapshot snapshot;
  snapshot.Elapsed = now - start_;
  const double mean = MeanDuration();
  double total = 0, done = 0;
  int ended = 0;
  for (const TFileWork& work : files_) {
    const TRunFile& file = work.File;
    snapshot.Files.push_back(file);
    switch (file.State) {
      case TRunFileState::Queued:
        if (file.HasTask) ++snapshot.Queued;
        break;
      case TRunFileState::Running:
        ++snapshot.Running;
        break;
      case TRunFileState::Completed:
        ++snapshot.Counts.Converted;
        break;
      case TRunFileState::Stopped:
        ++snapshot.Counts.Stopped;
        break;
      case TRunFileState::NotStarted:
        ++snapshot.Counts.NotStarted;
        break;
      case TRunFileState::Failed:
        ++snapshot.Counts.Failed;
        break;
    }
    if (file.Ended()) ++ended;
    if (!file.HasTask) continue;
    ++snapshot.Tasks;
    const double weight = Weight(work, mean);
    total += weight;
    // Ended files count whole, whatever their end: no work of theirs is left.
    done += file.Ended() ? weight : Fraction(file) * weight;
  }
  snapshot.Percent = total > 0 ? static_cast<int>(done / total * 100 + 1e-9) : 100;
  snapshot.FileNumber = std::min(ended + 1, std::max(snapshot.FileCount(), 1));
  snapshot.SecondsLeft = SecondsLeft(now, mean);
  return snapshot;
}
