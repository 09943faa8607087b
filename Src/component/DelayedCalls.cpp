#include "component/DelayedCalls.h"

#include <chrono>

TDelayedCalls::~TDelayedCalls() {
  std::list<TCall> calls;
  {
    std::lock_guard lock(FLock);
    FCancelled = true;
    calls.swap(FCalls);
  }
  FWake.notify_all();
  for (TCall& call : calls) {
    if (call.Thread.get_id() == std::this_thread::get_id())
      call.Thread.detach();
    else
      call.Thread.join();
  }
}

void TDelayedCalls::Post(int DelayMs, std::function<void()> Call) {
  std::lock_guard lock(FLock);
  if (FCancelled) return;
  // Threads of calls that are over are let go here; a call may post the next one.
  for (auto call = FCalls.begin(); call != FCalls.end();) {
    if (call->Done && call->Thread.get_id() != std::this_thread::get_id()) {
      call->Thread.join();
      call = FCalls.erase(call);
    } else {
      ++call;
    }
  }
  TCall& entry = FCalls.emplace_back();
  entry.Thread =
      std::thread([this, &entry, DelayMs, Call = std::move(Call)] { Wait(entry, DelayMs, Call); });
}

void TDelayedCalls::Wait(TCall& Entry, int DelayMs, const std::function<void()>& Call) {
  std::unique_lock lock(FLock);
  const bool cancelled =
      FWake.wait_for(lock, std::chrono::milliseconds(DelayMs), [this] { return FCancelled; });
  if (!cancelled) {
    lock.unlock();
    Call();
    lock.lock();
  }
  Entry.Done = true;
}
