#include "ProfileOutput.h"

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "EngineTypes.h"

namespace {

// A catalogue file with a few display names.
class ProfileOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTextFile(folder_.File("codec.ini"),
                  "[Video Codec]\nMPEG-4=mpeg4\nAutomatic=Auto\n"
                  "[Audio Codec]\nMP3=libmp3lame\nAAC=aac\n");
  }

  TOutputOptions Fill(const TProfileSettings& profile) {
    TOutputOptions options;
    FillOutputOptions(profile, TIniFile(folder_.File("codec.ini")), options);
    return options;
  }

  TTempFolder folder_;
};

TEST_F(ProfileOutputTest, DefaultProfileFillsEveryProfileField) {
  TProfileSettings profile;
  profile.TargetType = "MP4";
  const TOutputOptions options = Fill(profile);
  EXPECT_EQ(options.Timestamp, 0.0);
  EXPECT_EQ(options.FileExt, ".mp4");
  EXPECT_EQ(options.VideoCodec, "");
  EXPECT_EQ(options.AudioCodec, "");
  EXPECT_FALSE(options.DisableVideo);
  EXPECT_FALSE(options.DisableAudio);
  EXPECT_EQ(options.FrameSize, "");  // "Original"
  EXPECT_EQ(options.FrameRate, "25");
  EXPECT_EQ(options.VideoBitrate, 4500000);
  EXPECT_EQ(options.AudioChannels, 2);
  EXPECT_EQ(options.AudioSampleRate, 32000);
  EXPECT_EQ(options.AudioBitrate, 64000);
  EXPECT_EQ(options.TargetType, ttNone);
  EXPECT_EQ(options.TargetNorm, ntAuto);
  // Fields that no profile key drives keep their defaults.
  EXPECT_EQ(options.GOPSize, -1);
  EXPECT_EQ(options.Duration, -1);
}

TEST_F(ProfileOutputTest, CatalogueNamesTheCodecsAndAutoOrUnknownNamesLeaveThemToTheFormat) {
  TProfileSettings profile;
  profile.VideoCodec = "MPEG-4";
  profile.AudioCodec = "MP3";
  TOutputOptions options = Fill(profile);
  EXPECT_EQ(options.VideoCodec, "mpeg4");
  EXPECT_EQ(options.AudioCodec, "libmp3lame");
  profile.VideoCodec = "Automatic";  // a catalogue value of "Auto"
  profile.AudioCodec = "Missing Codec";
  options = Fill(profile);
  EXPECT_EQ(options.VideoCodec, "");
  EXPECT_EQ(options.AudioCodec, "");
}

TEST_F(ProfileOutputTest, FrameRatesAndSizes) {
  TProfileSettings profile;
  profile.VideoFrameRateOption = "29.97";
  EXPECT_EQ(Fill(profile).FrameRate, "30000/1001");
  profile.VideoFrameRateOption = "23.976";
  EXPECT_EQ(Fill(profile).FrameRate, "24000/1001");
  profile.VideoFrameRateOption = "30000/1001";
  EXPECT_EQ(Fill(profile).FrameRate, "30000/1001");
  profile.VideoFrameRateOption = "Original";
  EXPECT_EQ(Fill(profile).FrameRate, "");

  profile.VideoCustomWidth = "352";
  profile.VideoCustomHeight = "288";
  EXPECT_EQ(Fill(profile).FrameSize, "");  // "Original" ignores the custom size
  profile.VideoSizeOption = "Custom...";
  EXPECT_EQ(Fill(profile).FrameSize, "352x288");
}

TEST_F(ProfileOutputTest, AudioBitratesRoundToTheNearestBitWithHalvesToEven) {
  TProfileSettings profile;
  profile.AudioBitRate = "12.2";
  EXPECT_EQ(Fill(profile).AudioBitrate, 12200);
  profile.AudioBitRate = "4.75";
  EXPECT_EQ(Fill(profile).AudioBitrate, 4750);
  profile.AudioBitRate = "0.0005";
  EXPECT_EQ(Fill(profile).AudioBitrate, 0);
  profile.AudioBitRate = "0.0015";
  EXPECT_EQ(Fill(profile).AudioBitrate, 2);
}

TEST_F(ProfileOutputTest, DisabledStreamsTargetsAndNorms) {
  TProfileSettings profile;
  profile.VideoDisabled = true;
  profile.AudioDisabled = true;
  profile.OOTargetType = "ttSVCD";
  profile.OONormType = "ntNTSC";
  TOutputOptions options = Fill(profile);
  EXPECT_TRUE(options.DisableVideo);
  EXPECT_TRUE(options.DisableAudio);
  EXPECT_EQ(options.TargetType, ttSVCD);
  EXPECT_EQ(options.TargetNorm, ntNTSC);
  profile.OOTargetType = "ttDVD";
  profile.OONormType = "ntPAL";
  options = Fill(profile);
  EXPECT_EQ(options.TargetType, ttDVD);
  EXPECT_EQ(options.TargetNorm, ntPAL);
  profile.OOTargetType = "dvd";
  profile.OONormType = "pal";
  options = Fill(profile);
  EXPECT_EQ(options.TargetType, ttNone);
  EXPECT_EQ(options.TargetNorm, ntAuto);
}

TEST_F(ProfileOutputTest, NumbersThatDoNotParseNameTheirKey) {
  TProfileSettings profile;
  profile.VideoBitrate = "fast";
  EXPECT_THROW(
      {
        try {
          Fill(profile);
        } catch (const EConvertError& error) {
          EXPECT_STREQ(error.what(),
                       "Profile value VideoBitrate: 'fast' is not a valid integer value");
          throw;
        }
      },
      EConvertError);
  profile = TProfileSettings();
  profile.AudioSampleRate = "";
  EXPECT_THROW(Fill(profile), EConvertError);
  profile = TProfileSettings();
  profile.AudioBitRate = "12,2";
  EXPECT_THROW(Fill(profile), EConvertError);
  profile = TProfileSettings();
  profile.VideoBitrate = "3000000";  // 3 Gbit/s does not fit the record
  EXPECT_THROW(Fill(profile), EConvertError);
}

}  // namespace
