#include "app/AppIcon.h"

#include <QDir>

QIcon ApplicationIcon() {
  // The renderings lie as in an icon theme: hicolor/<size>x<size>/apps/tovrena.png.
  const QDir theme(":/icons/hicolor");
  QIcon icon;
  for (const QString& size : theme.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    icon.addFile(theme.filePath(size + "/apps/tovrena.png"));
  }
  return icon;
}
