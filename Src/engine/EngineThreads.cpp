#include "engine/EngineThreads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <utility>

void ApplyThreadPriority(TConvertPriority priority) {
  if (priority == tpIdle) {
    sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameters);
    return;
  }
  const int niceness = priority == tpLowest ? 15 : priority == tpLower ? 5 : 0;
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness);
}

TFFmpegThread::TFFmpegThread(std::function<void()> body, TConvertPriority priority)
    : body_(std::move(body)), priority_(priority), thread_([this] { Execute(); }) {}

TFFmpegThread::~TFFmpegThread() {
  {
    std::lock_guard lock(mutex_);
    if (!resumed_) cancelled_ = true;
  }
  wake_.notify_all();
  if (IsCurrentThread())
    thread_.detach();
  else if (thread_.joinable())
    thread_.join();
}

void TFFmpegThread::Resume() {
  // Notified under the lock: the body may free this object as soon as it runs, and it
  // cannot start before the notification is over.
  std::lock_guard lock(mutex_);
  resumed_ = true;
  wake_.notify_all();
}

bool TFFmpegThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return !resumed_;
}

void TFFmpegThread::Execute() {
  std::function<void()> body;
  {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return resumed_ || cancelled_; });
    if (cancelled_) return;
    body = std::move(body_);
  }
  ApplyThreadPriority(priority_);
  // The body may free this object (its owner goes in a callback): touch nothing after it.
  body();
}
