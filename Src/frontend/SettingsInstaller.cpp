#include "frontend/SettingsInstaller.h"

#include <algorithm>
#include <filesystem>

#include "binding/MyUtils.h"
#include "frontend/UnitGeneral.h"

namespace fs = std::filesystem;

namespace {

void FilterCatalogueSection(TIniFile& catalogue, const char* section, TEncoderKind kind,
                            const TEncoderQuery& encoders, TInstallReport& report) {
  for (const std::string& name : catalogue.ReadSection(section)) {
    const std::string encoder = catalogue.ReadString(section, name, kAutoCodec);
    if (encoder == kAutoCodec || encoders.HasEncoder(encoder, kind)) continue;
    catalogue.DeleteKey(section, name);
    report.Skipped.push_back(std::string(kCodecCatalogueFile) + ": codec \"" + name +
                             "\" left out: it needs the encoder \"" + encoder +
                             "\", which this system's libraries do not have");
  }
}

// Empty when the codec can be encoded, else what it needs ("the encoder ..., which ...").
std::string MissingCodec(const TIniFile& catalogue, const char* section,
                         const std::string& displayName, const std::string& extension,
                         TEncoderKind kind, const TEncoderQuery& encoders) {
  const std::string encoder = catalogue.ReadString(section, displayName, kAutoCodec);
  if (displayName == kAutoCodec) {
    return encoders.HasDefaultEncoder(extension, kind)
               ? std::string()
               : "an encoder for \"" + extension +
                     "\" files, which this system's libraries do not have";
  }
  if (encoder == kAutoCodec) return "the codec \"" + displayName + "\", which the catalogue lacks";
  return encoders.HasEncoder(encoder, kind)
             ? std::string()
             : "the encoder \"" + encoder + "\", which this system's libraries do not have";
}

void InstallGroupFile(const std::string& groupName, const fs::path& source, const fs::path& target,
                      const TIniFile& catalogue, const TEncoderQuery& encoders,
                      TInstallReport& report) {
  TIniFile profiles(source.string());
  for (const std::string& name : profiles.ReadSections()) {
    const TProfileSettings profile = ReadProfile(profiles, name, groupName);
    const std::string extension = LowerCase(profile.TargetType);
    std::string missing;
    if (!profile.VideoDisabled) {
      missing = MissingCodec(catalogue, kVideoCodecSection, profile.VideoCodec, extension,
                             TEncoderKind::ekVideo, encoders);
    }
    if (missing.empty() && !profile.AudioDisabled) {
      missing = MissingCodec(catalogue, kAudioCodecSection, profile.AudioCodec, extension,
                             TEncoderKind::ekAudio, encoders);
    }
    if (missing.empty()) continue;
    profiles.EraseSection(name);
    report.Skipped.push_back(target.filename().string() + ": profile \"" + name +
                             "\" left out: it needs " + missing);
  }
  profiles.SaveAs(target.string());
  report.Installed.push_back(target.filename().string());
}

}  // namespace

std::vector<std::string> MissingDefaultSettings(const std::string& sourceFolder,
                                                const std::string& targetFolder) {
  std::vector<std::string> names{kCodecCatalogueFile};
  for (const char* group : kOutputGroups) names.push_back(std::string(group) + ".ini");
  std::vector<std::string> missing;
  std::error_code error;
  for (const std::string& name : names) {
    if (fs::exists(fs::path(sourceFolder) / name, error) &&
        !fs::exists(fs::path(targetFolder) / name, error)) {
      missing.push_back(name);
    }
  }
  return missing;
}

TInstallReport InstallDefaultSettings(const std::string& sourceFolder,
                                      const std::string& targetFolder,
                                      const TEncoderQuery& encoders) {
  TInstallReport report;
  const fs::path source(sourceFolder);
  const fs::path target(targetFolder);
  std::error_code error;
  fs::create_directories(target, error);

  const fs::path catalogueTarget = target / kCodecCatalogueFile;
  if (!fs::exists(catalogueTarget) && fs::exists(source / kCodecCatalogueFile)) {
    TIniFile catalogue((source / kCodecCatalogueFile).string());
    FilterCatalogueSection(catalogue, kVideoCodecSection, TEncoderKind::ekVideo, encoders, report);
    FilterCatalogueSection(catalogue, kAudioCodecSection, TEncoderKind::ekAudio, encoders, report);
    catalogue.SaveAs(catalogueTarget.string());
    report.Installed.push_back(kCodecCatalogueFile);
  }

  const TIniFile catalogue(catalogueTarget.string());
  for (const char* group : kOutputGroups) {
    const std::string fileName = std::string(group) + ".ini";
    if (fs::exists(target / fileName) || !fs::exists(source / fileName)) continue;
    InstallGroupFile(group, source / fileName, target / fileName, catalogue, encoders, report);
  }
  return report;
}
