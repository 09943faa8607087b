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

TEST(RunTextsTest, ProgressLinesTellOnlyWhatIsKnown) {
  EXPECT_EQ(ProgressLine(330, 13500, 60000, 53, 35.9),
            "Current Frame=330, 00:00:13 of 00:01:00, 53 fps, 00:00:35 left");
  // Audio: no frame and no rate (the engine reports frame -1), nor a time left unknown yet.
  EXPECT_EQ(ProgressLine(-1, 13500, 60000, 0, -1), "00:00:13 of 00:01:00");
  EXPECT_EQ(ProgressLine(12, 2000, 0, 0, -1), "Current Frame=12, 00:00:02");
  EXPECT_EQ(RunProgressLine(2, 5, 20.5, 40), "file 2 of 5, 00:00:20 elapsed, 00:00:40 left");
  EXPECT_EQ(RunProgressLine(1, 5, 0.2, -1), "file 1 of 5, 00:00:00 elapsed");
}

TEST(RunTextsTest, TheRunSummaryCountsAndListsFailuresInPlainWords) {
  EXPECT_EQ(RunCountsText({3, 1, 1, 0}), "3 converted, 1 failed, 1 stopped");
  EXPECT_EQ(RunCountsText({0, 0, 1, 2}), "0 converted, 1 stopped, 2 not started");
  EXPECT_EQ(FailedFilesText({{"a.avi", "Could not write 'x': No space left on device"},
                             {"b.txt", "Invalid data found when processing input"},
                             {"c.avi", "Permission denied"}}),
            "a.avi: Could not write 'x': No space left on device (the disk is full)\n"
            "b.txt: Invalid data found when processing input (not a media file)\n"
            "c.avi: Permission denied");
  EXPECT_EQ(FailedFilesText({}), "");
}

}  // namespace
