#include <gtest/gtest.h>

#include <cmath>

#include "JobRunner.h"
#include "TestMedia.h"
#include "TestSupport.h"

namespace {

struct TConversion {
  const char* name;
  const char* file;
  std::vector<std::string> options;
  AVCodecID video;  // AV_CODEC_ID_NONE: audio only
  AVCodecID audio;
  int width, height;
};

// The usual codecs of every output group of the application.
const TConversion kConversions[] = {
    {"AVI",
     "out.avi",
     {"vcodec=mpeg4", "acodec=libmp3lame", "b=2000000"},
     AV_CODEC_ID_MPEG4,
     AV_CODEC_ID_MP3,
     320,
     240},
    {"MP4",
     "out.mp4",
     {"vcodec=libx264", "acodec=aac", "b=2000000"},
     AV_CODEC_ID_H264,
     AV_CODEC_ID_AAC,
     320,
     240},
    {"MPG",
     "out.mpg",
     {"vcodec=mpeg1video", "acodec=mp2", "b=3000000"},
     AV_CODEC_ID_MPEG1VIDEO,
     AV_CODEC_ID_MP2,
     320,
     240},
    {"WMV",
     "out.wmv",
     {"vcodec=wmv2", "acodec=wmav2", "b=2000000"},
     AV_CODEC_ID_WMV2,
     AV_CODEC_ID_WMAV2,
     320,
     240},
    {"3GP",
     "out.3gp",
     {"vcodec=h263", "acodec=aac", "s=176x144", "b=600000"},
     AV_CODEC_ID_H263,
     AV_CODEC_ID_AAC,
     176,
     144},
    {"MOV",
     "out.mov",
     {"vcodec=mpeg4", "acodec=aac", "b=2000000"},
     AV_CODEC_ID_MPEG4,
     AV_CODEC_ID_AAC,
     320,
     240},
    {"SWF",
     "out.swf",
     {"vcodec=flv", "acodec=libmp3lame", "b=2000000", "ar=44100"},
     AV_CODEC_ID_FLV1,
     AV_CODEC_ID_MP3,
     320,
     240},
    {"FLV",
     "out.flv",
     {"vcodec=flv", "acodec=libmp3lame", "b=2000000"},
     AV_CODEC_ID_FLV1,
     AV_CODEC_ID_MP3,
     320,
     240},
    {"MP3", "out.mp3", {"vn", "acodec=libmp3lame"}, AV_CODEC_ID_NONE, AV_CODEC_ID_MP3, 0, 0},
    {"WAV", "out.wav", {"vn"}, AV_CODEC_ID_NONE, AV_CODEC_ID_PCM_S16LE, 0, 0},
    {"OGG", "out.ogg", {"vn", "acodec=libvorbis"}, AV_CODEC_ID_NONE, AV_CODEC_ID_VORBIS, 0, 0},
};

struct TSource {
  const char* name;
  AVRational rate;
  int frames;
  int sampleRate;
  int channels;
};

const TSource kSources[] = {{"pal_stereo", {25, 1}, 125, 44100, 2},
                            {"ntsc_mono48k", {30000, 1001}, 150, 48000, 1}};

void PrintTo(const TConversion& conversion, std::ostream* out) {
  *out << conversion.name;
}
void PrintTo(const TSource& source, std::ostream* out) {
  *out << source.name;
}

class ConversionMatrix : public ::testing::TestWithParam<std::tuple<TConversion, TSource>> {
 protected:
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    clips = new TTempFolder;
    for (const TSource& source : kSources) {
      TClipRecipe recipe;
      recipe.width = 320;
      recipe.height = 240;
      recipe.frameRate = source.rate;
      recipe.frames = source.frames;
      recipe.audioSeconds = source.frames * av_q2d(av_inv_q(source.rate));
      recipe.sampleRate = source.sampleRate;
      recipe.channels = source.channels;
      recipe.audioCodec = AV_CODEC_ID_PCM_S16LE;
      recipe.videoCodec =
          AV_CODEC_ID_RAWVIDEO;  // lossless, so the picture check sees only our loss
      MakeClip(clips->File(std::string(source.name) + ".avi"), recipe);
    }
  }
  static void TearDownTestSuite() { delete clips; }
  void SetUp() override { BindMediaLibrariesForTest(); }

  static TTempFolder* clips;
  TTempFolder folder;
};

TTempFolder* ConversionMatrix::clips = nullptr;

}  // namespace

TEST_P(ConversionMatrix, OutputOpensWithTheRequestedStreamsAndKeepsTime) {
  const auto& [conversion, source] = GetParam();
  const std::string input = clips->File(std::string(source.name) + ".avi");
  const std::string output = folder.File(conversion.file);
  const TJobResult job = RunJob({input}, {output}, conversion.options);
  ASSERT_TRUE(job.opened) << job.error;
  ASSERT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(output);
  ASSERT_TRUE(info.opened);
  const double seconds = source.frames * av_q2d(av_inv_q(source.rate));

  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->codec, conversion.audio);
  ASSERT_GT(audio->sampleRate, 0);
  EXPECT_NEAR(static_cast<double>(audio->decodedSamples) / audio->sampleRate, seconds, 0.05);

  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  if (conversion.video == AV_CODEC_ID_NONE) {
    EXPECT_EQ(video, nullptr);
    return;
  }
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codec, conversion.video);
  EXPECT_EQ(video->width, conversion.width);
  EXPECT_EQ(video->height, conversion.height);
  EXPECT_NEAR(video->decodedFrames, source.frames, 2);
  EXPECT_NEAR(video->startSeconds, audio->startSeconds, 0.05);
  if (conversion.width == 320) {
    EXPECT_GT(video->lumaPsnr, 30.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, ConversionMatrix,
                         ::testing::Combine(::testing::ValuesIn(kConversions),
                                            ::testing::ValuesIn(kSources)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });
