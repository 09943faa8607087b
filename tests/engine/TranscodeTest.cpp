#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"

using ::testing::HasSubstr;

namespace {

class Transcode : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe twoSeconds;
    twoSeconds.frames = 50;
    twoSeconds.audioSeconds = 2;
    MakeClip(Clip("av.avi"), twoSeconds);
    TClipRecipe short1;
    short1.frames = 0;
    short1.audioSeconds = 1;
    short1.audioCodec = AV_CODEC_ID_PCM_S16LE;
    MakeClip(Clip("tone1.wav"), short1);
  }
};

}  // namespace

TEST_F(Transcode, StreamCopyKeepsEveryPacket) {
  const std::string output = folder.File("copy.mov");
  const TJobResult job = RunJob({Clip("av.avi")}, {output}, {"vcodec=copy", "acodec=copy"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  EXPECT_FALSE(job.exception) << job.message;
  const TMediaInfo source = ReadMediaInfo(Clip("av.avi"));
  const TMediaInfo copy = ReadMediaInfo(output);
  ASSERT_TRUE(copy.opened);
  ASSERT_TRUE(copy.FirstOfType(AVMEDIA_TYPE_VIDEO) && copy.FirstOfType(AVMEDIA_TYPE_AUDIO));
  EXPECT_EQ(copy.FirstOfType(AVMEDIA_TYPE_VIDEO)->codec, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(copy.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets,
            source.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets);
  EXPECT_EQ(copy.FirstOfType(AVMEDIA_TYPE_AUDIO)->packets,
            source.FirstOfType(AVMEDIA_TYPE_AUDIO)->packets);
  EXPECT_NEAR(copy.durationUs / 1e6, source.durationUs / 1e6, 0.1);
}

TEST_F(Transcode, ReencodesIntoAnotherFormatAndSize) {
  const std::string output = folder.File("small.mpg");
  const TJobResult job = RunJob({Clip("av.avi")}, {output}, {"s=96x72", "ar=22050", "ac=1"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = ReadMediaInfo(output);
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->codec, AV_CODEC_ID_MPEG1VIDEO);
  EXPECT_EQ(video->width, 96);
  EXPECT_EQ(video->height, 72);
  EXPECT_NEAR(video->packets, 50, 2);
  EXPECT_EQ(audio->sampleRate, 22050);
  EXPECT_EQ(audio->channels, 1);
  EXPECT_NEAR(info.durationUs / 1e6, 2.0, 0.15);
}

TEST_F(Transcode, AudioOnlyIntoMp3AndWav) {
  for (const char* name : {"tone.mp3", "tone.wav", "tone.ogg"}) {
    const std::string output = folder.File(name);
    const TJobResult job = RunJob({Clip("av.avi")}, {output}, {"vn"});
    ASSERT_TRUE(job.opened) << name << ": " << job.error;
    EXPECT_TRUE(job.finished) << name << ": " << job.message;
    const TMediaInfo info = ReadMediaInfo(output);
    ASSERT_TRUE(info.opened) << name;
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << name;
    EXPECT_NEAR(info.durationUs / 1e6, 2.0, 0.15) << name;
  }
}

TEST_F(Transcode, FrameLimitAndRecordingTime) {
  const std::string limited = folder.File("limited.avi");
  TJobResult job = RunJob({Clip("av.avi")}, {limited}, {"vframes=10", "an"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished);
  EXPECT_EQ(ReadMediaInfo(limited).FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 10);

  const std::string cut = folder.File("cut.avi");
  job = RunJob({Clip("av.avi")}, {cut}, {"t=1"});
  ASSERT_TRUE(job.opened) << job.error;
  const TMediaInfo info = ReadMediaInfo(cut);
  // The loop stops once every output has reached the time; the audio encoder's lag lets
  // video run a few frames on.
  EXPECT_GE(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 25);
  EXPECT_LE(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 30);
}

TEST_F(Transcode, ShortestEndsWithTheShorterInput) {
  const std::string output = folder.File("shortest.avi");
  const TJobResult job =
      RunJob({Clip("av.avi"), Clip("tone1.wav")}, {output}, {"shortest", "map=0:0", "map=1:0"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  EXPECT_LT(ReadMediaInfo(output).durationUs / 1e6, 1.9);
}

TEST_F(Transcode, StreamMapAndSetUpRefusals) {
  TJobResult job = RunJob({Clip("av.avi")}, {folder.File("a.avi")}, {"map=0:0"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message, "Number of stream maps must match number of output streams");

  job = RunJob({Clip("av.avi")}, {folder.File("b.avi")}, {"map=0:5", "map=0:1"});
  EXPECT_EQ(job.message, "Could not find input stream #0.5");

  job = RunJob({Clip("av.avi")}, {folder.File("c.avi")}, {"map=0:1", "map=0:0"});
  EXPECT_EQ(job.message, "Codec type mismatch for mapping #0.1 -> #0.0");

  job = RunJob({Clip("av.avi")}, {folder.File("d.avi")}, {"acodec=copy", "vol=512"});
  EXPECT_EQ(job.message, "-acodec copy and -vol are incompatible (frames are not decoded)");
  EXPECT_EQ(FileSizeOf(folder.File("d.avi")), -1);  // nothing left behind
}

TEST_F(Transcode, OldOptionNameGopStillSetsTheGroupOfPictures) {
  TTestEngine engine;
  engine.Reset();
  engine.SetVerbosity(-1);
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  EXPECT_TRUE(engine.SetCodecOptionInt("gop", 5));
  ASSERT_TRUE(engine.OpenOutput(folder.File("gop.avi")));
  EXPECT_EQ(engine.FPlan.OutputStreams[0][0].Codec->gop_size, 5);
}
