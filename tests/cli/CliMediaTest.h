// The fixture of the command-line tests that convert: a settings folder with the tests'
// small profiles, an output folder, and copies of the suite's clips where a test needs them.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "CliTestSupport.h"
#include "MediaTest.h"
#include "binding/MyUtils.h"
#include "frontend/IniFile.h"
#include "frontend/LibraryEncoders.h"
#include "frontend/SettingsInstaller.h"

class TCliMediaTest : public TMediaTest {
 protected:
  void SetUp() override {
    TMediaTest::SetUp();
    home.WriteTestProfiles();
    output = folder.File("out") + "/";
  }

  // A copy of the suite's clip.avi at folder/name.
  std::string CopyOfClip(const std::string& name) const {
    const std::filesystem::path path = folder.Path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(Clip("clip.avi"), path);
    return path.string();
  }

  TCliHome home;
  std::string output;
};

// The fixture of the command-line tests that convert with the profiles a user gets installed.
class TCliInstalledProfilesTest : public TMediaTest {
 protected:
  void SetUp() override {
    TMediaTest::SetUp();
    output = folder.File("out") + "/";
    const TInstallReport report = InstallDefaultSettings(
        TOVRENA_DEFAULT_SETTINGS_DIR, home.SettingsFolder(), LibraryEncoderQuery());
    ASSERT_FALSE(report.Installed.empty());
  }

  // The extension of the files the group's profile makes.
  std::string ExtensionOf(const std::string& group, const std::string& profile) const {
    const TIniFile groupFile(home.SettingsFolder() + group + ".ini");
    return LowerCase(groupFile.ReadString(profile, "TargetType", group));
  }

  // The group's installed profiles, each with the extension of its files.
  std::vector<std::pair<std::string, std::string>> ProfilesOf(const std::string& group) const {
    std::vector<std::pair<std::string, std::string>> profiles;
    for (const std::string& profile :
         TIniFile(home.SettingsFolder() + group + ".ini").ReadSections())
      profiles.emplace_back(profile, ExtensionOf(group, profile));
    return profiles;
  }

  TCliHome home;
  std::string output;
};
