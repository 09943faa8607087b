// Video filmed upright (a display matrix on the stream, as phones write) converts upright:
// checked on the decoded pictures' shape and content, and on what a stream copy carries.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"

namespace {

// The generated pattern is darkest at the coded picture's top left and brightest at its
// bottom right; corners are numbered top left, top right, bottom left, bottom right.
struct TOrientation {
  int rotation;
  int darkest;
  int brightest;
};
constexpr TOrientation kOrientations[] = {{0, 0, 3}, {90, 1, 2}, {180, 3, 0}, {270, 2, 1}};

// Coded 128x72: the first picture's pattern stays below 256 everywhere.
constexpr int kCodedWidth = 128;
constexpr int kCodedHeight = 72;

std::string ClipName(int rotation) {
  return "turned" + std::to_string(rotation) + ".mp4";
}

int CornerOf(const TStreamInfo& video, bool brightest) {
  int chosen = 0;
  for (int corner = 1; corner < 4; ++corner)
    if (brightest ? video.cornerLuma[corner] > video.cornerLuma[chosen]
                  : video.cornerLuma[corner] < video.cornerLuma[chosen])
      chosen = corner;
  return chosen;
}

class UprightPictures : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    for (const TOrientation& orientation : kOrientations) {
      TClipRecipe clip;
      clip.width = kCodedWidth;
      clip.height = kCodedHeight;
      clip.frames = 10;
      clip.audioSeconds = 0.4;
      clip.rotation = orientation.rotation;
      MakeClip(Clip(ClipName(orientation.rotation)), clip);
    }
  }

  // Converts and decodes; the output's video stream.
  TStreamInfo Convert(const std::string& clip, const std::string& output,
                      const std::vector<std::string>& options = {}) {
    const TJobResult job = RunJob({Clip(clip)}, {output}, options);
    EXPECT_TRUE(job.opened) << job.error;
    EXPECT_TRUE(job.finished && !job.exception) << job.message;
    const TMediaInfo info = DecodeMediaInfo(output);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    EXPECT_NE(video, nullptr) << output;
    return video ? *video : TStreamInfo{};
  }
};

}  // namespace

TEST_F(UprightPictures, ReencodedPicturesStandUprightAtTheUprightSize) {
  for (const TOrientation& orientation : kOrientations) {
    SCOPED_TRACE("rotation " + std::to_string(orientation.rotation));
    const std::string output =
        folder.File("upright" + std::to_string(orientation.rotation) + ".mp4");
    const TStreamInfo video = Convert(ClipName(orientation.rotation), output);
    const bool onSide = orientation.rotation % 180 != 0;
    EXPECT_EQ(video.width, onSide ? kCodedHeight : kCodedWidth);
    EXPECT_EQ(video.height, onSide ? kCodedWidth : kCodedHeight);
    EXPECT_GT(video.decodedFrames, 0);
    EXPECT_EQ(CornerOf(video, false), orientation.darkest);
    EXPECT_EQ(CornerOf(video, true), orientation.brightest);
    // The pictures are upright already: nothing asks a player to turn them again.
    EXPECT_EQ(ReadMediaInfo(output).FirstOfType(AVMEDIA_TYPE_VIDEO)->rotation, 0);
  }
}

TEST_F(UprightPictures, AGivenSizeIsTheBoxThatTheUprightPictureFills) {
  // 72x128 upright into 640x360: the full height, the width that keeps the shape.
  const TStreamInfo video = Convert(ClipName(90), folder.File("box.mp4"), {"s=640x360"});
  EXPECT_EQ(video.width, 202);
  EXPECT_EQ(video.height, 360);
  const double sampleAspect = video.sampleAspect.num ? av_q2d(video.sampleAspect) : 1.0;
  EXPECT_NEAR(sampleAspect * video.width / video.height, 72.0 / 128.0, 0.01);
  EXPECT_EQ(CornerOf(video, false), 1);

  // Through the filter graph the pictures are upright too.
  const TStreamInfo filtered =
      Convert(ClipName(270), folder.File("filtered.mp4"), {"s=640x360", "vfilters=hflip"});
  EXPECT_EQ(filtered.width, 202);
  EXPECT_EQ(filtered.height, 360);
  EXPECT_EQ(CornerOf(filtered, false), 3);  // the bottom left, mirrored
}

TEST_F(UprightPictures, AStreamCopyKeepsTheRequestToTurn) {
  const std::string output = folder.File("copy.mov");
  const TJobResult job = RunJob({Clip(ClipName(90))}, {output}, {"vcodec=copy", "acodec=copy"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished && !job.exception) << job.message;
  const TMediaInfo copy = ReadMediaInfo(output);
  const TStreamInfo* video = copy.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->width, kCodedWidth);
  EXPECT_EQ(video->height, kCodedHeight);
  EXPECT_EQ(video->rotation, 90);
  EXPECT_TRUE(video->sampleAspect.num == 0 || av_q2d(video->sampleAspect) == 1.0);
}
