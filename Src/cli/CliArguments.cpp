#include "cli/CliArguments.h"

#include <charconv>
#include <string_view>

namespace {

constexpr int kMostJobs = 64;
constexpr int kMostThreads = 64;

TCliCommand CommandNamed(const std::string& name) {
  if (name == "groups") return TCliCommand::Groups;
  if (name == "profiles") return TCliCommand::Profiles;
  if (name == "probe") return TCliCommand::Probe;
  if (name == "convert") return TCliCommand::Convert;
  if (name == "help") return TCliCommand::Help;
  throw EUsageError("unknown command '" + name + "'");
}

int CountValue(const std::string& option, const std::string& text, int most) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > most) {
    throw EUsageError(option + " needs a whole number from 0 to " + std::to_string(most) +
                      ", not '" + text + "'");
  }
  return value;
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

std::pair<std::string, std::string> ProfileOverride(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw EUsageError("--set needs KEY=VALUE, not '" + text + "'");
  }
  if (HasLineBreak(text)) throw EUsageError("--set '" + text + "' holds a line break");
  return {text.substr(0, equals), text.substr(equals + 1)};
}

std::string EngineOption(const std::string& text) {
  if (text.empty() || text[0] == '=') {
    throw EUsageError("--option needs NAME=VALUE or NAME, not '" + text + "'");
  }
  // Each option is one line of the engine's option text; a break would smuggle in more.
  if (HasLineBreak(text)) throw EUsageError("--option '" + text + "' holds a line break");
  return text;
}

// The option's canonical long name for its short or long spelling; empty when unknown.
std::string LongName(const std::string& spelling) {
  static const std::pair<std::string_view, std::string_view> kShort[] = {
      {"-g", "--group"},   {"-p", "--profile"}, {"-o", "--output-folder"}, {"-j", "--jobs"},
      {"-t", "--threads"}, {"-s", "--set"},     {"-v", "--verbose"},       {"-h", "--help"}};
  for (const auto& [shortName, longName] : kShort) {
    if (spelling == shortName) return std::string(longName);
  }
  static const std::string_view kLong[] = {
      "--group",  "--profile", "--output-folder", "--jobs",    "--threads",        "--set",
      "--option", "--verbose", "--help",          "--version", "--allow-playlists"};
  for (const std::string_view name : kLong) {
    if (spelling == name) return spelling;
  }
  return {};
}

bool TakesValue(const std::string& name) {
  return name != "--verbose" && name != "--help" && name != "--version" &&
         name != "--allow-playlists";
}

bool ConvertOnly(const std::string& name) {
  return name != "--verbose" && name != "--help" && name != "--version" &&
         name != "--allow-playlists";
}

}  // namespace

TCliArguments ParseArguments(int argc, const char* const* argv) {
  TCliArguments arguments;
  std::optional<TCliCommand> command;
  std::vector<std::string> convertOptions;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      if (!command) {
        command = CommandNamed(word);
      } else {
        arguments.Operands.push_back(word);
      }
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string spelling = word.rfind("--", 0) == 0 ? word.substr(0, equals) : word;
    const std::string name = LongName(spelling);
    if (name.empty()) throw EUsageError("unknown option '" + spelling + "'");
    std::string value;
    if (TakesValue(name)) {
      if (spelling != word) {
        value = word.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        throw EUsageError(name + " needs a value");
      }
    } else if (spelling != word) {
      throw EUsageError(name + " takes no value");
    }
    if (ConvertOnly(name)) convertOptions.push_back(name);

    if (name == "--help") return TCliArguments{};
    if (name == "--version") {
      arguments.Command = TCliCommand::Version;
      return arguments;
    }
    if (name == "--verbose") arguments.Verbose = true;
    if (name == "--allow-playlists") arguments.AllowPlaylists = true;
    if (name == "--group") arguments.Group = value;
    if (name == "--profile") arguments.Profile = value;
    if (name == "--output-folder") {
      if (value.empty()) throw EUsageError("--output-folder needs a folder");
      arguments.OutputFolder = value;
    }
    if (name == "--jobs") arguments.Jobs = CountValue(name, value, kMostJobs);
    if (name == "--threads") arguments.Threads = CountValue(name, value, kMostThreads);
    if (name == "--set") arguments.ProfileOverrides.push_back(ProfileOverride(value));
    if (name == "--option") {
      const std::string option = EngineOption(value);
      // The engine leaves its codec threads to --threads and refuses the option itself.
      if (option.substr(0, option.find('=')) == "threads") {
        const std::size_t equals = option.find('=');
        arguments.Threads = CountValue(
            "--option threads",
            equals == std::string::npos ? std::string() : option.substr(equals + 1), kMostThreads);
      } else {
        arguments.EngineOptions.push_back(option);
      }
    }
  }

  if (!command) throw EUsageError("no command given");
  arguments.Command = *command;
  if (arguments.Command != TCliCommand::Convert && !convertOptions.empty()) {
    throw EUsageError(convertOptions.front() + " applies to convert only");
  }
  switch (arguments.Command) {
    case TCliCommand::Groups:
      if (!arguments.Operands.empty()) throw EUsageError("groups takes no operands");
      break;
    case TCliCommand::Profiles:
      if (arguments.Operands.size() != 1) throw EUsageError("profiles needs one GROUP");
      break;
    case TCliCommand::Probe:
    case TCliCommand::Convert:
      if (arguments.Operands.empty()) throw EUsageError("no files given");
      break;
    case TCliCommand::Help:
    case TCliCommand::Version:
      break;
  }
  return arguments;
}

std::string UsageText() {
  return R"(Usage: tovrena-cli COMMAND [OPTION]... [FILE]...
Convert video and audio files with the output groups and profiles of Tovrena.

Commands:
  groups                 list the output groups, in the window's order
  profiles GROUP         list the profiles of GROUP, as the window's list shows them
  probe FILE...          show duration, container and streams of each FILE
  convert FILE...        convert each FILE with one profile
  help                   show this help

Options of convert:
  -g, --group=GROUP      output group (AVI, MP4, MPG, WMV, 3GP, MOV, SWF, FLV, Audio,
                         MKV, WebM); default: the group last chosen in the window
  -p, --profile=NAME     profile of the group; default: the profile last chosen in
                         the window, or the group's first profile
  -o, --output-folder=DIR
                         where the outputs go (created when missing); default: the
                         window's output folder
  -j, --jobs=N           convert N files at once (default 1; 0: one per core)
  -t, --threads=N        codec threads of each file (default 1; 0: the libraries
                         choose)
  -s, --set=KEY=VALUE    override one key of the profile for this run, for example
                         VideoBitrate=800 or VideoSizeOption=Custom...; may be repeated
      --option=NAME=VALUE
                         add an engine option line, for example t=10 to stop after
                         ten seconds; may be repeated. The profile's values are applied
                         after these lines, so use --set for what a profile key sets.
                         A NAME that neither the engine nor the media libraries know
                         is refused before any file is touched; a value the libraries
                         refuse fails each file with their reason. threads=N is the
                         same as --threads N.

Options of probe and convert:
      --allow-playlists  read playlists (HLS, DASH, image patterns such as
                         frame%03d.png): they may read the files they name inside
                         their own folder, nothing outside it and no address.
                         Without it a file that refers to other files, whatever its
                         name, is refused and nothing but the file itself is read.
                         Concat lists and other references that cannot be kept
                         inside the folder are refused either way.

Other options:
  -v, --verbose          show the libraries' and the engine's log
  -h, --help             show this help
      --version          show the version

Output files are named after their input with the profile's extension, in the output
folder; a name that is taken gets (1), (2), ... as in the window. Files are never
overwritten and an input is never written.

While converting, a terminal shows one live line per running file and a total line;
otherwise one line per event is printed. Ctrl+C stops every file cleanly (a stopped
file keeps a playable beginning), prints the summary and exits with 130; a second
Ctrl+C quits at once.

Settings are read from $XDG_CONFIG_HOME/Tovrena (default ~/.config/Tovrena), the same
files the window uses. An installed program puts the default profiles there when they
are missing; from a build tree, install them with scripts/install-settings.sh.

Exit status:
  0    every file was converted
  1    some file failed or was stopped, or the media libraries could not be loaded
  2    bad usage: unknown command, option (also of --option), group or profile,
       no files, or an unreadable or out-of-range value
  130  stopped by Ctrl+C (143 by SIGTERM)
)";
}
