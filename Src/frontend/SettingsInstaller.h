// Installs the default codec catalogue and group profiles into a settings folder, keeping
// only what the media libraries at hand can encode. A file the user already has is never
// replaced.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class TEncoderKind { ekVideo, ekAudio };

// What the installed media libraries can encode.
struct TEncoderQuery {
  // Whether an encoder of this name exists for the kind.
  std::function<bool(const std::string& encoder, TEncoderKind kind)> HasEncoder;
  // Whether the output format of files with this extension (no dot) has a default codec of
  // the kind with an encoder: what "Auto" falls back to.
  std::function<bool(const std::string& extension, TEncoderKind kind)> HasDefaultEncoder;
};

struct TInstallReport {
  std::vector<std::string> Installed;  // file names written
  // One sentence per catalogue entry or profile left out, saying what it needs ("3GP.ini:
  // profile \"AMR\" left out: it needs the encoder \"libopencore_amrnb\", which this
  // system's libraries do not have").
  std::vector<std::string> Skipped;
};

// The names of the default files ("codec.ini" and the group files) that sourceFolder has
// and targetFolder lacks: what InstallDefaultSettings would write.
std::vector<std::string> MissingDefaultSettings(const std::string& sourceFolder,
                                                const std::string& targetFolder);

// Copies "codec.ini" and the group files from sourceFolder into targetFolder (created
// when missing). Only files missing from targetFolder are written. Catalogue entries whose
// encoder is missing are dropped; a profile is dropped when a codec it uses (through the
// catalogue in targetFolder after installation) has no encoder. Throws EIniFileError when
// a write is refused; files written before stay.
TInstallReport InstallDefaultSettings(const std::string& sourceFolder,
                                      const std::string& targetFolder,
                                      const TEncoderQuery& encoders);
