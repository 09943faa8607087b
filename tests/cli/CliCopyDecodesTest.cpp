// Copying streams that already fit, run as users do: only a stream whose first pictures
// decode is copied; one whose pictures do not decode (raw pictures cut short, which the file
// still describes in full) is decoded like any other and fails with the decoder's reason.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliMediaTest.h"
#include "TestMedia.h"
#include "TestMediaTiming.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

constexpr int kFrames = 50;

// Raw pictures into AVI at the clips' own size and rate, without sound: the pictures of both
// clips already fit.
const char* const kProfiles =
    "[Raw]\nTargetType=AVI\nVideoDisabled=0\nVideoCodec=Raw\n"
    "VideoSizeOption=Custom...\nVideoCustomWidth=160\nVideoCustomHeight=120\n"
    "VideoBitrate=0\nVideoFrameRateOption=25\nAudioDisabled=1\nCopyStreamsThatFit=1\n";

class CliCopyDecodesTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    TClipRecipe whole;
    whole.frames = kFrames;
    whole.audioSeconds = 0;
    whole.videoCodec = AV_CODEC_ID_RAWVIDEO;
    MakeClip(Clip("whole.avi"), whole);
    MakeCutRawVideoAvi(Clip("cut.avi"), kFrames);
  }

  void SetUp() override {
    TCliMediaTest::SetUp();
    WriteTextFile(home.SettingsFolder() + "codec.ini", "[Video Codec]\nRaw=rawvideo\n");
    WriteTextFile(home.SettingsFolder() + "AVI.ini", kProfiles);
  }
};

}  // namespace

TEST_F(CliCopyDecodesTest, AStreamThatDoesNotDecodeIsNotCopiedButFailsWithItsReason) {
  ASSERT_EQ(DecodeMediaInfo(Clip("cut.avi")).FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 0);
  const TCliResult result = home.Run({"convert", "-v", "-g", "AVI", "-p", "Raw", "-o", output,
                                      Clip("whole.avi"), Clip("cut.avi")});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("2 files: 1 completed, 1 failed"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("Video stream #0.0 (rawvideo): copied"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("Video stream #0.0 (rawvideo): re-encoded because its first "
                            "pictures do not decode (nothing decodes from its first 16 packets: "),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(Clip("cut.avi") + ": no picture could be decoded from stream #0:0"),
            std::string::npos)
      << result.err;

  // The stream that decodes is still copied packet for packet, and plays.
  EXPECT_EQ(StreamPackets(output + "whole.avi", AVMEDIA_TYPE_VIDEO),
            StreamPackets(Clip("whole.avi"), AVMEDIA_TYPE_VIDEO));
  const TMediaInfo copy = DecodeMediaInfo(output + "whole.avi");
  ASSERT_NE(copy.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(copy.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kFrames);
}
