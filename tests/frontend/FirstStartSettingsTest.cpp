#include "frontend/FirstStartSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "ConfigHomeSupport.h"
#include "binding/MediaLibraries.h"
#include "frontend/IniFile.h"

namespace {

namespace fs = std::filesystem;

// Every entry below root with a digest of its content, leaving out one folder and the
// folders on the way to it (making the settings folder makes those).
std::map<std::string, std::size_t> Snapshot(const fs::path& root, const fs::path& leftOut) {
  std::map<std::string, std::size_t> files;
  const std::string inside = leftOut.string() + "/";
  for (auto entry = fs::recursive_directory_iterator(root); entry != fs::end(entry); ++entry) {
    if (entry->path() == leftOut) {
      entry.disable_recursion_pending();
      continue;
    }
    const bool onTheWay = inside.rfind(entry->path().string() + "/", 0) == 0;
    if (entry->is_directory() && onTheWay) continue;
    files[entry->path().string()] =
        entry->is_regular_file() ? std::hash<std::string>()(ReadTextFile(entry->path().string()))
                                 : 0;
  }
  return files;
}

// A program as the package lays it out: <root>/lib/tovrena/ with its LibAV folder and
// <root>/share/tovrena/settings/ with the shipped defaults; the user's settings folder
// lies under a configuration folder of its own.
class FirstStartSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(program);
    fs::create_directory_symlink(fs::absolute(LibAVFolder()), program / "LibAV");
    fs::create_directories(shipped);
    for (const auto& file : fs::directory_iterator(TOVRENA_DEFAULT_SETTINGS_DIR)) {
      if (file.path().extension() == ".ini")
        fs::copy_file(file.path(), shipped / file.path().filename());
    }
  }

  std::map<std::string, std::size_t> Outside() const {
    std::map<std::string, std::size_t> files = Snapshot(root.Path(), settings);
    files.merge(Snapshot(config.Folder().Path(), settings));
    return files;
  }

  TTempFolder root;
  TScopedConfigHome config;
  const fs::path program = root.Path() / "lib" / "tovrena";
  const fs::path shipped = root.Path() / "share" / "tovrena" / "settings";
  const fs::path settings = config.Folder().Path() / "Tovrena" / "Settings";
};

TEST_F(FirstStartSettingsTest, AnEmptySettingsFolderGetsTheDefaultsTheLibrariesCanEncode) {
  const auto before = Outside();
  const TInstallReport report = InstallSettingsOnFirstStart(program.string(), settings.string());

  EXPECT_EQ(Outside(), before) << "written outside the settings folder";
  EXPECT_FALSE(MediaLibrariesLoaded()) << "the libraries bound for the question stay bound";
  EXPECT_TRUE(MissingDefaultSettings(shipped.string(), settings.string()).empty());
  EXPECT_EQ(report.Installed.size(),
            MissingDefaultSettings(shipped.string(), "/nonexistent").size());
  // Debian's libraries have the MPEG-4 encoder the AVI group's first profile uses.
  TIniFile avi((settings / "AVI.ini").string());
  EXPECT_FALSE(avi.ReadSections().empty());
}

TEST_F(FirstStartSettingsTest, FilesTheUserHasAreNeverReplaced) {
  fs::create_directories(settings);
  const std::string mine = "[Mine]\nVideoCodec=MPEG-4\nVideoBitrate=123\n";
  WriteTextFile((settings / "AVI.ini").string(), mine);
  WriteTextFile((settings / "codec.ini").string(), "[Video Codec]\nMPEG-4=mpeg4\n");

  const TInstallReport report = InstallSettingsOnFirstStart(program.string(), settings.string());
  EXPECT_EQ(ReadTextFile((settings / "AVI.ini").string()), mine);
  EXPECT_EQ(ReadTextFile((settings / "codec.ini").string()), "[Video Codec]\nMPEG-4=mpeg4\n");
  for (const std::string& file : report.Installed) {
    EXPECT_NE(file, "AVI.ini");
    EXPECT_NE(file, "codec.ini");
  }
  EXPECT_TRUE(fs::exists(settings / "MP4.ini"));

  // A second start finds everything there and writes nothing.
  const auto before = Snapshot(config.Folder().Path(), {});
  EXPECT_TRUE(InstallSettingsOnFirstStart(program.string(), settings.string()).Installed.empty());
  EXPECT_EQ(Snapshot(config.Folder().Path(), {}), before);
}

TEST_F(FirstStartSettingsTest, AProgramWithoutShippedDefaultsWritesNothing) {
  fs::remove_all(root.Path() / "share");
  EXPECT_EQ(ShippedSettingsFolder(program.string()), "");
  const auto before = Outside();
  EXPECT_TRUE(InstallSettingsOnFirstStart(program.string(), settings.string()).Installed.empty());
  EXPECT_FALSE(fs::exists(settings));
  EXPECT_EQ(Outside(), before);
}

TEST_F(FirstStartSettingsTest, ARefusedWriteNamesTheFileAndLeavesNothingBound) {
  // A file where the configuration folder's Tovrena folder should be: no folder can be made.
  WriteTextFile((config.Folder().Path() / "Tovrena").string(), "not a folder");
  try {
    InstallSettingsOnFirstStart(program.string(), settings.string());
    FAIL() << "a refused write passed";
  } catch (const EIniFileError& error) {
    EXPECT_NE(std::string(error.what()).find(settings.string()), std::string::npos) << error.what();
  }
  EXPECT_FALSE(MediaLibrariesLoaded());
  EXPECT_EQ(ReadTextFile((config.Folder().Path() / "Tovrena").string()), "not a folder");
}

TEST_F(FirstStartSettingsTest, LibrariesThatCannotBeBoundAreSaidAndNothingIsWritten) {
  fs::remove(program / "LibAV");
  fs::create_directory(program / "LibAV");
  const auto before = Outside();
  try {
    InstallSettingsOnFirstStart(program.string(), settings.string());
    FAIL() << "missing libraries passed";
  } catch (const EFirstStartLibrariesError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find(settings.string()), std::string::npos) << text;
    EXPECT_NE(text.find("libavcodec"), std::string::npos) << text;
  }
  EXPECT_FALSE(fs::exists(settings));
  EXPECT_EQ(Outside(), before);
}

}  // namespace
