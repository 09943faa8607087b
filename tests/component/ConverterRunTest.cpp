#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "ComponentTestSupport.h"
#include "component/AVProbe.h"

namespace {

class ConverterRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    recorder.Attach(converter);
  }
  std::string Output(int number) const {
    return folder.File("out" + std::to_string(number) + ".avi");
  }
  void AddAll() {
    for (int i = 0; i < TComponentClips::kClipCount; ++i)
      ASSERT_EQ(AddConversion(converter, clips.Clip(i), Output(i)), i);
  }
  void ExpectConverted(int number) const {
    const TMediaInfo info = ReadMediaInfo(Output(number));
    ASSERT_TRUE(info.opened) << Output(number);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->packets, TComponentClips::kFrames);
    EXPECT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  }

  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  TTerminateRecorder recorder;
  TTestConverter converter;
};

TEST_F(ConverterRun, OneAtATimeRunsEveryTaskInOrder) {
  AddAll();
  std::mutex mutex;
  std::vector<int> progressIndices;
  converter.OnProgress = [&](int AIndex, int, int, int, float, float, std::int64_t, int) {
    std::lock_guard lock(mutex);
    progressIndices.push_back(AIndex);
  };
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
  const std::vector<TTerminateRecord> records = recorder.Records();
  for (int i = 0; i < TComponentClips::kClipCount; ++i) {
    EXPECT_EQ(records[static_cast<std::size_t>(i)].index, i);
    EXPECT_TRUE(records[static_cast<std::size_t>(i)].finished);
    EXPECT_FALSE(records[static_cast<std::size_t>(i)].exception);
    ExpectConverted(i);
  }
  EXPECT_EQ(converter.FinishedCount(), TComponentClips::kClipCount);
  EXPECT_EQ(converter.PendingCount(), 0);
  std::lock_guard lock(mutex);
  ASSERT_FALSE(progressIndices.empty());
  EXPECT_TRUE(std::is_sorted(progressIndices.begin(), progressIndices.end()));
}

TEST_F(ConverterRun, TwoAtATimeRunsEveryTaskOnce) {
  AddAll();
  converter.StartConvert(2);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
  for (int i = 0; i < TComponentClips::kClipCount; ++i) ExpectConverted(i);
}

TEST_F(ConverterRun, MainThreadModeRunsEachTaskOnThePostersThread) {
  // A stand-in for the front end's event loop: delayed calls queued and run on this thread.
  std::deque<std::function<void()>> queue;
  std::mutex mutex;
  TTestConverter mainThread([&](int DelayMs, std::function<void()> Call) {
    EXPECT_EQ(DelayMs, 100);
    std::lock_guard lock(mutex);
    queue.push_back(std::move(Call));
  });
  TTerminateRecorder ends;
  ends.Attach(mainThread);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(AddConversion(mainThread, clips.Clip(i), Output(i)), i);
  mainThread.StartConvert(0);
  while (ends.RunEnds() == 0) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex);
      ASSERT_FALSE(queue.empty()) << "the run stalled";
      call = std::move(queue.front());
      queue.pop_front();
    }
    call();
  }
  ends.ExpectOneEndEachThenRunEnd(2);
  for (const TTerminateRecord& record : ends.Records())
    EXPECT_EQ(record.thread, std::this_thread::get_id());
  ExpectConverted(0);
  ExpectConverted(1);
}

TEST_F(ConverterRun, MainThreadModeWithoutAPosterStillRunsEveryTask) {
  AddAll();
  converter.StartConvert(0);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(TComponentClips::kClipCount);
  const std::vector<TTerminateRecord> records = recorder.Records();
  for (int i = 0; i < TComponentClips::kClipCount; ++i)
    EXPECT_EQ(records[static_cast<std::size_t>(i)].index, i);
}

TEST_F(ConverterRun, TaskWithoutOutputEndsWithItsErrorAndTheRunGoesOn) {
  ASSERT_EQ(AddConversion(converter, clips.Clip(0), Output(0)), 0);
  ASSERT_EQ(converter.AddInputFile(clips.Clip(1), nullptr), 1);
  ASSERT_EQ(AddConversion(converter, clips.Clip(2), Output(2)), 2);
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  recorder.ExpectOneEndEachThenRunEnd(3);
  const std::vector<TTerminateRecord> records = recorder.Records();
  EXPECT_TRUE(records[0].finished);
  EXPECT_TRUE(records[1].exception);
  EXPECT_EQ(records[1].message, "Must supply at least one output file");
  EXPECT_TRUE(records[2].finished);
}

TEST_F(ConverterRun, ASecondRunOfEndedTasksEndsAtOnceInsteadOfHanging) {
  ASSERT_EQ(AddConversion(converter, clips.Clip(0), Output(0)), 0);
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  TTerminateRecorder second;
  second.Attach(converter);
  converter.StartConvert(1);
  ASSERT_TRUE(second.WaitForRunEnd(std::chrono::seconds(10)));
  second.ExpectOneEndEachThenRunEnd(1);
}

TEST_F(ConverterRun, EmptyListRaisesNothing) {
  converter.StartConvert(1);
  EXPECT_EQ(converter.PendingCount(), 0);
  EXPECT_FALSE(recorder.WaitForRunEnd(std::chrono::milliseconds(200)));
  EXPECT_TRUE(recorder.Records().empty());
}

TEST_F(ConverterRun, RecordMetadataReachesTheOutput) {
  ASSERT_EQ(converter.AddInputFile(clips.Clip(0), nullptr), 0);
  TOutputOptions output;
  output.VideoCodec = "mpeg4";
  output.AudioCodec = "mp2";
  AssignText(output.Title, "A title");
  AssignText(output.Author, "An author");
  output.Year = 2008;
  const std::string file = folder.File("tagged.mkv");
  ASSERT_TRUE(converter.SetOutputFile(0, file, &output)) << converter.LastErrorMessage;
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  TAVProbe probe;
  ASSERT_TRUE(probe.Open(file, "")) << probe.LastError();
  TAVFileInfo info;
  probe.GetInfo(info);
  EXPECT_STREQ(info.Title, "A title");
  EXPECT_STREQ(info.Author, "An author");
  EXPECT_EQ(info.Year, 2008);
  EXPECT_NEAR(info.Duration / 1e6, TComponentClips::kFrames / 25.0, 0.2);
}

}  // namespace
