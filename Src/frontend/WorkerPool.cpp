#include "frontend/WorkerPool.h"

#include <algorithm>

TWorkerPool::TWorkerPool(int maxThreads)
    : maxThreads_(static_cast<std::size_t>(std::max(1, maxThreads))) {}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  jobReady_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void TWorkerPool::Start(std::function<void()> job) {
  std::lock_guard lock(mutex_);
  jobs_.push_back(std::move(job));
  // A worker of its own when every one is busy, up to the limit; else a waiting one takes it.
  if (waiting_ < jobs_.size() && threads_.size() < maxThreads_)
    threads_.emplace_back([this] { Work(); });
  else
    jobReady_.notify_one();
}

void TWorkerPool::Clear() {
  std::lock_guard lock(mutex_);
  jobs_.clear();
  if (running_ == 0) idle_.notify_all();
}

void TWorkerPool::WaitForDone() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && running_ == 0; });
}

void TWorkerPool::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++waiting_;
    jobReady_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    --waiting_;
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    ++running_;
    lock.unlock();
    job();
    // The job's captures go before the pool counts it done: a waiter may free what they hold.
    job = nullptr;
    lock.lock();
    --running_;
    if (running_ == 0 && jobs_.empty()) idle_.notify_all();
  }
}
