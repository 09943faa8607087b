#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "binding/MyUtilHlpr.h"
#include "binding/MyUtils.h"

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

TEST(ArithmeticHelpers, ClipAndApproximate) {
  BindMediaLibrariesForTest();
  EXPECT_EQ(ClipInt(-5, 0, 10), 0);
  EXPECT_EQ(ClipInt(15, 0, 10), 10);
  EXPECT_EQ(ClipInt(7, 0, 10), 7);

  EXPECT_DOUBLE_EQ(RationalToDouble({1, 4}), 0.25);

  const AVRational ntsc = RationalFromDouble(30000.0 / 1001.0, 100000);
  EXPECT_EQ(ntsc.num, 30000);
  EXPECT_EQ(ntsc.den, 1001);
  const AVRational third = RationalFromDouble(1.0 / 3.0, 1000);
  EXPECT_EQ(third.num, 1);
  EXPECT_EQ(third.den, 3);
}

TEST(TextHelpers, TrimRemovesOnlyTheGivenBytesAtTheEnds) {
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim(" \t \t"), "");
  EXPECT_EQ(TrimLeft(" \t "), "");
  EXPECT_EQ(TrimRight(" \t "), "");
  EXPECT_EQ(Trim(" \ta b\t "), "a b");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  // Blanks only by default: a line break is part of the value.
  EXPECT_EQ(Trim(" a\r\n"), "a\r\n");
  EXPECT_EQ(Trim(" a\r\n", kBlanksAndLineBreaks), "a");
  EXPECT_EQ(TrimRight("v=0\r\n\v\f", kWhiteSpace), "v=0");
  EXPECT_EQ(Trim(std::string("\x01\0 7\x1f", 5), kControlsAndSpace), "7");
  // Bytes of UTF-8 text are never blanks, not even a no-break space (C2 A0) or 0xFF.
  EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0", kControlsAndSpace), "\xC2\xA0x\xC2\xA0");
  EXPECT_EQ(Trim("\xFF", kWhiteSpace), "\xFF");
}

TEST(TextHelpers, CaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(LowerCase(""), "");
  EXPECT_EQ(LowerCase("MP4 Ogg-1.AVI"), "mp4 ogg-1.avi");
  EXPECT_EQ(LowerCase("\xC3\x84\xC3\x96"), "\xC3\x84\xC3\x96");  // "ÄÖ" stays as it is

  EXPECT_TRUE(SameText("", ""));
  EXPECT_TRUE(SameText("VideoCodec", "videocodec"));
  EXPECT_FALSE(SameText("Video", "VideoCodec"));
  EXPECT_FALSE(SameText("\xC3\xA4", "\xC3\x84"));
  EXPECT_FALSE(SameText("[", "{"));  // 0x5B and 0x7B differ by the case bit but are no letters
}

// The helper library's tokenizer keeps its place per thread: two threads that tokenize
// at once, interleaved, each get their own string's tokens, with strtok's rules (runs of
// separators count as one, none after the last).
TEST(TextHelpers, ErrorTextsEndWithAPeriodUnlessTheyEndInPunctuationBeforeIt) {
  EXPECT_EQ(WithClosingPeriod("Unable to write to /x"), "Unable to write to /x.");
  EXPECT_EQ(WithClosingPeriod("Done."), "Done.");
  EXPECT_EQ(WithClosingPeriod("Really!"), "Really!");
  EXPECT_EQ(WithClosingPeriod("size (0)"), "size (0)");
  EXPECT_EQ(WithClosingPeriod("frame 5"), "frame 5.");
  EXPECT_EQ(WithClosingPeriod("path/"), "path/.");
  EXPECT_EQ(WithClosingPeriod(""), "");
}

TEST(MyUtilTokenizer, ThreadsTokenizingAtOnceKeepTheirOwnPlace) {
  BindMediaLibrariesForTest();
  char mine[] = "  x  y";
  std::vector<std::string> otherTokens;
  std::latch started(2), mineStarted(1), otherDone(1);
  std::thread other([&] {
    char text[] = "a b c";
    otherTokens.emplace_back(lib::my_strtok(text, " "));
    started.arrive_and_wait();
    mineStarted.wait();
    for (char* token = lib::my_strtok(nullptr, " "); token; token = lib::my_strtok(nullptr, " "))
      otherTokens.emplace_back(token);
    otherDone.count_down();
  });
  started.arrive_and_wait();
  EXPECT_STREQ(lib::my_strtok(mine, " "), "x");
  mineStarted.count_down();
  otherDone.wait();
  EXPECT_STREQ(lib::my_strtok(nullptr, " "), "y");
  EXPECT_EQ(lib::my_strtok(nullptr, " "), nullptr);
  other.join();
  EXPECT_EQ(otherTokens, (std::vector<std::string>{"a", "b", "c"}));
}
