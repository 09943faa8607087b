// The installed profiles on the files users have, converted through tovrena-cli as a user
// runs it: ordinary limited-range yuv420p video, 10-bit video, phone video filmed upright,
// several audio tracks and video without sound. Outputs are checked by decoding them.
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "frontend/IniFile.h"
#include "frontend/LibraryEncoders.h"
#include "frontend/SettingsInstaller.h"
#include "frontend/UnitGeneral.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace {

// 8-bit 4:2:0, the full-range form included (what JPEG encoders write).
bool PlaysEverywhere(int pixelFormat) {
  return pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P;
}

class CliProfiles : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe ordinary;  // limited-range yuv420p MPEG-4 with MP2 sound
    ordinary.frames = 8;
    ordinary.audioSeconds = 0.3;
    MakeClip(Clip("ordinary.avi"), ordinary);

    TClipRecipe deep = ordinary;
    deep.videoCodec = AV_CODEC_ID_H264;
    deep.pixelFormat = AV_PIX_FMT_YUV420P10LE;
    deep.frames = 4;
    MakeClip(Clip("deep.mkv"), deep);

    TClipRecipe phone = ordinary;  // filmed upright: coded 128x72, shown turned clockwise
    phone.width = 128;
    phone.height = 72;
    phone.rotation = 90;
    MakeClip(Clip("phone.mp4"), phone);

    TClipRecipe tracks = ordinary;  // stereo, then 6 and 1 channels, each half as long
    tracks.audioSeconds = 1.0;
    tracks.audioCodec = AV_CODEC_ID_AC3;
    tracks.moreAudioTracks = {6, 1};
    MakeClip(Clip("tracks.avi"), tracks);
    tracks.defaultAudioTrack = 0;
    MakeClip(Clip("firstdefault.mkv"), tracks);

    TClipRecipe silent = ordinary;
    silent.audioSeconds = 0;
    MakeClip(Clip("silent.avi"), silent);
  }

  void SetUp() override {
    TMediaTest::SetUp();
    output = folder.File("out") + "/";
  }

  void InstallDefaultProfiles() {
    const TInstallReport report = InstallDefaultSettings(
        TOVRENA_DEFAULT_SETTINGS_DIR, home.SettingsFolder(), LibraryEncoderQuery());
    ASSERT_FALSE(report.Installed.empty());
  }

  TCliResult Convert(const std::string& group, const std::string& profile,
                     const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"convert", "-g", group, "-p", profile, "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return home.Run(arguments);
  }

  TCliHome home;
  std::string output;
};

// What the profiles of the newer formats make: file type, codecs and frame size.
struct TExpectedOutput {
  const char* group;
  const char* profile;
  const char* extension;
  AVCodecID video;
  int width, height;
  AVCodecID audio;
};
const TExpectedOutput kNewerProfiles[] = {
    {"MKV", "H.265 HEVC 1080p (CRF)", "mkv", AV_CODEC_ID_HEVC, 1920, 1080, AV_CODEC_ID_OPUS},
    {"MKV", "H.264 1080p (CRF)", "mkv", AV_CODEC_ID_H264, 1920, 1080, AV_CODEC_ID_AAC},
    {"MKV", "AV1 1080p (SVT-AV1)", "mkv", AV_CODEC_ID_AV1, 1920, 1080, AV_CODEC_ID_OPUS},
    {"WebM", "VP9 1080p", "webm", AV_CODEC_ID_VP9, 1920, 1080, AV_CODEC_ID_OPUS},
    {"WebM", "VP9 720p", "webm", AV_CODEC_ID_VP9, 1280, 720, AV_CODEC_ID_OPUS},
    {"WebM", "AV1 720p", "webm", AV_CODEC_ID_AV1, 1280, 720, AV_CODEC_ID_OPUS},
    {"MP4", "H.265 HEVC 1080p", "mp4", AV_CODEC_ID_HEVC, 1920, 1080, AV_CODEC_ID_AAC},
    {"MOV", "H.265 HEVC 1080p", "mov", AV_CODEC_ID_HEVC, 1920, 1080, AV_CODEC_ID_AAC},
    {"Audio", "Opus 128 kbps", "opus", AV_CODEC_ID_NONE, 0, 0, AV_CODEC_ID_OPUS},
    {"Audio", "FLAC (lossless)", "flac", AV_CODEC_ID_NONE, 0, 0, AV_CODEC_ID_FLAC},
};

constexpr std::uint32_t kHvc1 = 'h' | 'v' << 8 | 'c' << 16 | static_cast<std::uint32_t>('1') << 24;

}  // namespace

TEST_F(CliProfiles, EveryInstalledProfileConvertsAnOrdinaryClip) {
  ASSERT_NO_FATAL_FAILURE(InstallDefaultProfiles());
  int converted = 0;
  int newer = 0;
  for (const char* group : kOutputGroups) {
    const TIniFile groupFile(home.SettingsFolder() + group + ".ini");
    for (const std::string& profile : groupFile.ReadSections()) {
      SCOPED_TRACE(std::string(group) + " / " + profile);
      const std::string extension = groupFile.ReadString(profile, "TargetType", group);
      std::string name = "ordinary." + extension;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const TCliResult result = Convert(group, profile, {Clip("ordinary.avi")});
      ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
      const TMediaInfo info = DecodeMediaInfo(output + name);
      ASSERT_TRUE(info.opened) << output + name;
      const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
      const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
      if (!groupFile.ReadBool(profile, "VideoDisabled", false)) {
        ASSERT_NE(video, nullptr);
        EXPECT_GT(video->decodedFrames, 0);
        EXPECT_TRUE(PlaysEverywhere(video->pixelFormat)) << video->pixelFormat;
      }
      ASSERT_NE(audio, nullptr);
      EXPECT_GT(audio->decodedSamples, 0);
      for (const TExpectedOutput& expected : kNewerProfiles) {
        if (expected.group != std::string(group) || expected.profile != profile) continue;
        ++newer;
        EXPECT_EQ(name, "ordinary." + std::string(expected.extension));
        EXPECT_EQ(audio->codec, expected.audio);
        if (expected.video == AV_CODEC_ID_NONE) {
          EXPECT_EQ(video, nullptr);
          continue;
        }
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->codec, expected.video);
        EXPECT_EQ(video->width, expected.width);
        EXPECT_EQ(video->height, expected.height);
        // Players on phones and Apple systems take HEVC in MP4 and MOV only tagged so.
        if (expected.video == AV_CODEC_ID_HEVC && expected.extension != std::string("mkv")) {
          EXPECT_EQ(video->codecTag, kHvc1);
        }
      }
      std::filesystem::remove(output + name);
      ++converted;
    }
  }
  EXPECT_GE(converted, 40);
  EXPECT_EQ(newer, static_cast<int>(std::size(kNewerProfiles)));
}

TEST_F(CliProfiles, TenBitVideoBecomesEightBitUnlessAnOptionAsksOtherwise) {
  ASSERT_NO_FATAL_FAILURE(InstallDefaultProfiles());
  const TCliResult result = Convert("MP4", "H.264 HD 720p", {Clip("deep.mkv")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "deep.mp4");
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->width, 1280);
  EXPECT_EQ(video->pixelFormat, AV_PIX_FMT_YUV420P);

  const TCliResult asked =
      Convert("MP4", "H.264 HD 720p", {"--option", "pix_fmt=yuv422p10le", Clip("deep.mkv")});
  ASSERT_EQ(asked.exitCode, 0) << asked.out << asked.err;
  const TMediaInfo keptInfo = DecodeMediaInfo(output + "deep(1).mp4");
  const TStreamInfo* kept = keptInfo.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->pixelFormat, AV_PIX_FMT_YUV422P10LE);
}

TEST_F(CliProfiles, PhoneVideoComesOutUprightInsideTheProfilesSize) {
  ASSERT_NO_FATAL_FAILURE(InstallDefaultProfiles());
  const TCliResult result = Convert("MP4", "H.264 Web 640x360", {Clip("phone.mp4")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "phone.mp4");
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->width, 202);
  EXPECT_EQ(video->height, 360);
  EXPECT_EQ(video->rotation, 0);
  // Turned clockwise, the coded picture's dark top left lies at the top right.
  EXPECT_LT(video->cornerLuma[1], video->cornerLuma[0]);
  EXPECT_LT(video->cornerLuma[1], video->cornerLuma[2]);
  EXPECT_GT(video->cornerLuma[2], video->cornerLuma[3]);
}

TEST_F(CliProfiles, TheProbeShowsBitDepthAndRotation) {
  const TCliResult result = home.Run({"probe", Clip("phone.mp4"), Clip("deep.mkv")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("fps, 8-bit, shown turned 90 degrees clockwise"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("h264, 160x120, 25 fps, 10-bit"), std::string::npos) << result.out;
}

TEST_F(CliProfiles, TheTrackMarkedDefaultElseTheOneWithMostChannelsIsConverted) {
  ASSERT_NO_FATAL_FAILURE(InstallDefaultProfiles());
  const auto secondsOfSound = [this](const std::string& name) {
    const TMediaInfo info = DecodeMediaInfo(output + name);
    const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
    return audio && audio->sampleRate > 0
               ? static_cast<double>(audio->decodedSamples) / audio->sampleRate
               : 0.0;
  };
  // No track is marked: the 6-channel one, half as long as the first.
  const TCliResult most = Convert("MP4", "H.264 Web 640x360", {"-v", Clip("tracks.avi")});
  ASSERT_EQ(most.exitCode, 0) << most.out << most.err;
  EXPECT_NEAR(secondsOfSound("tracks.mp4"), 0.5, 0.1);
  EXPECT_NE(most.err.find("Audio track: stream #0.2 of 3 audio tracks (most channels, 6 channels)"),
            std::string::npos)
      << most.err;

  // The first track is marked default: it wins over more channels.
  const TCliResult marked = Convert("MP4", "H.264 Web 640x360", {"-v", Clip("firstdefault.mkv")});
  ASSERT_EQ(marked.exitCode, 0) << marked.out << marked.err;
  EXPECT_NEAR(secondsOfSound("firstdefault.mp4"), 1.0, 0.1);
  EXPECT_NE(marked.err.find("(marked default, 2 channels)"), std::string::npos) << marked.err;
}

TEST_F(CliProfiles, VideoWithoutSoundIntoTheAudioGroupSaysSo) {
  ASSERT_NO_FATAL_FAILURE(InstallDefaultProfiles());
  const TCliResult result = Convert("Audio", "MP3 192 kbps", {Clip("silent.avi")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(Clip("silent.avi") + ": the input has no sound"), std::string::npos)
      << result.err;
  EXPECT_FALSE(std::filesystem::exists(output + "silent.mp3"));
}
