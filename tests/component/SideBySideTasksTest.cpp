// Tasks that run side by side change nothing that belongs to the whole process: the
// libraries' log level, the current directory, PATH. Each task's library lines are filtered
// by that task's own level.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "ComponentTestSupport.h"
#include "binding/AVUtilHlpr.h"
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

namespace {

namespace fs = std::filesystem;

const std::string kHook = std::string(TOVRENA_TEST_HOOK_DIR) + "/libTestHook.so";

struct TLine {
  int index;
  TLogLevel level;
  std::string text;
};

class TLineRecorder {
 public:
  void Attach(TCustomVornConverter& converter) {
    converter.OnLog = [this](int AIndex, TLogLevel ALevel, const std::string& AMsg) {
      std::lock_guard lock(mutex_);
      lines_.push_back({AIndex, ALevel, AMsg});
    };
  }
  std::vector<TLine> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<TLine> lines_;
};

bool HasLine(const std::vector<TLine>& lines, int index, const std::string& part) {
  for (const TLine& line : lines)
    if (line.index == index && line.text.find(part) != std::string::npos) return true;
  return false;
}

TInputOptions InputOf(const std::string& fileName) {
  TInputOptions input;
  input.FileName = fileName;
  return input;
}

TOutputOptions OutputOf(const std::string& fileName, const std::string& extOptions = {}) {
  TOutputOptions output;
  output.FileName = fileName;
  output.VideoCodec = "mpeg4";
  output.AudioCodec = "mp2";
  output.ExtOptions = extOptions;
  return output;
}

std::string PathVariable() {
  const char* value = std::getenv("PATH");
  return value ? value : "";
}

// Two hooked jobs and the window's file check at once (run under ThreadSanitizer too): each
// job holds its first picture until a check has passed meanwhile, so they overlap on any
// machine. Each output carries its own hook's picture, and nothing process-wide moved.
TEST(SideBySideTasks, TwoHookedJobsAndAFileCheckRunAtOnce) {
  TTestConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  const fs::path directoryBefore = fs::current_path();
  const std::string pathBefore = PathVariable();
  const int levelBefore = lib::av_log_get_level();

  const std::string outputs[2] = {folder.File("dark.avi"), folder.File("light.avi")};
  const int lumas[2] = {40, 200};
  // One hook text with blanks, one with "|": both ways of splitting it.
  const std::string hooks[2] = {"vhook=" + kHook + " set:40", "vhook=" + kHook + "|set:200"};
  for (int i = 0; i < 2; ++i) {
    TInputOptions input = InputOf(clips.Clip(i));
    const int index = converter.AddInputFile(input.FileName, &input);
    ASSERT_EQ(index, i) << converter.LastErrorMessage;
    TOutputOptions output = OutputOf(outputs[i], hooks[i]);
    output.BeforeHook = true;
    ASSERT_TRUE(converter.SetOutputFile(index, outputs[i], &output)) << converter.LastErrorMessage;
  }

  std::mutex mutex;
  std::condition_variable changed;
  int checksPassed = 0;
  bool runEnded = false;
  converter.OnBeforeHook = [&](int, std::int64_t, THookAction& AAction) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return checksPassed > 0; });
    AAction = haContinue;
  };
  TTerminateRecorder ends;
  ends.Attach(converter);
  const auto recordEnd = converter.OnTerminate;
  converter.OnTerminate = [&](int AIndex, bool AFinished, bool AException,
                              const std::string& AMessage) {
    recordEnd(AIndex, AFinished, AException, AMessage);
    if (AIndex != -1) return;
    std::lock_guard lock(mutex);
    runEnded = true;
  };

  converter.StartConvert(2);
  std::atomic<int> failedChecks{0};
  std::thread checker([&] {
    for (int round = 0;; ++round) {
      const TFileCheck check = converter.CheckFile(
          InputOf(clips.Clip(2)), OutputOf(folder.File("check" + std::to_string(round) + ".avi")));
      if (!check.Passed()) ++failedChecks;
      std::lock_guard lock(mutex);
      ++checksPassed;
      changed.notify_all();
      if (runEnded) return;
    }
  });
  ASSERT_TRUE(ends.WaitForRunEnd());
  checker.join();

  ends.ExpectOneEndEachThenRunEnd(2);
  for (const TTerminateRecord& end : ends.Records())
    EXPECT_FALSE(end.exception) << end.index << ": " << end.message;
  EXPECT_EQ(failedChecks.load(), 0);
  EXPECT_EQ(fs::current_path(), directoryBefore);
  EXPECT_EQ(PathVariable(), pathBefore);
  EXPECT_EQ(lib::av_log_get_level(), levelBefore);
  for (int i = 0; i < 2; ++i) {
    const TMediaInfo info = DecodeMediaInfo(outputs[i]);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr) << outputs[i];
    EXPECT_EQ(video->decodedFrames, TComponentClips::kFrames);
    for (int corner : video->cornerLuma) EXPECT_NEAR(corner, lumas[i], 4) << outputs[i];
  }
}

// The window checks each added file, also while a conversion runs. The check's own lines
// stay quiet, and the running conversion still gets the libraries' lines on its listener
// after it: a line logged on the job's thread once the check is over, and the output's
// description the libraries write.
TEST(SideBySideTasks, AConversionStillGetsItsLibraryLinesAfterACheck) {
  TTestConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  TLineRecorder lines;
  lines.Attach(converter);
  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  const int levelBefore = lib::av_log_get_level();

  TInputOptions input = InputOf(clips.Clip(0));
  ASSERT_EQ(converter.AddInputFile(input.FileName, &input), 0) << converter.LastErrorMessage;
  // The picture hook of a job runs only with a module in use; this one changes nothing.
  TOutputOptions output = OutputOf(folder.File("out.avi"), "vhook=" + kHook + " add:0");
  output.BeforeHook = true;
  ASSERT_TRUE(converter.SetOutputFile(0, output.FileName, &output)) << converter.LastErrorMessage;

  std::mutex mutex;
  std::condition_variable changed;
  bool atPicture = false, checked = false;
  converter.OnBeforeHook = [&](int, std::int64_t, THookAction& AAction) {
    AAction = haContinue;
    std::unique_lock lock(mutex);
    if (atPicture) return;
    atPicture = true;
    changed.notify_all();
    changed.wait(lock, [&] { return checked; });
    lib::av_log(nullptr, AV_LOG_INFO, "a library line after the check\n");
  };
  TTerminateRecorder ends;
  ends.Attach(converter);
  lines.Take();  // the input's description as the task was added
  converter.StartConvert(1);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return atPicture; }));
  }
  TFileCheck check;
  std::thread adder([&] {
    check = converter.CheckFile(InputOf(clips.Clip(1)), OutputOf(folder.File("checked.avi")));
  });
  adder.join();
  {
    std::lock_guard lock(mutex);
    checked = true;
    changed.notify_all();
  }
  ASSERT_TRUE(ends.WaitForRunEnd());
  ends.ExpectOneEndEachThenRunEnd(1);
  ASSERT_TRUE(check.Passed()) << check.Reason;
  EXPECT_EQ(lib::av_log_get_level(), levelBefore);

  const std::vector<TLine> got = lines.Take();
  EXPECT_TRUE(HasLine(got, 0, "a library line after the check"));
  EXPECT_TRUE(HasLine(got, 0, "Output #0, avi"));
  for (const TLine& line : got) EXPECT_EQ(line.index, 0) << line.text;
  EXPECT_EQ(DecodeMediaInfo(output.FileName).FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames,
            TComponentClips::kFrames);
}

// Lines are filtered by the level of the task they belong to: the engine this thread works
// for, else the one whose object logged them; only lines no task owns follow the
// component's level.
TEST(SideBySideTasks, EachTaskFiltersItsOwnLibraryLines) {
  TTestConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  converter.SetLogLevel(llInfo);
  TLineRecorder lines;
  lines.Attach(converter);
  TFFmpeg quiet, chatty;
  quiet.SetVerbosity(llQuiet - 1);
  chatty.SetVerbosity(llDebug - 1);

  std::thread quietThread([&] {
    const TLogOwnerScope owner(&quiet);
    lib::av_log(nullptr, AV_LOG_ERROR, "quiet task's error\n");
  });
  quietThread.join();
  std::thread chattyThread([&] {
    const TLogOwnerScope owner(&chatty);
    lib::av_log(nullptr, AV_LOG_DEBUG, "chatty task's debug\n");
  });
  chattyThread.join();
  // From a thread of the libraries' own, traced through the object that logged.
  TCodecContextPtr codec(lib::avcodec_alloc_context3(nullptr));
  ASSERT_TRUE(codec);
  codec->opaque = static_cast<TCustomFFmpeg*>(&quiet);
  std::thread codecThread([&] { lib::av_log(codec.get(), AV_LOG_ERROR, "quiet codec\n"); });
  codecThread.join();
  lib::av_log(nullptr, AV_LOG_DEBUG, "nobody's debug\n");
  lib::av_log(nullptr, AV_LOG_INFO, "nobody's info\n");

  std::vector<std::string> texts;
  for (const TLine& line : lines.Take()) texts.push_back(line.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"chatty task's debug", "nobody's info"}));
}

}  // namespace
