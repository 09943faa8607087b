// Marks the calling thread as being inside one of the component's events. Code that runs
// there must not wait for tasks to end: the end it waits for may need this very thread.
#pragma once

inline thread_local int eventDepth = 0;

struct TEventScope {
  TEventScope() { ++eventDepth; }
  ~TEventScope() { --eventDepth; }
  TEventScope(const TEventScope&) = delete;
  TEventScope& operator=(const TEventScope&) = delete;
};
