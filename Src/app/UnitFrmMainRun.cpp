// The main window's conversion run: setting up each file's task, starting and stopping,
// and the component's progress and termination events.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>

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

  // The task opens the file when its turn comes; the row keeps the duration it got when
  // it was added.
  TOutputOptions output;
  VornC.InitOutputOptions(output);
  TOutputReservation reservation;
  const auto refuse = [&](const std::string& reason) {
    ShowError("Error", QString::fromStdString("Cannot convert: " + reason));
    ReleaseOutputName(reservation);
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
  reservation = ReserveOutputName(folder, FileBaseName(file), output.FileExt, taken);
  if (!reservation.Reserved()) return refuse(reservation.Error);
  output.FileName = reservation.Path;
  output.ReservedFile = reservation.Identity;
  const int task = VornC.ListFile(input, output);
  if (task < 0) {
    ReleaseOutputName(reservation);
    ShowError("Error", "Convertion of file \"" + path + "\" is not supported. " +
                           QString::fromStdString(VornC.LastErrorMessage));
    return -1;
  }
  // A run's outputs wait on disk until their turn: the run's end or a signal removes
  // those that never received anything.
  RegisterReservedOutput(reservation);
  runReservations_.push_back(reservation);
  taken.insert(reservation.Path);
  SetRowText(row, lcOutputFilename, QString::fromStdString(reservation.Name));
  return task;
}

TTakenOutputs TForm1::OutputsOfRows() const {
  const std::string folder = EdtOutputFolder->text().toStdString();
  const std::string extension = OutputExtension(CurrentProfile);
  TTakenOutputs taken;
  for (int row = 0; row < Lvw->rowCount(); ++row) {
    taken.insert(folder + RowText(row, lcOutputFilename).toStdString() + extension);
  }
  return taken;
}

bool TForm1::CreateOutputFolder() {
  const QString folder = EdtOutputFolder->text();
  const std::string reason = PrepareOutputFolder(folder.toStdString());
  if (reason.empty()) return true;
  ShowError("Error", "Cannot write into the output folder \"" + folder +
                         "\": " + QString::fromStdString(reason));
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
  if (Lvw->rowCount() == 0) {
    ShowError("Information", "Please select files to be converted.");
    return;
  }
  if (!CreateOutputFolder()) return;
  for (int row = 0; row < Lvw->rowCount(); ++row) SetRowText(row, lcStatus, " ");
  RunPosition = 0;
  VornC.ClearTasks();
  SetRunControlsEnabled(false);
  LblProgress->show();
  running_ = true;
  ++runSerial_;

  taskRows_.clear();
  setupFailedTasks_.clear();
  endedTasks_ = 0;
  TTakenOutputs taken;
  for (int row = 0; row < Lvw->rowCount(); ++row) {
    if (PrepareFile(RowText(row, lcPath), row, taken) >= 0) taskRows_.push_back(row);
  }
  VornC.ThreadPriority = tpNormal;
  BtnStart->setText("Stop");
  VornC.StartConvert(1);
}

void TForm1::StopRun() {
  ++runSerial_;  // what the stopped tasks still report belongs to an ended run
  running_ = false;
  VornC.StopAll();
  VornC.ClearTasks();
  ReleaseRunReservations();
  SetRunControlsEnabled(true);
  LblProgress->hide();
  // The tasks run in list order, so the first one without an end is the one converting.
  if (endedTasks_ < static_cast<int>(taskRows_.size())) {
    SetRowText(taskRows_[endedTasks_], lcStatus, "Stopped");
  }
  Lvw->viewport()->update();
  BtnStart->setText("Convert");
}

void TForm1::SetRunControlsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{BtnAdd, BtnRemove, BtnClear, BtnMoveUp, BtnMoveDown,
                                       BtnChangeOutputFolder, BtnAbout, BtnHelp, GBOutput}) {
    control->setEnabled(enabled);
  }
}

void TForm1::EndRun() {
  running_ = false;
  ++runSerial_;
  BtnStart->setText("Convert");
  SetRunControlsEnabled(true);
  LblProgress->hide();
  VornC.StopAll();
  VornC.ClearTasks();
  ReleaseRunReservations();
}

void TForm1::ReleaseRunReservations() {
  // Only the names still holding the empty file reserved go: every task has ended.
  for (const TOutputReservation& reservation : runReservations_) ReleaseOutputName(reservation);
  runReservations_.clear();
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
  QMetaObject::invokeMethod(
      this,
      [=, this] {
        VornCProgress(run, taskIndex, frameNumber, fps, currentDuration, totalDuration);
      },
      Qt::QueuedConnection);
}

void TForm1::PostTerminate(int taskIndex, bool finished, bool exception,
                           const std::string& message) {
  if (detached_) return;
  const int run = runSerial_;
  const QString text = QString::fromStdString(message);
  QMetaObject::invokeMethod(
      this, [=, this] { VornCTerminate(run, taskIndex, finished, exception, text); },
      Qt::QueuedConnection);
}

void TForm1::PostSetupFailure(int taskIndex, TTaskSetupStep step, const std::string& reason) {
  if (detached_) return;
  const int run = runSerial_;
  const QString text = QString::fromStdString(reason);
  QMetaObject::invokeMethod(
      this, [=, this] { VornCSetupFailure(run, taskIndex, step, text); }, Qt::QueuedConnection);
}

void TForm1::VornCProgress(int run, int taskIndex, int frameNumber, int fps, int currentDuration,
                           int totalDuration) {
  if (!running_ || run != runSerial_) return;
  if (const int row = RowOfTask(taskIndex); row >= 0) {
    SetRowText(row, lcStatus,
               QString::fromStdString(ProgressStatus(currentDuration, totalDuration)));
  }
  LblProgress->setText(QString::fromStdString(ProgressLine(frameNumber, currentDuration, fps)));
}

void TForm1::VornCTerminate(int run, int taskIndex, bool finished, bool exception,
                            const QString& message) {
  if (!running_ || run != runSerial_) return;
  if (taskIndex < 0) {
    EndRun();
  } else {
    ++endedTasks_;
    if (finished) {
      // The row of the task that ended, so a failed file never shifts the mark.
      if (const int row = RowOfTask(taskIndex); row >= 0) SetRowText(row, lcStatus, "Completed");
      ++RunPosition;
      if (RunPosition >= Lvw->rowCount()) {
        EndRun();
        QMessageBox::information(this, "Information", "File conversion process finished.");
        return;
      }
    }
  }
  // A file that could not be set up has had its own box.
  if (exception && setupFailedTasks_.count(taskIndex) == 0)
    QMessageBox::warning(this, kApplicationTitle, message);
}

// The texts the list shows for a file that cannot be set up, now that its turn came.
void TForm1::VornCSetupFailure(int run, int taskIndex, TTaskSetupStep step, const QString& reason) {
  if (!running_ || run != runSerial_) return;
  // Marked before the box: its end may arrive while the box is open.
  setupFailedTasks_.insert(taskIndex);
  const int row = RowOfTask(taskIndex);
  if (step == tsInput && row >= 0) {
    ShowError("Error",
              "Convertion of file \"" + RowText(row, lcPath) + "\" is not supported. " + reason);
  } else {
    ShowError("Error", "Cannot convert: " + reason);
  }
}
