// CheckFile: a file's set-up tried and dropped again, from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "ComponentTestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(FileCheck, ThreadsCheckFilesAtOnceWithoutTouchingTheTaskList) {
  TTestConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  const std::string broken = folder.File("broken.avi");
  WriteTextFile(broken, "no media in here");

  constexpr int kThreads = 4;
  constexpr int kRounds = 6;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      for (int round = 0; round < kRounds; ++round) {
        const std::string stem = folder.File(std::to_string(thread) + "-" + std::to_string(round));
        TInputOptions input;
        TOutputOptions output;
        output.VideoCodec = "mpeg4";
        output.AudioCodec = "mp2";
        input.FileName = clips.Clip(round % TComponentClips::kClipCount);
        output.FileName = stem + "-good.avi";
        const TFileCheck good = converter.CheckFile(input, output);
        if (!good.Passed() || good.Duration < 1900000 || good.Duration > 2100000) ++wrong;

        input.FileName = broken;
        output.FileName = stem + "-broken.avi";
        const TFileCheck unreadable = converter.CheckFile(input, output);
        if (unreadable.FailedStep != tsInput || unreadable.Reason.find(broken) == std::string::npos)
          ++wrong;

        input.FileName = clips.Clip(0);
        output.FileName = stem + "-nocodec.avi";
        output.VideoCodec = "no-such-encoder";
        const TFileCheck noCodec = converter.CheckFile(input, output);
        if (noCodec.FailedStep != tsOutput || noCodec.Reason.empty()) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(converter.TaskCount(), 0);
  EXPECT_TRUE(converter.LastErrorMessage.empty());
  // Nothing of the checks stays on disk but the input made here.
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path()))
    EXPECT_EQ(entry.path().string(), broken);
}

}  // namespace
