#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <latch>
#include <mutex>
#include <thread>

#include "binding/AVUtilHlpr.h"
#include "ComponentTestSupport.h"
#include "component/LogRelay.h"

namespace {

const char* TesterName(void*) { return "tester"; }

// A log source as the libraries see one: a struct whose first field is its class.
AVClass MakeTesterClass() {
  AVClass descriptor{};
  descriptor.class_name = "Tester";
  descriptor.item_name = TesterName;
  descriptor.version = LIBAVUTIL_VERSION_INT;
  return descriptor;
}
const AVClass kTesterClass = MakeTesterClass();
struct TTesterSource {
  const AVClass* descriptor = &kTesterClass;
};

std::string Prefix() {
  char text[64];
  std::snprintf(text, sizeof text, "[tester @ %08" PRIXPTR "]",
                reinterpret_cast<std::uintptr_t>(&kTesterClass));
  return text;
}

struct TLine {
  int index;
  TLogLevel level;
  std::string text;
};

class LogRelay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    Listen(converter, lines);
  }
  void TearDown() override { converter.SetLogLevel(llInfo); }

  void Listen(TCustomVornConverter& component, std::vector<TLine>& into) {
    component.OnLog = [this, &into](int AIndex, TLogLevel ALogLevel, const std::string& AMsg) {
      std::lock_guard lock(mutex);
      into.push_back({AIndex, ALogLevel, AMsg});
    };
  }
  std::vector<TLine> Lines() {
    std::lock_guard lock(mutex);
    return lines;
  }

  std::mutex mutex;
  std::vector<TLine> lines;
  TTestConverter converter;
  TTesterSource source;
};

TEST_F(LogRelay, UnfinishedTextWaitsForItsLineEndAndGetsOnePrefix) {
  lib::av_log(&source, AV_LOG_INFO, "part %d, ", 1);
  EXPECT_TRUE(Lines().empty());
  lib::av_log(&source, AV_LOG_INFO, "part %s\nnext ", "two");
  lib::av_log(nullptr, AV_LOG_ERROR, "line\n");
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, Prefix() + "part 1, part two");
  EXPECT_EQ(got[0].index, -1);
  EXPECT_EQ(got[0].level, llInfo);
  // The prefix starts a message, not each line inside one.
  EXPECT_EQ(got[1].text, "next line");
  EXPECT_EQ(got[1].level, llError);
}

TEST_F(LogRelay, ThreadsKeepTheirUnfinishedLinesApart) {
  std::latch firstHalves(2);
  std::latch secondHalf(1);
  std::thread a([&] {
    lib::av_log(nullptr, AV_LOG_INFO, "a1 ");
    firstHalves.count_down();
    secondHalf.wait();
    lib::av_log(nullptr, AV_LOG_INFO, "a2\n");
  });
  lib::av_log(nullptr, AV_LOG_INFO, "m1 ");
  firstHalves.arrive_and_wait();
  lib::av_log(nullptr, AV_LOG_INFO, "m2\n");
  secondHalf.count_down();
  a.join();
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "m1 m2");
  EXPECT_EQ(got[1].text, "a1 a2");
}

TEST_F(LogRelay, EveryComponentGetsEveryLineWithItsOwnTask) {
  TTestConverter other;
  std::vector<TLine> otherLines;
  Listen(other, otherLines);
  TTempFolder folder;
  const int task = AddConversion(converter, TComponentClips::Get().Clip(0), folder.File("out.avi"));
  ASSERT_EQ(task, 0);
  {
    std::lock_guard lock(converter.ComponentLock);
    converter.Tasks.Items(0).ThreadID = CurrentThreadIdentifier();
  }
  {
    std::lock_guard lock(mutex);
    lines.clear();
    otherLines.clear();
  }
  lib::av_log(nullptr, AV_LOG_WARNING, "shared\n");
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].index, 0);
  EXPECT_EQ(got[0].text, "shared");
  std::lock_guard lock(mutex);
  ASSERT_EQ(otherLines.size(), 1u);
  EXPECT_EQ(otherLines[0].index, -1);
  EXPECT_EQ(otherLines[0].text, "shared");
}

TEST_F(LogRelay, LevelsFollowTheComponentsLogLevel) {
  lib::av_log(nullptr, AV_LOG_DEBUG, "hidden\n");
  EXPECT_TRUE(Lines().empty());
  converter.SetLogLevel(llDebug);
  lib::av_log(nullptr, AV_LOG_DEBUG, "debug\n");
  converter.SetLogLevel(llQuiet);
  lib::av_log(nullptr, AV_LOG_ERROR, "quiet\n");
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "debug");
  EXPECT_EQ(got[0].level, llDebug);
}

TEST_F(LogRelay, OverlongTextIsCutAtTheBufferAndTheThreadGoesOn) {
  const std::string longText(5000, 'x');
  lib::av_log(&source, AV_LOG_INFO, "%s", longText.c_str());
  lib::av_log(nullptr, AV_LOG_INFO, "after\n");
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text.size(), 2047u);
  EXPECT_EQ(got[0].text.substr(0, Prefix().size()), Prefix());
  EXPECT_EQ(got[1].text, "after");
}

TEST(ComponentSettings, ProgressIntervalHasAFloorAndDefaultsHold) {
  TVornConverter converter;
  EXPECT_EQ(converter.Version(), "2.2");
  EXPECT_EQ(converter.LogLevel(), llInfo);
  EXPECT_EQ(converter.ProgressInterval(), 500);
  EXPECT_EQ(converter.NextTaskIndex(), -1);
  EXPECT_EQ(converter.ThreadPriority, tpNormal);
  converter.SetProgressInterval(50);
  EXPECT_EQ(converter.ProgressInterval(), 100);
  converter.SetProgressInterval(101);
  EXPECT_EQ(converter.ProgressInterval(), 101);
}

TEST(ComponentSettings, LibraryLevelsMapOntoTheEngineScale) {
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_QUIET), -1);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_FATAL), 0);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_ERROR), 0);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_WARNING), 1);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_INFO), 1);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_VERBOSE), 2);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_DEBUG), 2);
  EXPECT_EQ(EngineLogLevelOf(AV_LOG_TRACE), 3);
}

}  // namespace
