#include "frontend/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

// The receiving thread's side: a wake-up is a counted signal the test waits on.
struct TReceiver {
  std::mutex Mutex;
  std::condition_variable Woken;
  int Wakes = 0;

  void Wake() {
    std::lock_guard lock(Mutex);
    ++Wakes;
    Woken.notify_all();
  }
  // Waits for a wake-up beyond the first `seen`; the wake-ups so far.
  int WaitPast(int seen) {
    std::unique_lock lock(Mutex);
    Woken.wait(lock, [&] { return Wakes > seen; });
    return Wakes;
  }
};

// Plain data written by the workers and read by the receiver after a take: ThreadSanitizer
// fails the test if the mailbox does not order the two.
struct TItem {
  int Job = 0;
  std::string Text;
  std::vector<int> Numbers;
};

TEST(WorkerPoolTest, ResultsOfManyJobsReachTheReceiverWholeThroughFewWakeUps) {
  constexpr int kJobs = 400;
  TReceiver receiver;
  TMailbox<TItem> mailbox([&] { receiver.Wake(); });
  TWorkerPool pool(4);
  for (int job = 0; job < kJobs; ++job)
    pool.Start([&mailbox, job] {
      TItem item{job, "job " + std::to_string(job), std::vector<int>(job % 7 + 1, job)};
      mailbox.Post(std::move(item));
    });
  std::vector<bool> seen(kJobs, false);
  int received = 0;
  int wakes = 0;
  while (received < kJobs) {
    wakes = receiver.WaitPast(wakes);
    for (const TItem& item : mailbox.Take()) {
      ASSERT_FALSE(seen[item.Job]);
      seen[item.Job] = true;
      EXPECT_EQ(item.Text, "job " + std::to_string(item.Job));
      EXPECT_EQ(item.Numbers, std::vector<int>(item.Job % 7 + 1, item.Job));
      ++received;
    }
  }
  pool.WaitForDone();
  EXPECT_TRUE(mailbox.Take().empty());
  // One wake-up per batch taken, never one per item that found a wake-up pending.
  std::lock_guard lock(receiver.Mutex);
  EXPECT_LE(receiver.Wakes, wakes + 1);
}

TEST(WorkerPoolTest, APostAfterATakeWakesTheReceiverAgain) {
  int wakes = 0;
  TMailbox<int> mailbox([&] { ++wakes; });
  mailbox.Post(1);
  mailbox.Post(2);
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(mailbox.Take(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(mailbox.Take().empty());
  mailbox.Post(3);
  EXPECT_EQ(wakes, 2);
}

TEST(WorkerPoolTest, ClearDropsTheJobsNotStartedAndLetsTheRunningOneEnd) {
  TWorkerPool pool(1);
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool release = false;
  std::vector<int> ran;
  pool.Start([&] {
    std::unique_lock lock(mutex);
    started = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    ran.push_back(0);
  });
  for (int job = 1; job <= 3; ++job)
    pool.Start([&, job] {
      std::lock_guard lock(mutex);
      ran.push_back(job);
    });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return started; });
  }
  pool.Clear();  // jobs 1 to 3 wait behind the running one
  pool.Start([&] {
    std::lock_guard lock(mutex);
    ran.push_back(4);
  });
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  pool.WaitForDone();
  EXPECT_EQ(ran, (std::vector<int>{0, 4}));
}

TEST(WorkerPoolTest, WaitingForDoneReleasesWhatTheJobsCaptured) {
  TWorkerPool pool(2);
  auto shared = std::make_shared<int>(7);
  std::atomic<int> sum{0};
  for (int job = 0; job < 50; ++job) pool.Start([shared, &sum] { sum += *shared; });
  pool.WaitForDone();
  EXPECT_EQ(sum, 350);
  // The captures went with their jobs: the caller may free what they pointed at.
  EXPECT_EQ(shared.use_count(), 1);
  // An idle pool takes jobs again, and its destructor joins the workers.
  pool.Start([&sum] { ++sum; });
  pool.WaitForDone();
  EXPECT_EQ(sum, 351);
}

TEST(WorkerPoolTest, DestroyingThePoolLetsTheRunningJobEnd) {
  std::atomic<int> ran{0};
  std::atomic<bool> release{false};
  std::atomic<bool> started{false};
  std::thread releaser;
  {
    TWorkerPool pool(1);
    pool.Start([&] {
      started = true;
      while (!release) std::this_thread::yield();
      ++ran;
    });
    for (int job = 0; job < 5; ++job) pool.Start([&] { ran += 10; });
    while (!started) std::this_thread::yield();
    releaser = std::thread([&] { release = true; });
  }
  releaser.join();
  // The running job ended before the pool went; those waiting may or may not have run.
  EXPECT_EQ(ran % 10, 1);
}

}  // namespace
