// The worker threads of an engine: TFFmpegThread runs a job, TDoTerminateThread delivers
// the end of a job that never started. Both are created suspended and run their body once.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/EngineTypes.h"

class TFFmpegThread {
 public:
  TFFmpegThread(std::function<void()> body, TConvertPriority priority);
  // Waits for the body to end; on the thread itself (the body's own callbacks freeing
  // their owner) it lets the thread finish alone. A never resumed thread exits unrun.
  virtual ~TFFmpegThread();
  TFFmpegThread(const TFFmpegThread&) = delete;
  TFFmpegThread& operator=(const TFFmpegThread&) = delete;

  void Resume();
  bool Suspended() const;
  bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  TConvertPriority Priority() const { return priority_; }

 private:
  void Execute();

  std::function<void()> body_;
  TConvertPriority priority_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool resumed_ = false;
  bool cancelled_ = false;
  std::thread thread_;
};

class TDoTerminateThread : public TFFmpegThread {
 public:
  explicit TDoTerminateThread(std::function<void()> reportEnd)
      : TFFmpegThread(std::move(reportEnd), tpIdle) {}
};

// Lowers the calling thread's scheduling priority; a refusal is not an error.
void ApplyThreadPriority(TConvertPriority priority);
