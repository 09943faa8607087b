// Where the settings lie and how the options file, the group profile files and the codec
// catalogue are read and written. Plain C++: both front ends use it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "frontend/IniFile.h"

// The output groups in the order the main window offers them; the options file stores
// the index, so new groups only ever come after the others.
inline constexpr std::array<const char*, 11> kOutputGroups = {
    "AVI", "MP4", "MPG", "WMV", "3GP", "MOV", "SWF", "FLV", "Audio", "MKV", "WebM"};

// The last entry of every profile list: values set by hand, never a stored section.
inline constexpr const char* kCustomProfile = "[Custom]";

inline constexpr const char* kVideoCodecSection = "Video Codec";
inline constexpr const char* kAudioCodecSection = "Audio Codec";
// A catalogue value, or the lack of one, that leaves the codec to the output format.
inline constexpr const char* kAutoCodec = "Auto";
// The display name the profile options dialog gives lists of its own.
inline constexpr const char* kAmrNarrowBand = "AMR Narrow-Band";
// Values of the keys "VideoRateControl" and "Tracks".
inline constexpr const char* kRateControlBitrate = "Bitrate";
inline constexpr const char* kRateControlQuality = "Quality";
inline constexpr const char* kTracksFirst = "First";
inline constexpr const char* kTracksAll = "All";
// The catalogue file inside the settings folder.
inline constexpr const char* kCodecCatalogueFile = "codec.ini";

// The user's configuration folder, then "Tovrena/Options.ini". Empty when the system
// names no configuration folder. Neither path function creates a folder.
std::string OptionsFilePath();
// The user's configuration folder, then "Tovrena/Settings/" (always ending with "/").
std::string SettingsFolderPath();

// SettingsFolderPath() + group name + ".ini".
std::string GroupFilePath(const std::string& groupName);
std::string CodecCatalogueFilePath();

// The options file's section "Options".
struct TAppOptions {
  std::string OutputPath;
  int RgpProfiles = 0;  // index of the output group
  int CboProfiles = 0;  // index of the profile in that group's list
};

// Reads the three options; a missing value, or an index that is not a number, reads as
// its default.
TAppOptions ReadAppOptions(const std::string& defaultOutputPath);
// Writes all three; throws EIniFileError when the write is refused.
void WriteAppOptions(const TAppOptions& options);

// How many files the window converts at once ("FilesAtOnce" of the section "Options"):
// 1 when absent or not a number, at most maxFiles.
int ReadFilesAtOnce(int maxFiles);
// Throws EIniFileError when the write is refused.
void WriteFilesAtOnce(int files);

// Whether a playlist may read the files it names inside its own folder ("AllowPlaylists"
// of the section "Options"): false when absent, as before the key existed.
bool ReadAllowPlaylists();
// Throws EIniFileError when the write is refused.
void WriteAllowPlaylists(bool allow);

// The values of one profile; every numeric value stays text until a conversion is set up.
struct TProfileSettings {
  std::string TargetType;
  bool VideoDisabled = false;
  bool AudioDisabled = false;
  std::string VideoCodec = kAutoCodec;
  std::string AudioCodec = kAutoCodec;
  std::string VideoSizeOption = "Original";
  std::string VideoCustomWidth = "0";
  std::string VideoCustomHeight = "0";
  std::string VideoFrameRateOption = "25";
  std::string VideoBitrate = "4500";
  std::string AudioChannels = "2";
  std::string AudioSampleRate = "32000";
  std::string AudioBitRate = "64";
  std::string OOTargetType;
  std::string OONormType;
  // Keys newer profiles carry; their defaults keep files without them meaning what they
  // meant: a bitrate, the first video and audio track only, every stream re-encoded.
  std::string VideoRateControl = kRateControlBitrate;
  std::string VideoQuality = "23";  // constant quality (CRF / CQ) when rate control is quality
  std::string Tracks = kTracksFirst;
  bool CopyStreamsThatFit = false;
};

// What the window last held while "[Custom]" was chosen: the section "Custom" of the options
// file. Without that section, or with "Chosen" unset, the section "Options" alone tells
// where the window starts.
struct TCustomChoices {
  bool Chosen = false;  // the window closed with "[Custom]"
  std::string OutputPath;
  int RgpProfiles = 0;
  TProfileSettings Profile;
};

// The stored choices; Chosen is false when there are none. The profile's "TargetType"
// defaults to the stored group's name.
TCustomChoices ReadCustomChoices();
// Stores them all. Throws EIniFileError when the write is refused.
void WriteCustomChoices(const TCustomChoices& choices);
// Marks stored choices as not chosen, keeping the file as it is when it has none. Throws
// EIniFileError when the write is refused.
void UnchooseCustomChoices();

// Throws EIniFileError "Cannot read <path>: <reason>" when the file exists but could not be
// read or is not a settings file (TIniFile::ReadProblem); returns it otherwise.
const TIniFile& CheckReadable(const TIniFile& file);

// The section names of the group file in file order, then "[Custom]". A missing group file
// gives "[Custom]" alone; one that cannot be read throws (CheckReadable).
std::vector<std::string> ListProfiles(const std::string& groupName);
// The values of one section with their defaults ("TargetType" defaults to the
// group's name); "[Custom]" or any missing section gives the defaults. A group file that
// cannot be read throws (CheckReadable), except for "[Custom]", which never reads it.
TProfileSettings LoadProfile(const std::string& groupName, const std::string& profileName);
// The same, from a group file already read.
TProfileSettings ReadProfile(const TIniFile& groupFile, const std::string& profileName,
                             const std::string& groupName);
// Writes every key but the two "OO" keys in one step; those of an existing section keep
// their values. Throws EIniFileError when refused.
void SaveProfile(const std::string& groupName, const std::string& profileName,
                 const TProfileSettings& profile);
// Erases the whole section. Throws EIniFileError when refused.
void DeleteProfile(const std::string& groupName, const std::string& profileName);

// The display names of one catalogue section, in file order.
std::vector<std::string> CatalogueNames(const std::string& section);
// The encoder name for a display name, or "Auto" when the catalogue has none.
std::string CatalogueCodec(const std::string& section, const std::string& displayName);
