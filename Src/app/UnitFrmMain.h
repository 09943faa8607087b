// The main window: the list of files to convert, the output folder, the chosen output group
// and profile, and the conversion run driven through the converter component.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FileStates.h"
#include "app/frmMessage.h"
#include "component/VornConverter.h"
#include "frontend/OutputNaming.h"
#include "frontend/RunModel.h"
#include "frontend/RunTexts.h"
#include "frontend/UnitGeneral.h"
#include "frontend/WorkerPool.h"

class QButtonGroup;
class QComboBox;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QCheckBox;
class QTableWidget;
class TFileAdder;

// Columns of Lvw: the row caption, then the five sub-items.
enum TListColumn : int {
  lcInputFilename,
  lcDuration,
  lcType,
  lcOutputFilename,
  lcStatus,
  lcPath,
  lcColumnCount
};

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // libraryFolder: where the media libraries are loaded from.
  explicit TForm1(std::string libraryFolder, QWidget* parent = nullptr);
  ~TForm1() override;

  // Loads the libraries, then the options and the last group and profile. False when the
  // libraries could not be loaded; the reason has been shown and the window is closed.
  bool FormCreate();

  // Adds the files (and the media files inside folders) as the "Add" dialog does: the rows
  // appear at once and are checked off the window's thread; refusals come in one box.
  void AddFiles(const QStringList& paths);
  // Files of an add are still being listed or checked.
  bool Adding() const;

  bool Running() const { return running_; }
  const TProfileSettings& Profile() const { return CurrentProfile; }

  // What the Status column says of a row (kept in its Status item).
  TRowState RowState(int row) const;
  // The output file a row was last given (empty before any).
  QString RowOutputPath(int row) const;

  // The ways to a row's output and the list's context menu. Open and Show in folder work
  // on rows whose output was written (Completed or Stopped); Retry on failed rows: it
  // queues the row again, converted at once when idle, else after the running run.
  bool OpenRowOutput(int row);
  void ShowRowInFolder(int row);
  void RetryRow(int row);
  void BtnOpenOutputFolderClick();

  // How the desktop is asked to open a file, folder or the help page, and told that a run ended
  // while the window was in the background; tests put their own in.
  std::function<bool(const QUrl&)> OpenUrl;
  std::function<void(const QString& summary, const QString& body)> NotifyDesktop;

  // The controls, by the names the handlers use.
  QTableWidget* Lvw = nullptr;
  QPushButton* BtnAdd = nullptr;
  QPushButton* BtnAddFolder = nullptr;
  QPushButton* BtnRemove = nullptr;
  QPushButton* BtnClear = nullptr;
  QPushButton* BtnMoveUp = nullptr;
  QPushButton* BtnMoveDown = nullptr;
  QLineEdit* EdtOutputFolder = nullptr;
  QPushButton* BtnChangeOutputFolder = nullptr;
  QGroupBox* GBOutput = nullptr;
  QGroupBox* RgpProfiles = nullptr;
  QComboBox* CboProfiles = nullptr;
  QPushButton* BtnSettings = nullptr;
  QLabel* LblProgress = nullptr;
  // The run's bar ("file 2 of 5, ... elapsed, ... left"), shown while running.
  QProgressBar* PbrOverall = nullptr;
  // How the last run ended, shown while idle in the place of the progress line.
  QLabel* LblRunSummary = nullptr;
  QPushButton* BtnOpenOutputFolder = nullptr;
  // "Files at once": how many files a run converts side by side.
  QSpinBox* SpnFilesAtOnce = nullptr;
  // "Read playlists": a playlist added or converted may read the files it names inside its
  // own folder; otherwise it is refused.
  QCheckBox* ChkAllowPlaylists = nullptr;
  QPushButton* BtnStart = nullptr;
  QPushButton* BtnAbout = nullptr;
  QPushButton* BtnHelp = nullptr;

  // The chosen output group (-1 for none); choosing one runs RgpProfilesClick.
  int GroupIndex() const;
  void SetGroupIndex(int index);

  void BtnRemoveClick();
  void BtnClearClick();
  void BtnMoveUpClick();
  void BtnMoveDownClick();
  void BtnStartClick();

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
  // Asks "A conversion is running. Stop it and quit?" while a run is going; true to quit.
  bool MayCloseDuringRun();
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Enter converts, Esc asks to stop a run.
  void keyPressEvent(QKeyEvent* event) override;

 private slots:
  // Runs what other threads posted to the window's thread (PostToWindow).
  void RunPosted();

 private:
  // Runs call on the window's thread; safe from any thread. The call goes through a mailbox
  // of ours, not through Qt's event queue, so that its captures are handed over visibly to
  // ThreadSanitizer (Qt's queue locks in libraries it does not instrument).
  void PostToWindow(std::function<void()> call);
  void CreateControls();
  QWidget* CreateListArea();
  QWidget* CreateOutputFolderRow();
  QGroupBox* CreateOutputSettings();
  QWidget* CreateBottomRow();
  void ConnectHandlers();
  void ConnectComponentEvents();
  void ConnectDesktopKeys();
  void UpdateEmptyHint();
  void AskToStopRun();

  void RgpProfilesClick();
  void CboProfilesChange();
  void BtnAddClick();
  void BtnAddFolderClick();
  void BtnChangeOutputFolderClick();
  void BtnHelpClick();
  std::string GroupName() const;

  void MoveSelectedRow(int offset);
  void SetRowStatus(int row, TRowState state, const QString& text,
                    const QString& toolTip = QString(), int percent = -1);
  // The output column shows the name with its extension; the bare name (which naming
  // counts with) and the whole path stay in the item.
  void SetRowOutput(int row, const std::string& name, const std::string& path);
  QString RowOutputName(int row) const;
  void LvwContextMenu(const QPoint& position);
  // A file of the run that cannot be converted: its row says why, and the run's summary.
  void SetRowFailed(int slot, int row, const QString& text);
  QString RowText(int row, TListColumn column) const;
  void ShowError(const QString& caption, const QString& text);

  // Lists the file's task for the run, set up when its turn comes, and updates the row's
  // output name. taken collects the output paths given so far. The task index, or -1 with
  // the file refused in the run model (as its slot of the run).
  int PrepareFile(const QString& path, int slot, int row, TTakenOutputs& taken);
  // One box for the files an add refused, each with its reason.
  void ShowRefusals(const QStringList& refusals);
  // Makes the output folder when missing; false, with the reason shown, when no output
  // can be created in it.
  bool CreateOutputFolder();
  // The output paths that the rows already in the list stand for.
  TTakenOutputs OutputsOfRows() const;

  void StartRun();
  // A run of some rows only (those retried).
  void StartRunOf(const std::vector<int>& rows);
  void StopRun();
  // The end of a run that was not stopped: its summary, then the retried rows' run.
  void FinishRun();
  void ShowRunSummary();
  TRunCounts CountRunRows(std::vector<TFailedFile>& failed) const;
  void UpdateRunProgress();
  // The rows of the run as the run model has them; retried: the rows queued again too.
  void ShowRunRows(bool retried);
  void ShowRunRow(int slot, const TRunFile& file);
  double RunSeconds() const;
  void SetRunControlsEnabled(bool enabled);
  void EndRun();
  // The row of a task of the current run, or -1.
  int RowOfTask(int taskIndex) const;
  // The row of the run model's file, -1 when it is gone from the list.
  int RowOfSlot(int slot) const;

  // Component events, on the task's thread: they only post to the window's thread.
  void PostProgress(int taskIndex);
  void PostTerminate(int taskIndex);
  // The same on the window's thread, for the run they were raised in.
  void VornCProgress(int run, int taskIndex);
  void VornCTerminate(int run, int taskIndex);

  const std::string libraryFolder_;
  // Before VornC, whose task threads post into it until the component is gone.
  TMailbox<std::function<void()>> posted_;
  std::deque<std::function<void()>> postedToRun_;
  TVornConverter VornC;
  TProfileSettings CurrentProfile;
  TMessageBox dlg;
  QButtonGroup* groupButtons_ = nullptr;

  // Libraries loaded and settings read: closing has something to stop and save.
  bool created_ = false;
  bool running_ = false;
  // Counts runs (and stops), so that late events of an ended run change nothing.
  std::atomic<int> runSerial_{0};
  // Set when the window closes: the component's events are then dropped at once.
  std::atomic<bool> detached_{false};
  // Why the chosen group's profile file could not be read; while it stands, no file is
  // converted with the defaults that stand in for the profile.
  std::string profileReadError_;
  // The rows of the run, in order: row of each file (slot) of the run model.
  std::vector<int> runRows_;
  // What the run's files are: fed by the component's events on their own threads, read
  // on the window's thread.
  TRunModel runModel_;
  // Failed rows queued again while a run was going: they form the next run, and this
  // run's summary still counts their failures (the run model keeps them failed).
  std::vector<int> retryRows_;
  // Notes on the run's outputs (tracks left out), for its summary: file name and note.
  std::vector<TFailedFile> runNotes_;
  // The run ended by Stop: its finished files still mark their rows.
  int stoppedRun_ = -1;
  int filesAtOnce_ = 1;
  QElapsedTimer runClock_;
  QTimer runTicker_;
  // Checks files on worker threads with VornC, so it goes first when the window does.
  std::unique_ptr<TFileAdder> adder_;
  // "Convert" came while files were being added: the run starts once they are all in.
  bool startWhenAdded_ = false;
  // Where the Add dialogs open: the folder files were last added from.
  QString lastAddFolder_;
  QLabel* emptyHint_ = nullptr;
};
