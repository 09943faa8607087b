#include "frontend/RunProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(RunProgressTest, AFilesTimeLeftComesFromItsOwnRate) {
  TRunProgress run(2, 100.0);
  EXPECT_EQ(run.Report(0, 0, 60000, 100.0), -1);     // one report gives no rate
  EXPECT_EQ(run.Report(0, 1000, 60000, 100.2), -1);  // too short a span to trust
  // 10 s of media in 2 s: 50 s of media left take 10 s.
  EXPECT_DOUBLE_EQ(run.Report(0, 10000, 60000, 102.0), 10.0);
  // Reports for files outside the run or already ended change nothing.
  EXPECT_EQ(run.Report(5, 10000, 60000, 102.0), -1);
  run.End(1);
  EXPECT_EQ(run.Report(1, 10000, 60000, 103.0), -1);
  EXPECT_EQ(run.FileNumber(), 2);
}

TEST(RunProgressTest, TheRunCountsEndedFilesWholeAndRunningOnesByPosition) {
  TRunProgress run(4, 0.0);
  EXPECT_EQ(run.FileNumber(), 1);
  EXPECT_EQ(run.Percent(), 0);
  EXPECT_EQ(run.SecondsLeft(0.5), -1);
  run.Report(0, 30000, 60000, 1.0);
  EXPECT_EQ(run.Percent(), 12);  // half of one file in four
  run.End(0);
  run.Report(1, 30000, 60000, 10.0);
  EXPECT_EQ(run.FileNumber(), 2);
  EXPECT_EQ(run.Percent(), 37);
  // 37.5 % in 10 s: 62.5 % take about 16.7 s more.
  EXPECT_NEAR(run.SecondsLeft(10.0), 16.67, 0.01);
  // A file without a known total counts only once it ends; past the end nothing grows.
  run.Report(2, 5000, 0, 11.0);
  EXPECT_EQ(run.Percent(), 37);
  for (int file = 0; file < 4; ++file) run.End(file);
  EXPECT_EQ(run.FileNumber(), 4);
  EXPECT_EQ(run.Percent(), 100);
  EXPECT_DOUBLE_EQ(run.SecondsLeft(20.0), 0.0);
}

}  // namespace
