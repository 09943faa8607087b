// tovrena-install-settings: puts the default codec catalogue and profiles into the user's
// settings folder, asking the media libraries beside the program which encoders exist.
#include <cstdio>
#include <filesystem>
#include <string>

#include "binding/MediaLibraries.h"
#include "binding/MyUtils.h"
#include "frontend/LibraryEncoders.h"
#include "frontend/SettingsInstaller.h"
#include "frontend/UnitGeneral.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr,
                 "Usage: tovrena-install-settings SOURCE_FOLDER [SETTINGS_FOLDER]\n"
                 "Installs the catalogue and profiles of SOURCE_FOLDER that are missing from\n"
                 "SETTINGS_FOLDER (default: %s).\n",
                 SettingsFolderPath().c_str());
    return 2;
  }
  const std::string target = argc == 3 ? argv[2] : SettingsFolderPath();
  if (target.empty()) {
    std::fprintf(stderr, "tovrena-install-settings: no configuration folder is known\n");
    return 1;
  }
  const std::string libraries = ExecutableFolder() + "LibAV";
  if (!LoadMediaLibraries(libraries, true)) {
    std::fprintf(stderr, "tovrena-install-settings: %s\n", MediaLibrariesError().c_str());
    return 1;
  }
  int result = 0;
  try {
    const TInstallReport report = InstallDefaultSettings(argv[1], target, LibraryEncoderQuery());
    for (const std::string& skipped : report.Skipped) std::printf("note: %s\n", skipped.c_str());
    for (const std::string& file : report.Installed) {
      std::printf("installed %s\n", (std::filesystem::path(target) / file).c_str());
    }
  } catch (const EIniFileError& error) {
    std::fprintf(stderr, "tovrena-install-settings: %s\n", error.what());
    result = 1;
  }
  FreeMediaLibraries();
  return result;
}
