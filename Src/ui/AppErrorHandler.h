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

// Sets up box for error: the application title as caption, the text with its closing
// ".", the warning icon for an engine failure (FFMpegException), the error icon otherwise.
void PrepareErrorBox(QMessageBox& box, const std::exception& error);
// Shows that box modally.
void ShowApplicationError(const std::exception& error);
