// Tasks freed while runs end, stop or go on: every task gets one end, then the run one -1,
// and nothing is used after it was freed (the sanitizer builds run these as well).
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "ComponentTestSupport.h"

namespace {

class TaskLifetime : public ::testing::Test {
 protected:
  void SetUp() override { BindMediaLibrariesForTest(); }

  // A loaded converter with one task per clip.
  std::unique_ptr<TTestConverter> MakeConverter(TTerminateRecorder& recorder) {
    auto converter = std::make_unique<TTestConverter>();
    EXPECT_TRUE(converter->LoadLibraries(LibAVFolder(), true));
    recorder.Attach(*converter);
    for (int i = 0; i < TComponentClips::kClipCount; ++i)
      AddConversion(*converter, clips.Clip(i), folder.File(std::to_string(i) + ".avi"));
    return converter;
  }
  int RandomDelayMs(int limit) { return std::uniform_int_distribution<int>(0, limit)(random); }

  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  std::mt19937 random{20080815};
};

TEST_F(TaskLifetime, StopAllAtAnyMomentStillEndsEveryTaskOnce) {
  for (int count : {1, 2, 0}) {
    for (int round = 0; round < 4; ++round) {
      TTerminateRecorder recorder;
      auto converter = MakeConverter(recorder);
      converter->StartConvert(count);
      std::this_thread::sleep_for(std::chrono::milliseconds(RandomDelayMs(150)));
      converter->StopAll();
      ASSERT_TRUE(recorder.WaitForRunEnd()) << "count " << count;
      recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
      converter.reset();
      EXPECT_EQ(recorder.Records().size(), TComponentClips::kClipCount + 1u);
    }
  }
}

TEST_F(TaskLifetime, ClearOrRemoveRightAfterStopAllWaitsForTheEnds) {
  for (int round = 0; round < 6; ++round) {
    TTerminateRecorder recorder;
    auto converter = MakeConverter(recorder);
    converter->StartConvert(round % 2 + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(RandomDelayMs(100)));
    converter->StopAll();
    const bool removeFirst = round % 3 == 0;
    if (removeFirst) {
      converter->RemoveTask(0);
      EXPECT_EQ(converter->TaskCount(), TComponentClips::kClipCount - 1);
    }
    converter->ClearTasks();
    // The ends were raised before the tasks went, the run's -1 with them.
    EXPECT_EQ(recorder.RunEnds(), 1);
    EXPECT_EQ(converter->TaskCount(), 0);
    if (!removeFirst) {
      recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
      continue;
    }
    // Ends that come after the removal carry the renumbered indices.
    const std::vector<TTerminateRecord> records = recorder.Records();
    ASSERT_EQ(records.size(), TComponentClips::kClipCount + 1u);
    EXPECT_EQ(records.back().index, -1);
  }
}

TEST_F(TaskLifetime, ClearTasksInsideTheRunsEndLikeTheWindowDoes) {
  for (int count : {1, 2, 0}) {
    TTerminateRecorder recorder;
    auto converter = MakeConverter(recorder);
    TTestConverter* raw = converter.get();
    raw->OnTerminate = [raw, &recorder](int AIndex, bool AFinished, bool AException,
                                        const std::string& AMessage) {
      recorder.Add({AIndex, AFinished, AException, AMessage, std::this_thread::get_id()});
      if (AIndex == -1) {
        raw->StopAll();
        raw->ClearTasks();
      }
    };
    converter->StartConvert(count);
    ASSERT_TRUE(recorder.WaitForRunEnd());
    recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
    EXPECT_EQ(converter->TaskCount(), 0);
    // The last task is still finishing on its thread; the next operation frees the rest.
    EXPECT_EQ(AddConversion(*converter, clips.Clip(0), folder.File("again.avi")), 0);
    converter.reset();
    EXPECT_EQ(recorder.Records().size(), TComponentClips::kClipCount + 1u);
  }
}

TEST_F(TaskLifetime, ClearTasksInsideATasksEndStopsTheRestOfTheRun) {
  TTerminateRecorder recorder;
  auto converter = MakeConverter(recorder);
  TTestConverter* raw = converter.get();
  std::atomic<bool> cleared{false};
  raw->OnTerminate = [&, raw](int AIndex, bool AFinished, bool AException,
                              const std::string& AMessage) {
    recorder.Add({AIndex, AFinished, AException, AMessage, std::this_thread::get_id()});
    if (AIndex >= 0 && !cleared.exchange(true)) raw->ClearTasks();
  };
  converter->StartConvert(2);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
  EXPECT_EQ(converter->TaskCount(), 0);
}

TEST_F(TaskLifetime, DestroyingTheComponentDuringARunEndsItCleanly) {
  for (int count : {1, 2, 0}) {
    TTerminateRecorder recorder;
    auto converter = MakeConverter(recorder);
    converter->StartConvert(count);
    std::this_thread::sleep_for(std::chrono::milliseconds(RandomDelayMs(100)));
    converter.reset();
    const std::size_t ends = recorder.Records().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(recorder.Records().size(), ends) << "an event after the component was gone";
    recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
  }
}

TEST_F(TaskLifetime, TasksThatNeverStartedEndOnceEachWhenStopped) {
  TTerminateRecorder recorder;
  auto converter = MakeConverter(recorder);
  converter->RemoveTask(0);
  converter->StopAll();
  ASSERT_TRUE(recorder.WaitForRunEnd());
  // The former tasks 1 and 2 report as 0 and 1.
  recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount - 1);
  for (const TTerminateRecord& record : recorder.Records()) {
    if (record.index < 0) continue;
    EXPECT_FALSE(record.finished);
    EXPECT_FALSE(record.exception);
  }
  converter->StopAll();  // ended tasks are left alone
  converter->ClearTasks();
  EXPECT_EQ(recorder.Records().size(), TComponentClips::kClipCount + 0u);
}

// A task of the last run that is still ending is not started again: its coming end counts
// for the new run, which still closes with its -1. (The last run raises its own -1 only
// when all its ends came before the new run began; a task it had ended ends once more in
// the new one.)
TEST_F(TaskLifetime, ANewRunRightAfterAStopTakesOverWhatIsStillEnding) {
  for (int count : {1, 2, 0}) {
    for (int round = 0; round < 2; ++round) {
      TTerminateRecorder recorder;
      auto converter = MakeConverter(recorder);
      converter->StartConvert(count);
      std::this_thread::sleep_for(std::chrono::milliseconds(RandomDelayMs(100)));
      converter->StopAll();
      converter->StartConvert(count);
      ASSERT_TRUE(recorder.WaitForRunEnd()) << "count " << count;
      converter->StopAll();
      converter->ClearTasks();
      const std::vector<TTerminateRecord> records = recorder.Records();
      ASSERT_FALSE(records.empty());
      EXPECT_EQ(records.back().index, -1) << "count " << count;
      std::vector<int> ends(TComponentClips::kClipCount, 0);
      for (const TTerminateRecord& record : records) {
        if (record.index == -1) continue;
        ASSERT_GE(record.index, 0);
        ASSERT_LT(record.index, TComponentClips::kClipCount);
        ++ends[static_cast<std::size_t>(record.index)];
      }
      for (int taskEnds : ends) {
        EXPECT_GE(taskEnds, 1) << "count " << count;
        EXPECT_LE(taskEnds, 2) << "count " << count;
      }
    }
  }
}

// Tasks whose engines ended in an earlier run never start again; stopped while they wait
// for their turn, each still gets this run's end, and the run its -1.
TEST_F(TaskLifetime, AStopOfARunOverTasksThatEndedBeforeStillEndsEachAndTheRun) {
  TTerminateRecorder recorder;
  auto converter = MakeConverter(recorder);
  converter->StartConvert(0);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  converter->StartConvert(0);
  converter->StopAll();
  ASSERT_TRUE(recorder.WaitForRunEnd(std::chrono::seconds(60), 2));
  const std::vector<TTerminateRecord> records = recorder.Records();
  ASSERT_EQ(records.size(), 2u * (TComponentClips::kClipCount + 1));
  EXPECT_EQ(records.back().index, -1);
  std::vector<int> ends(TComponentClips::kClipCount, 0);
  for (std::size_t i = TComponentClips::kClipCount + 1; i + 1 < records.size(); ++i) {
    ASSERT_GE(records[i].index, 0);
    ++ends[static_cast<std::size_t>(records[i].index)];
  }
  for (int taskEnds : ends) EXPECT_EQ(taskEnds, 1);
}

}  // namespace
