// The application-wide error handler: an error that reaches the event loop is shown in a
// standard message box and the application goes on running.
#pragma once

#include <QApplication>
#include <exception>

class QMessageBox;

inline constexpr const char* kApplicationTitle = "Tovrena";

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  // Delivers the event; an exception escaping its handler is shown, not passed on.
  bool notify(QObject* receiver, QEvent* event) override;
};

// Tells which errors are failures of a conversion; those get the warning icon. Until one is
// set, every error gets the error icon.
void SetConversionFailureTest(bool (*isConversionFailure)(const std::exception& error));

// Sets up box for error: the application title as caption, the text with its closing
// ".", the warning icon for a conversion's failure, the error icon otherwise.
void PrepareErrorBox(QMessageBox& box, const std::exception& error);
// Shows that box modally.
void ShowApplicationError(const std::exception& error);
