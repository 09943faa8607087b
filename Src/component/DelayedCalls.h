// The component's stand-in for a main-thread one-shot timer when the front end gives it no
// way to post to its event loop: each call waits out its delay on a short-lived thread of
// its own and then runs there.
#pragma once

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

class TDelayedCalls {
 public:
  TDelayedCalls() = default;
  // Drops the calls still waiting and waits for the ones running.
  ~TDelayedCalls();
  TDelayedCalls(const TDelayedCalls&) = delete;
  TDelayedCalls& operator=(const TDelayedCalls&) = delete;

  void Post(int DelayMs, std::function<void()> Call);

 private:
  struct TCall {
    std::thread Thread;
    bool Done = false;
  };
  void Wait(TCall& Entry, int DelayMs, const std::function<void()>& Call);

  std::mutex FLock;
  std::condition_variable FWake;
  bool FCancelled = false;
  std::list<TCall> FCalls;
};
