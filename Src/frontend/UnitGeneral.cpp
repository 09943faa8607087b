#include "frontend/UnitGeneral.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

const char* const kOptionsSection = "Options";

// The folder the XDG base directory rules give for configuration: $XDG_CONFIG_HOME when it
// is an absolute path, else the home folder's ".config". Empty when neither is known.
std::string ConfigurationFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') return configHome;
  std::string home;
  if (const char* homeVariable = std::getenv("HOME"); homeVariable != nullptr) {
    home = homeVariable;
  }
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr) {
      home = entry->pw_dir;
    }
  }
  if (home.empty()) return home;
  return home + (home.back() == '/' ? "" : "/") + ".config";
}

// folder + tail with exactly one separator between them.
std::string UnderConfigurationFolder(const std::string& tail) {
  const std::string folder = ConfigurationFolder();
  if (folder.empty()) return folder;
  return folder + (folder.back() == '/' ? "" : "/") + tail;
}

}  // namespace

std::string OptionsFilePath() {
  return UnderConfigurationFolder("Tovrena/Options.ini");
}

std::string SettingsFolderPath() {
  return UnderConfigurationFolder("Tovrena/Settings/");
}

std::string GroupFilePath(const std::string& groupName) {
  return SettingsFolderPath() + groupName + ".ini";
}

std::string CodecCatalogueFilePath() {
  return SettingsFolderPath() + kCodecCatalogueFile;
}

TAppOptions ReadAppOptions(const std::string& defaultOutputPath) {
  const TIniFile file(OptionsFilePath());
  TAppOptions options;
  options.OutputPath = file.ReadString(kOptionsSection, "OutputPath", defaultOutputPath);
  options.RgpProfiles = file.ReadInteger(kOptionsSection, "RgpProfiles", 0);
  options.CboProfiles = file.ReadInteger(kOptionsSection, "CboProfiles", 0);
  return options;
}

void WriteAppOptions(const TAppOptions& options) {
  TIniFile file(OptionsFilePath());
  file.WriteString(kOptionsSection, "OutputPath", options.OutputPath);
  file.WriteInteger(kOptionsSection, "RgpProfiles", options.RgpProfiles);
  file.WriteInteger(kOptionsSection, "CboProfiles", options.CboProfiles);
  file.Save();
}

const TIniFile& CheckReadable(const TIniFile& file) {
  if (!file.ReadProblem().empty()) {
    throw EIniFileError("Cannot read " + file.FileName() + ": " + file.ReadProblem());
  }
  return file;
}

std::vector<std::string> ListProfiles(const std::string& groupName) {
  std::vector<std::string> profiles =
      CheckReadable(TIniFile(GroupFilePath(groupName))).ReadSections();
  profiles.emplace_back(kCustomProfile);
  return profiles;
}

TProfileSettings ReadProfile(const TIniFile& groupFile, const std::string& profileName,
                             const std::string& groupName) {
  const std::string& s = profileName;
  const TProfileSettings defaults;
  TProfileSettings profile;
  profile.TargetType = groupName;
  // "[Custom]" stands for hand-set values and never reads a stored section.
  if (profileName == kCustomProfile) return profile;
  profile.TargetType = groupFile.ReadString(s, "TargetType", groupName);
  profile.VideoDisabled = groupFile.ReadBool(s, "VideoDisabled", defaults.VideoDisabled);
  profile.VideoCodec = groupFile.ReadString(s, "VideoCodec", defaults.VideoCodec);
  profile.VideoSizeOption = groupFile.ReadString(s, "VideoSizeOption", defaults.VideoSizeOption);
  profile.VideoCustomWidth = groupFile.ReadString(s, "VideoCustomWidth", defaults.VideoCustomWidth);
  profile.VideoCustomHeight =
      groupFile.ReadString(s, "VideoCustomHeight", defaults.VideoCustomHeight);
  profile.VideoBitrate = groupFile.ReadString(s, "VideoBitrate", defaults.VideoBitrate);
  profile.VideoFrameRateOption =
      groupFile.ReadString(s, "VideoFrameRateOption", defaults.VideoFrameRateOption);
  profile.AudioDisabled = groupFile.ReadBool(s, "AudioDisabled", defaults.AudioDisabled);
  profile.AudioCodec = groupFile.ReadString(s, "AudioCodec", defaults.AudioCodec);
  profile.AudioChannels = groupFile.ReadString(s, "AudioChannels", defaults.AudioChannels);
  profile.AudioSampleRate = groupFile.ReadString(s, "AudioSampleRate", defaults.AudioSampleRate);
  profile.AudioBitRate = groupFile.ReadString(s, "AudioBitRate", defaults.AudioBitRate);
  profile.OOTargetType = groupFile.ReadString(s, "OOTargetType", defaults.OOTargetType);
  profile.OONormType = groupFile.ReadString(s, "OONormType", defaults.OONormType);
  profile.VideoRateControl = groupFile.ReadString(s, "VideoRateControl", defaults.VideoRateControl);
  profile.VideoQuality = groupFile.ReadString(s, "VideoQuality", defaults.VideoQuality);
  profile.Tracks = groupFile.ReadString(s, "Tracks", defaults.Tracks);
  profile.CopyStreamsThatFit =
      groupFile.ReadBool(s, "CopyStreamsThatFit", defaults.CopyStreamsThatFit);
  return profile;
}

TProfileSettings LoadProfile(const std::string& groupName, const std::string& profileName) {
  if (profileName == kCustomProfile) {
    return ReadProfile(TIniFile(std::string()), profileName, groupName);
  }
  return ReadProfile(CheckReadable(TIniFile(GroupFilePath(groupName))), profileName, groupName);
}

namespace {

// Every key of a profile but the two "OO" keys into one section.
void WriteProfile(TIniFile& file, const std::string& section, const TProfileSettings& profile) {
  const std::string& s = section;
  file.WriteString(s, "TargetType", profile.TargetType);
  file.WriteBool(s, "VideoDisabled", profile.VideoDisabled);
  file.WriteString(s, "VideoCodec", profile.VideoCodec);
  file.WriteString(s, "VideoSizeOption", profile.VideoSizeOption);
  file.WriteString(s, "VideoCustomWidth", profile.VideoCustomWidth);
  file.WriteString(s, "VideoCustomHeight", profile.VideoCustomHeight);
  file.WriteString(s, "VideoBitrate", profile.VideoBitrate);
  file.WriteString(s, "VideoFrameRateOption", profile.VideoFrameRateOption);
  file.WriteBool(s, "AudioDisabled", profile.AudioDisabled);
  file.WriteString(s, "AudioCodec", profile.AudioCodec);
  file.WriteString(s, "AudioChannels", profile.AudioChannels);
  file.WriteString(s, "AudioSampleRate", profile.AudioSampleRate);
  file.WriteString(s, "AudioBitRate", profile.AudioBitRate);
  // The newer keys are stored only where they differ from their defaults, so a profile
  // that uses none of them is stored as it always was.
  const TProfileSettings defaults;
  const auto writeUnlessDefault = [&](const char* key, const std::string& value,
                                      const std::string& defaultValue) {
    if (value == defaultValue) {
      file.DeleteKey(s, key);
    } else {
      file.WriteString(s, key, value);
    }
  };
  writeUnlessDefault("VideoRateControl", profile.VideoRateControl, defaults.VideoRateControl);
  writeUnlessDefault("VideoQuality", profile.VideoQuality, defaults.VideoQuality);
  writeUnlessDefault("Tracks", profile.Tracks, defaults.Tracks);
  writeUnlessDefault("CopyStreamsThatFit", profile.CopyStreamsThatFit ? "1" : "0",
                     defaults.CopyStreamsThatFit ? "1" : "0");
}

constexpr const char* kCustomSection = "Custom";

}  // namespace

void SaveProfile(const std::string& groupName, const std::string& profileName,
                 const TProfileSettings& profile) {
  TIniFile file(GroupFilePath(groupName));
  WriteProfile(file, profileName, profile);
  file.Save();
}

TCustomChoices ReadCustomChoices() {
  const TIniFile file(OptionsFilePath());
  TCustomChoices choices;
  if (!file.SectionExists(kCustomSection)) return choices;
  choices.Chosen = file.ReadBool(kCustomSection, "Chosen", false);
  choices.OutputPath = file.ReadString(kCustomSection, "OutputPath", "");
  choices.RgpProfiles = file.ReadInteger(kCustomSection, "RgpProfiles", 0);
  const int group = choices.RgpProfiles;
  const std::string groupName =
      group >= 0 && group < static_cast<int>(kOutputGroups.size()) ? kOutputGroups[group] : "";
  choices.Profile = ReadProfile(file, kCustomSection, groupName);
  return choices;
}

void WriteCustomChoices(const TCustomChoices& choices) {
  TIniFile file(OptionsFilePath());
  file.WriteBool(kCustomSection, "Chosen", choices.Chosen);
  file.WriteString(kCustomSection, "OutputPath", choices.OutputPath);
  file.WriteInteger(kCustomSection, "RgpProfiles", choices.RgpProfiles);
  WriteProfile(file, kCustomSection, choices.Profile);
  // The "OO" keys too: a hand-set profile has no stored section to keep them.
  file.WriteString(kCustomSection, "OOTargetType", choices.Profile.OOTargetType);
  file.WriteString(kCustomSection, "OONormType", choices.Profile.OONormType);
  file.Save();
}

void UnchooseCustomChoices() {
  TIniFile file(OptionsFilePath());
  if (!file.SectionExists(kCustomSection)) return;
  file.WriteBool(kCustomSection, "Chosen", false);
  file.Save();
}

int ReadFilesAtOnce(int maxFiles) {
  const int files = TIniFile(OptionsFilePath()).ReadInteger(kOptionsSection, "FilesAtOnce", 1);
  return std::clamp(files, 1, std::max(maxFiles, 1));
}

void WriteFilesAtOnce(int files) {
  TIniFile file(OptionsFilePath());
  file.WriteInteger(kOptionsSection, "FilesAtOnce", files);
  file.Save();
}

bool ReadAllowPlaylists() {
  return TIniFile(OptionsFilePath()).ReadBool(kOptionsSection, "AllowPlaylists", false);
}

void WriteAllowPlaylists(bool allow) {
  TIniFile file(OptionsFilePath());
  file.WriteBool(kOptionsSection, "AllowPlaylists", allow);
  file.Save();
}

void DeleteProfile(const std::string& groupName, const std::string& profileName) {
  TIniFile file(GroupFilePath(groupName));
  file.EraseSection(profileName);
  file.Save();
}

std::vector<std::string> CatalogueNames(const std::string& section) {
  return TIniFile(CodecCatalogueFilePath()).ReadSection(section);
}

std::string CatalogueCodec(const std::string& section, const std::string& displayName) {
  return TIniFile(CodecCatalogueFilePath()).ReadString(section, displayName, kAutoCodec);
}
