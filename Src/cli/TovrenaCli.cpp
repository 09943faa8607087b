// tovrena-cli: the command-line front end. It converts with the window's settings folder,
// groups, profiles, output naming and converter component, for scripts, batches and
// machines without a display.
#include <cstdio>
#include <iostream>

#include "binding/MyUtils.h"
#include "cli/CliArguments.h"
#include "cli/CliListings.h"
#include "cli/ConvertCommand.h"
#include "component/VornConverter.h"
#include "frontend/FirstStartSettings.h"
#include "frontend/IniFile.h"
#include "frontend/UnitGeneral.h"

namespace {

int UsageFailure(const std::string& reason) {
  std::cerr << "tovrena-cli: " << reason << "\nTry 'tovrena-cli --help'.\n";
  return 2;
}

// An installed program brings its default profiles into the user's settings folder on its
// first start. A refused write or unloadable libraries are said, and the command goes on
// with what is there.
void InstallShippedSettings() {
  try {
    const TInstallReport report =
        InstallSettingsOnFirstStart(ExecutableFolder(), SettingsFolderPath());
    if (!report.Installed.empty()) {
      std::cerr << "tovrena-cli: installed the default settings into " << SettingsFolderPath()
                << "\n";
    }
  } catch (const EIniFileError& error) {
    std::cerr << "tovrena-cli: " << error.what() << "\n";
  } catch (const EFirstStartLibrariesError& error) {
    std::cerr << "tovrena-cli: " << error.what() << "\n";
  }
}

// probe and convert: the commands that need the media libraries.
int RunWithLibraries(const TCliArguments& arguments) {
  TVornConverter converter;
  if (!converter.LoadLibraries(ExecutableFolder() + "LibAV", true)) {
    std::cerr << "tovrena-cli: " << converter.LastErrorMessage
              << " Please re-install the program and try it again.\n";
    return 1;
  }
  int result = 1;
  try {
    result = arguments.Command == TCliCommand::Probe
                 ? ProbeFiles(*converter.Probe, arguments.Operands, arguments.AllowPlaylists,
                              std::cout, std::cerr)
                 : RunConvert(arguments, converter);
  } catch (const EUsageError& error) {
    result = UsageFailure(error.what());
  } catch (const std::exception& error) {
    std::cerr << "tovrena-cli: " << error.what() << "\n";
  }
  converter.UnloadLibraries();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  TCliArguments arguments;
  try {
    arguments = ParseArguments(argc, argv);
    if (arguments.Command == TCliCommand::Profiles || arguments.Command == TCliCommand::Convert) {
      InstallShippedSettings();
    }
    switch (arguments.Command) {
      case TCliCommand::Help:
        std::cout << UsageText();
        return 0;
      case TCliCommand::Version:
        std::cout << "tovrena-cli " TOVRENA_VERSION " (converter component "
                  << TVornConverter().Version() << ")\n";
        return 0;
      case TCliCommand::Groups:
        ListGroups(std::cout);
        return 0;
      case TCliCommand::Profiles:
        ListGroupProfiles(arguments.Operands.front(), std::cout);
        return 0;
      case TCliCommand::Probe:
      case TCliCommand::Convert:
        break;
    }
  } catch (const EUsageError& error) {
    return UsageFailure(error.what());
  } catch (const EIniFileError& error) {
    std::cerr << "tovrena-cli: " << error.what() << "\n";
    return 1;
  }
  return RunWithLibraries(arguments);
}
