#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "JobRunner.h"
#include "OptionTestEngine.h"
#include "TestMedia.h"
#include "TestMediaTiming.h"
#include "TestSupport.h"

using ::testing::Contains;
using ::testing::Field;
using ::testing::Not;

namespace {

class TTargetEngine : public TOptionTestEngine {
 public:
  using TCustomFFmpeg::FSettings;
};

bool SameRate(AVRational a, AVRational b) {
  return a.num == b.num && a.den == b.den;
}

class TargetPresets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    clips = new TTempFolder;
    TClipRecipe pal;
    pal.frames = 10;
    MakeClip(Clip("pal.avi"), pal);
    TClipRecipe ntsc = pal;
    ntsc.frameRate = {30000, 1001};
    MakeClip(Clip("ntsc.avi"), ntsc);
    TClipRecipe square = pal;
    square.width = 720;
    square.height = 576;
    square.frames = 3;
    MakeClip(Clip("square576.avi"), square);
    TClipRecipe sparse = pal;  // 15 pictures a second on a PAL tick
    sparse.frameRate = {15, 1};
    sparse.videoTimeBase = {1, 25};
    MakeClip(Clip("sparse15.avi"), sparse);
    MakeMpeg4AviOnPalTicks(Clip("pal-ticks.avi"), 30);
    TClipRecipe tone;
    tone.frames = 0;
    tone.audioCodec = AV_CODEC_ID_PCM_S16LE;
    MakeClip(Clip("tone.wav"), tone);
  }
  static void TearDownTestSuite() { delete clips; }
  static std::string Clip(const std::string& name) { return clips->File(name); }

  void SetUp() override {
    BindMediaLibrariesForTest();
    engine = std::make_unique<TTargetEngine>();
  }

  void Open(const std::string& clip) {
    engine->FSettings.Verbosity = -1;  // no format dump in the test log
    ASSERT_TRUE(engine->OpenInput(Clip(clip))) << engine->ErrorText();
    engine->FSettings.Verbosity = 1;
  }

  const TEngineSettings& Settings() { return engine->Settings(); }
  AVCodecContext& VideoOptions() { return *engine->FLibraryOptions.CodecContexts[0]; }
  AVCodecContext& AudioOptions() { return *engine->FLibraryOptions.CodecContexts[1]; }
  bool Logged(const std::string& text) {
    for (const auto& line : engine->Logged)
      if (line.Text == text) return line.Level == 1;
    return false;
  }

  static TTempFolder* clips;
  std::unique_ptr<TTargetEngine> engine;
};

TTempFolder* TargetPresets::clips = nullptr;

}  // namespace

TEST_F(TargetPresets, PalVcdSetsTheWholePreset) {
  engine->SetVerbosity(-1);  // the aspect default is reported whatever the verbosity
  engine->SetOption("target", " pal-vcd ");
  EXPECT_EQ(Settings().VideoCodecName, "mpeg1video");
  EXPECT_EQ(Settings().AudioCodecName, "mp2");
  ASSERT_NE(Settings().ForcedOutputFormat, nullptr);
  EXPECT_STREQ(Settings().ForcedOutputFormat->name, "vcd");
  EXPECT_EQ(Settings().FrameWidth, 352);
  EXPECT_EQ(Settings().FrameHeight, 288);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {25, 1}));
  EXPECT_EQ(VideoOptions().gop_size, 15);
  EXPECT_EQ(VideoOptions().bit_rate, 1150000);
  EXPECT_EQ(VideoOptions().rc_max_rate, 1150000);
  EXPECT_EQ(VideoOptions().rc_min_rate, 1150000);
  EXPECT_EQ(VideoOptions().rc_buffer_size, 327680);
  EXPECT_EQ(AudioOptions().bit_rate, 224000);
  EXPECT_EQ(engine->FLibraryOptions.FormatContext->packet_size, 2324u);
  EXPECT_EQ(Settings().AudioSampleRate, 44100);
  EXPECT_EQ(Settings().AudioChannels, 2);
  EXPECT_FLOAT_EQ(Settings().MuxPreload, 0.44f);
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 4.0f / 3.0f);
  EXPECT_TRUE(Logged("Assuming 4:3 for aspect ratio"));
  EXPECT_FALSE(Logged("Assuming PAL for target."));  // the norm was given
}

TEST_F(TargetPresets, FilmSvcdUsesNtscSizesAndMakesMonoStereo) {
  engine->SetAudioChannels(1);
  engine->SetOption("target", "film-svcd");
  EXPECT_EQ(Settings().VideoCodecName, "mpeg2video");
  EXPECT_STREQ(Settings().ForcedOutputFormat->name, "svcd");
  EXPECT_EQ(Settings().FrameWidth, 480);
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {24000, 1001}));
  EXPECT_EQ(VideoOptions().gop_size, 18);
  EXPECT_EQ(VideoOptions().rc_max_rate, 2516000);
  EXPECT_EQ(Settings().AudioChannels, 2);
  EXPECT_EQ(Settings().AudioSampleRate, 44100);
}

// The disc standards differ in every value; none takes another's, and what one leaves alone
// (a given aspect, six channels, the preload) stays as it was.
TEST_F(TargetPresets, DvdAndSvcdSetTheirOwnValuesAndLeaveTheRest) {
  engine->SetAudioChannels(6);
  engine->SetAspectRatio("4:3");
  engine->SetOption("target", "pal-dvd");
  EXPECT_EQ(Settings().VideoCodecName, "mpeg2video");
  EXPECT_EQ(Settings().AudioCodecName, "ac3");
  EXPECT_STREQ(Settings().ForcedOutputFormat->name, "dvd");
  EXPECT_EQ(Settings().FrameWidth, 720);
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_FALSE(Settings().FrameSizeGiven);
  EXPECT_EQ(VideoOptions().gop_size, 15);
  EXPECT_EQ(VideoOptions().bit_rate, 6000000);
  EXPECT_EQ(VideoOptions().rc_max_rate, 9000000);
  EXPECT_EQ(VideoOptions().rc_min_rate, 0);
  EXPECT_EQ(VideoOptions().rc_buffer_size, 1835008);
  EXPECT_EQ(AudioOptions().bit_rate, 448000);
  EXPECT_EQ(engine->FLibraryOptions.FormatContext->packet_size, 2048u);
  EXPECT_EQ(Settings().AudioSampleRate, 48000);
  EXPECT_EQ(Settings().AudioChannels, 6);
  EXPECT_FLOAT_EQ(Settings().MuxPreload, 0.5f);
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 4.0f / 3.0f);
  EXPECT_FALSE(Logged("Assuming 16:9 for aspect ratio"));

  engine = std::make_unique<TTargetEngine>();
  engine->SetAudioChannels(6);
  engine->SetOption("target", "ntsc-svcd");
  EXPECT_EQ(Settings().AudioCodecName, "mp2");
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {30000, 1001}));
  EXPECT_EQ(VideoOptions().bit_rate, 2040000);
  EXPECT_EQ(VideoOptions().rc_min_rate, 0);
  EXPECT_EQ(VideoOptions().rc_buffer_size, 1835008);
  EXPECT_EQ(AudioOptions().bit_rate, 224000);
  EXPECT_EQ(engine->FLibraryOptions.FormatContext->packet_size, 2324u);
  EXPECT_EQ(Settings().AudioChannels, 6);
  EXPECT_FLOAT_EQ(Settings().MuxPreload, 0.5f);
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 4.0f / 3.0f);
  EXPECT_TRUE(Logged("Assuming 4:3 for aspect ratio"));
}

TEST_F(TargetPresets, DvKindsChooseTheirPixelFormats) {
  engine->SetAudioChannels(6);
  engine->SetTarget("ntsc-dv");
  EXPECT_STREQ(Settings().ForcedOutputFormat->name, "dv");
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV411P);
  EXPECT_EQ(Settings().AudioSampleRate, 48000);
  EXPECT_EQ(Settings().AudioChannels, 2);
  EXPECT_EQ(Settings().FrameAspectRatio, 0);  // no default aspect for DV
  engine->SetTarget("pal-dv");
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV420P);
  engine->SetTarget("ntsc-dv50");
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV422P);
}

TEST_F(TargetPresets, AutomaticNormFromTheFrameRate) {
  EXPECT_RAISES(engine->SetTarget("dvd"), FFMpegException, "frame_rate is invalid.");
  // The norm is decided before the kind is looked at.
  EXPECT_RAISES(engine->SetTarget("vcd2"), FFMpegException, "frame_rate is invalid.");

  engine->SetFrameRate("24000/1001");  // 23.976 counts as NTSC, not film
  engine->SetTarget("dvd");
  EXPECT_TRUE(SameRate(Settings().FrameRate, {30000, 1001}));
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_TRUE(Logged("Assuming NTSC for target."));
  EXPECT_TRUE(Logged("Assuming 16:9 for aspect ratio"));
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 16.0f / 9.0f);

  engine->Logged.clear();
  engine->SetVerbosity(0);
  engine->SetFrameRate("25");
  engine->SetTarget("svcd");
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_THAT(engine->Logged,
              Not(Contains(Field(&TOptionTestEngine::TLogLine::Text, "Assuming PAL for target."))));
}

TEST_F(TargetPresets, FallbackNormWhenNothingMatches) {
  engine->SetFrameRate("15");
  engine->SetTarget("vcd");  // the option's fallback is NTSC
  EXPECT_EQ(Settings().FrameHeight, 240);

  engine->SetFrameRate("15");
  engine->ApplyTarget("vcd", "auto", "pal");
  EXPECT_EQ(Settings().FrameHeight, 288);

  engine->SetFrameRate("15");
  engine->ApplyTarget("svcd", "PAL", "film");  // norms are case-sensitive: automatic
  EXPECT_TRUE(SameRate(Settings().FrameRate, {24000, 1001}));
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_TRUE(Logged("Assuming NTSC for target."));  // film is reported as NTSC
}

TEST_F(TargetPresets, UnknownKindsFail) {
  engine->SetFrameRate("25");
  EXPECT_RAISES(engine->SetTarget("vcd2"), FFMpegException, "Unknown target type");
  EXPECT_RAISES(engine->SetTarget("PAL-vcd"), FFMpegException, "Unknown target type");
  EXPECT_RAISES(engine->SetTarget("pal-VCD"), FFMpegException, "Unknown target type");
  EXPECT_EQ(Settings().FrameWidth, 0);  // nothing applied
  EXPECT_TRUE(Settings().VideoCodecName.empty());
}

TEST_F(TargetPresets, InputsDecideTheNorm) {
  Open("ntsc.avi");
  engine->SetTarget("dvd");
  EXPECT_EQ(Settings().FrameWidth, 720);
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {30000, 1001}));
  EXPECT_EQ(Settings().AudioCodecName, "ac3");
  EXPECT_EQ(AudioOptions().bit_rate, 448000);
  EXPECT_EQ(engine->FLibraryOptions.FormatContext->packet_size, 2048u);
  EXPECT_TRUE(Logged("Assuming NTSC for target."));
}

TEST_F(TargetPresets, InputScanFindsTheNormWhenTheRateSaysNothing) {
  Open("pal.avi");
  engine->SetFrameRate("15");
  engine->ApplyTarget("dvd", "auto", "ntsc");
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {25, 1}));
}

TEST_F(TargetPresets, TheInputScanReadsTheStreamsTick) {
  Open("sparse15.avi");
  ASSERT_TRUE(SameRate(Settings().FrameRate, {15, 1}));
  // Such files also report 15 as their average rate: only the tick names the norm.
  engine->InputFile(0)->streams[0]->avg_frame_rate = {15, 1};
  engine->ApplyTarget("dvd", "auto", "ntsc");
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {25, 1}));
}

TEST_F(TargetPresets, TheInputScanReadsTheDecodersClock) {
  Open("pal-ticks.avi");
  // The container counts in 1/15 s and gives 15 fps; only the MPEG-4 stream's own clock,
  // 1/25 s, names the norm.
  ASSERT_TRUE(SameRate(engine->InputFile(0)->streams[0]->time_base, {1, 15}));
  ASSERT_TRUE(SameRate(Settings().FrameRate, {15, 1}));
  engine->ApplyTarget("dvd", "auto", "ntsc");
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_TRUE(SameRate(Settings().FrameRate, {25, 1}));
}

TEST_F(TargetPresets, AudioOnlyInputLeavesNoRate) {
  Open("tone.wav");
  EXPECT_RAISES(engine->SetTarget("dvd"), FFMpegException, "frame_rate is invalid.");
}

TEST_F(TargetPresets, DvdKeepsAKnownAspectAndSixChannels) {
  Open("square576.avi");
  ASSERT_FLOAT_EQ(Settings().FrameAspectRatio, 1.25f);
  engine->FSettings.AudioChannels = 6;
  engine->SetTarget("dvd");
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 1.25f);
  EXPECT_FALSE(Logged("Assuming 16:9 for aspect ratio"));
  EXPECT_EQ(Settings().AudioChannels, 6);
  EXPECT_EQ(Settings().AudioSampleRate, 48000);
}

TEST_F(TargetPresets, TargetJobsWriteConformingFiles) {
  TTempFolder folder;
  const std::string vcd = folder.File("disc.mpg");
  const TJobResult job = RunJob({Clip("pal.avi")}, {vcd}, {"target=pal-vcd"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  EXPECT_FALSE(job.exception) << job.message;
  const TMediaInfo info = ReadMediaInfo(vcd);
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->codec, AV_CODEC_ID_MPEG1VIDEO);
  EXPECT_EQ(video->width, 352);
  EXPECT_EQ(video->height, 288);
  EXPECT_NEAR(video->packets, 10, 1);
  EXPECT_EQ(audio->codec, AV_CODEC_ID_MP2);
  EXPECT_EQ(audio->sampleRate, 44100);
  EXPECT_EQ(audio->channels, 2);

  const std::string dvd = folder.File("disc.vob");
  const TJobResult dvdJob = RunJob({Clip("ntsc.avi")}, {dvd}, {"target=dvd"});
  ASSERT_TRUE(dvdJob.opened) << dvdJob.error;
  EXPECT_TRUE(dvdJob.finished) << dvdJob.message;
  const TMediaInfo dvdInfo = ReadMediaInfo(dvd);
  ASSERT_TRUE(dvdInfo.opened);
  video = dvdInfo.FirstOfType(AVMEDIA_TYPE_VIDEO);
  audio = dvdInfo.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->codec, AV_CODEC_ID_MPEG2VIDEO);
  EXPECT_EQ(video->width, 720);
  EXPECT_EQ(video->height, 480);
  EXPECT_EQ(audio->codec, AV_CODEC_ID_AC3);
  EXPECT_EQ(audio->sampleRate, 48000);
}
