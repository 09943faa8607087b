// A muxer that reads its own output back (MP4 moving its index to the front) does so
// through the engine's file callbacks, which allow that only for files of the job's own.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"

namespace {

class SideFilesTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe clip;
    clip.frames = 50;
    clip.audioSeconds = 2;
    MakeClip(Clip("av.avi"), clip);
  }
};

TEST_F(SideFilesTest, MuxerReadsBackItsOwnOutputToMoveTheIndexToTheFront) {
  const std::string output = folder.File("front.mp4");
  TTestEngine engine;
  engine.Reset();
  engine.SetVerbosity(-1);
  ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
  ASSERT_TRUE(engine.OpenOutput(output)) << engine.ErrorText();
  ASSERT_GE(lib::av_opt_set(engine.OutputFile(0)->priv_data, "movflags", "faststart", 0), 0);
  engine.Start(false);
  ASSERT_TRUE(engine.Finished()) << engine.ExceptionMessage();

  const std::string bytes = ReadTextFile(output);
  const std::size_t index = bytes.find("moov");
  ASSERT_NE(index, std::string::npos);
  EXPECT_LT(index, bytes.find("mdat"));
  const TMediaInfo info = DecodeMediaInfo(output);
  ASSERT_TRUE(info.opened);
  ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 50);
}

}  // namespace
