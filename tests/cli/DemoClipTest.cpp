// The demo clip maker, which also makes the benchmarks' inputs: the size asked for, both
// streams for the whole length, and nothing left behind when the file cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "TestMedia.h"
#include "TestSupport.h"
#include "tools/DemoClip.h"

extern "C" {
#include <libavutil/avutil.h>
}

TEST(DemoClip, HasTheSizeAndLengthAskedForWithBothStreams) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  const std::string path = folder.File("wide.avi");
  MakeDemoClip(path, 2, 96, 54);

  const TMediaInfo info = DecodeMediaInfo(path);
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->width, 96);
  EXPECT_EQ(video->height, 54);
  EXPECT_EQ(video->decodedFrames, 50);
  EXPECT_NEAR(static_cast<double>(audio->decodedSamples) / audio->sampleRate, 2.0, 0.05);
}

TEST(DemoClip, AFileThatCannotBeWrittenFailsAndLeavesNothing) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  const std::string unknownContainer = folder.File("clip.unknowncontainer");
  EXPECT_THROW(MakeDemoClip(unknownContainer, 1), std::runtime_error);
  const std::string missingFolder = folder.File("missing/clip.avi");
  EXPECT_THROW(MakeDemoClip(missingFolder, 1), std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}
