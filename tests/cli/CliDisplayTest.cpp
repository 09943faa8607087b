// The pieces of tovrena-cli's display that do arithmetic: time left, the live block and the
// summary table.
#include <gtest/gtest.h>

#include "cli/ProgressDisplay.h"
#include "cli/RunSummary.h"

namespace {

using std::chrono::seconds;

TFileRecord Record(const std::string& input, const std::string& output, TFileState state) {
  TFileRecord record;
  record.Input = input;
  record.Output = output;
  record.State = state;
  return record;
}

TEST(CliDisplayTest, TimeLeftComesFromThePartDoneSoFar) {
  EXPECT_DOUBLE_EQ(RemainingSeconds(0.25, 10), 30);
  EXPECT_DOUBLE_EQ(RemainingSeconds(1.0, 0.2), 0);
  // Too early to tell: almost nothing done, or hardly any time passed.
  EXPECT_EQ(RemainingSeconds(0.005, 10), -1);
  EXPECT_EQ(RemainingSeconds(0.5, 0.5), -1);
  EXPECT_EQ(ClockText(-1), "--:--:--");
  EXPECT_EQ(ClockText(3725.4), "01:02:05");
}

TEST(CliDisplayTest, LiveBlockShowsRunningFilesAndTheTotal) {
  const TCliClock::time_point now = TCliClock::now();
  TFileRecord running = Record("b.avi", "/out/b.mp4", TFileState::Running);
  running.HasStarted = running.HasProgress = true;
  running.Started = now - seconds(10);
  running.CurrentMs = 1500;
  running.TotalMs = 3000;
  running.Fps = 42;
  TFileRecord unknownLength = Record("c.avi", "/out/c.mp4", TFileState::Running);
  unknownLength.HasStarted = unknownLength.HasProgress = true;
  unknownLength.Started = now - seconds(3);
  unknownLength.CurrentMs = 65000;
  const std::vector<TFileRecord> files = {
      Record("a.avi", "/out/a.mp4", TFileState::Completed), running, unknownLength,
      Record("d.avi", "/out/d.mp4", TFileState::Waiting), Record("e.txt", "", TFileState::Failed)};

  const std::vector<std::string> block = LiveBlock(files, now - seconds(20), now);
  ASSERT_EQ(block.size(), 3u);
  EXPECT_EQ(block[0], "[2/5] b.avi  50%  42 fps  elapsed 00:00:10  ETA 00:00:10");
  EXPECT_EQ(block[1], "[3/5] c.avi  00:01:05 converted  0 fps  elapsed 00:00:03  ETA --:--:--");
  // a counts whole, b half, c and d nothing: 1.5 of 4 after 20 s.
  EXPECT_EQ(block[2], "Total: 1 of 4 ended, 2 running, 1 failed  elapsed 00:00:20  ETA 00:00:33");
}

TEST(CliDisplayTest, SummaryAlignsItsColumnsAndCountsTheStates) {
  TFileRecord done = Record("/in/long name.avi", "/out/long name.mp4", TFileState::Completed);
  done.HasStarted = true;
  done.Started = TCliClock::time_point{};
  done.Ended = done.Started + seconds(75);
  TFileRecord failed = Record("x.avi", "", TFileState::Failed);
  failed.Message = "not supported: x.avi: Permission denied";
  const std::vector<TFileRecord> files = {done, failed,
                                          Record("y.avi", "/out/y.mp4", TFileState::NotStarted)};
  EXPECT_EQ(SummaryTable(files),
            "Input              Output              Status       Time\n"
            "/in/long name.avi  /out/long name.mp4  completed    00:01:15\n"
            "x.avi              -                   failed       -\n"
            "y.avi              /out/y.mp4          not started  -\n"
            "3 files: 1 completed, 1 failed, 1 not started\n"
            "Failed x.avi: not supported: x.avi: Permission denied\n");
}

}  // namespace
