// Constant-quality profiles through tovrena-cli: the quality value reaches the encoder
// (the file's size follows it), the encoder named is the one that encodes, and a profile
// naming an encoder the libraries lack fails its file with that name.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"

namespace {

namespace fs = std::filesystem;

class CliQualityTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe ordinary;  // moving pictures, so quality shows in the size
    ordinary.frames = 12;
    ordinary.audioSeconds = 0.5;
    MakeClip(Clip("ordinary.avi"), ordinary);
  }

  void SetUp() override {
    TMediaTest::SetUp();
    output = folder.File("out") + "/";
    WriteTextFile(home.SettingsFolder() + "codec.ini",
                  "[Video Codec]\nH.264 (AVC)=libx264\nVP9=libvpx-vp9\nMPEG-4 Part 2=mpeg4\n"
                  "AV1 (SVT-AV1)=libsvtav1\nNonesuch=libnonesuch\n"
                  "[Audio Codec]\nOpus=libopus\nAAC=aac\n");
    // Small sizes keep the encoders quick; the keys are those of the installed profiles.
    const std::string common =
        "VideoSizeOption=Custom...\nVideoCustomWidth=320\nVideoCustomHeight=180\n"
        "VideoBitrate=3000\nVideoFrameRateOption=Original\nAudioChannels=2\n"
        "AudioSampleRate=48000\nAudioBitRate=96\nVideoRateControl=Quality\nVideoQuality=30\n"
        "Tracks=All\nCopyStreamsThatFit=1\n";
    WriteTextFile(
        home.SettingsFolder() + "MKV.ini",
        "[H.264]\nTargetType=MKV\nVideoCodec=H.264 (AVC)\nAudioCodec=AAC\n" + common +
            "[AV1]\nTargetType=MKV\nVideoCodec=AV1 (SVT-AV1)\nAudioCodec=Opus\n" + common +
            "[MPEG-4]\nTargetType=MKV\nVideoCodec=MPEG-4 Part 2\nAudioCodec=AAC\n" + common +
            "[Missing]\nTargetType=MKV\nVideoCodec=Nonesuch\nAudioCodec=AAC\n" + common);
    WriteTextFile(home.SettingsFolder() + "WebM.ini",
                  "[VP9]\nTargetType=WebM\nVideoCodec=VP9\nAudioCodec=Opus\n" + common);
  }

  // The size of the file the profile makes of the clip with these overrides.
  std::uintmax_t ConvertedSize(const std::string& group, const std::string& profile,
                               const std::vector<std::string>& sets, const std::string& name) {
    // Without sound the file's size is the video's.
    std::vector<std::string> arguments = {
        "convert", "-g", group, "-p", profile, "-o", output, "--set", "AudioDisabled=1"};
    for (const std::string& set : sets) {
      arguments.push_back("--set");
      arguments.push_back(set);
    }
    arguments.push_back(Clip("ordinary.avi"));
    const TCliResult result = home.Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const TMediaInfo info = DecodeMediaInfo(output + name);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    EXPECT_TRUE(video != nullptr && video->decodedFrames == 12) << name;
    std::error_code missing;
    const std::uintmax_t size = fs::file_size(output + name, missing);
    fs::remove(output + name, missing);
    return size;
  }

  TCliHome home;
  std::string output;
};

}  // namespace

TEST_F(CliQualityTest, TheQualityValueDecidesTheSizeInsteadOfTheBitrate) {
  // x264's CRF, and VP9's, which only holds with no bit rate beside it.
  for (const auto& [group, profile, name] :
       {std::tuple{"MKV", "H.264", "ordinary.mkv"}, std::tuple{"WebM", "VP9", "ordinary.webm"}}) {
    SCOPED_TRACE(profile);
    const std::uintmax_t fine = ConvertedSize(group, profile, {"VideoQuality=3"}, name);
    const std::uintmax_t coarse = ConvertedSize(group, profile, {"VideoQuality=50"}, name);
    EXPECT_GT(fine, coarse * 2) << coarse;
    // The profile's 3000 kbit/s would give far more than the coarse quality does.
    const std::uintmax_t byBitrate =
        ConvertedSize(group, profile, {"VideoRateControl=Bitrate"}, name);
    EXPECT_GT(byBitrate, coarse * 2) << coarse;
  }
  // An encoder without a CRF gets a fixed quantiser, whose scale ends at 31.
  const std::uintmax_t fine = ConvertedSize("MKV", "MPEG-4", {"VideoQuality=2"}, "ordinary.mkv");
  const std::uintmax_t coarse = ConvertedSize("MKV", "MPEG-4", {"VideoQuality=50"}, "ordinary.mkv");
  EXPECT_GT(fine, coarse * 3 / 2) << coarse;
}

TEST_F(CliQualityTest, TheNamedEncoderEncodesNotTheFirstOneOfItsCodec) {
  // libaom is the libraries' first AV1 encoder; the profile asks for SVT-AV1.
  const TCliResult result =
      home.Run({"convert", "-v", "-g", "MKV", "-p", "AV1", "-o", output, Clip("ordinary.avi")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("Svt[info]"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Video quality: crf 30 (libsvtav1)"), std::string::npos);
  const TMediaInfo info = DecodeMediaInfo(output + "ordinary.mkv");
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codec, AV_CODEC_ID_AV1);
  EXPECT_EQ(video->decodedFrames, 12);
}

TEST_F(CliQualityTest, AnEncoderTheLibrariesLackFailsTheFileWithItsName) {
  const TCliResult result =
      home.Run({"convert", "-g", "MKV", "-p", "Missing", "-o", output, Clip("ordinary.avi")});
  EXPECT_EQ(result.exitCode, 1) << result.out;
  EXPECT_NE(result.err.find("libnonesuch"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(output + "ordinary.mkv"));
}
