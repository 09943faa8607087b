// The progress a conversion reports, as the window and the command line get it: the output's
// position never goes back and reaches the whole duration at the end, also where streams
// reorder, start at different times or end early.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "TestMediaTiming.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

constexpr int kFrames = 500;  // 20 s: several reports even on a fast machine

struct TProgressRecord {
  int currentMs;
  int totalMs;
};

class Progress : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    clips_ = new TTempFolder;
    TClipRecipe plain;
    plain.frames = kFrames;
    plain.audioSeconds = kFrames / 25.0;
    MakeClip(Clip("plain.avi"), plain);
    TClipRecipe tracks = plain;  // a second sound track half as long as the first
    tracks.moreAudioTracks = {1};
    MakeClip(Clip("tracks.mkv"), tracks);
    CopyWithStreamDelayed(Clip("tracks.mkv"), Clip("late-video.mkv"), AVMEDIA_TYPE_VIDEO, 1.5);
  }
  static void TearDownTestSuite() {
    delete clips_;
    clips_ = nullptr;
  }
  static std::string Clip(const std::string& name) { return clips_->File(name); }

  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    converter.SetProgressInterval(100);
    recorder.Attach(converter);
    converter.OnProgress = [this](int, int, int, int ACurrentDuration, float, float, std::int64_t,
                                  int ATotalOutputDuration) {
      std::lock_guard lock(mutex);
      reports.push_back({ACurrentDuration, ATotalOutputDuration});
    };
  }

  // Converts input into output and checks the reports it made.
  void ExpectSteadyProgress(const std::string& input, const std::string& output,
                            TOutputOptions options) {
    reports.clear();
    TInputOptions inputOptions;
    const int index = converter.AddInputFile(input, &inputOptions);
    ASSERT_GE(index, 0) << converter.LastErrorMessage;
    ASSERT_TRUE(converter.SetOutputFile(index, output, &options)) << converter.LastErrorMessage;
    converter.StartConvert(1);
    ASSERT_TRUE(recorder.WaitForRunEnd());
    ASSERT_TRUE(recorder.Records().front().finished) << recorder.Records().front().message;
    std::lock_guard lock(mutex);
    ASSERT_FALSE(reports.empty()) << output;
    for (std::size_t i = 1; i < reports.size(); ++i)
      EXPECT_GE(reports[i].currentMs, reports[i - 1].currentMs)
          << output << ": report " << i << " of " << reports.size() << " went back";
    EXPECT_GT(reports.back().totalMs, 0) << output;
    EXPECT_GE(reports.back().currentMs, reports.back().totalMs)
        << output << ": ended short of 100%";
    // The output's decoded length agrees with what the reports claim to have converted.
    const TMediaInfo info = DecodeMediaInfo(output);
    ASSERT_TRUE(info.opened) << output;
    EXPECT_NEAR(info.durationUs / 1000.0, reports.back().totalMs, 1000) << output;
  }

  TTestConverter converter;
  TTerminateRecorder recorder;
  std::mutex mutex;
  std::vector<TProgressRecord> reports;
  static TTempFolder* clips_;
  TTempFolder out;
};

TTempFolder* Progress::clips_ = nullptr;

TOutputOptions EveryTrack() {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "mp2";
  options.KeepAllTracks = true;
  return options;
}

}  // namespace

TEST_F(Progress, ReorderedPicturesIntoMovNeverGoBack) {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "aac";
  options.ExtOptions = "bf=2";
  ExpectSteadyProgress(Clip("plain.avi"), out.File("bframes.mov"), options);
}

TEST_F(Progress, AShorterTrackDoesNotHoldTheFileBack) {
  ExpectSteadyProgress(Clip("tracks.mkv"), out.File("tracks.mkv"), EveryTrack());
}

TEST_F(Progress, SoundStartingBeforeThePicturesCountsFromTheStart) {
  ExpectSteadyProgress(Clip("late-video.mkv"), out.File("late-video.mkv"), EveryTrack());
}
