// The main window's desktop manners: keys, the folder the Add dialog opens in, adding a
// folder, the hint on the empty list, and opening the help page.
#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QUrl>

#include "app/UnitFrmMain.h"
#include "binding/MyUtils.h"

namespace {

const char* const kAddFilter = QT_TRANSLATE_NOOP(
    "TForm1",
    "All supported Media Format (*.avi *.mp4 *.3gp *.3g2 *.divX *.div *.xvid *.mpeg *.mpg "
    "*.wmv *.asf *.rm *.rmvb *.dat *.mov *.swf *.flv *.mp3);;"
    "AVI(*.avi);;MPEG(*.mpeg *.mpg);;WMV(*.wmv);;ASF(*.asf);;VCD Format(*.dat);;"
    "Quick Time Format(*.mov);;SWF(*.swf);;FLV(*.flv);;All Files (*)");

}  // namespace

void TForm1::ConnectDesktopKeys() {
  auto* open = new QShortcut(QKeySequence::Open, this);
  connect(open, &QShortcut::activated, this, [this] {
    if (BtnAdd->isEnabled()) BtnAddClick();
  });

  // A hint where the files go, for as long as there are none.
  emptyHint_ = new QLabel(tr("Drop media files here"), Lvw->viewport());
  emptyHint_->setAlignment(Qt::AlignCenter);
  emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
  emptyHint_->setForegroundRole(QPalette::PlaceholderText);
  QAbstractItemModel* rows = Lvw->model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, &TForm1::UpdateEmptyHint);
  connect(rows, &QAbstractItemModel::rowsRemoved, this, &TForm1::UpdateEmptyHint);
  connect(rows, &QAbstractItemModel::modelReset, this, &TForm1::UpdateEmptyHint);
  UpdateEmptyHint();
}

void TForm1::UpdateEmptyHint() {
  emptyHint_->setGeometry(Lvw->viewport()->rect());
  emptyHint_->setVisible(Lvw->rowCount() == 0);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    // A focused button takes Enter for itself; elsewhere Enter means Convert.
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        button != nullptr && button != BtnStart) {
      button->animateClick();
    } else if (!running_ && BtnStart->isEnabled()) {
      BtnStartClick();
    }
    return;
  }
  if (plain && event->key() == Qt::Key_Escape && running_) {
    AskToStopRun();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::AskToStopRun() {
  QMessageBox question(QMessageBox::Question, tr("Stop"), tr("Stop converting?"),
                       QMessageBox::Yes | QMessageBox::No, this);
  question.setDefaultButton(QMessageBox::No);
  // The run may have ended while the question was up.
  if (question.exec() == QMessageBox::Yes && running_) BtnStartClick();
}

void TForm1::BtnAddClick() {
  const QStringList files = QFileDialog::getOpenFileNames(this, tr("Choose Files to Convert"),
                                                          lastAddFolder_, tr(kAddFilter));
  if (files.isEmpty()) return;
  lastAddFolder_ = QFileInfo(files.front()).absolutePath();
  AddFiles(files);
}

void TForm1::BtnAddFolderClick() {
  const QString folder = QFileDialog::getExistingDirectory(
      this, tr("Choose a Folder to Convert"), lastAddFolder_, QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  lastAddFolder_ = folder;
  AddFiles({folder});
}

void TForm1::BtnHelpClick() {
  const QString page = QString::fromStdString(ExecutableFolder()) + "help.html";
  if (!QFileInfo::exists(page)) {
    ShowError(tr("Error"),
              tr("The help page %1 is missing. Please re-install the program.").arg(page));
  } else if (!OpenUrl(QUrl::fromLocalFile(page))) {
    ShowError(tr("Error"), tr("No program on this system opens %1.").arg(page));
  }
}
