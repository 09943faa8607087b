// Where the main window stands and how large it is, kept in the options file between
// starts. Without stored values the window opens at its own size, centred.
#pragma once

#include <QSize>
#include <QString>

class QWidget;

// The smallest client area the window's layout needs; also its size on a first start.
inline constexpr QSize kMainWindowMinimumSize(653, 430);

// Places window as it was left: its stored client area when that still lies on a screen,
// else kMainWindowMinimumSize centred on the window's screen; maximised again when it was.
void RestoreWindowGeometry(QWidget& window);
// Stores the window's client area (the one it returns to when maximised) and whether it is
// maximised. Throws EIniFileError when the options file refuses the write.
void StoreWindowGeometry(const QWidget& window);

// The folder files were last added from (empty before the first add).
QString ReadAddFolder();
// Throws EIniFileError when the options file refuses the write.
void StoreAddFolder(const QString& folder);
