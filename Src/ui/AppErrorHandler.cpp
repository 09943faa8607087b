#include "ui/AppErrorHandler.h"

#include <QMessageBox>
#include <stdexcept>

#include "binding/MyUtils.h"

namespace {

bool (*conversionFailureTest)(const std::exception&) = nullptr;

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(kApplicationTitle);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowApplicationError(error);
  } catch (...) {
    ShowApplicationError(
        std::runtime_error(translate("TApplication", "An unknown error occurred").toStdString()));
  }
  return false;
}

void SetConversionFailureTest(bool (*isConversionFailure)(const std::exception& error)) {
  conversionFailureTest = isConversionFailure;
}

void PrepareErrorBox(QMessageBox& box, const std::exception& error) {
  box.setWindowTitle(kApplicationTitle);
  box.setText(QString::fromStdString(WithClosingPeriod(error.what())));
  const bool conversionFailure = conversionFailureTest && conversionFailureTest(error);
  box.setIcon(conversionFailure ? QMessageBox::Warning : QMessageBox::Critical);
  box.setStandardButtons(QMessageBox::Ok);
}

void ShowApplicationError(const std::exception& error) {
  QMessageBox box;
  PrepareErrorBox(box, error);
  box.exec();
}
