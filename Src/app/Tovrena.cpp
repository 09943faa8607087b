// Program entry: the application with its error handler and the main window; files named
// on the command line are added to the list once the window is up.
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <csignal>

#include "app/UnitFrmMain.h"
#include "binding/MyUtils.h"
#include "frontend/OutputNaming.h"
#include "ui/AppErrorHandler.h"

namespace {

// Ended by a signal (logout, kill, Ctrl+C in its terminal) the window still takes along the
// outputs of its run that had not started, so that no empty file keeps their names.
extern "C" void QuitBySignal(int signal) {
  RemoveEmptyReservedOutputs();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, QuitBySignal);
  TApplication application(argc, argv);
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
