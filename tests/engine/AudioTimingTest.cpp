// Audio time stamps on the sources users have: Vorbis of short blocks and WMA 2 from WMV
// into AVI (MP3) and Ogg Vorbis, drift smoothed by resampling, and the resampler's tail.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"

namespace {

class AudioTiming : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe clicks;  // a sound theme: clicks, 128-sample Vorbis packets, 48 kHz
    clicks.frames = 0;
    clicks.audioSeconds = 2;
    clicks.sampleRate = 48000;
    clicks.audioCodec = AV_CODEC_ID_VORBIS;
    clicks.clickTrack = true;
    MakeClip(Clip("clicks.ogg"), clicks);
    clicks.frames = 50;  // and with Theora pictures beside it
    clicks.videoCodec = AV_CODEC_ID_THEORA;
    MakeClip(Clip("clicks.ogv"), clicks);
    TClipRecipe wmv;  // WMA 2 at 32 kHz whose stamps disagree with its samples by 20 ms
    wmv.frames = 50;
    wmv.audioSeconds = 2;
    wmv.videoCodec = AV_CODEC_ID_WMV2;
    wmv.audioCodec = AV_CODEC_ID_WMAV2;
    wmv.sampleRate = 32000;
    wmv.audioStampJitterSeconds = 0.02;
    MakeClip(Clip("clip.wmv"), wmv);
    TClipRecipe drift;  // a tone whose stamps lie 20 ms later from its second second on
    drift.frames = 0;
    drift.audioSeconds = 3;
    drift.audioCodec = AV_CODEC_ID_PCM_S16LE;
    drift.audioShiftAt = 1;
    drift.audioShiftSeconds = 0.02;
    MakeClip(Clip("drift.mkv"), drift);
  }
};

}  // namespace

TEST_F(AudioTiming, ShortVorbisBlocksAndWmaIntoAviMp3AndOggVorbis) {
  const struct {
    const char* source;
    double seconds;
  } sources[] = {{"clicks.ogg", 2.0}, {"clicks.ogv", 2.0}, {"clip.wmv", 2.0}};
  const struct {
    const char* name;
    const char* codec;
  } outputs[] = {{"out.avi", "acodec=libmp3lame"}, {"out.ogg", "acodec=libvorbis"}};
  for (const auto& source : sources)
    for (const auto& output : outputs) {
      const std::string path = folder.File(std::string(source.source) + "." + output.name);
      const TJobResult job =
          RunJob({Clip(source.source)}, {path}, {output.codec, "ar=44100", "vn"});
      const std::string what = std::string(source.source) + " -> " + output.name;
      ASSERT_TRUE(job.opened) << what << ": " << job.error;
      EXPECT_TRUE(job.finished) << what << ": " << job.message;
      const TMediaInfo info = DecodeMediaInfo(path);
      const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
      ASSERT_NE(audio, nullptr) << what;
      EXPECT_TRUE(audio->dtsIncreasing) << what;
      EXPECT_NEAR(audio->decodedSamples / 44100.0, source.seconds, 0.06) << what;
    }
}

TEST_F(AudioTiming, SmallDriftAboveAsyncOneIsSmoothedByResampling) {
  const std::string path = folder.File("smoothed.wav");
  const TJobResult job = RunJob({Clip("drift.mkv")}, {path}, {"async=1000"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(path);
  ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  const TStreamInfo& audio = *info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  // No block of silence where the stamps move on: the tone is stretched over them instead,
  // by most of the 882 samples by the end.
  EXPECT_LT(audio.longestSilence, 20);
  const std::int64_t source = DecodeMediaInfo(Clip("drift.mkv")).streams.at(0).decodedSamples;
  EXPECT_NEAR(audio.decodedSamples, source + 882, 300);
}

TEST_F(AudioTiming, ARateChangeKeepsTheResamplersTail) {
  const std::string path = folder.File("low.wav");
  const TJobResult job = RunJob({Clip("drift.mkv")}, {path}, {"ar=8000", "async=0"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(path);
  ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  const std::int64_t source = DecodeMediaInfo(Clip("drift.mkv")).streams.at(0).decodedSamples;
  EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_AUDIO)->decodedSamples, source * 8000 / 44100, 1);
}
