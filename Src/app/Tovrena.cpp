// Program entry: the application with its error handler and the main window; files named
// on the command line are added to the list once the window is up.
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include "AppErrorHandler.h"
#include "MyUtils.h"
#include "UnitFrmMain.h"

int main(int argc, char** argv) {
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
