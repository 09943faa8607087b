#include "app/UnitFrmMain.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>

#include "app/DesktopNotification.h"
#include "app/FileAdder.h"
#include "app/UnitFrmAbout.h"
#include "app/UnitFrmSettings.h"
#include "app/WindowGeometry.h"
#include "binding/MyUtils.h"
#include "frontend/IniFile.h"
#include "frontend/ProfileOutput.h"
#include "ui/AppErrorHandler.h"

namespace {

QString DefaultOutputFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (!folder.endsWith('/')) folder += '/';
  return folder;
}

}  // namespace

TForm1::TForm1(std::string libraryFolder, QWidget* parent)
    : QWidget(parent),
      libraryFolder_(std::move(libraryFolder)),
      // By name, as the file adder's: nothing made on the posting thread crosses Qt's queue.
      posted_([this] { QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection); }),
      // The component may ask from a task's thread; the timer is set on the window's.
      VornC([this](int delayMs, std::function<void()> call) {
        PostToWindow([this, delayMs, call] { QTimer::singleShot(delayMs, this, call); });
      }) {
  setWindowTitle(tr("Tovrena"));
  dlg.ButtonCount = 1;
  dlg.Buttons[0] = {tr("OK"), mrOk};
  dlg.IconType = TMsgIconType::mitNone;
  dlg.Position = TMsgPosition::mpScreenCenter;
  CreateControls();
  adder_ = std::make_unique<TFileAdder>(VornC, Lvw);
  ConnectHandlers();
  ConnectDesktopKeys();
  ConnectComponentEvents();
  OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  NotifyDesktop = [](const QString& summary, const QString& body) {
    SendDesktopNotification(summary, body);
  };
  runTicker_.setInterval(1000);
  connect(&runTicker_, &QTimer::timeout, this, &TForm1::UpdateRunProgress);
}

void TForm1::PostToWindow(std::function<void()> call) {
  posted_.Post(std::move(call));
}

void TForm1::RunPosted() {
  // A call may open a dialog whose event loop runs this again: calls taken then queue
  // behind those still to run, so they keep the order they were posted in.
  for (std::function<void()>& call : posted_.Take()) postedToRun_.push_back(std::move(call));
  while (!postedToRun_.empty()) {
    const std::function<void()> call = std::move(postedToRun_.front());
    postedToRun_.pop_front();
    call();
  }
}

TForm1::~TForm1() {
  // The component's tasks may still be reporting; nothing of theirs reaches this window.
  detached_ = true;
  // The list empties itself while its parts go, when this window's own part is gone.
  Lvw->model()->disconnect(this);
}

void TForm1::ConnectHandlers() {
  connect(BtnAdd, &QPushButton::clicked, this, &TForm1::BtnAddClick);
  connect(BtnAddFolder, &QPushButton::clicked, this, &TForm1::BtnAddFolderClick);
  connect(BtnRemove, &QPushButton::clicked, this, &TForm1::BtnRemoveClick);
  connect(BtnClear, &QPushButton::clicked, this, &TForm1::BtnClearClick);
  connect(BtnMoveUp, &QPushButton::clicked, this, &TForm1::BtnMoveUpClick);
  connect(BtnMoveDown, &QPushButton::clicked, this, &TForm1::BtnMoveDownClick);
  connect(BtnChangeOutputFolder, &QPushButton::clicked, this, &TForm1::BtnChangeOutputFolderClick);
  connect(groupButtons_, &QButtonGroup::idClicked, this, [this] { RgpProfilesClick(); });
  // Only a choice of the user loads a profile; selections made in code do not.
  connect(CboProfiles, &QComboBox::activated, this, [this] {
    if (CboProfiles->currentText() == kCustomProfile) profileReadError_.clear();
    CboProfilesChange();
  });
  connect(BtnHelp, &QPushButton::clicked, this, &TForm1::BtnHelpClick);
  connect(BtnStart, &QPushButton::clicked, this, &TForm1::BtnStartClick);
  connect(BtnSettings, &QPushButton::clicked, this, [this] {
    TFrmOptions dialog({GroupName(), CboProfiles, &CurrentProfile, [this] { CboProfilesChange(); },
                        ShowApplicationError},
                       this);
    // Values the user set with "OK" are a choice, whatever the group file held.
    if (dialog.exec() == QDialog::Accepted) profileReadError_.clear();
  });
  connect(BtnAbout, &QPushButton::clicked, this, [this] { TFrmAbout(this).exec(); });
  connect(BtnOpenOutputFolder, &QPushButton::clicked, this, &TForm1::BtnOpenOutputFolderClick);
  connect(Lvw, &QTableWidget::customContextMenuRequested, this, &TForm1::LvwContextMenu);
  connect(Lvw, &QTableWidget::cellDoubleClicked, this, [this](int row) { OpenRowOutput(row); });
  connect(adder_.get(), &TFileAdder::Finished, this, [this](const QStringList& refusals) {
    ShowRefusals(refusals);
    if (std::exchange(startWhenAdded_, false)) StartRun();
  });
}

bool TForm1::FormCreate() {
  if (!VornC.LoadLibraries(libraryFolder_, true)) {
    ShowError(tr("Error"), QString::fromStdString(VornC.LastErrorMessage) +
                               tr(" Please re-install the program and try it again."));
    close();
    return false;
  }
  RestoreWindowGeometry(*this);
  lastAddFolder_ = ReadAddFolder();
  const TAppOptions options = ReadAppOptions(DefaultOutputFolder().toStdString());
  EdtOutputFolder->setText(QString::fromStdString(options.OutputPath));
  SetGroupIndex(-1);
  SetGroupIndex(options.RgpProfiles);
  // A stored index that the list no longer has falls back to its first profile.
  const int profile = options.CboProfiles;
  CboProfiles->setCurrentIndex(profile >= 0 && profile < CboProfiles->count() ? profile : 0);
  CboProfilesChange();
  // Closed with "[Custom]": its folder, group and hand-set values come back.
  if (const TCustomChoices custom = ReadCustomChoices(); custom.Chosen) {
    EdtOutputFolder->setText(QString::fromStdString(custom.OutputPath));
    SetGroupIndex(custom.RgpProfiles);
    CboProfiles->setCurrentIndex(CboProfiles->count() - 1);
    CurrentProfile = custom.Profile;
    profileReadError_.clear();
  }
  SpnFilesAtOnce->setValue(ReadFilesAtOnce(SpnFilesAtOnce->maximum()));
  ChkAllowPlaylists->setChecked(ReadAllowPlaylists());
  created_ = true;
  return true;
}

int TForm1::GroupIndex() const {
  return groupButtons_->checkedId();
}

void TForm1::SetGroupIndex(int index) {
  if (index < 0 || index >= static_cast<int>(kOutputGroups.size())) {
    groupButtons_->setExclusive(false);
    for (QAbstractButton* button : groupButtons_->buttons()) button->setChecked(false);
    groupButtons_->setExclusive(true);
    return;
  }
  groupButtons_->button(index)->setChecked(true);
  RgpProfilesClick();
}

std::string TForm1::GroupName() const {
  const int index = GroupIndex();
  return index < 0 ? std::string() : kOutputGroups[index];
}

void TForm1::RgpProfilesClick() {
  profileReadError_.clear();
  std::vector<std::string> profiles;
  try {
    profiles = ListProfiles(GroupName());
    profiles.pop_back();  // "[Custom]" comes after the selection is made
  } catch (const EIniFileError& error) {
    // Listed like a group without profiles, but nothing converts until the user picks.
    profileReadError_ = error.what();
    ShowError(tr("Error"), QString::fromStdString(profileReadError_));
  }
  CboProfiles->clear();
  for (const std::string& name : profiles) CboProfiles->addItem(QString::fromStdString(name));
  CboProfiles->setCurrentIndex(profiles.empty() ? -1 : 0);
  CboProfiles->addItem(kCustomProfile);
  if (profiles.empty()) CboProfiles->setCurrentIndex(-1);
  CboProfilesChange();
}

void TForm1::CboProfilesChange() {
  // Without a selection (a group without profiles) the group's defaults apply, as for
  // "[Custom]".
  const std::string name = CboProfiles->currentText().toStdString();
  try {
    CurrentProfile = LoadProfile(GroupName(), name);
    // "[Custom]" reads nothing, so only the user's own pick of it counts (see activated).
    if (name != kCustomProfile) profileReadError_.clear();
  } catch (const EIniFileError& error) {
    CurrentProfile = LoadProfile(GroupName(), kCustomProfile);
    if (profileReadError_ != error.what()) {
      profileReadError_ = error.what();
      ShowError(tr("Error"), QString::fromStdString(profileReadError_));
    }
  }
}

void TForm1::AddFiles(const QStringList& paths) {
  // Checking a file creates its output, so the folder must be there already.
  if (!CreateOutputFolder()) return;
  // What the profile makes of every file is found once: a fault of the profile is said once.
  TFileAdder::TSetup setup;
  VornC.InitOutputOptions(setup.Output);
  try {
    if (!profileReadError_.empty()) throw EConvertError(profileReadError_);
    FillOutputOptions(CurrentProfile, TIniFile(CodecCatalogueFilePath()), setup.Output,
                      CboProfiles->currentText().toStdString());
  } catch (const EConvertError& error) {
    ShowError(tr("Error"), tr("Cannot convert: ") + QString::fromStdString(error.what()));
    return;
  }
  setup.Folder = EdtOutputFolder->text().toStdString();
  setup.Taken = OutputsOfRows();
  setup.AllowPlaylists = ChkAllowPlaylists->isChecked();
  adder_->Add(paths, std::move(setup));
}

bool TForm1::Adding() const {
  return adder_->Busy();
}

void TForm1::ShowRefusals(const QStringList& refusals) {
  if (refusals.size() == 1) ShowError(tr("Error"), refusals.front());
  if (refusals.size() <= 1) return;
  // The box stays on the screen: the first few in its text, every one under its details.
  constexpr int kListed = 10;
  QString text = tr("%n files were not added:", "", static_cast<int>(refusals.size()));
  for (int index = 0; index < std::min<int>(kListed, refusals.size()); ++index)
    text += "\n" + refusals[index];
  if (refusals.size() > kListed)
    text += "\n" + tr("and %n more (see the details).", "", refusals.size() - kListed);
  QMessageBox box(QMessageBox::Warning, tr("Error"), text, QMessageBox::Ok, this);
  box.setDetailedText(refusals.join("\n"));
  box.exec();
}

void TForm1::BtnRemoveClick() {
  // Taken first: removing a row moves the selection onto its neighbour.
  std::vector<int> selected;
  for (const QModelIndex& index : Lvw->selectionModel()->selectedRows())
    selected.push_back(index.row());
  std::sort(selected.rbegin(), selected.rend());
  for (const int row : selected) Lvw->removeRow(row);
}

void TForm1::BtnClearClick() {
  adder_->Cancel();
  startWhenAdded_ = false;
  if (Lvw->rowCount() == 0) return;
  Lvw->setRowCount(0);
  VornC.ClearTasks();
}

void TForm1::BtnMoveUpClick() {
  MoveSelectedRow(-1);
}

void TForm1::BtnMoveDownClick() {
  MoveSelectedRow(1);
}

void TForm1::MoveSelectedRow(int offset) {
  const QModelIndexList selected = Lvw->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const int row = selected.front().row();
  const int target = row + offset;
  if (target < 0 || target >= Lvw->rowCount()) return;
  Lvw->setUpdatesEnabled(false);
  // The items move whole: their state, output path and a pending check go with them.
  std::vector<QTableWidgetItem*> items;
  for (int column = 0; column < lcColumnCount; ++column)
    items.push_back(Lvw->takeItem(row, column));
  Lvw->removeRow(row);
  Lvw->insertRow(target);
  for (int column = 0; column < lcColumnCount; ++column) {
    if (items[column] != nullptr) Lvw->setItem(target, column, items[column]);
  }
  Lvw->selectRow(target);
  Lvw->scrollToItem(Lvw->item(target, lcInputFilename));
  Lvw->setUpdatesEnabled(true);
}

QString TForm1::RowText(int row, TListColumn column) const {
  const QTableWidgetItem* item = Lvw->item(row, column);
  return item != nullptr ? item->text() : QString();
}

void TForm1::SetRowStatus(int row, TRowState state, const QString& text, const QString& toolTip,
                          int percent) {
  SetStatus(*Lvw, row, lcStatus, state, text, toolTip, percent);
}

TRowState TForm1::RowState(int row) const {
  return StatusState(*Lvw, row, lcStatus);
}

void TForm1::SetRowOutput(int row, const std::string& name, const std::string& path) {
  SetOutputCell(*Lvw, row, lcOutputFilename, QString::fromStdString(name),
                QString::fromStdString(path));
}

QString TForm1::RowOutputName(int row) const {
  return OutputCellName(*Lvw, row, lcOutputFilename);
}

QString TForm1::RowOutputPath(int row) const {
  return OutputCellPath(*Lvw, row, lcOutputFilename);
}

void TForm1::ShowError(const QString& caption, const QString& text) {
  dlg.Caption = caption;
  dlg.Text = text;
  dlg.Show(this);
}

void TForm1::BtnChangeOutputFolderClick() {
  QString folder = QFileDialog::getExistingDirectory(
      this, tr("Please select output folder"), EdtOutputFolder->text(), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  if (!folder.endsWith('/')) folder += '/';
  EdtOutputFolder->setText(folder);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Files dropped onto the list are added like files from the dialog, and the Delete key
  // removes the selected row; neither while a run holds the list.
  if (watched == Lvw->viewport() && event->type() == QEvent::Resize) UpdateEmptyHint();
  // Dropped files are copied, never moved: the source keeps them whatever it proposed.
  if (watched == Lvw->viewport() && !running_) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDropEvent*>(event);
      if (drag->mimeData()->hasUrls() && (drag->possibleActions() & Qt::CopyAction)) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      QStringList files;
      for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) files << url.toLocalFile();
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      if (!files.isEmpty()) AddFiles(files);
      return true;
    }
  }
  if (watched == Lvw && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Delete && !running_) {
      BtnRemoveClick();
      return true;
    }
    // Enter on a finished row opens its output; on any other row it is the window's.
    const int row = Lvw->currentRow();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && row >= 0 &&
        (RowState(row) == TRowState::rsCompleted || RowState(row) == TRowState::rsStopped)) {
      OpenRowOutput(row);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool TForm1::MayCloseDuringRun() {
  if (!running_) return true;
  return QMessageBox::question(
             this, kApplicationTitle, tr("A conversion is running. Stop it and quit?"),
             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (created_ && !MayCloseDuringRun()) {
    event->ignore();
    return;
  }
  event->accept();
  // A window whose start failed, or that has closed already, has nothing to save.
  if (!created_) return;
  created_ = false;
  detached_ = true;
  adder_->CancelAndWait();  // no check may use the libraries once they go
  VornC.StopAll();
  VornC.UnloadLibraries();  // waits for the stopped tasks before the libraries go
  VornC.OnLog = nullptr;
  VornC.OnProgress = nullptr;
  VornC.OnTerminate = nullptr;
  VornC.OnSetupFailure = nullptr;
  running_ = false;
  // A refused write is reported once, and the window still closes. The window's place is
  // no profile choice: it is kept whatever profile is chosen.
  try {
    StoreWindowGeometry(*this);
    StoreAddFolder(lastAddFolder_);
    if (CboProfiles->currentText() != kCustomProfile) {
      TAppOptions options;
      options.OutputPath = EdtOutputFolder->text().toStdString();
      options.RgpProfiles = GroupIndex();
      options.CboProfiles = CboProfiles->currentIndex();
      WriteAppOptions(options);
      UnchooseCustomChoices();
    } else {
      // The section "Options" keeps the last named profile; the hand-set one has its own.
      TCustomChoices custom;
      custom.Chosen = true;
      custom.OutputPath = EdtOutputFolder->text().toStdString();
      custom.RgpProfiles = GroupIndex();
      custom.Profile = CurrentProfile;
      WriteCustomChoices(custom);
    }
    if (SpnFilesAtOnce->value() != ReadFilesAtOnce(SpnFilesAtOnce->maximum())) {
      WriteFilesAtOnce(SpnFilesAtOnce->value());
    }
    if (ChkAllowPlaylists->isChecked() != ReadAllowPlaylists()) {
      WriteAllowPlaylists(ChkAllowPlaylists->isChecked());
    }
  } catch (const EIniFileError& error) {
    ShowApplicationError(error);
  }
}
