#include "app/WindowGeometry.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "frontend/IniFile.h"
#include "frontend/UnitGeneral.h"

namespace {

const char* const kSection = "Options";
const char* const kLeft = "WindowLeft";
const char* const kTop = "WindowTop";
const char* const kWidth = "WindowWidth";
const char* const kHeight = "WindowHeight";
const char* const kMaximized = "WindowMaximized";
const char* const kAddFolder = "AddFolder";

// A stored area counts only while a good part of it is on some screen: a monitor that is
// gone must not take the window with it.
bool OnSomeScreen(const QRect& area) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect shared = screen->availableGeometry().intersected(area);
    if (shared.width() >= 100 && shared.height() >= 50) return true;
  }
  return false;
}

}  // namespace

void RestoreWindowGeometry(QWidget& window) {
  window.setMinimumSize(kMainWindowMinimumSize);
  const TIniFile options(OptionsFilePath());
  const int width = options.ReadInteger(kSection, kWidth, 0);
  const int height = options.ReadInteger(kSection, kHeight, 0);
  const QRect stored(options.ReadInteger(kSection, kLeft, 0),
                     options.ReadInteger(kSection, kTop, 0),
                     std::max(width, kMainWindowMinimumSize.width()),
                     std::max(height, kMainWindowMinimumSize.height()));
  if (width > 0 && height > 0 && OnSomeScreen(stored)) {
    window.setGeometry(stored);
  } else {
    window.resize(kMainWindowMinimumSize);
    if (const QScreen* screen = window.screen(); screen != nullptr) {
      window.move(screen->availableGeometry().center() - window.rect().center());
    }
  }
  if (options.ReadBool(kSection, kMaximized, false)) {
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
  }
}

void StoreWindowGeometry(const QWidget& window) {
  const QRect area = window.isMaximized() ? window.normalGeometry() : window.geometry();
  TIniFile options(OptionsFilePath());
  options.WriteInteger(kSection, kLeft, area.x());
  options.WriteInteger(kSection, kTop, area.y());
  options.WriteInteger(kSection, kWidth, area.width());
  options.WriteInteger(kSection, kHeight, area.height());
  options.WriteBool(kSection, kMaximized, window.isMaximized());
  options.Save();
}

QString ReadAddFolder() {
  return QString::fromStdString(TIniFile(OptionsFilePath()).ReadString(kSection, kAddFolder, ""));
}

void StoreAddFolder(const QString& folder) {
  TIniFile options(OptionsFilePath());
  options.WriteString(kSection, kAddFolder, folder.toStdString());
  options.Save();
}
