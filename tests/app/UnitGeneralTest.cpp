#include "frontend/UnitGeneral.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "ConfigHomeSupport.h"

namespace {

using Strings = std::vector<std::string>;

const char* const kTwoProfiles =
    "[DVD (PAL)]\n"
    "TargetType=MPG\n"
    "VideoCodec=MPEG-2\n"
    "VideoSizeOption=720x576\n"
    "VideoCustomWidth=720\n"
    "VideoCustomHeight=576\n"
    "OOTargetType=ttDVD\n"
    "OONormType=ntPAL\n"
    "\n"
    "[Small]\n"
    "VideoDisabled=1\n"
    "AudioChannels=3\n";

TEST(UnitGeneralTest, PathsPutExactlyOneSeparatorAfterTheConfigurationFolder) {
  TScopedConfigHome home;
  const std::string folder = home.Folder().Path().string();
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  EXPECT_EQ(OptionsFilePath(), folder + "/Tovrena/Options.ini");
  EXPECT_EQ(SettingsFolderPath(), folder + "/Tovrena/Settings/");
  ::setenv("XDG_CONFIG_HOME", (folder + "/").c_str(), 1);
  EXPECT_EQ(OptionsFilePath(), folder + "/Tovrena/Options.ini");
  EXPECT_EQ(SettingsFolderPath(), folder + "/Tovrena/Settings/");
  EXPECT_EQ(GroupFilePath("Audio"), folder + "/Tovrena/Settings/Audio.ini");
  EXPECT_EQ(CodecCatalogueFilePath(), folder + "/Tovrena/Settings/codec.ini");
  EXPECT_FALSE(std::filesystem::exists(folder + "/Tovrena"));
}

TEST(UnitGeneralTest, WithoutUsableXdgFolderTheHomeConfigFolderIsUsed) {
  TScopedConfigHome home;
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome != nullptr ? oldHome : "";
  ::setenv("HOME", "/home/someone/", 1);
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(OptionsFilePath(), "/home/someone/.config/Tovrena/Options.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFolderPath(), "/home/someone/.config/Tovrena/Settings/");
  ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(UnitGeneralTest, OptionsReadTheirDefaultsAndRoundTrip) {
  TScopedConfigHome home;
  TAppOptions options = ReadAppOptions("/videos/");
  EXPECT_EQ(options.OutputPath, "/videos/");
  EXPECT_EQ(options.RgpProfiles, 0);
  EXPECT_EQ(options.CboProfiles, 0);

  std::filesystem::create_directories(home.Folder().Path() / "Tovrena");
  WriteTextFile(OptionsFilePath(), "[Options]\nRgpProfiles=eight\nCboProfiles=3\n");
  options = ReadAppOptions("/videos/");
  EXPECT_EQ(options.RgpProfiles, 0);
  EXPECT_EQ(options.CboProfiles, 3);

  WriteAppOptions({" /media/My Films/ ", 8, 2});
  options = ReadAppOptions("/videos/");
  EXPECT_EQ(options.OutputPath, " /media/My Films/ ");
  EXPECT_EQ(options.RgpProfiles, 8);
  EXPECT_EQ(options.CboProfiles, 2);
}

TEST(UnitGeneralTest, ProfileListFollowsTheFileAndEndsWithCustom) {
  TScopedConfigHome home;
  EXPECT_EQ(ListProfiles("AVI"), (Strings{"[Custom]"}));
  home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("MPG"), kTwoProfiles);
  EXPECT_EQ(ListProfiles("MPG"), (Strings{"DVD (PAL)", "Small", "[Custom]"}));
}

TEST(UnitGeneralTest, LoadProfileFillsMissingKeysWithDefaults) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("MP4"), kTwoProfiles);

  const TProfileSettings small = LoadProfile("MP4", "Small");
  EXPECT_EQ(small.TargetType, "MP4");
  EXPECT_TRUE(small.VideoDisabled);
  EXPECT_FALSE(small.AudioDisabled);
  EXPECT_EQ(small.VideoCodec, "Auto");
  EXPECT_EQ(small.AudioCodec, "Auto");
  EXPECT_EQ(small.VideoSizeOption, "Original");
  EXPECT_EQ(small.VideoCustomWidth, "0");
  EXPECT_EQ(small.VideoCustomHeight, "0");
  EXPECT_EQ(small.VideoBitrate, "4500");
  EXPECT_EQ(small.VideoFrameRateOption, "25");
  EXPECT_EQ(small.AudioChannels, "3");
  EXPECT_EQ(small.AudioSampleRate, "32000");
  EXPECT_EQ(small.AudioBitRate, "64");
  EXPECT_EQ(small.OOTargetType, "");
  EXPECT_EQ(small.OONormType, "");

  const TProfileSettings dvd = LoadProfile("MP4", "DVD (PAL)");
  EXPECT_EQ(dvd.TargetType, "MPG");
  EXPECT_EQ(dvd.VideoCustomWidth, "720");
  EXPECT_EQ(dvd.OOTargetType, "ttDVD");
  EXPECT_EQ(dvd.OONormType, "ntPAL");
}

TEST(UnitGeneralTest, CustomNeverReadsAStoredSection) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("FLV"), "[[Custom]]\nVideoBitrate=1\nTargetType=x\n");
  const TProfileSettings custom = LoadProfile("FLV", "[Custom]");
  EXPECT_EQ(custom.TargetType, "FLV");
  EXPECT_EQ(custom.VideoBitrate, "4500");
}

TEST(UnitGeneralTest, SavingOverAProfileKeepsItsPlaceAndTargetKeys) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("MPG"), kTwoProfiles);
  TProfileSettings profile;
  profile.TargetType = "MPG";
  profile.VideoCodec = "MPEG-1";
  profile.AudioBitRate = "12.2";
  SaveProfile("MPG", "DVD (PAL)", profile);
  SaveProfile("MPG", " New one ", profile);

  EXPECT_EQ(ListProfiles("MPG"), (Strings{"DVD (PAL)", "Small", " New one ", "[Custom]"}));
  const TProfileSettings saved = LoadProfile("MPG", "DVD (PAL)");
  EXPECT_EQ(saved.VideoCodec, "MPEG-1");
  EXPECT_EQ(saved.VideoSizeOption, "Original");
  EXPECT_EQ(saved.AudioBitRate, "12.2");
  EXPECT_EQ(saved.OOTargetType, "ttDVD");
  EXPECT_EQ(saved.OONormType, "ntPAL");
  EXPECT_EQ(LoadProfile("MPG", "Small").AudioChannels, "3");

  const std::string text = ReadTextFile(GroupFilePath("MPG"));
  EXPECT_NE(text.find("[ New one ]\nTargetType=MPG\nVideoDisabled=0\nVideoCodec=MPEG-1\n"
                      "VideoSizeOption=Original\nVideoCustomWidth=0\nVideoCustomHeight=0\n"
                      "VideoBitrate=4500\nVideoFrameRateOption=25\nAudioDisabled=0\n"
                      "AudioCodec=Auto\nAudioChannels=2\nAudioSampleRate=32000\n"
                      "AudioBitRate=12.2\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("OOTargetType", text.find("[ New one ]")), std::string::npos);
}

TEST(UnitGeneralTest, NewerKeysAreStoredOnlyWhileTheyDifferFromTheirDefaults) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  TProfileSettings profile;
  profile.TargetType = "MKV";
  profile.VideoRateControl = kRateControlQuality;
  profile.VideoQuality = "30";
  profile.Tracks = kTracksAll;
  profile.CopyStreamsThatFit = true;
  SaveProfile("MKV", "Q", profile);
  const TProfileSettings saved = LoadProfile("MKV", "Q");
  EXPECT_EQ(saved.VideoRateControl, kRateControlQuality);
  EXPECT_EQ(saved.VideoQuality, "30");
  EXPECT_EQ(saved.Tracks, kTracksAll);
  EXPECT_TRUE(saved.CopyStreamsThatFit);

  // Back to the defaults: the keys go, and the section reads as one written before them.
  TProfileSettings plain;
  plain.TargetType = "MKV";
  SaveProfile("MKV", "Q", plain);
  const std::string text = ReadTextFile(GroupFilePath("MKV"));
  for (const char* key : {"VideoRateControl", "VideoQuality", "Tracks", "CopyStreamsThatFit"}) {
    EXPECT_EQ(text.find(key), std::string::npos) << key;
  }
  EXPECT_EQ(LoadProfile("MKV", "Q").Tracks, kTracksFirst);
}

TEST(UnitGeneralTest, DeleteProfileErasesOnlyItsSection) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("AVI"), kTwoProfiles);
  DeleteProfile("AVI", "DVD (PAL)");
  EXPECT_EQ(ListProfiles("AVI"), (Strings{"Small", "[Custom]"}));
  EXPECT_EQ(LoadProfile("AVI", "Small").AudioChannels, "3");
}

TEST(UnitGeneralTest, RefusedProfileWriteNamesTheFileAndCreatesNothing) {
  TScopedConfigHome home;
  try {
    SaveProfile("WMV", "P", TProfileSettings());
    FAIL() << "no error";
  } catch (const EIniFileError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to write to " + GroupFilePath("WMV") + ": No such file or directory");
  }
  EXPECT_FALSE(std::filesystem::exists(home.Folder().Path() / "Tovrena"));
}

TEST(UnitGeneralTest, CatalogueLookupsDefaultToAuto) {
  TScopedConfigHome home;
  EXPECT_TRUE(CatalogueNames("Video Codec").empty());
  EXPECT_EQ(CatalogueCodec("Video Codec", "H.264 (AVC)"), "Auto");
  home.CreateSettingsFolder();
  WriteTextFile(CodecCatalogueFilePath(),
                "[Video Codec]\nMPEG-4 Part 2=mpeg4\nH.264 (AVC)=libx264\n"
                "[Audio Codec]\nMP3=libmp3lame\nAMR Narrow-Band=libopencore_amrnb\n");
  EXPECT_EQ(CatalogueNames("Video Codec"), (Strings{"MPEG-4 Part 2", "H.264 (AVC)"}));
  EXPECT_EQ(CatalogueNames("Audio Codec"), (Strings{"MP3", "AMR Narrow-Band"}));
  EXPECT_EQ(CatalogueCodec("Video Codec", "H.264 (AVC)"), "libx264");
  EXPECT_EQ(CatalogueCodec("Audio Codec", "H.264 (AVC)"), "Auto");
  EXPECT_EQ(CatalogueCodec("Audio Codec", "Opus"), "Auto");
}

// The text a group file read fails with, or "" when it is read.
std::string ReadFailure(const std::function<void()>& read) {
  try {
    read();
  } catch (const EIniFileError& error) {
    return error.what();
  }
  return {};
}

TEST(UnitGeneralTest, AGroupFileThatCannotBeReadSaysWhyAndIsLeftAsItWas) {
  TScopedConfigHome home;
  home.CreateSettingsFolder();
  const std::string avi = GroupFilePath("AVI");
  const std::string damaged = std::string(kTwoProfiles) + "VideoBitrate 800\n";
  WriteTextFile(avi, damaged);
  std::filesystem::last_write_time(avi, std::filesystem::file_time_type{});
  const std::string expected = "Cannot read " + avi +
                               ": not a settings file (line 13: neither a [section] nor a "
                               "key=value line)";
  EXPECT_EQ(ReadFailure([] { ListProfiles("AVI"); }), expected);
  EXPECT_EQ(ReadFailure([] { LoadProfile("AVI", "Small"); }), expected);
  // "[Custom]" stands for values set by hand and needs nothing of the file.
  EXPECT_EQ(ReadFailure([] { LoadProfile("AVI", "[Custom]"); }), "");
  // Reading neither rewrites nor touches it.
  EXPECT_EQ(ReadTextFile(avi), damaged);
  EXPECT_EQ(std::filesystem::last_write_time(avi), std::filesystem::file_time_type{});

  const std::string mp4 = GroupFilePath("MP4");
  std::filesystem::create_symlink(mp4, mp4);
  EXPECT_EQ(ReadFailure([] { ListProfiles("MP4"); }),
            "Cannot read " + mp4 + ": Too many levels of symbolic links");

  // A missing group file is a group without profiles, not a failure.
  EXPECT_EQ(ListProfiles("WMV"), Strings{"[Custom]"});
}

TEST(UnitGeneralTest, AGroupFileTheUserMayNotReadSaysPermissionDenied) {
  TScopedConfigHome home;
  const std::string settings = home.CreateSettingsFolder();
  WriteTextFile(GroupFilePath("FLV"), kTwoProfiles);
  ::chmod(GroupFilePath("FLV").c_str(), 0);
  for (auto folder = std::filesystem::path(settings); folder != home.Folder().Path().parent_path();
       folder = folder.parent_path()) {
    ::chmod(folder.c_str(), 0755);
  }
  const pid_t child = ::fork();
  if (child == 0) {
    // Root reads every file: the check runs as an ordinary user.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
    const std::string failure = ReadFailure([] { ListProfiles("FLV"); });
    ::_exit(failure == "Cannot read " + GroupFilePath("FLV") + ": Permission denied" ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::chmod(GroupFilePath("FLV").c_str(), 0644);
  EXPECT_EQ(ReadTextFile(GroupFilePath("FLV")), kTwoProfiles);
}

}  // namespace
