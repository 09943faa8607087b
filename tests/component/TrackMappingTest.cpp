// Every track and copying what fits, through the option records: the tracks each output
// gets, their settings, the chapters' times and what the log says about each stream.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"

namespace {

constexpr int kFrames = 50;

int CountOfText(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

class TrackMapping : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    clips_ = new TTempFolder;
    TClipRecipe recipe;
    recipe.formatName = "matroska";
    recipe.frames = kFrames;
    recipe.audioSeconds = kFrames / 25.0;
    recipe.moreAudioTracks = {1};
    recipe.defaultAudioTrack = 1;
    recipe.audioLanguages = {"eng", "spa"};
    recipe.subtitleLanguages = {"eng"};
    recipe.chapters = 2;
    MakeClip(Input(), recipe);
  }
  static void TearDownTestSuite() {
    delete clips_;
    clips_ = nullptr;
  }
  static std::string Input() { return clips_->File("languages.mkv"); }

  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    recorder.Attach(converter);
    converter.OnLog = [this](int, TLogLevel, const std::string& AMsg) {
      std::lock_guard lock(mutex);
      log += AMsg + "\n";
    };
  }

  // Converts the clip into output with the records; false after failing the test.
  void Convert(const std::string& output, const TOutputOptions& options,
               const TInputOptions& input = {}) {
    TInputOptions inputOptions = input;
    const int index = converter.AddInputFile(Input(), &inputOptions);
    ASSERT_GE(index, 0) << converter.LastErrorMessage;
    TOutputOptions outputOptions = options;
    ASSERT_TRUE(converter.SetOutputFile(index, output, &outputOptions))
        << converter.LastErrorMessage;
    converter.StartConvert(1);
    ASSERT_TRUE(recorder.WaitForRunEnd());
    const std::vector<TTerminateRecord> records = recorder.Records();
    ASSERT_FALSE(records.empty());
    ASSERT_FALSE(records.front().exception) << records.front().message;
  }
  std::string Log() {
    std::lock_guard lock(mutex);
    return log;
  }

  static TOutputOptions EveryTrack() {
    TOutputOptions options;
    options.VideoCodec = "mpeg4";
    options.AudioCodec = "mp2";
    options.KeepAllTracks = true;
    return options;
  }

  static inline TTempFolder* clips_ = nullptr;
  TTempFolder folder;
  TTerminateRecorder recorder;
  TTestConverter converter;
  std::mutex mutex;
  std::string log;
};

TEST_F(TrackMapping, EachAudioTrackKeepsItsOwnChannelsWhereTheOptionsLeaveThemOpen) {
  const std::string output = folder.File("out.mkv");
  ASSERT_NO_FATAL_FAILURE(Convert(output, EveryTrack()));
  const TMediaInfo info = DecodeMediaInfo(output);
  ASSERT_TRUE(info.opened);
  ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 2);
  EXPECT_EQ(info.streams[1].channels, 2);
  EXPECT_EQ(info.streams[2].channels, 1);
  EXPECT_GT(info.streams[2].decodedSamples, 0);
  ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_SUBTITLE), 1);
  EXPECT_EQ(info.streams[3].subtitleTexts.size(), 4u);
  EXPECT_EQ(info.chapters.size(), 2u);
}

TEST_F(TrackMapping, TracksBeyondWhatAnOutputFileTakesAreLeftOutAndTheRestConverts) {
  TClipRecipe recipe;
  recipe.frames = 5;
  recipe.audioSeconds = 0.2;
  recipe.moreAudioTracks.assign(69, 1);
  const std::string input = folder.File("seventy.mkv");
  ASSERT_NO_FATAL_FAILURE(MakeClip(input, recipe));
  TInputOptions inputOptions;
  const int index = converter.AddInputFile(input, &inputOptions);
  ASSERT_GE(index, 0) << converter.LastErrorMessage;
  TOutputOptions outputOptions = EveryTrack();
  const std::string output = folder.File("sixty-four.mkv");
  ASSERT_TRUE(converter.SetOutputFile(index, output, &outputOptions)) << converter.LastErrorMessage;
  converter.StartConvert(1);
  ASSERT_TRUE(recorder.WaitForRunEnd());
  ASSERT_FALSE(recorder.Records().front().exception) << recorder.Records().front().message;
  EXPECT_EQ(ReadMediaInfo(output).CountOfType(AVMEDIA_TYPE_AUDIO), 63);
  EXPECT_EQ(CountOfText(Log(), "left out: an output file takes at most 64 streams"), 7);
}

TEST_F(TrackMapping, ChaptersMoveWithTheInputsStartAndEndWithTheRecording) {
  TOutputOptions options = EveryTrack();
  options.Duration = 600;  // ms
  TInputOptions input;
  input.StartTime = 800;  // ms: the output runs from 0.8 s to 1.4 s of the input
  const std::string output = folder.File("cut.mkv");
  ASSERT_NO_FATAL_FAILURE(Convert(output, options, input));
  const TMediaInfo info = ReadMediaInfo(output);
  ASSERT_TRUE(info.opened);
  ASSERT_EQ(info.chapters.size(), 2u);
  EXPECT_EQ(info.chapters[0].title, "Chapter 1");
  EXPECT_NEAR(info.chapters[0].startSeconds, 0, 0.001);
  EXPECT_NEAR(info.chapters[0].endSeconds, 0.2, 0.05);
  EXPECT_NEAR(info.chapters[1].startSeconds, 0.2, 0.05);
  EXPECT_NEAR(info.chapters[1].endSeconds, 0.6, 0.05);
}

TEST_F(TrackMapping, ChaptersAndSubtitlesFollowAnOutputStartTime) {
  TOutputOptions options = EveryTrack();
  options.ExtOptions = "ss=0.8";
  options.Duration = 600;  // ms
  const std::string output = folder.File("later.mkv");
  ASSERT_NO_FATAL_FAILURE(Convert(output, options));
  const TMediaInfo info = DecodeMediaInfo(output);
  ASSERT_TRUE(info.opened);
  ASSERT_EQ(info.chapters.size(), 2u);
  EXPECT_NEAR(info.chapters[1].startSeconds, 0.2, 0.05);
  const TStreamInfo* cues = info.FirstOfType(AVMEDIA_TYPE_SUBTITLE);
  ASSERT_NE(cues, nullptr);
  ASSERT_FALSE(cues->subtitleTexts.empty());
  // The cue shown from 1 s of the input.
  EXPECT_NE(cues->subtitleTexts[0].find("eng cue 2"), std::string::npos) << cues->subtitleTexts[0];
  EXPECT_NEAR(cues->subtitleStarts[0], 0.2, 0.05);
}

TEST_F(TrackMapping, FittingStreamsAreCopiedAndEveryStreamIsAccountedFor) {
  TOutputOptions options = EveryTrack();
  options.CopyFittingStreams = true;
  options.AudioChannels = 2;  // the mono track does not fit
  const std::string output = folder.File("copy.mkv");
  ASSERT_NO_FATAL_FAILURE(Convert(output, options));
  const std::string text = Log();
  EXPECT_NE(text.find("Video stream #0.0 (mpeg4): copied"), std::string::npos) << text;
  EXPECT_NE(text.find("Audio stream #0.1 (mp2, eng): copied"), std::string::npos) << text;
  EXPECT_NE(text.find("Audio stream #0.2 (mp2, spa): re-encoded because its channel "
                      "count 1 differs from 2"),
            std::string::npos)
      << text;
  EXPECT_EQ(StreamPackets(output, AVMEDIA_TYPE_VIDEO), StreamPackets(Input(), AVMEDIA_TYPE_VIDEO));
  const TMediaInfo info = DecodeMediaInfo(output);
  ASSERT_TRUE(info.opened);
  ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 2);
  EXPECT_EQ(info.streams[2].channels, 2);
  EXPECT_EQ(info.streams[0].decodedFrames, kFrames);
}

}  // namespace
