#include "cli/CliSettings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>

#include "binding/MyUtils.h"
#include "cli/CliArguments.h"
#include "frontend/IniFile.h"

namespace {

// The keys of a profile section, as the window reads them.
constexpr const char* kProfileKeys[] = {
    "TargetType",        "VideoDisabled",        "VideoCodec",
    "VideoSizeOption",   "VideoCustomWidth",     "VideoCustomHeight",
    "VideoBitrate",      "VideoFrameRateOption", "AudioDisabled",
    "AudioCodec",        "AudioChannels",        "AudioSampleRate",
    "AudioBitRate",      "OOTargetType",         "OONormType",
    "VideoRateControl",  "VideoQuality",         "Tracks",
    "CopyStreamsThatFit"};
constexpr const char* kYesNoKeys[] = {"VideoDisabled", "AudioDisabled", "CopyStreamsThatFit"};

// The section that carries the overrides of "[Custom]", which never reads a stored one.
constexpr const char* kOverrideSection = "Custom";

std::string JoinedGroups() {
  std::string names;
  for (const char* group : kOutputGroups) names += std::string(names.empty() ? "" : ", ") + group;
  return names;
}

bool IsDecimalInteger(const std::string& text) {
  const std::string digits = Trim(text, " ");
  const char* begin = digits.starts_with('+') ? digits.data() + 1 : digits.data();
  const char* end = digits.data() + digits.size();
  int value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  return error == std::errc() && stop == end;
}

void CheckOverride(const std::string& key, const std::string& value) {
  const auto known = std::find_if(std::begin(kProfileKeys), std::end(kProfileKeys),
                                  [&](const char* name) { return SameText(key, name); });
  if (known == std::end(kProfileKeys)) {
    std::string keys;
    for (const char* name : kProfileKeys) keys += std::string(keys.empty() ? "" : ", ") + name;
    throw EUsageError("--set: unknown profile key '" + key + "' (keys: " + keys + ")");
  }
  const bool yesNo = std::any_of(std::begin(kYesNoKeys), std::end(kYesNoKeys),
                                 [&](const char* name) { return SameText(key, name); });
  if (yesNo && !IsDecimalInteger(value)) {
    throw EUsageError("--set " + key + " needs 0 (no) or 1 (yes), not '" + value + "'");
  }
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

// The user's videos folder as the desktop names it (XDG_VIDEOS_DIR of user-dirs.dirs),
// else ~/Videos: where the window puts outputs before a folder is chosen.
std::string VideosFolder() {
  const std::string home = HomeFolder();
  std::string configuration = home + "/.config";
  if (const char* value = std::getenv("XDG_CONFIG_HOME"); value != nullptr && value[0] == '/') {
    configuration = value;
  }
  std::ifstream dirs(configuration + "/user-dirs.dirs");
  const std::string key = "XDG_VIDEOS_DIR=";
  for (std::string line; std::getline(dirs, line);) {
    if (line.rfind(key, 0) != 0) continue;
    std::string folder = line.substr(key.size());
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (folder.rfind("$HOME", 0) == 0) folder = home + folder.substr(5);
    if (!folder.empty() && folder[0] == '/') return folder;
  }
  return home + "/Videos";
}

// The window's last choices. An options file that exists but cannot be read throws: the
// defaults that would stand in for it are not what the user chose.
TAppOptions LastChoices(const std::string& defaultOutputPath) {
  CheckReadable(TIniFile(OptionsFilePath()));
  return ReadAppOptions(defaultOutputPath);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string CanonicalGroupName(const std::string& name) {
  for (const char* group : kOutputGroups) {
    if (SameText(name, group)) return group;
  }
  throw EUsageError("unknown group '" + name + "' (groups: " + JoinedGroups() + ")");
}

TChosenProfile ChooseProfile(const std::string& group, const std::optional<std::string>& profile,
                             const std::vector<std::pair<std::string, std::string>>& overrides) {
  const TAppOptions last = group.empty() || !profile ? LastChoices(std::string()) : TAppOptions{};
  const int groupCount = static_cast<int>(kOutputGroups.size());
  const bool lastGroupKnown = last.RgpProfiles >= 0 && last.RgpProfiles < groupCount;
  TChosenProfile chosen;
  chosen.Group = group.empty() ? kOutputGroups[lastGroupKnown ? last.RgpProfiles : 0]
                               : CanonicalGroupName(group);
  // "[Custom]" named by the user needs nothing of the group file, which may be unreadable.
  const bool customNamed = profile && SameText(*profile, kCustomProfile);
  const std::vector<std::string> names =  // ends with "[Custom]"
      customNamed ? std::vector<std::string>{kCustomProfile} : ListProfiles(chosen.Group);
  if (profile) {
    const auto match = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
      return SameText(*profile, name);
    });
    if (match == names.end()) {
      throw EUsageError("unknown profile '" + *profile + "' in group " + chosen.Group +
                        " (see: tovrena-cli profiles " + chosen.Group + ")");
    }
    chosen.Name = *match;
  } else {
    const bool lastGroup = lastGroupKnown && kOutputGroups[last.RgpProfiles] == chosen.Group;
    const int stored = lastGroup ? last.CboProfiles : 0;
    // A stored index the list no longer has falls back to the first profile.
    chosen.Name = names[stored >= 0 && stored < static_cast<int>(names.size()) ? stored : 0];
    chosen.GroupHasNoProfiles = names.size() == 1;
  }

  for (const auto& [key, value] : overrides) CheckOverride(key, value);
  if (chosen.Name == kCustomProfile) {
    TIniFile scratch{std::string()};
    for (const auto& [key, value] : overrides) scratch.WriteString(kOverrideSection, key, value);
    chosen.Settings = ReadProfile(scratch, kOverrideSection, chosen.Group);
  } else {
    // Written into the text held in memory only; the group file is never saved here.
    TIniFile groupFile(GroupFilePath(chosen.Group));
    CheckReadable(groupFile);
    for (const auto& [key, value] : overrides) groupFile.WriteString(chosen.Name, key, value);
    chosen.Settings = ReadProfile(groupFile, chosen.Name, chosen.Group);
  }
  return chosen;
}

std::string ChooseOutputFolder(const std::string& given) {
  if (!given.empty()) return WithTrailingSlash(given);
  return WithTrailingSlash(LastChoices(VideosFolder()).OutputPath);
}
