// The main window's conversion run: setting up each file's task, starting and stopping,
// and the component's progress and termination events.
#include <QCheckBox>
#include <QComboBox>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>

#include "app/UnitFrmMain.h"
#include "frontend/IniFile.h"
#include "frontend/ProfileOutput.h"
#include "frontend/RunTexts.h"
#include "ui/AppErrorHandler.h"

int TForm1::PrepareFile(const QString& path, int slot, int row, TTakenOutputs& taken) {
  const std::string file = path.toStdString();
  TInputOptions input;
  VornC.InitInputOptions(input);
  input.FileName = file;
  input.AllowPlaylists = ChkAllowPlaylists->isChecked();

  // The task opens the file when its turn comes; the row keeps the duration it got when
  // it was added.
  TOutputOptions output;
  VornC.InitOutputOptions(output);
  const auto refuse = [&](const std::string& reason) {
    SetRowFailed(slot, row, tr("Cannot convert: ") + QString::fromStdString(reason));
    return -1;
  };
  if (!profileReadError_.empty()) return refuse(profileReadError_);
  try {
    FillOutputOptions(CurrentProfile, TIniFile(CodecCatalogueFilePath()), output,
                      CboProfiles->currentText().toStdString());
  } catch (const EConvertError& error) {
    return refuse(error.what());
  }
  const std::string folder = EdtOutputFolder->text().toStdString();
  const TPlannedOutput plan = PlanOutputName(folder, FileBaseName(file), output.FileExt, taken);
  if (!plan.Planned()) return refuse(plan.Error);
  output.FileName = plan.Path;
  output.NameBase = plan.Base;
  const int task = VornC.ListFile(input, output);
  if (task < 0) {
    SetRowFailed(slot, row,
                 tr("Convertion of file \"%1\" is not supported. ").arg(path) +
                     QString::fromStdString(VornC.LastErrorMessage));
    return -1;
  }
  // Planned only: the file is created when its turn comes, and the name it finally gets
  // replaces this one when it ends.
  taken.insert(plan.Path);
  SetRowOutput(row, plan.Name, plan.Path);
  return task;
}

TTakenOutputs TForm1::OutputsOfRows() const {
  const std::string folder = EdtOutputFolder->text().toStdString();
  const std::string extension = OutputExtension(CurrentProfile);
  TTakenOutputs taken;
  for (int row = 0; row < Lvw->rowCount(); ++row) {
    taken.insert(folder + RowOutputName(row).toStdString() + extension);
  }
  return taken;
}

bool TForm1::CreateOutputFolder() {
  const QString folder = EdtOutputFolder->text();
  const std::string reason = PrepareOutputFolder(folder.toStdString());
  if (reason.empty()) return true;
  ShowError(tr("Error"), tr("Cannot write into the output folder \"%1\": ").arg(folder) +
                             QString::fromStdString(reason));
  return false;
}

void TForm1::BtnStartClick() {
  if (running_) {
    StopRun();
  } else {
    StartRun();
  }
}

void TForm1::StartRun() {
  // Every file given is converted: a run of the checked ones alone would leave the others
  // out, and a run's task list is fixed once it starts.
  if (Adding()) {
    startWhenAdded_ = true;
    return;
  }
  std::vector<int> rows(static_cast<std::size_t>(Lvw->rowCount()));
  for (int row = 0; row < Lvw->rowCount(); ++row) rows[row] = row;
  StartRunOf(rows);
}

void TForm1::StartRunOf(const std::vector<int>& rows) {
  if (rows.empty()) {
    ShowError(tr("Information"), tr("Please select files to be converted."));
    return;
  }
  if (!CreateOutputFolder()) return;
  for (const int row : rows) SetRowStatus(row, TRowState::rsQueued, tr("Queued"));
  VornC.ClearTasks();
  SetRunControlsEnabled(false);
  LblRunSummary->hide();
  LblProgress->setText(QString());
  LblProgress->show();
  running_ = true;
  ++runSerial_;

  runRows_ = rows;
  runNotes_.clear();
  filesAtOnce_ = SpnFilesAtOnce->value();
  runClock_.start();
  runModel_.Restart(RunSeconds());
  TTakenOutputs taken;
  bool anyTask = false;
  for (std::size_t slot = 0; slot < rows.size(); ++slot) {
    const int file = runModel_.AddFile(DurationCellSeconds(RowText(rows[slot], lcDuration)));
    const int task = PrepareFile(RowText(rows[slot], lcPath), file, rows[slot], taken);
    if (task < 0) continue;
    runModel_.SetTask(file, task);
    anyTask = true;
  }
  BtnStart->setText(tr("Stop"));
  PbrOverall->show();
  UpdateRunProgress();
  runTicker_.start();
  // Nothing to start: every file was refused, and the run is over at once.
  if (!anyTask) {
    FinishRun();
    return;
  }
  VornC.ThreadPriority = tpNormal;
  VornC.StartConvert(filesAtOnce_);
}

void TForm1::StopRun() {
  stoppedRun_ = runSerial_;
  ++runSerial_;  // what the stopped tasks still report belongs to an ended run
  running_ = false;
  VornC.StopAll();
  // Waits for every end: the run model has them all afterwards, each file's as its task
  // told it (started or not).
  VornC.ClearTasks();
  runModel_.Close();
  SetRunControlsEnabled(true);
  LblProgress->hide();
  // Rows queued again during the run are failed ones again, for the next Convert or Retry.
  ShowRunRows(true);
  retryRows_.clear();
  Lvw->viewport()->update();
  BtnStart->setText(tr("Convert"));
  std::vector<TFailedFile> failed;
  LblRunSummary->setText(QString::fromStdString(RunCountsText(CountRunRows(failed))));
  LblRunSummary->show();
  runTicker_.stop();
  PbrOverall->hide();
  setWindowTitle(kApplicationTitle);
}

void TForm1::SetRunControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           BtnAdd, BtnAddFolder, BtnRemove, BtnClear, BtnMoveUp, BtnMoveDown, BtnChangeOutputFolder,
           BtnAbout, BtnHelp, GBOutput, SpnFilesAtOnce, ChkAllowPlaylists}) {
    control->setEnabled(enabled);
  }
}

void TForm1::EndRun() {
  running_ = false;
  ++runSerial_;
  BtnStart->setText(tr("Convert"));
  SetRunControlsEnabled(true);
  LblProgress->hide();
  VornC.StopAll();
  VornC.ClearTasks();
  runTicker_.stop();
  PbrOverall->hide();
  setWindowTitle(kApplicationTitle);
}

void TForm1::FinishRun() {
  EndRun();
  runModel_.Close();
  ShowRunRows(false);
  ShowRunSummary();
  // Started only now: the box above waits for the user, and Stop may have come meanwhile.
  if (!running_ && !retryRows_.empty()) {
    const std::vector<int> rows = std::move(retryRows_);
    retryRows_.clear();
    StartRunOf(rows);
  }
}

TRunCounts TForm1::CountRunRows(std::vector<TFailedFile>& failed) const {
  const TRunSnapshot run = runModel_.Snapshot(RunSeconds());
  for (std::size_t slot = 0; slot < run.Files.size() && slot < runRows_.size(); ++slot) {
    const TRunFile& file = run.Files[slot];
    const int row = runRows_[slot];
    if (file.State != TRunFileState::Failed || row >= Lvw->rowCount()) continue;
    const QString path = RowText(row, lcPath);
    const TRowStatus status = RowStatusOf(file, path);
    failed.push_back({path.section('/', -1).toStdString(),
                      (status.ToolTip.isEmpty() ? status.Text : status.ToolTip).toStdString()});
  }
  return run.Counts;
}

void TForm1::ShowRunRows(bool retried) {
  const TRunSnapshot run = runModel_.Snapshot(RunSeconds());
  for (std::size_t slot = 0; slot < run.Files.size() && slot < runRows_.size(); ++slot) {
    if (!retried &&
        std::find(retryRows_.begin(), retryRows_.end(), runRows_[slot]) != retryRows_.end())
      continue;
    ShowRunRow(static_cast<int>(slot), run.Files[slot]);
  }
}

void TForm1::ShowRunRow(int slot, const TRunFile& file) {
  const int row = runRows_[static_cast<std::size_t>(slot)];
  if (row >= Lvw->rowCount()) return;
  const TRowStatus status = RowStatusOf(file, RowText(row, lcPath));
  SetRowStatus(row, status.State, status.Text, status.ToolTip, status.Percent);
}

void TForm1::ShowRunSummary() {
  std::vector<TFailedFile> failed;
  const QString counts = QString::fromStdString(RunCountsText(CountRunRows(failed)));
  QString failures = QString::fromStdString(FailedFilesText(failed));
  if (!runNotes_.empty()) {
    const QString notes = QString::fromStdString(FileNotesText(runNotes_));
    failures = failures.isEmpty() ? notes : failures + "\n\n" + notes;
  }
  LblRunSummary->setText(counts);
  LblRunSummary->show();
  if (!isActiveWindow() && NotifyDesktop) {
    NotifyDesktop(tr("File conversion process finished."),
                  failures.isEmpty() ? counts : counts + "\n" + failures);
  }
  QMessageBox box(failed.empty() ? QMessageBox::Information : QMessageBox::Warning,
                  tr("Information"), tr("File conversion process finished."), QMessageBox::Ok,
                  this);
  box.setInformativeText(failures.isEmpty() ? counts : counts + "\n\n" + failures);
  QPushButton* openFolder = box.addButton(tr("Open output folder"), QMessageBox::ActionRole);
  box.exec();
  if (box.clickedButton() == openFolder) BtnOpenOutputFolderClick();
}

double TForm1::RunSeconds() const {
  return static_cast<double>(runClock_.elapsed()) / 1000.0;
}

void TForm1::UpdateRunProgress() {
  if (!running_) return;
  const TRunSnapshot run = runModel_.Snapshot(RunSeconds());
  PbrOverall->setValue(run.Percent);
  PbrOverall->setFormat(RunBarText(run));
  setWindowTitle(QString::number(run.Percent) + "% - " + kApplicationTitle);
}

int TForm1::RowOfTask(int taskIndex) const {
  return RowOfSlot(runModel_.FileOfTask(taskIndex));
}

int TForm1::RowOfSlot(int slot) const {
  if (slot < 0 || slot >= static_cast<int>(runRows_.size())) return -1;
  const int row = runRows_[static_cast<std::size_t>(slot)];
  return row < Lvw->rowCount() ? row : -1;
}

void TForm1::ConnectComponentEvents() {
  // The run model takes the events on the task's thread, so that it has every end once
  // the component's ClearTasks returns; the window's thread then shows what it decided.
  VornC.OnProgress = [this](int AIndex, int AFrameNumber, int AFPS, int ACurrentDuration,
                            float /*AQuality*/, float /*ABitRate*/, std::int64_t /*ACurrentSize*/,
                            int ATotalOutputDuration) {
    if (detached_) return;
    runModel_.Progress(AIndex, AFrameNumber, AFPS, ACurrentDuration, ATotalOutputDuration,
                       RunSeconds());
    PostProgress(AIndex);
  };
  VornC.OnTerminate = [this](int AIndex, bool /*AFinished*/, bool /*AException*/,
                             const std::string& AMessage) {
    if (std::string note = VornC.TaskOutputNote(AIndex); !note.empty() && !detached_) {
      const int run = runSerial_;
      PostToWindow([=, this] {
        if (const int row = RowOfTask(AIndex); run == runSerial_ && row >= 0)
          runNotes_.push_back({RowText(row, lcPath).section('/', -1).toStdString(), note});
      });
    }
    if (std::string output = VornC.TaskOutputFile(AIndex); !output.empty() && !detached_) {
      const int run = runSerial_;
      PostToWindow([=, this] {
        // A stopped file keeps what it got under the name it got, too.
        const bool current = run == runSerial_ || (run == stoppedRun_ && !running_);
        if (const int row = RowOfTask(AIndex); current && row >= 0)
          SetRowOutput(row, FileBaseName(output), output);
      });
    }
    if (detached_) return;
    if (AIndex >= 0) runModel_.Ended(AIndex, VornC.TaskEnd(AIndex), AMessage, RunSeconds());
    PostTerminate(AIndex);
  };
}

void TForm1::PostProgress(int taskIndex) {
  const int run = runSerial_;
  PostToWindow([=, this] { VornCProgress(run, taskIndex); });
}

void TForm1::PostTerminate(int taskIndex) {
  const int run = runSerial_;
  PostToWindow([=, this] { VornCTerminate(run, taskIndex); });
}

void TForm1::VornCProgress(int run, int taskIndex) {
  if (!running_ || run != runSerial_) return;
  const int slot = runModel_.FileOfTask(taskIndex);
  const int row = RowOfSlot(slot);
  if (row < 0) return;
  const TRunFile file = runModel_.File(slot);
  if (file.State != TRunFileState::Running) return;
  ShowRunRow(slot, file);
  const QString line = QString::fromStdString(
      ProgressLine(file.Frame, file.CurrentMs, file.TotalMs, file.Fps, file.SecondsLeft));
  // Side by side, the line names whose it is.
  LblProgress->setText(filesAtOnce_ > 1 ? RowText(row, lcInputFilename) + ": " + line : line);
  UpdateRunProgress();
}

void TForm1::VornCTerminate(int run, int taskIndex) {
  if (!running_ || run != runSerial_) return;
  if (taskIndex < 0) {
    FinishRun();
    return;
  }
  const int slot = runModel_.FileOfTask(taskIndex);
  if (RowOfSlot(slot) >= 0) ShowRunRow(slot, runModel_.File(slot));
  UpdateRunProgress();
}

void TForm1::SetRowFailed(int slot, int row, const QString& text) {
  runModel_.Refuse(slot, text.toStdString());
  SetRowStatus(row, TRowState::rsFailed, FailedStatusText(text), text);
}
