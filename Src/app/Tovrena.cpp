// Program entry: the application with its error handler and the main window; files named
// on the command line are added to the list once the window is up.
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

#include "app/AppIcon.h"
#include "app/UnitFrmMain.h"
#include "binding/MyUtils.h"
#include "component/VornConverter.h"
#include "frontend/FirstStartSettings.h"
#include "frontend/IniFile.h"
#include "frontend/UnitGeneral.h"
#include "ui/AppErrorHandler.h"

namespace {

// Ended by a signal (logout, kill, Ctrl+C in its terminal) the window still takes along the
// temporaries its outputs were being written into.
extern "C" void QuitBySignal(int signal) {
  RemoveTasksTemporaryOutputs();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// An installed program brings its default profiles into the user's settings folder before
// the window reads them; a refused write is shown, and the window opens all the same.
// Libraries that cannot be bound are left to the window's own load, which says why.
void InstallShippedSettings() {
  try {
    InstallSettingsOnFirstStart(ExecutableFolder(), SettingsFolderPath());
  } catch (const EIniFileError& error) {
    ShowApplicationError(error);
  } catch (const EFirstStartLibrariesError&) {
  }
}

// The program's own help, answered without a display (the manual page is made from it).
std::string UsageText() {
  std::string groups;
  for (const char* group : kOutputGroups) groups += std::string(groups.empty() ? "" : ", ") + group;
  return "Usage: tovrena [FILE]...\n"
         "Convert video and audio files in a window, with the FILEs in its list.\n"
         "\n"
         "Add media files to the list, pick an output group and a profile, choose an\n"
         "output folder and press Convert. The files are converted one after another\n"
         "with their progress shown; a run can be stopped.\n"
         "\n"
         "Output groups: " +
         groups +
         "\n"
         "\n"
         "Options:\n"
         "  -h, --help     show this help\n"
         "      --version  show the version\n"
         "\n"
         "Settings are kept in $XDG_CONFIG_HOME/Tovrena (default ~/.config/Tovrena). An\n"
         "installed program puts the default profiles there when they are missing.\n"
         "tovrena-cli converts with the same settings from the command line.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << UsageText();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "tovrena " TOVRENA_VERSION "\n";
    return 0;
  }
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, QuitBySignal);
  TApplication application(argc, argv);
  SetConversionFailureTest(IsEngineFailure);
  application.setWindowIcon(ApplicationIcon());
  // Lets the desktop match the window with its menu entry and icon.
  application.setDesktopFileName("tovrena");
  InstallShippedSettings();
  TForm1 form(ExecutableFolder() + "LibAV");
  if (!form.FormCreate()) return 1;
  form.show();
  QStringList files;
  for (const QString& argument : application.arguments().mid(1)) {
    files << QFileInfo(argument).absoluteFilePath();
  }
  if (!files.isEmpty()) QTimer::singleShot(0, &form, [&form, files] { form.AddFiles(files); });
  return application.exec();
}
