// Helpers of the component tests: a converter whose task list the tests may look at, a
// recorder of termination events that checks their rules, and the clips every test uses.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestMedia.h"
#include "TestSupport.h"
#include "component/TaskList.h"
#include "component/VornConverter.h"

class TTestConverter : public TVornConverter {
 public:
  using TCustomVornConverter::ComponentLock;
  using TCustomVornConverter::Tasks;
  using TVornConverter::TVornConverter;
};

struct TTerminateRecord {
  int index = 0;
  bool finished = false;
  bool exception = false;
  std::string message;
  std::thread::id thread;
};

// Records OnTerminate; the run's end is the record with index -1.
class TTerminateRecorder {
 public:
  void Attach(TCustomVornConverter& converter) {
    converter.OnTerminate = [this](int AIndex, bool AFinished, bool AException,
                                   const std::string& AMessage) {
      Add({AIndex, AFinished, AException, AMessage, std::this_thread::get_id()});
    };
  }
  void Add(const TTerminateRecord& record) {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
    changed_.notify_all();
  }
  // True when the run's end (the count-th run's) arrived in time.
  bool WaitForRunEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60), int count = 1) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return RunEndsLocked() >= count; });
  }
  std::vector<TTerminateRecord> Records() const {
    std::lock_guard lock(mutex_);
    return records_;
  }
  int RunEnds() const {
    std::lock_guard lock(mutex_);
    return RunEndsLocked();
  }
  // Every index 0..taskCount-1 exactly once, then exactly one -1, last.
  void ExpectOneEndEachThenRunEnd(int taskCount) const {
    const std::vector<TTerminateRecord> records = Records();
    ASSERT_EQ(static_cast<int>(records.size()), taskCount + 1);
    std::vector<int> seen(static_cast<std::size_t>(taskCount), 0);
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
      ASSERT_GE(records[i].index, 0);
      ASSERT_LT(records[i].index, taskCount);
      ++seen[static_cast<std::size_t>(records[i].index)];
    }
    for (int count : seen) EXPECT_EQ(count, 1);
    EXPECT_EQ(records.back().index, -1);
    EXPECT_TRUE(records.back().finished);
  }

 private:
  int RunEndsLocked() const {
    int ends = 0;
    for (const TTerminateRecord& record : records_) ends += record.index == -1;
    return ends;
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TTerminateRecord> records_;
};

// Clips made once per test program, removed at its end: kClipCount clips of kFrames
// pictures (mpeg4, 160x120, 25 per second) with a tone (mp2) in AVI, and a WAV tone.
class TComponentClips {
 public:
  static constexpr int kClipCount = 3;
  static constexpr int kFrames = 50;

  static const TComponentClips& Get() {
    static const TComponentClips clips;
    return clips;
  }
  std::string Clip(int number) const {
    return folder_.File("clip" + std::to_string(number) + ".avi");
  }
  std::string Tone() const { return folder_.File("tone.wav"); }

 private:
  TComponentClips() {
    BindMediaLibrariesForTest();
    TClipRecipe video;
    video.frames = kFrames;
    video.audioSeconds = kFrames / 25.0;
    for (int i = 0; i < kClipCount; ++i) MakeClip(Clip(i), video);
    TClipRecipe tone;
    tone.frames = 0;
    tone.audioCodec = AV_CODEC_ID_PCM_S16LE;
    MakeClip(Tone(), tone);
  }
  TTempFolder folder_;
};

// Adds a task converting input into output (mpeg4 and mp2 in AVI); its index, or -1 after
// failing the calling test.
inline int AddConversion(TCustomVornConverter& converter, const std::string& input,
                         const std::string& output) {
  TInputOptions inputOptions;
  const int index = converter.AddInputFile(input, &inputOptions);
  EXPECT_GE(index, 0) << converter.LastErrorMessage;
  if (index < 0) return -1;
  TOutputOptions outputOptions;
  outputOptions.VideoCodec = "mpeg4";
  outputOptions.AudioCodec = "mp2";
  const bool set = converter.SetOutputFile(index, output, &outputOptions);
  EXPECT_TRUE(set) << converter.LastErrorMessage;
  return set ? index : -1;
}
