// Helpers of the settings and window tests: a settings folder of their own and file contents.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"

// Points XDG_CONFIG_HOME at a temporary folder for the object's lifetime, so no test ever
// reads or writes the real user's settings.
class TScopedConfigHome {
 public:
  TScopedConfigHome() {
    if (const char* value = std::getenv("XDG_CONFIG_HOME"); value != nullptr) {
      hadValue_ = true;
      oldValue_ = value;
    }
    ::setenv("XDG_CONFIG_HOME", folder_.Path().c_str(), 1);
  }
  ~TScopedConfigHome() {
    if (hadValue_) {
      ::setenv("XDG_CONFIG_HOME", oldValue_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  TScopedConfigHome(const TScopedConfigHome&) = delete;
  TScopedConfigHome& operator=(const TScopedConfigHome&) = delete;

  const TTempFolder& Folder() const { return folder_; }
  // Creates <config>/Tovrena/Settings/ and returns it.
  std::string CreateSettingsFolder() const {
    const std::filesystem::path settings = folder_.Path() / "Tovrena" / "Settings";
    std::filesystem::create_directories(settings);
    return settings.string() + "/";
  }

 private:
  TTempFolder folder_;
  bool hadValue_ = false;
  std::string oldValue_;
};
