// What tovrena-cli takes from the window's settings: the output group and profile (given,
// or the window's last choice), the profile keys overridden for one run, and the output
// folder.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/UnitGeneral.h"

// The group of that name (letter case ignored), as the window spells it. Throws
// EUsageError for a name that is no output group.
std::string CanonicalGroupName(const std::string& name);

struct TChosenProfile {
  std::string Group;
  std::string Name;  // a section of the group file, or "[Custom]"
  TProfileSettings Settings;
  // No profile was named and the group file holds none: the group's defaults apply, as in
  // the window.
  bool GroupHasNoProfiles = false;
};

// group empty: the window's last group (the first one when the stored index is none);
// profile not given: the window's last profile when the group is the last one, else the
// group's first. A named profile matches a section of the group file (letter case
// ignored) or "[Custom]". Overrides replace profile keys (names as in the group file,
// letter case ignored). Throws EUsageError for an unknown group, profile or key, and for a
// yes/no key whose value is not a number; EIniFileError for a group file, or an options
// file that is needed, that exists but cannot be read.
TChosenProfile ChooseProfile(const std::string& group, const std::optional<std::string>& profile,
                             const std::vector<std::pair<std::string, std::string>>& overrides);

// The window's output folder from the options file, else the user's videos folder; given,
// the folder as given. Always ends with "/". Throws EIniFileError when the options file is
// needed and cannot be read.
std::string ChooseOutputFolder(const std::string& given);
