#include "frontend/ProfileOutput.h"

#include <gtest/gtest.h>

#include "ConfigHomeSupport.h"
#include "engine/EngineTypes.h"
#include "frontend/ProfileLimits.h"

namespace {

// The defaults as a group file gives them: its TargetType is the group's.
TProfileSettings Mp4Profile() {
  TProfileSettings profile;
  profile.TargetType = "MP4";
  return profile;
}

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
    FillOutputOptions(profile, TIniFile(folder_.File("codec.ini")), options, "Mine");
    return options;
  }

  TTempFolder folder_;
};

TEST_F(ProfileOutputTest, DefaultProfileFillsEveryProfileField) {
  TProfileSettings profile = Mp4Profile();
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
  // Without the newer keys: a bitrate, one track each, everything re-encoded.
  EXPECT_EQ(options.VideoQuality, -1);
  EXPECT_FALSE(options.KeepAllTracks);
  EXPECT_FALSE(options.CopyFittingStreams);
}

TEST_F(ProfileOutputTest, QualityTracksAndCopyKeys) {
  TProfileSettings profile = Mp4Profile();
  profile.VideoRateControl = kRateControlQuality;
  profile.VideoQuality = "28";
  profile.Tracks = kTracksAll;
  profile.CopyStreamsThatFit = true;
  const TOutputOptions options = Fill(profile);
  EXPECT_EQ(options.VideoQuality, 28);
  EXPECT_TRUE(options.KeepAllTracks);
  EXPECT_TRUE(options.CopyFittingStreams);

  profile.VideoQuality = "64";
  EXPECT_EQ(ProfileValueProblem(profile),
            "VideoQuality 64: must be from 0 to 63 (constant quality)");
  profile.VideoQuality = "23";
  profile.VideoRateControl = "CRF";
  EXPECT_EQ(ProfileValueProblem(profile), "VideoRateControl CRF: must be Bitrate or Quality");
  profile.VideoRateControl = kRateControlBitrate;
  profile.Tracks = "some";
  EXPECT_EQ(ProfileValueProblem(profile), "Tracks some: must be First or All");
  EXPECT_THROW(Fill(profile), EConvertError);
}

TEST_F(ProfileOutputTest, CatalogueNamesTheCodecsAndAutoLeavesThemToTheFormat) {
  TProfileSettings profile = Mp4Profile();
  profile.VideoCodec = "MPEG-4";
  profile.AudioCodec = "MP3";
  TOutputOptions options = Fill(profile);
  EXPECT_EQ(options.VideoCodec, "mpeg4");
  EXPECT_EQ(options.AudioCodec, "libmp3lame");
  profile.VideoCodec = "Automatic";  // a catalogue value of "Auto"
  profile.AudioCodec = "Auto";
  options = Fill(profile);
  EXPECT_EQ(options.VideoCodec, "");
  EXPECT_EQ(options.AudioCodec, "");
}

// The text a codec the catalogue cannot resolve fails with, or "" when it converts.
std::string CatalogueFailure(const TProfileSettings& profile, const std::string& catalogue) {
  TOutputOptions options;
  try {
    FillOutputOptions(profile, TIniFile(catalogue), options, "Mine");
  } catch (const ECodecCatalogueError& error) {
    return error.what();
  }
  return {};
}

TEST_F(ProfileOutputTest, ACodecTheCatalogueCannotResolveFailsWithTheCatalogueAndWhy) {
  TProfileSettings profile = Mp4Profile();
  profile.VideoCodec = "MPEG-4 Part 2";
  const std::string absent = folder_.File("absent.ini");
  const std::string expected =
      "codec 'MPEG-4 Part 2' of profile 'Mine' is not in the codec "
      "catalogue (" +
      absent + ": No such file or directory)";
  EXPECT_EQ(CatalogueFailure(profile, absent), expected);

  const std::string garbage = folder_.File("garbage.ini");
  static const char kBinary[] =
      "\x7f"
      "ELF\x02\x01\x01\0\0\0\nMPEG-4 Part 2=mpeg4\n";
  WriteTextFile(garbage, std::string(kBinary, sizeof kBinary - 1));
  EXPECT_EQ(CatalogueFailure(profile, garbage),
            "codec 'MPEG-4 Part 2' of profile 'Mine' is not in the codec catalogue (" + garbage +
                ": not a settings file (line 1: a control character, which no text line "
                "holds))");

  // An intact catalogue without the name: the output format's codec is not what was asked.
  profile.VideoCodec = "Missing Codec";
  EXPECT_EQ(CatalogueFailure(profile, folder_.File("codec.ini")),
            "codec 'Missing Codec' of profile 'Mine' is not in the codec catalogue (" +
                folder_.File("codec.ini") + ": no entry in [Video Codec])");

  // "Auto" never needs the catalogue.
  profile.VideoCodec = "Auto";
  profile.AudioCodec = "Auto";
  EXPECT_EQ(CatalogueFailure(profile, absent), "");
  EXPECT_EQ(CatalogueFailure(profile, garbage), "");
}

TEST_F(ProfileOutputTest, FrameRatesAndSizes) {
  TProfileSettings profile = Mp4Profile();
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
  TProfileSettings profile = Mp4Profile();
  profile.AudioBitRate = "12.2";
  EXPECT_EQ(Fill(profile).AudioBitrate, 12200);
  profile.AudioBitRate = "4.75";
  EXPECT_EQ(Fill(profile).AudioBitrate, 4750);
  profile.AudioBitRate = "1.0005";
  EXPECT_EQ(Fill(profile).AudioBitrate, 1000);
  profile.AudioBitRate = "1.0015";
  EXPECT_EQ(Fill(profile).AudioBitrate, 1002);
}

TEST_F(ProfileOutputTest, DisabledStreamsTargetsAndNorms) {
  TProfileSettings profile = Mp4Profile();
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
  profile.OOTargetType = "";  // none
  profile.OONormType = "ntAuto";
  options = Fill(profile);
  EXPECT_EQ(options.TargetType, ttNone);
  EXPECT_EQ(options.TargetNorm, ntAuto);
  // Names that are neither are refused, not taken for none.
  profile.OOTargetType = "dvd";
  EXPECT_THROW(Fill(profile), EConvertError);
  profile.OOTargetType = "ttNone";
  profile.OONormType = "pal";
  EXPECT_THROW(Fill(profile), EConvertError);
}

TEST_F(ProfileOutputTest, NumbersThatDoNotParseNameTheirKey) {
  TProfileSettings profile = Mp4Profile();
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

TEST_F(ProfileOutputTest, ValuesTheEncodersCannotTakeAreRefusedWithKeyValueAndRange) {
  const auto refusal = [this](const char* key, const std::string& value, bool customSize = false) {
    TProfileSettings profile = Mp4Profile();
    if (customSize) profile.VideoSizeOption = "Custom...";
    profile.VideoCustomWidth = "320";
    profile.VideoCustomHeight = "240";
    for (auto [name, field] : {std::pair{"VideoBitrate", &TProfileSettings::VideoBitrate},
                               {"AudioBitRate", &TProfileSettings::AudioBitRate},
                               {"VideoFrameRateOption", &TProfileSettings::VideoFrameRateOption},
                               {"VideoCustomWidth", &TProfileSettings::VideoCustomWidth},
                               {"AudioChannels", &TProfileSettings::AudioChannels},
                               {"AudioSampleRate", &TProfileSettings::AudioSampleRate}}) {
      if (std::string(name) == key) profile.*field = value;
    }
    TOutputOptions options;
    try {
      FillOutputOptions(profile, TIniFile(folder_.File("codec.ini")), options, "Mine");
    } catch (const EConvertError& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  EXPECT_EQ(refusal("VideoBitrate", "-5"),
            "Profile value VideoBitrate -5: must be from 1 to 2147483 kbit/s (or 0 for the "
            "encoder's own)");
  EXPECT_EQ(refusal("AudioBitRate", "-1"),
            "Profile value AudioBitRate -1: must be from 1 to 2147483 kbit/s (or 0 for the "
            "encoder's own)");
  EXPECT_EQ(refusal("VideoFrameRateOption", "1000000"),
            "Profile value VideoFrameRateOption 1000000: must be from 1 to 1000 fps");
  EXPECT_EQ(refusal("VideoFrameRateOption", "1/0"),
            "Profile value VideoFrameRateOption 1/0: must be from 1 to 1000 fps");
  EXPECT_EQ(refusal("VideoCustomWidth", "0", true),
            "Profile value VideoCustomWidth 0: must be from 2 to 16384 pixels");
  EXPECT_EQ(refusal("AudioChannels", "0"),
            "Profile value AudioChannels 0: must be from 1 to 64 channels");
  EXPECT_EQ(refusal("AudioChannels", "65"),
            "Profile value AudioChannels 65: must be from 1 to 64 channels");
  EXPECT_EQ(refusal("AudioSampleRate", "-44100"),
            "Profile value AudioSampleRate -44100: must be from 1000 to 384000 Hz");
  // Limits themselves, 0 for a rate the encoder picks, named rates and an ignored size pass.
  for (const auto& [key, value] : {std::pair{"VideoBitrate", "0"},
                                   {"VideoBitrate", "2147483"},
                                   {"AudioBitRate", "4.75"},
                                   {"AudioBitRate", "0"},
                                   {"VideoFrameRateOption", "1000"},
                                   {"VideoFrameRateOption", "30000/1001"},
                                   {"VideoFrameRateOption", "ntsc"},
                                   {"VideoCustomWidth", "0"},
                                   {"AudioChannels", "64"},
                                   {"AudioSampleRate", "384000"}}) {
    EXPECT_EQ(refusal(key, value), "") << key << "=" << value;
  }
}

TEST_F(ProfileOutputTest, ValuesOfADisabledStreamAreNotLookedAt) {
  TProfileSettings profile = Mp4Profile();
  profile.VideoDisabled = true;
  profile.AudioDisabled = true;
  profile.VideoBitrate = "-5";
  profile.VideoFrameRateOption = "1000000";
  profile.AudioBitRate = "-1";
  profile.AudioChannels = "99";
  EXPECT_NO_THROW(Fill(profile));
}

}  // namespace
