#include "frontend/FirstStartSettings.h"

#include <filesystem>

#include "binding/MediaLibraries.h"
#include "frontend/LibraryEncoders.h"

namespace fs = std::filesystem;

namespace {

// Unbinds on the way out what was bound on the way in, also when the install throws.
class TLibrariesForQuestion {
 public:
  explicit TLibrariesForQuestion(const std::string& folder)
      : boundBefore_(MediaLibrariesLoaded()), bound_(LoadMediaLibraries(folder, true)) {}
  ~TLibrariesForQuestion() {
    if (bound_ && !boundBefore_) FreeMediaLibraries();
  }
  TLibrariesForQuestion(const TLibrariesForQuestion&) = delete;
  TLibrariesForQuestion& operator=(const TLibrariesForQuestion&) = delete;

  bool Bound() const { return bound_; }

 private:
  bool boundBefore_;
  bool bound_;
};

}  // namespace

std::string ShippedSettingsFolder(const std::string& programFolder) {
  std::error_code error;
  const fs::path shipped = fs::path(programFolder) / ".." / ".." / "share" / "tovrena" / "settings";
  if (!fs::is_directory(shipped, error)) return std::string();
  return fs::weakly_canonical(shipped, error).string();
}

TInstallReport InstallSettingsOnFirstStart(const std::string& programFolder,
                                           const std::string& settingsFolder) {
  const std::string shipped = ShippedSettingsFolder(programFolder);
  if (shipped.empty() || settingsFolder.empty() ||
      MissingDefaultSettings(shipped, settingsFolder).empty()) {
    return {};
  }
  const TLibrariesForQuestion libraries((fs::path(programFolder) / "LibAV").string());
  if (!libraries.Bound()) {
    throw EFirstStartLibrariesError("The default settings were not installed into " +
                                    settingsFolder + ": " + MediaLibrariesError());
  }
  return InstallDefaultSettings(shipped, settingsFolder, LibraryEncoderQuery());
}
