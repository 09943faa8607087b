#include <gtest/gtest.h>

#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <latch>
#include <mutex>
#include <thread>

#include "ComponentTestSupport.h"
#include "binding/AVCodecHlpr.h"
#include "binding/AVFilterHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/MediaPointers.h"
#include "component/LogRelay.h"

namespace {

const char* TesterName(void*) {
  return "tester";
}

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

// With codec threads, the libraries log from threads of their own; such lines belong to
// the task whose context logged them, not to no task.
TEST_F(LogRelay, LinesFromCodecThreadsCarryTheirTask) {
  struct TThreadLine {
    int index;
    std::uint32_t thread;
    std::string text;
  };
  std::vector<TThreadLine> threadLines;
  converter.OnLog = [&](int AIndex, TLogLevel, const std::string& AMsg) {
    std::lock_guard lock(mutex);
    threadLines.push_back({AIndex, CurrentThreadIdentifier(), AMsg});
  };
  std::uint32_t jobThread = 0;
  TTerminateRecorder ends;
  ends.Attach(converter);
  const auto recordEnd = converter.OnTerminate;
  converter.OnTerminate = [&](int AIndex, bool AFinished, bool AException,
                              const std::string& AMsg) {
    if (AIndex == 0) jobThread = CurrentThreadIdentifier();
    recordEnd(AIndex, AFinished, AException, AMsg);
  };
  converter.ThreadCount = 2;
  converter.SetLogLevel(llAll);
  TTempFolder folder;
  ASSERT_EQ(AddConversion(converter, TComponentClips::Get().Clip(0), folder.File("out.avi")), 0);
  converter.StartConvert(1);
  ASSERT_TRUE(ends.WaitForRunEnd());
  converter.SetLogLevel(llInfo);
  ends.ExpectOneEndEachThenRunEnd(1);
  ASSERT_NE(jobThread, 0u);

  // The test's own thread probed the input; the decoder's frame thread logs the format it
  // chose for its first picture.
  const std::uint32_t testThread = CurrentThreadIdentifier();
  std::lock_guard lock(mutex);
  int fromCodecThreads = 0;
  for (const TThreadLine& line : threadLines) {
    if (line.thread == jobThread || line.thread == testThread) continue;
    EXPECT_EQ(line.index, 0) << line.text;
    ++fromCodecThreads;
  }
  EXPECT_GT(fromCodecThreads, 0);
}

// A library object that names its parent for logging, as the libraries' child objects do.
struct TChildSource {
  const AVClass* descriptor;
  void* parent;
};
AVClass MakeChildClass() {
  AVClass descriptor = MakeTesterClass();
  descriptor.class_name = "Child";
  descriptor.parent_log_context_offset = offsetof(TChildSource, parent);
  return descriptor;
}
const AVClass kChildClass = MakeChildClass();

TEST_F(LogRelay, ChildObjectsAndFiltersAreTracedToTheEngineOfTheirContext) {
  TTempFolder folder;
  ASSERT_EQ(AddConversion(converter, TComponentClips::Get().Clip(0), folder.File("out.avi")), 0);
  void* const engine = static_cast<TCustomFFmpeg*>(&converter.Tasks.Items(0));
  TCodecContextPtr codec(lib::avcodec_alloc_context3(nullptr));
  TFilterGraphPtr graph(lib::avfilter_graph_alloc());
  ASSERT_TRUE(codec && graph);
  codec->opaque = engine;
  graph->opaque = engine;
  AVFilterContext* filter = nullptr;
  ASSERT_GE(lib::avfilter_graph_create_filter(&filter, lib::avfilter_get_by_name("null"), "pass",
                                              nullptr, nullptr, graph.get()),
            0);
  TChildSource child{&kChildClass, codec.get()};
  TChildSource grandChild{&kChildClass, &child};
  // A chain that comes back to itself ends the search instead of looping.
  TChildSource loop{&kChildClass, nullptr};
  loop.parent = &loop;
  {
    std::lock_guard lock(mutex);
    lines.clear();
  }
  lib::av_log(&grandChild, AV_LOG_WARNING, "from a child\n");
  lib::av_log(filter, AV_LOG_WARNING, "from a filter\n");
  lib::av_log(&loop, AV_LOG_WARNING, "from a loop\n");
  const std::vector<TLine> got = Lines();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].index, 0);
  EXPECT_EQ(got[1].index, 0);
  EXPECT_EQ(got[2].index, -1);
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
