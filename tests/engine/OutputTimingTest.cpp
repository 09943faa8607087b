// Time on the outputs: the last picture of MP4, MOV and 3GP shown and on time, vsync 2
// below the input's rate, and a video stream that never decodes.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"

namespace {

class OutputTiming : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    MakeClip(Clip("clip.avi"), {});  // 25 pictures, 1 s
    // H.264 stream-copied without its decoder set-up.
    TClipRecipe lost;
    lost.videoCodec = AV_CODEC_ID_H264;
    lost.undecodableVideo = true;
    MakeClip(Clip("lost.ts"), lost);
  }
};

}  // namespace

TEST_F(OutputTiming, EveryPictureShowsAndOutputsEndOnTime) {
  const struct {
    const char* name;
    std::vector<std::string> options;
  } outputs[] = {{"out.mp4", {}},
                 {"out.mov", {}},
                 {"out.3gp", {"s=176x144", "acodec=aac"}},
                 {"copy.mp4", {"vcodec=copy", "acodec=copy"}}};
  for (const auto& output : outputs) {
    const std::string path = folder.File(output.name);
    const TJobResult job = RunJob({Clip("clip.avi")}, {path}, output.options);
    ASSERT_TRUE(job.opened) << output.name << ": " << job.error;
    EXPECT_TRUE(job.finished) << output.name << ": " << job.message;
    const TMediaInfo info = DecodeMediaInfo(path);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr) << output.name;
    EXPECT_EQ(video->decodedFrames, 25) << output.name;
    EXPECT_NEAR(info.durationUs / 1e6, 1.0, 0.03) << output.name;
  }
}

TEST_F(OutputTiming, VsyncTwoBelowTheInputRateDropsPictures) {
  const std::string path = folder.File("slow.avi");
  const TJobResult job = RunJob({Clip("clip.avi")}, {path}, {"vsync=2", "r=10", "an"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(path);
  ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 10, 1);
  EXPECT_TRUE(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->dtsIncreasing);
}

TEST_F(OutputTiming, AVideoStreamThatNeverDecodesFailsItsFileClearly) {
  ASSERT_EQ(DecodeMediaInfo(Clip("lost.ts")).FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 0);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"s=96x72"}, {"vf=hflip"}}) {
    const TJobResult job = RunJob({Clip("lost.ts")}, {folder.File("lost.avi")}, options);
    ASSERT_TRUE(job.opened) << job.error;
    EXPECT_FALSE(job.finished);
    EXPECT_TRUE(job.exception);
    EXPECT_EQ(job.message, "no picture could be decoded from stream #0:0");
    std::remove(folder.File("lost.avi").c_str());
  }
}
