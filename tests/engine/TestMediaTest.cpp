#include <gtest/gtest.h>

#include "TestMedia.h"
#include "TestSupport.h"

// The generated fixtures are what every media test stands on: check they are what they say.
TEST(TestMedia, ClipsHoldTheStreamsTheyWereMadeWith) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  const std::string both = folder.File("both.avi");
  MakeClip(both, {});
  const TMediaInfo info = ReadMediaInfo(both);
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.formatName, "avi");
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->codec, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(video->width, 160);
  EXPECT_EQ(video->packets, 25);
  EXPECT_EQ(audio->codec, AV_CODEC_ID_MP2);
  EXPECT_EQ(audio->channels, 2);
  EXPECT_NEAR(info.durationUs / 1e6, 1.0, 0.1);

  TClipRecipe audioOnly;
  audioOnly.frames = 0;
  audioOnly.audioCodec = AV_CODEC_ID_PCM_S16LE;
  audioOnly.channels = 1;
  const std::string wav = folder.File("tone.wav");
  MakeClip(wav, audioOnly);
  const TMediaInfo tone = ReadMediaInfo(wav);
  ASSERT_TRUE(tone.opened);
  EXPECT_EQ(tone.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(tone.FirstOfType(AVMEDIA_TYPE_AUDIO)->channels, 1);
}
