#include "frontend/RunTexts.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(RunTextsTest, DurationsShowWholeSecondsAsHoursMinutesSeconds) {
  EXPECT_EQ(FormatDuration(3725 * 1000000LL), "01:02:05");
  EXPECT_EQ(FormatDuration(3725 * 1000000LL + 999999), "01:02:05");
  EXPECT_EQ(FormatDuration(100LL * 3600 * 1000000), "100:00:00");
  EXPECT_EQ(FormatDuration(0), "00:00:00");
  EXPECT_EQ(FormatDuration(59 * 1000000LL), "00:00:59");
}

TEST(RunTextsTest, AnUnknownDurationShowsNothing) {
  EXPECT_EQ(FormatDuration(-1), "");
  EXPECT_EQ(FormatDuration(INT64_MIN), "");  // the libraries' no-value marker
}

TEST(RunTextsTest, ProgressIsAWholePercentageOfTheTotal) {
  EXPECT_EQ(ProgressStatus(0, 4000), "0% Completed");
  EXPECT_EQ(ProgressStatus(1999, 4000), "49% Completed");
  EXPECT_EQ(ProgressStatus(4000, 4000), "100% Completed");
  // Seven hours in milliseconds times 100 does not fit 32 bits.
  EXPECT_EQ(ProgressStatus(7 * 3600 * 1000, 8 * 3600 * 1000), "87% Completed");
}

TEST(RunTextsTest, WithoutATotalTheConvertedTimeIsShown) {
  EXPECT_EQ(ProgressStatus(65500, 0), "00:01:05 converted");
  EXPECT_EQ(ProgressStatus(2000, -1), "00:00:02 converted");
}

TEST(RunTextsTest, ProgressLineGivesFrameSecondsAndRate) {
  EXPECT_EQ(ProgressLine(250, 10999, 31), "Current Frame=250 Time=10 FPS=31");
}

TEST(RunTextsTest, ErrorTextsEndWithAPeriodUnlessTheyEndInPunctuationBeforeIt) {
  EXPECT_EQ(WithClosingPeriod("Unable to write to /x"), "Unable to write to /x.");
  EXPECT_EQ(WithClosingPeriod("Done."), "Done.");
  EXPECT_EQ(WithClosingPeriod("Really!"), "Really!");
  EXPECT_EQ(WithClosingPeriod("size (0)"), "size (0)");
  EXPECT_EQ(WithClosingPeriod("frame 5"), "frame 5.");
  EXPECT_EQ(WithClosingPeriod("path/"), "path/.");
  EXPECT_EQ(WithClosingPeriod(""), "");
}

}  // namespace
