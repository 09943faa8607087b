// Listed tasks: set up (input opened, output created) only when their turn comes.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "ComponentTestSupport.h"

namespace {

namespace fs = std::filesystem;

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* folder = ::opendir("/proc/self/fd")) {
    while (::readdir(folder) != nullptr) ++count;
    ::closedir(folder);
  }
  return count - 3;  // ".", ".." and the listing's own descriptor
}

int MappingCount() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  int count = 0;
  while (std::getline(maps, line)) ++count;
  return count;
}

struct TSetupFailure {
  TTaskSetupStep step = tsNone;
  std::string reason;
};

class ListedTask : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    recorder.Attach(converter);
    converter.OnSetupFailure = [this](int AIndex, TTaskSetupStep AStep,
                                      const std::string& AReason) {
      std::lock_guard lock(failuresMutex);
      failures[AIndex] = {AStep, AReason};
    };
  }
  std::string Output(int number) const {
    return folder.File("out" + std::to_string(number) + ".avi");
  }
  // Stream copy keeps a run of many files short.
  int List(const std::string& input, const std::string& output) {
    TInputOptions inputOptions;
    inputOptions.FileName = input;
    TOutputOptions outputOptions;
    outputOptions.FileName = output;
    outputOptions.VideoCodec = "copy";
    outputOptions.AudioCodec = "copy";
    const int index = converter.ListFile(inputOptions, outputOptions);
    EXPECT_GE(index, 0) << converter.LastErrorMessage;
    return index;
  }
  std::map<int, TSetupFailure> Failures() {
    std::lock_guard lock(failuresMutex);
    return failures;
  }

  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  TTerminateRecorder recorder;
  TTestConverter converter;
  std::mutex failuresMutex;
  std::map<int, TSetupFailure> failures;
};

TEST_F(ListedTask, HoldsNoFileUntilItsTurnAndReleasesItsFilesWhenItEnds) {
  constexpr int kTasks = 40;
  const int before = OpenDescriptorCount();
  for (int i = 0; i < kTasks; ++i)
    ASSERT_EQ(List(clips.Clip(i % TComponentClips::kClipCount), Output(i)), i);
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_TRUE(fs::is_empty(folder.Path())) << "an output was created before its turn";

  std::atomic<int> mostOpen{0};
  std::atomic<bool> ended{false};
  std::thread sampler([&] {
    while (!ended) {
      mostOpen = std::max(mostOpen.load(), OpenDescriptorCount());
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  converter.StartConvert(2);
  const bool runEnded = recorder.WaitForRunEnd();
  ended = true;
  sampler.join();
  ASSERT_TRUE(runEnded);
  recorder.ExpectOneEndEachThenRunEnd(kTasks);
  for (const TTerminateRecord& record : recorder.Records())
    EXPECT_TRUE(record.finished) << record.message;
  // Two running tasks, each with its input, its output's temporary (written, and held for
  // its lock), its output's folder twice (where side files are created, and where the
  // temporary is moved to its name) and, for a moment, a second look at its input's first
  // packets or at its finished output.
  EXPECT_GE(mostOpen.load(), before + 2);
  EXPECT_LE(mostOpen.load(), before + 12);
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_TRUE(Failures().empty());
  for (int i = 0; i < kTasks; ++i) {
    const TMediaInfo info = ReadMediaInfo(Output(i));
    ASSERT_TRUE(info.opened) << Output(i);
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, TComponentClips::kFrames);
    EXPECT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  }
}

TEST_F(ListedTask, EndedTasksKeepNoThreadStackWhileTheListGoesOn) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP() << "ThreadSanitizer keeps mappings of its own for every thread";
#endif
  constexpr int kTasks = 60;
  for (int i = 0; i < kTasks; ++i)
    ASSERT_EQ(List(clips.Tone(), folder.File("out" + std::to_string(i) + ".wav")), i);
  const int before = MappingCount();
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(kTasks);
  // A stack kept per ended task would add two mappings each (stack and guard page); the
  // allocators (a sanitizer's too) add a few of their own.
  EXPECT_LT(MappingCount() - before, kTasks);
}

TEST_F(ListedTask, ASetUpThatFailsAtItsTurnEndsThatTaskWithTheReasonAndTheRunGoesOn) {
  const std::string missing = folder.File("missing.avi");
  const std::string notAFolder = folder.File("file");
  WriteTextFile(notAFolder, "x");
  ASSERT_EQ(List(missing, Output(0)), 0);
  ASSERT_EQ(List(clips.Clip(1), Output(1)), 1);
  ASSERT_EQ(List(clips.Clip(2), notAFolder + "/out2.avi"), 2);
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(3);

  // The reasons are those that setting the task up at once would have given.
  ASSERT_EQ(converter.AddInputFile(missing, nullptr), -1);
  const std::string inputReason = converter.LastErrorMessage;
  const std::map<int, TSetupFailure> seen = Failures();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen.at(0).step, tsInput);
  EXPECT_EQ(seen.at(0).reason, inputReason);
  EXPECT_EQ(seen.at(2).step, tsOutput);
  EXPECT_NE(seen.at(2).reason.find(notAFolder), std::string::npos) << seen.at(2).reason;

  const std::vector<TTerminateRecord> records = recorder.Records();
  ASSERT_EQ(records[0].index, 0);
  EXPECT_FALSE(records[0].finished);
  EXPECT_TRUE(records[0].exception);
  EXPECT_EQ(records[0].message, inputReason);
  EXPECT_TRUE(records[1].finished);
  EXPECT_TRUE(records[2].exception);
  EXPECT_EQ(records[2].message, seen.at(2).reason);
  // The end's kind tells a set-up failure (and its step) from a conversion.
  const TTaskEnd input = converter.TaskEnd(0);
  EXPECT_TRUE(input.Started);
  EXPECT_EQ(input.Failure, tfSetup);
  EXPECT_EQ(input.SetupStep, tsInput);
  EXPECT_TRUE(converter.TaskEnd(1).Started);
  EXPECT_EQ(converter.TaskEnd(1).Failure, tfNone);
  EXPECT_EQ(converter.TaskEnd(2).Failure, tfSetup);
  EXPECT_EQ(converter.TaskEnd(2).SetupStep, tsOutput);
  EXPECT_EQ(converter.TaskEnd(3).Failure, tfNone);  // no such task
  EXPECT_FALSE(converter.TaskEnd(3).Started);
  EXPECT_FALSE(fs::exists(Output(0)));
  EXPECT_TRUE(ReadMediaInfo(Output(1)).opened);
  EXPECT_TRUE(fs::is_regular_file(notAFolder));
  EXPECT_EQ(fs::file_size(notAFolder), 1u);
}

TEST_F(ListedTask, AStopBeforeItsTurnEndsItWithoutCreatingItsOutput) {
  constexpr int kTasks = 6;
  for (int i = 0; i < kTasks; ++i) ASSERT_EQ(List(clips.Clip(0), Output(i)), i);
  converter.StartConvert(1);
  converter.StopAll();
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(kTasks);
  for (const TTerminateRecord& record : recorder.Records()) {
    if (record.index <= 0) continue;  // the first one may have begun
    EXPECT_FALSE(record.finished);
    EXPECT_FALSE(record.exception) << record.message;
    EXPECT_FALSE(fs::exists(Output(record.index)));
    // Its end tells it never began, which the next index cannot.
    EXPECT_FALSE(converter.TaskEnd(record.index).Started) << record.index;
    EXPECT_EQ(converter.TaskEnd(record.index).Failure, tfNotStarted) << record.index;
  }
  EXPECT_TRUE(Failures().empty());
  converter.ClearTasks();
  EXPECT_EQ(converter.TaskCount(), 0);
}

TEST_F(ListedTask, TheEndTellsAStopWhileRunningFromOneBeforeTheTurn) {
  // Two side by side, one waiting: a stop once both have reported progress.
  std::mutex mutex;
  std::condition_variable reported;
  std::set<int> running;
  converter.OnProgress = [&](int AIndex, int, int, int, float, float, std::int64_t, int) {
    std::lock_guard lock(mutex);
    running.insert(AIndex);
    reported.notify_all();
  };
  converter.SetProgressInterval(100);
  TClipRecipe recipe;
  recipe.width = 640;
  recipe.height = 480;
  recipe.frames = 1500;
  recipe.audioSeconds = 0;
  const std::string longClip = folder.File("long.avi");
  MakeClip(longClip, recipe);
  for (int i = 0; i < 3; ++i) {
    TInputOptions input;
    input.FileName = longClip;
    TOutputOptions output;
    output.FileName = Output(i);
    output.VideoCodec = "mpeg4";
    ASSERT_EQ(converter.ListFile(input, output), i) << converter.LastErrorMessage;
  }
  converter.StartConvert(2);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(reported.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return running.count(0) > 0 && running.count(1) > 0; }));
  }
  converter.StopAll();
  ASSERT_TRUE(recorder.WaitForRunEnd());
  for (int i : {0, 1}) {
    EXPECT_TRUE(converter.TaskEnd(i).Started) << i;
    EXPECT_EQ(converter.TaskEnd(i).Failure, tfStopped) << i;
  }
  EXPECT_FALSE(converter.TaskEnd(2).Started);
  EXPECT_EQ(converter.TaskEnd(2).Failure, tfNotStarted);
}

}  // namespace
