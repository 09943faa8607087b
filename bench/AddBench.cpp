// tovrena-bench-add: how long the window takes to list and check many files, and the
// longest time its thread was busy meanwhile. Runs the real window offscreen with the
// settings of $XDG_CONFIG_HOME and prints "add=SECONDS stall=MILLISECONDS".
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "app/UnitFrmMain.h"
#include "binding/MyUtils.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() < 3) {
    std::fprintf(stderr, "Usage: tovrena-bench-add OUTPUT_FOLDER FILE...\n");
    return 2;
  }
  // The program's own libraries: the benchmark lies beside the programs.
  TForm1 form(ExecutableFolder() + "LibAV");
  if (!form.FormCreate()) return 1;
  form.EdtOutputFolder->setText(arguments[1].endsWith('/') ? arguments[1] : arguments[1] + '/');
  form.show();

  // A beat on the window's event loop: the longest gap between two beats is the longest
  // time the thread was kept from its events.
  QElapsedTimer sinceBeat;
  qint64 longestGap = 0;
  QTimer beat;
  beat.setInterval(1);
  QObject::connect(&beat, &QTimer::timeout,
                   [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });

  QElapsedTimer clock;
  QTimer::singleShot(0, [&] {
    clock.start();
    sinceBeat.start();
    beat.start();
    form.AddFiles(arguments.mid(2));
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!clock.isValid() || form.Adding()) return;
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    std::printf("add=%.2f stall=%lld rows=%d\n", seconds, static_cast<long long>(longestGap),
                form.Lvw->rowCount());
    application.exit(form.Lvw->rowCount() == arguments.size() - 2 ? 0 : 1);
  });
  poll.start(2);
  return application.exec();
}
