#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ComponentTestSupport.h"

using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

class TInspectableTask : public TFFmpeg {
 public:
  using TCustomFFmpeg::FLibraryOptions;
};

class OptionRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    task.Reset();
  }
  TInspectableTask task;
};

// Sets TZ for one test and puts the previous zone back.
class TTimeZone {
 public:
  explicit TTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old, hadOne_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TTimeZone() {
    if (hadOne_)
      setenv("TZ", previous_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string previous_;
  bool hadOne_ = false;
};

TEST_F(OptionRecords, DefaultOutputRecordSetsNothingButItsFixedValues) {
  TOutputOptions options;
  TCustomVornConverter::InitOutputOptions(options);
  options.FileName = "out.avi";
  task.ApplyOptionText(options.ExtOptions);
  task.ApplyOutputOptions(options);
  task.ApplyTargetOptions(options);
  task.ApplyTimeRanges(options.HookTimeRanges);
  const TEngineSettings& s = task.Settings();
  EXPECT_TRUE(task.FLibraryOptions.Names.empty());
  EXPECT_EQ(s.CropTop + s.CropBottom + s.CropLeft + s.CropRight, 0);
  EXPECT_EQ(s.PadTop + s.PadBottom + s.PadLeft + s.PadRight, 0);
  EXPECT_EQ(s.PadColorY, 0);  // black
  EXPECT_EQ(s.PadColorU, 128);
  EXPECT_EQ(s.PadColorV, 128);
  EXPECT_EQ(s.AudioSyncMethod, 0);
  EXPECT_EQ(s.VideoSyncMethod, -1);
  EXPECT_EQ(s.FrameWidth, 0);  // no target
  EXPECT_TRUE(s.HookTimeRanges.empty());
  EXPECT_EQ(s.RecordTimestamp, 0);
  EXPECT_FALSE(s.AudioDisable || s.VideoDisable || s.SubtitleDisable || s.CopyTimestamps);
}

TEST_F(OptionRecords, FieldsBecomeEngineSettings) {
  TOutputOptions options;
  options.VideoBitrate = 300000;
  options.GOPSize = 12;
  options.DisableAudio = true;
  options.AudioLanguage = "eng";
  options.Duration = 1500;
  options.Year = 2008;
  AssignText(options.Title, std::string(600, 't'));
  AssignText(options.Genre, "A genre name longer than thirty-one characters");
  task.ApplyOutputOptions(options);
  const TEngineSettings& s = task.Settings();
  EXPECT_THAT(task.FLibraryOptions.Names, ::testing::UnorderedElementsAre("b", "g"));
  EXPECT_TRUE(s.AudioDisable);
  EXPECT_EQ(s.AudioLanguage, "eng");
  EXPECT_EQ(s.RecordingTime, 1500000);
  EXPECT_EQ(s.ExpectedTotalDurationMs, 1500);
  EXPECT_EQ(s.Year, 2008);
  EXPECT_EQ(s.Title, std::string(511, 't'));
  EXPECT_EQ(s.Genre, "A genre name longer than thirty");
}

TEST_F(OptionRecords, OptionTextGoesLineByLineAndFieldsOverrideIt) {
  TOutputOptions options;
  options.FrameSize = "64x48";
  task.ApplyOptionText("  vcodec=mpeg4\r\n=x\rs=320x240\n  ");
  task.ApplyOutputOptions(options);
  EXPECT_EQ(task.Settings().VideoCodecName, "mpeg4");
  EXPECT_EQ(task.Settings().FrameWidth, 64);
  EXPECT_EQ(task.Settings().FrameHeight, 48);
  EXPECT_THROW(task.ApplyOptionText("s=big"), FFMpegException);
}

TEST_F(OptionRecords, TimeRangesKeepOnlyWellFormedPieces) {
  task.ApplyTimeRanges(" 1000-2000, 5000-4000, 7000 ");
  EXPECT_THAT(task.Settings().HookTimeRanges, ElementsAre(Pair(1000000, 2000000)));
  // Ordered by end; a start that is no number counts as -1 ms, an end too large as well.
  task.ApplyTimeRanges("9000 - 9500,x-3,0-0,1-99999999999999999");
  EXPECT_THAT(task.Settings().HookTimeRanges,
              ElementsAre(Pair(0, 0), Pair(-1000, 3000), Pair(9000000, 9500000)));
  task.ApplyTimeRanges("");
  EXPECT_TRUE(task.Settings().HookTimeRanges.empty());
}

TEST_F(OptionRecords, TimestampZeroIsNowAndNegativeLeavesItAlone) {
  TOutputOptions options;
  options.Timestamp = 0.0;
  const std::int64_t before = std::time(nullptr);
  task.ApplyOutputOptions(options);
  const std::int64_t after = std::time(nullptr);
  EXPECT_GE(task.Settings().RecordTimestamp, before);
  EXPECT_LE(task.Settings().RecordTimestamp, after);
  task.ApplyOptionText("timestamp=2001-02-03 04:05:06");
  const std::int64_t set = task.Settings().RecordTimestamp;
  options.Timestamp = -1.0;
  task.ApplyOutputOptions(options);
  EXPECT_EQ(task.Settings().RecordTimestamp, set);
}

TEST_F(OptionRecords, TimestampIsLocalTimeWithItsOwnOffset) {
  TOutputOptions options;
  {
    TTimeZone utc("UTC");
    options.Timestamp = 25569.5;  // 1 January 1970, noon
    task.ApplyOutputOptions(options);
    EXPECT_EQ(task.Settings().RecordTimestamp, 43200);
  }
  TTimeZone central("CET-1CEST,M3.5.0,M10.5.0/3");
  options.Timestamp = 44013.5;  // 1 July 2020, noon summer time: 10:00 UTC
  task.ApplyOutputOptions(options);
  EXPECT_EQ(task.Settings().RecordTimestamp, 1593597600);
  options.Timestamp = 1e300;
  EXPECT_THROW(task.ApplyOutputOptions(options), std::invalid_argument);
}

class TaskSetUp : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true)); }
  TFFmpeg& Task(int index) { return converter.Tasks.Items(index); }
  const TComponentClips& clips = TComponentClips::Get();
  TTempFolder folder;
  TTestConverter converter;
};

TEST_F(TaskSetUp, AddInputFileFillsAnEmptyFileNameAndOpensTheInput) {
  TInputOptions input;
  TCustomVornConverter::InitInputOptions(input);
  EXPECT_EQ(converter.AddInputFile(clips.Clip(0), &input), 0);
  EXPECT_EQ(input.FileName, clips.Clip(0));
  EXPECT_EQ(Task(0).InputOptions.FileName, clips.Clip(0));
  EXPECT_EQ(Task(0).Probe.StreamCount(), 2);
  EXPECT_EQ(converter.AddInputFile(clips.Tone(), nullptr), 1);
  EXPECT_EQ(Task(1).Index, 1);
}

TEST_F(TaskSetUp, FailuresLeaveTheReasonAndNoTask) {
  const std::string missing = folder.File("missing.avi");
  EXPECT_EQ(converter.AddInputFile(missing, nullptr), -1);
  EXPECT_EQ(converter.LastErrorMessage, missing + ": no such file or directory");
  TInputOptions input;
  input.FileFormat = "no-such-format";
  EXPECT_EQ(converter.AddInputFile(clips.Clip(0), &input), -1);
  EXPECT_EQ(converter.LastErrorMessage, "Unknown input format: no-such-format");
  EXPECT_EQ(converter.TaskCount(), 0);

  ASSERT_EQ(converter.AddInputFile(clips.Clip(0), nullptr), 0);
  TOutputOptions output;
  output.FrameSize = "huge";
  output.Year = 1999;
  EXPECT_FALSE(converter.SetOutputFile(0, folder.File("out.avi"), &output));
  EXPECT_EQ(converter.LastErrorMessage, "Incorrect frame size");
  EXPECT_EQ(Task(0).Settings().Year, 0);  // nothing after the failing field
  EXPECT_EQ(converter.TaskCount(), 1);
  EXPECT_THROW(converter.SetOutputFile(5, folder.File("out.avi"), nullptr), std::out_of_range);
  EXPECT_THROW(converter.RemoveTask(5), std::out_of_range);
}

TEST_F(TaskSetUp, CustomHookWinsOverTheOtherHookChoices) {
  ASSERT_EQ(converter.AddInputFile(clips.Clip(0), nullptr), 0);
  TOutputOptions output;
  output.CustomHook = true;
  output.BeforeHook = true;
  output.HookTimeRanges = "0-1000";
  ASSERT_TRUE(converter.SetOutputFile(0, folder.File("out.avi"), &output))
      << converter.LastErrorMessage;
  EXPECT_EQ(output.FileName, folder.File("out.avi"));
  EXPECT_TRUE(static_cast<bool>(Task(0).OnCustomHook));
  EXPECT_FALSE(static_cast<bool>(Task(0).OnBeforeHook));
  EXPECT_TRUE(Task(0).Settings().HookTimeRanges.empty());
}

TEST_F(TaskSetUp, SvcdWithAutomaticNormFallsBackAsTold) {
  // Neither a rate of 15 nor a sound-only input tells the norm.
  for (const TNormType fallback : {ntNTSC, ntPAL}) {
    const int index = converter.AddInputFile(clips.Tone(), nullptr);
    ASSERT_GE(index, 0) << converter.LastErrorMessage;
    TOutputOptions output;
    output.FrameRate = "15";
    output.TargetType = ttSVCD;
    output.TargetNorm = ntAuto;
    output.DefaultNorm = fallback;
    ASSERT_TRUE(
        converter.SetOutputFile(index, folder.File(std::to_string(index) + ".mpg"), &output))
        << converter.LastErrorMessage;
    const TEngineSettings& s = Task(index).Settings();
    if (fallback == ntNTSC) {
      EXPECT_EQ(s.FrameHeight, 480);
      EXPECT_EQ(s.FrameRate.num, 30000);
      EXPECT_EQ(s.FrameRate.den, 1001);
    } else {
      EXPECT_EQ(s.FrameHeight, 576);
      EXPECT_EQ(s.FrameRate.num, 25);
      EXPECT_EQ(s.FrameRate.den, 1);
    }
  }
}

}  // namespace
