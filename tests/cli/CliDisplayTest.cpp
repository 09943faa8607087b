// The pieces of tovrena-cli's display that do arithmetic: time left, the live block and the
// summary table.
#include <gtest/gtest.h>

#include "cli/ProgressDisplay.h"
#include "cli/RunSummary.h"

namespace {

TFileRecord Record(const std::string& input, const std::string& output, TRunFileState state) {
  TFileRecord record;
  record.Input = input;
  record.Output = output;
  record.Run.State = state;
  record.Run.HasTask = !output.empty();
  return record;
}

TEST(CliDisplayTest, ClockTextShowsUnknownTimes) {
  EXPECT_EQ(ClockText(-1), "--:--:--");
  EXPECT_EQ(ClockText(3725.4), "01:02:05");
}

TEST(CliDisplayTest, LiveBlockShowsRunningFilesAndTheModelsTotal) {
  TFileRecord running = Record("b.avi", "/out/b.mp4", TRunFileState::Running);
  running.Run.HasProgress = true;
  running.Run.StartedAt = 10;
  running.Run.CurrentMs = 1500;
  running.Run.TotalMs = 3000;
  running.Run.Fps = 42;
  running.Run.SecondsLeft = 10;
  TFileRecord unknownLength = Record("c.avi", "/out/c.mp4", TRunFileState::Running);
  unknownLength.Run.HasProgress = true;
  unknownLength.Run.StartedAt = 17;
  unknownLength.Run.CurrentMs = 65000;
  const std::vector<TFileRecord> files = {Record("a.avi", "/out/a.mp4", TRunFileState::Completed),
                                          running, unknownLength,
                                          Record("d.avi", "/out/d.mp4", TRunFileState::Queued),
                                          Record("e.txt", "", TRunFileState::Failed)};
  TRunSnapshot run;
  run.Tasks = 4;
  run.Running = 2;
  run.Queued = 1;
  run.Counts.Failed = 1;
  run.Elapsed = 20;
  run.SecondsLeft = 33;

  const std::vector<std::string> block = LiveBlock(files, run, 20);
  ASSERT_EQ(block.size(), 3u);
  EXPECT_EQ(block[0], "[2/5] b.avi  50%  42 fps  elapsed 00:00:10  ETA 00:00:10");
  EXPECT_EQ(block[1], "[3/5] c.avi  00:01:05 converted  0 fps  elapsed 00:00:03  ETA --:--:--");
  EXPECT_EQ(block[2], "Total: 1 of 4 ended, 2 running, 1 failed  elapsed 00:00:20  ETA 00:00:33");
}

TEST(CliDisplayTest, SummaryAlignsItsColumnsAndCountsTheStates) {
  TFileRecord done = Record("/in/long name.avi", "/out/long name.mp4", TRunFileState::Completed);
  done.Run.StartedAt = 0;
  done.Run.EndedAt = 75;
  TFileRecord failed = Record("x.avi", "", TRunFileState::Failed);
  failed.Run.Failure = tfSetup;
  failed.Run.SetupStep = tsInput;
  failed.Run.Reason = "x.avi: Permission denied";
  const std::vector<TFileRecord> files = {done, failed,
                                          Record("y.avi", "/out/y.mp4", TRunFileState::NotStarted)};
  EXPECT_EQ(SummaryTable(files),
            "Input              Output              Status       Time\n"
            "/in/long name.avi  /out/long name.mp4  completed    00:01:15\n"
            "x.avi              -                   failed       -\n"
            "y.avi              /out/y.mp4          not started  -\n"
            "3 files: 1 completed, 1 failed, 1 not started\n"
            "Failed x.avi: not supported: x.avi: Permission denied\n");
}

}  // namespace
