// The way from the list to the outputs: opening a row's file, showing it in its folder,
// the list's context menu (Open, Show in folder, Remove, Retry) and the output folder.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QUrl>

#include "app/UnitFrmMain.h"

namespace {

bool HasOutput(TRowState state) {
  return state == TRowState::rsCompleted || state == TRowState::rsStopped;
}

// Asks the file manager to show the file selected in its folder; false when no file
// manager offers that on the session bus.
bool ShowInFileManager(const QString& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
  const QDBusMessage answer = bus.call(call, QDBus::Block, 2000);
  return answer.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

bool TForm1::OpenRowOutput(int row) {
  if (row < 0 || row >= Lvw->rowCount() || !HasOutput(RowState(row))) return false;
  const QString path = RowOutputPath(row);
  if (!QFileInfo::exists(path)) {
    ShowError(tr("Error"), tr("Cannot open \"%1\": the file is no longer there.").arg(path));
    return false;
  }
  if (!OpenUrl(QUrl::fromLocalFile(path))) {
    ShowError(tr("Error"),
              tr("Cannot open \"%1\": no application on this desktop opens it.").arg(path));
    return false;
  }
  return true;
}

void TForm1::ShowRowInFolder(int row) {
  if (row < 0 || row >= Lvw->rowCount()) return;
  const QString path = RowOutputPath(row);
  if (QFileInfo::exists(path) && ShowInFileManager(path)) return;
  // Without a file manager that selects files, its folder is opened.
  const QString folder = QFileInfo(path).absolutePath();
  if (!OpenUrl(QUrl::fromLocalFile(folder))) {
    ShowError(
        tr("Error"),
        tr("Cannot open the folder \"%1\": no application on this desktop opens it.").arg(folder));
  }
}

void TForm1::BtnOpenOutputFolderClick() {
  const QString folder = EdtOutputFolder->text();
  if (!QDir(folder).exists()) {
    ShowError(tr("Error"), tr("Cannot open the folder \"%1\": it does not exist yet.").arg(folder));
    return;
  }
  if (!OpenUrl(QUrl::fromLocalFile(folder))) {
    ShowError(
        tr("Error"),
        tr("Cannot open the folder \"%1\": no application on this desktop opens it.").arg(folder));
  }
}

void TForm1::RetryRow(int row) {
  if (row < 0 || row >= Lvw->rowCount() || RowState(row) != TRowState::rsFailed) return;
  if (!running_) {
    StartRunOf({row});
    return;
  }
  retryRows_.push_back(row);
  SetRowStatus(row, TRowState::rsQueued, tr("Queued"));
}

void TForm1::LvwContextMenu(const QPoint& position) {
  const int row = Lvw->rowAt(position.y());
  if (row < 0) return;
  Lvw->selectRow(row);
  const TRowState state = RowState(row);
  QMenu menu(this);
  QAction* open = menu.addAction(tr("Open"));
  QAction* show = menu.addAction(tr("Show in folder"));
  QAction* remove = menu.addAction(tr("Remove"));
  QAction* retry = menu.addAction(tr("Retry"));
  open->setEnabled(HasOutput(state));
  show->setEnabled(HasOutput(state));
  remove->setEnabled(!running_);
  retry->setEnabled(state == TRowState::rsFailed);
  QAction* chosen = menu.exec(Lvw->viewport()->mapToGlobal(position));
  if (chosen == open) {
    OpenRowOutput(row);
  } else if (chosen == show) {
    ShowRowInFolder(row);
  } else if (chosen == remove) {
    BtnRemoveClick();
  } else if (chosen == retry) {
    RetryRow(row);
  }
}
