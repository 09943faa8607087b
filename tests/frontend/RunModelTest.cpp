#include "frontend/RunModel.h"

#include <gtest/gtest.h>

namespace {

// Files of these durations (seconds, -1 unknown), task i for file i.
void ListFiles(TRunModel& run, const std::vector<double>& durations) {
  for (std::size_t i = 0; i < durations.size(); ++i) {
    run.SetTask(run.AddFile(durations[i]), static_cast<int>(i));
  }
}

constexpr TTaskEnd kConverted{true, tfNone, tsNone};

TEST(RunModelTest, AFilesTimeLeftComesFromItsOwnRate) {
  TRunModel run(100.0);
  ListFiles(run, {60, 60});
  run.Progress(0, 0, 25, 0, 60000, 100.0);
  EXPECT_EQ(run.Snapshot(100.0).Files[0].SecondsLeft, -1);  // one report gives no rate
  run.Progress(0, 25, 25, 1000, 60000, 100.2);
  EXPECT_EQ(run.Snapshot(100.2).Files[0].SecondsLeft, -1);  // too short a span to trust
  // 10 s of media in 2 s: 50 s of media left take 10 s.
  run.Progress(0, 250, 25, 10000, 60000, 102.0);
  const TRunSnapshot at = run.Snapshot(102.0);
  EXPECT_EQ(at.Files[0].State, TRunFileState::Running);
  EXPECT_DOUBLE_EQ(at.Files[0].SecondsLeft, 10.0);
  EXPECT_EQ(at.Files[0].Percent, 16);
  EXPECT_EQ(at.Files[1].State, TRunFileState::Queued);
  // Reports of tasks outside the run, or of ended ones, change nothing.
  run.Progress(5, 0, 0, 10000, 60000, 102.0);
  run.Ended(1, kConverted, "", 103.0);
  run.Progress(1, 0, 0, 10000, 60000, 103.0);
  EXPECT_EQ(run.Snapshot(103.0).Files[1].State, TRunFileState::Completed);
  EXPECT_EQ(run.Snapshot(103.0).FileNumber, 2);
}

TEST(RunModelTest, FilesWeighByTheirDurationAndUnknownOnesByTheMean) {
  // 10 s, 90 s and one unknown, which counts as the mean of 50 s: 150 s of work.
  TRunModel run(100.0);
  ListFiles(run, {10, 90, -1});
  run.Ended(0, kConverted, "", 110.0);
  TRunSnapshot at = run.Snapshot(110.0);
  EXPECT_EQ(at.Percent, 6);  // 10 of 150
  // Converting went at 1 s of media a second: 140 s left.
  EXPECT_NEAR(at.SecondsLeft, 140.0, 1e-6);
  run.Progress(1, 0, 0, 45000, 90000, 115.0);
  at = run.Snapshot(115.0);
  EXPECT_EQ(at.Percent, 36);  // 55 of 150
  EXPECT_EQ(at.Files[1].Percent, 50);
  EXPECT_EQ(at.FileNumber, 2);
  // Without any duration known, every file weighs the same.
  TRunModel unknown(100.0);
  ListFiles(unknown, {-1, -1});
  unknown.Ended(0, kConverted, "", 110.0);
  EXPECT_EQ(unknown.Snapshot(110.0).Percent, 50);
  EXPECT_NEAR(unknown.Snapshot(110.0).SecondsLeft, 10.0, 1e-6);
}

TEST(RunModelTest, SeveralAtOnceShareTheRateAndTheSlowestRunningFileBoundsTheTimeLeft) {
  // Two at once: a 10 s file converted in 2 s beside a 100 s file that goes at 1 s a second.
  TRunModel run(100.0);
  ListFiles(run, {10, 100});
  run.Progress(1, 0, 25, 0, 100000, 100.0);
  run.Progress(0, 0, 25, 0, 10000, 100.0);
  run.Ended(0, kConverted, "", 102.0);
  run.Progress(1, 0, 25, 2000, 100000, 102.0);
  TRunSnapshot at = run.Snapshot(102.0);
  ASSERT_EQ(at.Running, 1);
  EXPECT_DOUBLE_EQ(at.Files[1].SecondsLeft, 98.0);
  // The run's rate (12 s of media in 2 s) would say 16 s; the file left needs 98 s itself.
  EXPECT_DOUBLE_EQ(at.SecondsLeft, 98.0);
  // Its own time left ages between its reports.
  EXPECT_DOUBLE_EQ(run.Snapshot(104.0).SecondsLeft, 96.0);

  // Four files of 60 s, two at once, each going at 2 s of media a second: the run's rate is
  // theirs together: the work left (210 s after 30 s converted in 7.5 s) takes 52.5 s.
  TRunModel four(100.0);
  ListFiles(four, {60, 60, 60, 60});
  for (int task : {0, 1}) four.Progress(task, 0, 25, 0, 60000, 100.0);
  for (int task : {0, 1}) four.Progress(task, 0, 25, 15000, 60000, 107.5);
  at = four.Snapshot(107.5);
  EXPECT_EQ(at.Running, 2);
  EXPECT_EQ(at.Queued, 2);
  EXPECT_DOUBLE_EQ(at.Files[0].SecondsLeft, 22.5);
  EXPECT_DOUBLE_EQ(at.SecondsLeft, 210.0 * 7.5 / 30.0);
}

TEST(RunModelTest, NeverStartedSetUpFailedAndRefusedFilesEndTheirOwnWay) {
  TRunModel run(0);
  const int refused = run.AddFile(30);
  run.Refuse(refused, "Cannot convert: no profile");
  for (int task = 0; task < 4; ++task) run.SetTask(run.AddFile(30), task);
  run.Ended(0, {true, tfSetup, tsInput}, "a.avi: No such file or directory", 1.0);
  run.Progress(1, 10, 25, 3000, 30000, 1.5);
  run.Ended(1, {true, tfStopped, tsNone}, "", 2.0);
  // Picked to start, but the stop came before its job began.
  run.Ended(2, {false, tfNotStarted, tsNone}, "", 2.0);
  run.Close();
  const TRunSnapshot at = run.Snapshot(2.0);
  EXPECT_EQ(at.Files[0].State, TRunFileState::Failed);
  EXPECT_FALSE(at.Files[0].HasTask);
  EXPECT_EQ(at.Files[0].Reason, "Cannot convert: no profile");
  EXPECT_EQ(at.Files[1].State, TRunFileState::Failed);
  EXPECT_EQ(at.Files[1].SetupStep, tsInput);
  EXPECT_EQ(at.Files[1].Reason, "a.avi: No such file or directory");
  EXPECT_TRUE(at.Files[1].Ran());  // its turn came
  EXPECT_EQ(at.Files[2].State, TRunFileState::Stopped);
  EXPECT_DOUBLE_EQ(at.Files[2].EndedAt - at.Files[2].StartedAt, 0.5);
  EXPECT_EQ(at.Files[3].State, TRunFileState::NotStarted);
  EXPECT_FALSE(at.Files[3].Ran());
  EXPECT_EQ(at.Files[4].State, TRunFileState::NotStarted);  // its end never came
  EXPECT_EQ(at.Counts.Converted, 0);
  EXPECT_EQ(at.Counts.Failed, 2);
  EXPECT_EQ(at.Counts.Stopped, 1);
  EXPECT_EQ(at.Counts.NotStarted, 2);
  // The refused file is no work of the run; every ended one counts whole.
  EXPECT_EQ(at.Tasks, 4);
  EXPECT_EQ(at.Percent, 100);
  EXPECT_EQ(at.SecondsLeft, 0);
  EXPECT_EQ(at.FileNumber, 5);
}

TEST(RunModelTest, TooLittleDoneTellsNoTimeLeft) {
  TRunModel run(100.0);
  ListFiles(run, {60, 60});
  EXPECT_EQ(run.Snapshot(100.5).SecondsLeft, -1);
  EXPECT_EQ(run.Snapshot(100.5).FileNumber, 1);
  EXPECT_EQ(run.Snapshot(100.5).Percent, 0);
  // A file whose first sign is its end ran from the last end (or the run's start).
  run.Ended(0, kConverted, "", 104.0);
  run.Ended(1, kConverted, "", 106.0);
  const TRunSnapshot at = run.Snapshot(106.0);
  EXPECT_DOUBLE_EQ(at.Files[0].StartedAt, 100.0);
  EXPECT_DOUBLE_EQ(at.Files[1].StartedAt, 104.0);
  EXPECT_EQ(at.Percent, 100);
  EXPECT_EQ(at.SecondsLeft, 0);
  EXPECT_EQ(at.FileNumber, 2);
}

}  // namespace
