// A written output counts as complete only when it opens with the streams and the length
// written; a file cut short or missing its index fails, naming the file.
#include "engine/OutputCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

class OutputCheckTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe clip;
    clip.frames = 100;  // 4 s at 25 fps
    clip.audioSeconds = 4;
    MakeClip(Clip("clip.mkv"), clip);
    MakeClip(Clip("clip.mp4"), clip);
  }
  // What the clips were written with.
  static TWrittenOutput Written(const std::string& path) {
    TWrittenOutput written;
    written.Types = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO};
    written.Start = 0;
    written.End = 4 * AV_TIME_BASE;
    written.LongestPacket = AV_TIME_BASE / 25;
    written.Bytes = static_cast<std::int64_t>(fs::file_size(path));
    return written;
  }
  std::string Copy(const std::string& clip) {
    const std::string path = folder.File(clip);
    fs::copy_file(Clip(clip), path);
    return path;
  }
};

TEST_F(OutputCheckTest, AWholeFilePassesAndAnyMismatchFailsNamingTheFile) {
  for (const char* name : {"clip.mkv", "clip.mp4"}) {
    const std::string path = Clip(name);
    EXPECT_EQ(CheckWrittenOutput(path, "out.x", Written(path)), "") << name;
    TWrittenOutput longer = Written(path);
    longer.End = 6 * AV_TIME_BASE;
    const std::string shorter = CheckWrittenOutput(path, "out.x", longer);
    EXPECT_EQ(shorter.rfind("'out.x' lasts 4.", 0), 0u) << shorter;
    EXPECT_NE(shorter.find(" of the 6.00 s written"), std::string::npos) << shorter;
    TWrittenOutput other = Written(path);
    other.Types = {AVMEDIA_TYPE_VIDEO};
    EXPECT_EQ(CheckWrittenOutput(path, "out.x", other),
              "'out.x' holds the streams video, audio instead of video written")
        << name;
  }
}

TEST_F(OutputCheckTest, AFileCutShortFails) {
  for (const char* name : {"clip.mkv", "clip.mp4"}) {
    const std::string path = Copy(name);
    const TWrittenOutput written = Written(path);
    fs::resize_file(path, fs::file_size(path) / 2);
    const std::string failure = CheckWrittenOutput(path, "cut.x", written);
    EXPECT_EQ(failure.rfind("'cut.x' holds ", 0), 0u) << failure;
    // Without the size to compare, the header and index still tell: an MP4 has lost its
    // index at the end and no longer opens.
    TWrittenOutput sizeUnknown = written;
    sizeUnknown.Bytes = -1;
    if (std::string(name) == "clip.mp4") {
      EXPECT_EQ(CheckWrittenOutput(path, "cut.x", sizeUnknown).rfind("'cut.x' does not open", 0),
                0u);
    }
  }
}

}  // namespace
