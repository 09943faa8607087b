// The command line of tovrena-cli: the command, its options and its files, read without
// touching the settings or the media libraries.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A command line that cannot be used; the text says why. The program exits with 2.
class EUsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class TCliCommand { Help, Version, Groups, Profiles, Probe, Convert };

struct TCliArguments {
  TCliCommand Command = TCliCommand::Help;
  // Empty: the window's last choice from the options file.
  std::string Group;
  std::optional<std::string> Profile;
  std::string OutputFolder;
  int Jobs = 1;     // 0: one per core
  int Threads = 1;  // 0: the libraries choose
  // Profile keys to override, in command-line order: (key, value).
  std::vector<std::pair<std::string, std::string>> ProfileOverrides;
  // Engine option lines "name=value" (or a bare name).
  std::vector<std::string> EngineOptions;
  bool Verbose = false;
  // Playlists (HLS, DASH, image patterns) may read the files they name in their folder.
  bool AllowPlaylists = false;
  // The files of probe and convert, the group of profiles.
  std::vector<std::string> Operands;
};

// Reads argv[1..argc-1]. Throws EUsageError for an unknown command or option, a missing or
// unreadable value, or missing operands.
TCliArguments ParseArguments(int argc, const char* const* argv);

// The text of --help.
std::string UsageText();
