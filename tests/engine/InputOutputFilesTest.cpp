#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"

using ::testing::HasSubstr;

namespace {

class InputOutputFiles : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    MakeClip(Clip("av.avi"), {});
    TClipRecipe pal;
    pal.width = 720;
    pal.height = 576;
    pal.frames = 5;
    pal.sampleAspect = {16, 15};
    MakeClip(Clip("pal43.avi"), pal);
    pal.sampleAspect = {0, 1};
    MakeClip(Clip("palsquare.avi"), pal);
    TClipRecipe silent;
    silent.frames = 5;
    silent.audioSeconds = 0;
    MakeClip(Clip("silent.avi"), silent);
    TClipRecipe tone;
    tone.frames = 0;
    tone.audioSeconds = 2;
    tone.audioCodec = AV_CODEC_ID_PCM_S16LE;
    MakeClip(Clip("tone.wav"), tone);
  }
  void SetUp() override {
    TMediaTest::SetUp();
    engine.FSettings.Verbosity = -1;  // keep the format dumps out of the test log
    engine.Reset();
    engine.FSettings.Verbosity = -1;
  }
  AVStream* OutputStream(int file, AVMediaType type) {
    AVFormatContext* output = engine.OutputFile(file);
    for (unsigned i = 0; i < output->nb_streams; ++i)
      if (engine.FPlan.OutputStreams[file][i].Codec->codec_type == type) return output->streams[i];
    return nullptr;
  }

  TTestEngine engine;
};

std::int64_t StartOf(const AVFormatContext* input) {
  return input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time;
}

}  // namespace

TEST_F(InputOutputFiles, MissingInputGivesTheNoSuchFileText) {
  const std::string missing = folder.File("missing.avi");
  EXPECT_FALSE(engine.OpenInput(missing));
  EXPECT_EQ(engine.ErrorText(), missing + ": no such file or directory");
  EXPECT_EQ(engine.InputFileCount(), 0);
}

TEST_F(InputOutputFiles, AFileAddressAsOutputIsRefusedAndTheFileThereKept) {
  const std::string kept = folder.File("kept.avi");
  WriteTextFile(kept, "the user's own");
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi"))) << engine.ErrorText();
  const std::string address = "file://" + kept;
  EXPECT_FALSE(engine.OpenOutput(address));
  EXPECT_NE(engine.ErrorText().find(address), std::string::npos) << engine.ErrorText();
  EXPECT_EQ(ReadTextFile(kept), "the user's own");
}

TEST_F(InputOutputFiles, InputTakesOverItsStreamParameters) {
  engine.FSettings.ForcedOutputFormat = lib::av_guess_format("avi", nullptr, nullptr);
  engine.FSettings.FrameWidth = 1000;
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi"))) << engine.ErrorText();
  const TEngineSettings& s = engine.FSettings;
  EXPECT_EQ(s.FrameWidth, 160);
  EXPECT_EQ(s.FrameHeight, 120);
  EXPECT_EQ(s.FramePixelFormat, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(s.FrameRate.num, 25);
  EXPECT_EQ(s.FrameRate.den, 1);
  EXPECT_EQ(s.AudioSampleRate, 44100);
  EXPECT_EQ(s.AudioChannels, 2);
  EXPECT_NEAR(s.FrameAspectRatio, 160.0 / 120.0, 1e-4);
  EXPECT_EQ(s.ForcedOutputFormat, nullptr);  // consumed by the input
}

TEST_F(InputOutputFiles, AspectRatioComesFromTheSampleAspectOrTheFrameSize) {
  ASSERT_TRUE(engine.OpenInput(Clip("pal43.avi"))) << engine.ErrorText();
  EXPECT_NEAR(engine.FSettings.FrameAspectRatio, 4.0 / 3.0, 1e-4);
  ASSERT_TRUE(engine.OpenInput(Clip("palsquare.avi")));
  EXPECT_NEAR(engine.FSettings.FrameAspectRatio, 1.25, 1e-4);
}

TEST_F(InputOutputFiles, ExpectedDurationIsTheLongestInput) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  const int first = engine.FSettings.ExpectedTotalDurationMs;
  EXPECT_NEAR(first, 1000, 100);
  ASSERT_TRUE(engine.OpenInput(Clip("tone.wav")));
  EXPECT_NEAR(engine.FSettings.ExpectedTotalDurationMs, 2000, 50);
}

TEST_F(InputOutputFiles, StartTimeSeeksTheFirstInputOnly) {
  engine.FSettings.StartTime = 500000;
  engine.FSettings.InputTimeOffset = 100000;
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  EXPECT_EQ(engine.FSettings.StartTime, 0);
  EXPECT_EQ(engine.FPlan.InputFilesTsOffset[0], 100000 - 500000 - StartOf(engine.InputFile(0)));
  ASSERT_TRUE(engine.OpenInput(Clip("tone.wav")));
  EXPECT_EQ(engine.FPlan.InputFilesTsOffset[1], 100000 - StartOf(engine.InputFile(1)));

  engine.Reset();
  engine.FSettings.Verbosity = -1;
  engine.FSettings.StartTime = 500000;
  engine.FSettings.CopyTimestamps = true;
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  EXPECT_EQ(engine.FPlan.InputFilesTsOffset[0], 0);  // copied time stamps keep their origin
}

TEST_F(InputOutputFiles, UnknownDecoderNameFailsAndIsConsumed) {
  engine.FSettings.VideoCodecName = "nosuchcodec";
  EXPECT_FALSE(engine.OpenInput(Clip("av.avi")));
  EXPECT_EQ(engine.ErrorText(), "Unknown decoder 'nosuchcodec'");
  EXPECT_TRUE(engine.FSettings.VideoCodecName.empty());
  engine.FSettings.AudioCodecName = "mpeg4";
  EXPECT_FALSE(engine.OpenInput(Clip("av.avi")));
  EXPECT_EQ(engine.ErrorText(), "Invalid decoder type 'mpeg4'");
}

TEST_F(InputOutputFiles, MoreThanTwentyInputsAreRefused) {
  for (int i = 0; i < kMaxFiles; ++i) ASSERT_TRUE(engine.OpenInput(Clip("tone.wav")));
  EXPECT_FALSE(engine.OpenInput(Clip("tone.wav")));
  EXPECT_THAT(engine.ErrorText(), HasSubstr("Too many input files"));
  EXPECT_EQ(engine.InputFileCount(), kMaxFiles);
}

TEST_F(InputOutputFiles, OutputGetsOnlyTheStreamTypesTheInputsHave) {
  ASSERT_TRUE(engine.OpenInput(Clip("tone.wav")));
  ASSERT_TRUE(engine.OpenOutput(folder.File("audio.avi"))) << engine.ErrorText();
  EXPECT_EQ(OutputStream(0, AVMEDIA_TYPE_VIDEO), nullptr);
  ASSERT_NE(OutputStream(0, AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(engine.FPlan.OutputStreams[0][0].Codec->sample_rate, 44100);
}

TEST_F(InputOutputFiles, VideoDisableIsConsumedByOneOutput) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  engine.FSettings.VideoDisable = true;
  ASSERT_TRUE(engine.OpenOutput(folder.File("novideo.avi")));
  EXPECT_EQ(OutputStream(0, AVMEDIA_TYPE_VIDEO), nullptr);
  ASSERT_TRUE(engine.OpenOutput(folder.File("video.avi")));
  AVStream* video = OutputStream(1, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  const AVCodecContext* codec = engine.FPlan.OutputStreams[1][video->index].Codec.get();
  EXPECT_EQ(codec->codec_id, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(codec->width, 160);
  EXPECT_EQ(codec->time_base.num, 1);
  EXPECT_EQ(codec->time_base.den, 25);
}

TEST_F(InputOutputFiles, StreamCopyTakesTheSampleAspectFromTheFrameAspect) {
  ASSERT_TRUE(engine.OpenInput(Clip("pal43.avi")));
  engine.FSettings.VideoStreamCopy = true;
  ASSERT_TRUE(engine.OpenOutput(folder.File("copy.avi")));
  AVStream* video = OutputStream(0, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_TRUE(engine.FPlan.OutputStreams[0][video->index].StreamCopy);
  EXPECT_EQ(video->sample_aspect_ratio.num, 16);
  EXPECT_EQ(video->sample_aspect_ratio.den, 15);
  EXPECT_FALSE(engine.FSettings.VideoStreamCopy);
}

TEST_F(InputOutputFiles, FrameRateSnapsToTheNearestTheEncoderSupports) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  engine.FSettings.FrameRate = {26, 1};
  engine.FSettings.VideoCodecName = "mpeg1video";
  ASSERT_TRUE(engine.OpenOutput(folder.File("rate.mpg"))) << engine.ErrorText();
  const AVCodecContext* codec = engine.FPlan.OutputStreams[0][0].Codec.get();
  EXPECT_EQ(codec->time_base.num, 1);
  EXPECT_EQ(codec->time_base.den, 25);

  engine.FSettings.FrameRate = {29, 1};
  engine.FSettings.VideoCodecName = "mpeg1video";
  ASSERT_TRUE(engine.OpenOutput(folder.File("rate2.mpg")));
  EXPECT_EQ(engine.FPlan.OutputStreams[1][0].Codec->time_base.num, 1001);
  EXPECT_EQ(engine.FPlan.OutputStreams[1][0].Codec->time_base.den, 30000);
}

TEST_F(InputOutputFiles, RateControlOverridesAreParsed) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  engine.FSettings.RcOverride = "0,100,5/101,200,-50";
  ASSERT_TRUE(engine.OpenOutput(folder.File("rc.avi"))) << engine.ErrorText();
  const AVCodecContext* codec = engine.FPlan.OutputStreams[0][0].Codec.get();
  ASSERT_EQ(codec->rc_override_count, 2);
  EXPECT_EQ(codec->rc_override[0].start_frame, 0);
  EXPECT_EQ(codec->rc_override[0].end_frame, 100);
  EXPECT_EQ(codec->rc_override[0].qscale, 5);
  EXPECT_FLOAT_EQ(codec->rc_override[0].quality_factor, 1.0f);
  EXPECT_EQ(codec->rc_override[1].start_frame, 101);
  EXPECT_EQ(codec->rc_override[1].qscale, 0);
  EXPECT_FLOAT_EQ(codec->rc_override[1].quality_factor, 0.5f);

  for (const char* broken : {"0,100", "0", "a,1,2", ""}) {
    engine.FSettings.RcOverride = broken;
    if (*broken == '\0') continue;
    EXPECT_FALSE(engine.OpenOutput(folder.File("rcbad.avi")));
    EXPECT_EQ(engine.ErrorText(), "new_video_stream fail: error parsing rc_override") << broken;
  }
}

TEST_F(InputOutputFiles, OutputRefusals) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  engine.FSettings.VideoFilters = "scale=320:240";
  engine.FSettings.CropTop = 2;
  EXPECT_FALSE(engine.OpenOutput(folder.File("a.avi")));
  EXPECT_EQ(engine.ErrorText(), "Cannot enable crop options and filters at the same time.");
  engine.FSettings.CropTop = 0;
  engine.FSettings.VideoFilters = "hflip,Scale=320:240";
  engine.FSettings.PadTop = 2;
  EXPECT_FALSE(engine.OpenOutput(folder.File("a.avi")));
  EXPECT_EQ(engine.ErrorText(),
            "Cannot enable pad options and the filters which resize frame at the same time. "
            "(crop, rotate, scale, transpose, etc.)");
  engine.FSettings.VideoFilters = "hflip";
  EXPECT_TRUE(engine.OpenOutput(folder.File("a.avi"))) << engine.ErrorText();
  EXPECT_TRUE(engine.FSettings.UseFilterGraph);

  const std::string odd = folder.File("out.unknownext");
  EXPECT_FALSE(engine.OpenOutput(odd));
  EXPECT_EQ(engine.ErrorText(), "Unable to find a suitable output format for '" + odd + "'");

  engine.FSettings.VideoCodecName = "nosuch";
  EXPECT_FALSE(engine.OpenOutput(folder.File("b.avi")));
  EXPECT_EQ(engine.ErrorText(), "new_video_stream fail: Unknown encoder 'nosuch'");
  EXPECT_EQ(engine.OutputFileCount(), 1);
}

// A refusal after some streams were prepared leaves nothing behind: no file, no stream that
// the next output would inherit, no forced format for it.
TEST_F(InputOutputFiles, AnOutputRefusedHalfwayLeavesNothingForTheNext) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  const std::string refused = folder.File("refused.avi");
  engine.SetOutputFormat("avi");
  engine.FSettings.AudioCodecName = "nosuch";
  EXPECT_FALSE(engine.OpenOutput(refused));
  EXPECT_EQ(engine.ErrorText(), "new_audio_stream fail: Unknown encoder 'nosuch'");
  EXPECT_FALSE(std::filesystem::exists(refused));
  EXPECT_EQ(engine.FSettings.ForcedOutputFormat, nullptr);
  EXPECT_EQ(engine.OutputFileCount(), 0);

  engine.FSettings.AudioDisable = true;
  ASSERT_TRUE(engine.OpenOutput(folder.File("next.avi"))) << engine.ErrorText();
  EXPECT_EQ(engine.OutputFile(0)->nb_streams, 1u);
  EXPECT_EQ(engine.FPlan.OutputStreams[0].size(), 1u);
}

// Each stream type's failure names its own creator, and the type's pending settings (codec,
// copy, language, encoder options) go with the refused file, whichever type failed.
TEST_F(InputOutputFiles, EachStreamTypesRefusalNamesItAndConsumesItsPendingSettings) {
  engine.FSettings.SubtitleCodecName = "nosuch";
  engine.FSettings.SubtitleLanguage = "deu";
  engine.FSettings.AudioLanguage = "fra";
  engine.SetVideoEncoderOption("g", "12");
  EXPECT_FALSE(engine.OpenOutput(folder.File("refused.mkv")));
  EXPECT_EQ(engine.ErrorText(), "new_subtitle_stream fail: Unknown encoder 'nosuch'");
  EXPECT_TRUE(engine.FSettings.SubtitleCodecName.empty());
  EXPECT_TRUE(engine.FSettings.SubtitleLanguage.empty());
  EXPECT_TRUE(engine.FSettings.AudioLanguage.empty());
  EXPECT_TRUE(engine.FSettings.VideoEncoderOptions.empty());

  engine.FSettings.VideoStreamCopy = true;
  engine.FSettings.AudioCodecName = "nosuch";
  EXPECT_FALSE(engine.OpenOutput(folder.File("refused.avi")));
  EXPECT_EQ(engine.ErrorText(), "new_audio_stream fail: Unknown encoder 'nosuch'");
  EXPECT_FALSE(engine.FSettings.VideoStreamCopy);
  EXPECT_TRUE(engine.FSettings.AudioCodecName.empty());

  ASSERT_TRUE(engine.OpenOutput(folder.File("next.mkv"))) << engine.ErrorText();
  const AVFormatContext* next = engine.OutputFile(0);
  ASSERT_EQ(next->nb_streams, 3u);
  for (unsigned i = 0; i < next->nb_streams; ++i) {
    EXPECT_FALSE(engine.FPlan.OutputStreams[0][i].StreamCopy) << i;
    EXPECT_EQ(lib::av_dict_get(next->streams[i]->metadata, "language", nullptr, 0), nullptr) << i;
  }
  EXPECT_EQ(engine.FPlan.OutputStreams[0][2].Codec->codec_type, AVMEDIA_TYPE_SUBTITLE);
}

TEST_F(InputOutputFiles, AnInputIsNeverOverwritten) {
  const std::string input = folder.File("input.avi");
  std::filesystem::copy_file(Clip("av.avi"), input);
  const std::int64_t size = FileSizeOf(input);
  const std::string link = folder.File("link.avi");
  std::filesystem::create_symlink(input, link);
  ASSERT_TRUE(engine.OpenInput(input));
  EXPECT_FALSE(engine.OpenOutput(input));
  EXPECT_THAT(engine.ErrorText(), HasSubstr("is also an input file"));
  EXPECT_FALSE(engine.OpenOutput(link));
  EXPECT_EQ(FileSizeOf(input), size);
}

TEST_F(InputOutputFiles, AnExistingOutputIsNeverReplacedTheOutputGoesToTheNextName) {
  const std::string output = folder.File("existing.avi");
  WriteTextFile(output, "old contents");
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  ASSERT_TRUE(engine.OpenOutput(output));
  engine.Start(false);
  ASSERT_TRUE(engine.Finished()) << engine.ExceptionMessage();
  EXPECT_EQ(ReadTextFile(output), "old contents");
  EXPECT_EQ(engine.PublishedOutputPath(), folder.File("existing(1).avi"));
  EXPECT_TRUE(DecodeMediaInfo(folder.File("existing(1).avi")).opened);
}

TEST_F(InputOutputFiles, SoundAskedOfAnInputWithoutSoundIsRefusedByName) {
  ASSERT_TRUE(engine.OpenInput(Clip("silent.avi"))) << engine.ErrorText();
  const std::string output = folder.File("silent.mp3");
  engine.SetOption("vn", "");  // as the audio profiles do
  EXPECT_FALSE(engine.OpenOutput(output));
  EXPECT_EQ(engine.ErrorText(), Clip("silent.avi") + ": the input has no sound");
  EXPECT_FALSE(std::filesystem::exists(output));
  // A format that takes the pictures still converts them.
  EXPECT_TRUE(engine.OpenOutput(folder.File("silent.mp4"))) << engine.ErrorText();
}

TEST_F(InputOutputFiles, EncoderOptionsGoToTheNamedEncoderOfTheNextVideoStreamOnly) {
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  // libaom is the first AV1 encoder; the name asks for another, which takes "preset".
  engine.SetVideoCodec("libsvtav1");
  engine.SetVideoEncoderOption("preset", "12");
  ASSERT_TRUE(engine.OpenOutput(folder.File("av1.mkv"))) << engine.ErrorText();
  const AVCodecContext* codec = engine.FPlan.OutputStreams[0][0].Codec.get();
  ASSERT_NE(codec->codec, nullptr);
  EXPECT_STREQ(codec->codec->name, "libsvtav1");
  std::int64_t preset = 0;
  ASSERT_GE(lib::av_opt_get_int(codec->priv_data, "preset", 0, &preset), 0);
  EXPECT_EQ(preset, 12);
  EXPECT_TRUE(engine.Settings().VideoEncoderOptions.empty());

  // A value the encoder refuses fails the file with the encoder, option and reason named.
  engine.SetVideoCodec("libx264");
  engine.SetVideoEncoderOption("crf", "plenty");
  EXPECT_FALSE(engine.OpenOutput(folder.File("refused.mkv")));
  EXPECT_THAT(engine.ErrorText(), HasSubstr("Encoder libx264 refuses crf=plenty: "));
  EXPECT_TRUE(engine.Settings().VideoEncoderOptions.empty());
  // An output without video leaves nothing pending for the next one.
  engine.SetVideoEncoderOption("crf", "plenty");
  engine.FSettings.VideoDisable = true;
  ASSERT_TRUE(engine.OpenOutput(folder.File("sound.mkv"))) << engine.ErrorText();
  EXPECT_TRUE(engine.Settings().VideoEncoderOptions.empty());
}
