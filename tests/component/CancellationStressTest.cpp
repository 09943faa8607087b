// Runs stopped at random moments, over and over on the same converter: every task ends
// exactly once, the run's end comes once after them, nothing deadlocks, and every output is
// either gone or a file that opens. TOVRENA_STRESS_ROUNDS sets the rounds (default 24).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "ComponentTestSupport.h"

namespace fs = std::filesystem;

namespace {

int StressRounds() {
  const char* rounds = std::getenv("TOVRENA_STRESS_ROUNDS");
  const int value = rounds ? std::atoi(rounds) : 0;
  return value > 0 ? value : 24;
}

// How a round ends its run.
enum class TRoundEnd { Stop, StopTwice, ClearWithoutStop, RunToTheEnd };

class CancellationStress : public ::testing::Test {
 protected:
  void SetUp() override { BindMediaLibrariesForTest(); }

  // One round: tasks for every clip, a run with count parallel tasks ended as end says after
  // a random delay; then the run's ends are checked and the tasks cleared.
  void Round(TTestConverter& converter, int round, int count, TRoundEnd end) {
    SCOPED_TRACE("round " + std::to_string(round) + ", count " + std::to_string(count));
    TTerminateRecorder recorder;
    recorder.Attach(converter);
    std::vector<std::string> outputs;
    for (int i = 0; i < TComponentClips::kClipCount; ++i) {
      outputs.push_back(
          folder.File("r" + std::to_string(round) + "-" + std::to_string(i) + ".mp4"));
      ASSERT_EQ(AddConversion(converter, clips.Clip(i), outputs.back()), i);
    }
    converter.StartConvert(count);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 250)(random)));
    switch (end) {
      case TRoundEnd::Stop:
        converter.StopAll();
        break;
      case TRoundEnd::StopTwice:
        converter.StopAll();
        converter.StopAll();
        break;
      case TRoundEnd::ClearWithoutStop:
        converter.ClearTasks();  // stops the run and waits for its ends
        break;
      case TRoundEnd::RunToTheEnd:
        break;
    }
    ASSERT_TRUE(recorder.WaitForRunEnd()) << "the run never ended";
    recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
    converter.ClearTasks();
    EXPECT_EQ(converter.TaskCount(), 0);
    EXPECT_EQ(recorder.RunEnds(), 1);
    const std::vector<TTerminateRecord> records = recorder.Records();
    for (const std::string& output : outputs) {
      if (!fs::exists(output)) {
        ++absentOutputs;
        continue;
      }
      ++openedOutputs;
      EXPECT_TRUE(ReadMediaInfo(output).opened) << output << " was left unreadable";
    }
    for (const TTerminateRecord& record : records) {
      if (record.index >= 0 && record.finished) {
        EXPECT_TRUE(fs::exists(outputs[static_cast<std::size_t>(record.index)]));
      }
    }
  }

  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  int openedOutputs = 0;
  int absentOutputs = 0;
  const unsigned seed = std::random_device{}();
  std::mt19937 random{seed};
};

TEST_F(CancellationStress, StopsAtRandomMomentsEndEveryTaskOnce) {
  constexpr TRoundEnd kEnds[] = {TRoundEnd::Stop, TRoundEnd::StopTwice, TRoundEnd::ClearWithoutStop,
                                 TRoundEnd::RunToTheEnd};
  auto converter = std::make_unique<TTestConverter>();
  ASSERT_TRUE(converter->LoadLibraries(LibAVFolder(), true));
  const int rounds = StressRounds();
  SCOPED_TRACE("delays seeded with " + std::to_string(seed));
  for (int round = 0; round < rounds; ++round) {
    Round(*converter, round, round % 2 + 1, kEnds[round % 4]);
    if (HasFatalFailure()) return;
    // Now and then a fresh converter, the old one going while nothing runs.
    if (round % 5 == 4) {
      converter = std::make_unique<TTestConverter>();
      ASSERT_TRUE(converter->LoadLibraries(LibAVFolder(), true));
    }
  }
  std::printf("[ stress ] %d rounds of %d tasks: %d outputs opened, %d absent\n", rounds,
              TComponentClips::kClipCount, openedOutputs, absentOutputs);
}

}  // namespace
