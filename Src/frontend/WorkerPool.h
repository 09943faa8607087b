// A small pool of worker threads with a plain queue of jobs, and a mailbox through which
// they hand results to one receiving thread. Both synchronise through std::mutex only, so
// every hand-off is one ThreadSanitizer sees (a toolkit's own queues and locks live in
// libraries it does not instrument).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class TWorkerPool {
 public:
  // Up to maxThreads workers, started as jobs come and kept until the pool goes.
  explicit TWorkerPool(int maxThreads);
  // Drops the jobs not started and joins the workers once the running ones end.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  // Runs job on a worker, after those given before it have started.
  void Start(std::function<void()> job);
  // Drops the jobs not started yet; the running ones go on.
  void Clear();
  // Returns when no job waits or runs.
  void WaitForDone();

 private:
  void Work();

  const std::size_t maxThreads_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  std::size_t waiting_ = 0;  // workers with nothing to do
  std::size_t running_ = 0;  // jobs under way
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Items posted from any thread, taken by one receiver. The first post after a take asks
// for a wake-up (the receiver's own way of being called on its thread); the receiver then
// takes everything that has come meanwhile, so one wake-up carries any number of items.
template <typename T>
class TMailbox {
 public:
  // wake is called on the posting thread, outside the mailbox's lock.
  explicit TMailbox(std::function<void()> wake) : wake_(std::move(wake)) {}

  void Post(T item) {
    bool first = false;
    {
      std::lock_guard lock(mutex_);
      items_.push_back(std::move(item));
      first = !wakePending_;
      wakePending_ = true;
    }
    if (first) wake_();
  }

  // Everything posted so far, in the order posted; the next post wakes the receiver again.
  std::vector<T> Take() {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
    return std::exchange(items_, {});
  }

 private:
  const std::function<void()> wake_;
  std::mutex mutex_;
  std::vector<T> items_;
  bool wakePending_ = false;
};
