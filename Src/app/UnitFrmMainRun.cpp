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

int TForm1::PrepareFile(const QString& path, int row, TTakenOutputs& taken) {
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
    SetRowFailed(row, tr("Cannot convert: ") + QString::fromStdString(reason));
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
    SetRowFailed(row, tr("Convertion of file \"%1\" is not supported. ").arg(path) +
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
  RunPosition = 0;
  VornC.ClearTasks();
  SetRunControlsEnabled(false);
  LblRunSummary->hide();
  LblProgress->setText(QString());
  LblProgress->show();
  running_ = true;
  ++runSerial_;

  runRows_ = rows;
  runNotes_.clear();
  taskRows_.clear();
  taskSlots_.clear();
  retriedFailures_.clear();
  setupFailedTasks_.clear();
  endedTasks_ = 0;
  filesAtOnce_ = SpnFilesAtOnce->value();
  runClock_.start();
  progress_ = std::make_unique<TRunProgress>(static_cast<int>(rows.size()), RunSeconds());
  TTakenOutputs taken;
  for (std::size_t slot = 0; slot < rows.size(); ++slot) {
    if (PrepareFile(RowText(rows[slot], lcPath), rows[slot], taken) >= 0) {
      taskRows_.push_back(rows[slot]);
      taskSlots_.push_back(static_cast<int>(slot));
    } else {
      progress_->End(static_cast<int>(slot));
    }
  }
  taskEnded_.assign(taskRows_.size(), false);
  BtnStart->setText(tr("Stop"));
  PbrOverall->show();
  UpdateRunProgress();
  runTicker_.start();
  // Nothing to start: every file was refused, and the run is over at once.
  if (taskRows_.empty()) {
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
  VornC.ClearTasks();
  SetRunControlsEnabled(true);
  LblProgress->hide();
  // Tasks start in list order, the first ones at once and one more at each end, so those
  // below that mark had started.
  const int started = endedTasks_ + filesAtOnce_;
  for (int task = 0; task < static_cast<int>(taskRows_.size()); ++task) {
    if (taskEnded_[task]) continue;
    if (task < started) {
      SetRowStatus(taskRows_[task], TRowState::rsStopped, tr("Stopped"),
                   tr("Stopped; the part converted so far is kept"));
    } else {
      SetRowStatus(taskRows_[task], TRowState::rsNotStarted, tr("Not started"));
    }
  }
  // Rows queued again during the run are failed ones again, for the next Convert or Retry.
  for (std::size_t i = 0; i < retryRows_.size(); ++i) {
    const QString reason = QString::fromStdString(retriedFailures_[i].Reason);
    SetRowStatus(retryRows_[i], TRowState::rsFailed, FailedStatusText(reason), reason);
  }
  retryRows_.clear();
  retriedFailures_.clear();
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
  ShowRunSummary();
  // Started only now: the box above waits for the user, and Stop may have come meanwhile.
  if (!running_ && !retryRows_.empty()) {
    const std::vector<int> rows = std::move(retryRows_);
    retryRows_.clear();
    StartRunOf(rows);
  }
}

TRunCounts TForm1::CountRunRows(std::vector<TFailedFile>& failed) const {
  TRunCounts counts;
  for (const int row : runRows_) {
    if (row >= Lvw->rowCount()) continue;
    // A row of this run queued again failed in it.
    if (const auto retried = std::find(retryRows_.begin(), retryRows_.end(), row);
        retried != retryRows_.end()) {
      ++counts.Failed;
      failed.push_back(retriedFailures_[retried - retryRows_.begin()]);
      continue;
    }
    switch (RowState(row)) {
      case TRowState::rsCompleted:
        ++counts.Converted;
        break;
      case TRowState::rsFailed: {
        ++counts.Failed;
        const QString path = RowText(row, lcPath);
        failed.push_back({path.section('/', -1).toStdString(),
                          Lvw->item(row, lcStatus)->toolTip().toStdString()});
        break;
      }
      case TRowState::rsStopped:
        ++counts.Stopped;
        break;
      default:
        ++counts.NotStarted;
        break;
    }
  }
  return counts;
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
  if (!running_ || !progress_) return;
  const double now = RunSeconds();
  PbrOverall->setValue(progress_->Percent());
  PbrOverall->setFormat(QString::fromStdString(RunProgressLine(
      progress_->FileNumber(), progress_->FileCount(), now, progress_->SecondsLeft(now))));
  setWindowTitle(QString::number(progress_->Percent()) + "% - " + kApplicationTitle);
}

void TForm1::MarkTaskEnded(int taskIndex) {
  if (taskIndex < 0 || taskIndex >= static_cast<int>(taskEnded_.size()) || taskEnded_[taskIndex])
    return;
  taskEnded_[taskIndex] = true;
  ++endedTasks_;
  progress_->End(taskSlots_[taskIndex]);
}

int TForm1::RowOfTask(int taskIndex) const {
  if (taskIndex < 0 || taskIndex >= static_cast<int>(taskRows_.size())) return -1;
  const int row = taskRows_[taskIndex];
  return row < Lvw->rowCount() ? row : -1;
}

void TForm1::ConnectComponentEvents() {
  VornC.OnProgress = [this](int AIndex, int AFrameNumber, int AFPS, int ACurrentDuration,
                            float /*AQuality*/, float /*ABitRate*/, std::int64_t /*ACurrentSize*/,
                            int ATotalOutputDuration) {
    PostProgress(AIndex, AFrameNumber, AFPS, ACurrentDuration, ATotalOutputDuration);
  };
  VornC.OnTerminate = [this](int AIndex, bool AFinished, bool AException,
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
    PostTerminate(AIndex, AFinished, AException, AMessage);
  };
  VornC.OnSetupFailure = [this](int AIndex, TTaskSetupStep AStep, const std::string& AReason) {
    PostSetupFailure(AIndex, AStep, AReason);
  };
}

void TForm1::PostProgress(int taskIndex, int frameNumber, int fps, int currentDuration,
                          int totalDuration) {
  if (detached_) return;
  const int run = runSerial_;
  PostToWindow([=, this] {
    VornCProgress(run, taskIndex, frameNumber, fps, currentDuration, totalDuration);
  });
}

void TForm1::PostTerminate(int taskIndex, bool finished, bool exception,
                           const std::string& message) {
  if (detached_) return;
  const int run = runSerial_;
  const QString text = QString::fromStdString(message);
  PostToWindow([=, this] { VornCTerminate(run, taskIndex, finished, exception, text); });
}

void TForm1::PostSetupFailure(int taskIndex, TTaskSetupStep step, const std::string& reason) {
  if (detached_) return;
  const int run = runSerial_;
  const QString text = QString::fromStdString(reason);
  PostToWindow([=, this] { VornCSetupFailure(run, taskIndex, step, text); });
}

void TForm1::VornCProgress(int run, int taskIndex, int frameNumber, int fps, int currentDuration,
                           int totalDuration) {
  if (!running_ || run != runSerial_) return;
  const int row = RowOfTask(taskIndex);
  if (row < 0 || taskEnded_[taskIndex]) return;
  const double secondsLeft =
      progress_->Report(taskSlots_[taskIndex], currentDuration, totalDuration, RunSeconds());
  const QString line = QString::fromStdString(
      ProgressLine(frameNumber, currentDuration, totalDuration, fps, secondsLeft));
  SetRowStatus(row, TRowState::rsRunning,
               QString::fromStdString(ProgressStatus(currentDuration, totalDuration)), line,
               ProgressPercent(currentDuration, totalDuration));
  // Side by side, the line names whose it is.
  LblProgress->setText(filesAtOnce_ > 1 ? RowText(row, lcInputFilename) + ": " + line : line);
  UpdateRunProgress();
}

void TForm1::VornCTerminate(int run, int taskIndex, bool finished, bool exception,
                            const QString& message) {
  // A file that completed just before Stop was pressed is still marked so.
  if (run == stoppedRun_ && finished && !running_) {
    if (const int row = RowOfTask(taskIndex); row >= 0) {
      SetRowStatus(row, TRowState::rsCompleted, tr("Completed"));
    }
    return;
  }
  if (!running_ || run != runSerial_) return;
  if (taskIndex < 0) {
    FinishRun();
    return;
  }
  MarkTaskEnded(taskIndex);
  const int row = RowOfTask(taskIndex);
  if (finished) {
    // The row of the task that ended, so a failed file never shifts the mark.
    if (row >= 0) SetRowStatus(row, TRowState::rsCompleted, tr("Completed"));
    ++RunPosition;
    if (RunPosition >= static_cast<int>(runRows_.size())) {
      FinishRun();
      return;
    }
  } else if (row >= 0 && setupFailedTasks_.count(taskIndex) == 0) {
    // A file that could not be set up has its row marked already.
    if (exception) {
      SetRowStatus(row, TRowState::rsFailed, FailedStatusText(message), message);
    } else {
      SetRowStatus(row, TRowState::rsStopped, tr("Stopped"),
                   tr("Stopped; the part converted so far is kept"));
    }
  }
  UpdateRunProgress();
}

// The texts the list shows for a file that cannot be set up, now that its turn came.
void TForm1::VornCSetupFailure(int run, int taskIndex, TTaskSetupStep step, const QString& reason) {
  if (!running_ || run != runSerial_) return;
  setupFailedTasks_.insert(taskIndex);
  const int row = RowOfTask(taskIndex);
  if (row < 0) return;
  const QString text =
      step == tsInput
          ? tr("Convertion of file \"%1\" is not supported. ").arg(RowText(row, lcPath)) + reason
          : tr("Cannot convert: ") + reason;
  // The row names the file already: its cell keeps only what went wrong.
  const QString namedFile = RowText(row, lcPath) + ": ";
  SetRowStatus(
      row, TRowState::rsFailed,
      FailedStatusText(reason.startsWith(namedFile) ? reason.mid(namedFile.size()) : reason), text);
}

void TForm1::SetRowFailed(int row, const QString& text) {
  SetRowStatus(row, TRowState::rsFailed, FailedStatusText(text), text);
}
