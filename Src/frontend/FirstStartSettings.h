// The default settings an installed program brings along, put into the user's settings
// folder when the program starts, so that a user who installed the package and starts it
// from the menu has the profiles without running a script.
#pragma once

#include <stdexcept>
#include <string>

#include "frontend/SettingsInstaller.h"

class EFirstStartLibrariesError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The defaults an installed program was shipped with: <prefix>/share/tovrena/settings/ for
// a program in <prefix>/lib/tovrena/. Empty when there are none there (a build tree).
std::string ShippedSettingsFolder(const std::string& programFolder);

// Installs the shipped defaults that settingsFolder lacks (all of them on the first start,
// a new group's file after an update) as tovrena-install-settings does: only what the
// media libraries in programFolder's LibAV can encode, never replacing a file, writing
// nothing outside settingsFolder. The libraries are bound for the question and freed again
// unless they were bound already. Does nothing when the program ships no defaults or when
// nothing is missing. Throws EIniFileError when a write is refused, and
// EFirstStartLibrariesError with the libraries' reason when they cannot be bound (nothing
// is written then).
TInstallReport InstallSettingsOnFirstStart(const std::string& programFolder,
                                           const std::string& settingsFolder);
