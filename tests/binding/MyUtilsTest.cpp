#include <gtest/gtest.h>

#include <climits>

#include "binding/MyUtils.h"
#include "TestSupport.h"

TEST(SplitFirst, CutsAtTheFirstSeparatorAndOptionallyRemovesIt) {
  std::string source = "name=value=more";
  std::string head;
  SplitFirst(source, "=", false, head);
  EXPECT_EQ(head, "name");
  EXPECT_EQ(source, "name=value=more");
  SplitFirst(source, "=", true, head);
  EXPECT_EQ(head, "name");
  EXPECT_EQ(source, "value=more");

  source = "no separator";
  SplitFirst(source, "\n", true, head);
  EXPECT_EQ(head, "no separator");
  EXPECT_EQ(source, "");

  source = "\nrest";
  SplitFirst(source, "\n", true, head);
  EXPECT_EQ(head, "");
  EXPECT_EQ(source, "rest");
}

TEST(FileSizeOf, GivesTheSizeOrMinusOne) {
  TTempFolder folder;
  EXPECT_EQ(FileSizeOf(folder.File("missing")), -1);
  WriteTextFile(folder.File("five"), "12345");
  EXPECT_EQ(FileSizeOf(folder.File("five")), 5);
  WriteTextFile(folder.File("empty"), "");
  EXPECT_EQ(FileSizeOf(folder.File("empty")), 0);
}

TEST(ArithmeticHelpers, ClipCompareSubtractAndApproximate) {
  BindMediaLibrariesForTest();
  EXPECT_EQ(ClipInt(-5, 0, 10), 0);
  EXPECT_EQ(ClipInt(15, 0, 10), 10);
  EXPECT_EQ(ClipInt(7, 0, 10), 7);

  EXPECT_EQ(CompareRationals({1, 3}, {1, 2}), -1);
  EXPECT_EQ(CompareRationals({2, 4}, {1, 2}), 0);
  // Products beyond 32 bits must not wrap around.
  EXPECT_EQ(CompareRationals({INT_MAX, 1}, {INT_MAX - 1, 1}), 1);
  EXPECT_EQ(CompareRationals({30000, 1001}, {INT_MAX, 65536}), -1);

  const AVRational difference = SubtractRationals({1, 2}, {1, 3});
  EXPECT_EQ(difference.num, 1);
  EXPECT_EQ(difference.den, 6);
  EXPECT_DOUBLE_EQ(RationalToDouble({1, 4}), 0.25);

  const AVRational ntsc = RationalFromDouble(30000.0 / 1001.0, 100000);
  EXPECT_EQ(ntsc.num, 30000);
  EXPECT_EQ(ntsc.den, 1001);
  const AVRational third = RationalFromDouble(1.0 / 3.0, 1000);
  EXPECT_EQ(third.num, 1);
  EXPECT_EQ(third.den, 3);
}
