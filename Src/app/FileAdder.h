// Adds files to the main window's list without holding up the window's thread: folders are
// walked and files checked on a pool of worker threads (one per core), while the window's
// thread only makes rows, a slice at a time, and fills them in as the checks come back.
// The workers' results come back through a mailbox the window's thread empties when woken.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

#include "component/VornConverter.h"
#include "frontend/OutputNaming.h"
#include "frontend/WorkerPool.h"

class QTableWidget;
class QTableWidgetItem;

// The media files a folder holds, found by extension; what else it holds is skipped.
bool IsMediaFileName(const QString& fileName);
// The files a dropped or chosen entry stands for: a file itself, a folder the media files
// inside it and its subfolders (sorted by path, links to folders not followed).
QStringList ExpandEntry(const QString& path);

class TFileAdder : public QObject {
  Q_OBJECT

 public:
  // What one add needs besides the paths.
  struct TSetup {
    TOutputOptions Output;        // filled from the profile; FileName empty
    std::string Folder;           // the output folder, ending with "/"
    TTakenOutputs Taken;          // output paths the rows already stand for
    bool AllowPlaylists = false;  // a playlist may read the files in its folder
  };

  // converter must outlive the adder; the adder makes and fills rows of list.
  TFileAdder(TVornConverter& converter, QTableWidget* list, QObject* parent = nullptr);
  // Waits for the checks still running (they use the converter).
  ~TFileAdder() override;

  // Rows for paths (folders stand for the media files inside them) in the order given;
  // Finished comes when every row of every add so far is checked.
  void Add(const QStringList& paths, TSetup setup);
  // Files are being walked, listed or checked.
  bool Busy() const;
  // Drops what is still to come (the rows made so far stay, unchecked ones without a
  // duration) and the refusals gathered; no Finished follows.
  void Cancel();
  // Cancel, then wait until no worker uses the converter any more.
  void CancelAndWait();

 signals:
  // The add is over: what was refused, one message per file naming it with the reason.
  void Finished(const QStringList& refusals);

 private slots:
  // Woken by the workers: takes what the mailbox holds.
  void DrainResults();

 private:
  // What a worker hands to the window's thread: a walk's files or a file's check.
  struct TResult {
    int Generation = 0;
    int Walk = -1;  // the walk that found Files; -1 for a check
    QStringList Files;
    std::uint64_t Ticket = 0;
    QString Duration;
    QString Cover;    // the cover picture's description, for the Type cell
    QString Refusal;  // empty when the file can be converted
  };
  // What the workers read of an add; never changed once made.
  struct TCheckSetup {
    TOutputOptions Output;
    std::string Folder;
    bool AllowPlaylists = false;
  };
  struct TPendingRow {
    QString Path;
    std::shared_ptr<const TCheckSetup> Setup;
  };
  class TRowKeyItem;

  // An add's paths, walked on a worker; its rows come after those of earlier adds.
  struct TWalk {
    int Number = 0;
    bool Done = false;
    QStringList Files;
    std::shared_ptr<const TCheckSetup> Setup;
  };

  void Walked(int walk, const QStringList& files);
  void MakeRowsSlice();
  void ScheduleRows();
  void StartCheck(std::uint64_t ticket, const QString& path,
                  const std::shared_ptr<const TCheckSetup>& setup);
  void Forget(std::uint64_t ticket);
  void FinishWhenIdle();

  TVornConverter& converter_;
  QTableWidget* list_;
  TMailbox<TResult> results_;
  // Cancel raises it: work of an older generation is skipped or dropped.
  std::atomic<int> workGeneration_{0};
  int generation_ = 0;
  int nextWalk_ = 0;
  std::deque<TWalk> walks_;
  // An add is under way: Finished is still to come.
  bool open_ = false;
  bool rowsScheduled_ = false;
  std::deque<TPendingRow> toMake_;
  // Output paths given to rows so far: the next row's name is the first one not among them.
  TTakenOutputs taken_;
  std::uint64_t nextTicket_ = 1;
  // The path item of every row whose check has not come back.
  std::unordered_map<std::uint64_t, QTableWidgetItem*> unchecked_;
  QStringList refusals_;
  // Last, so that its workers are gone before anything they use.
  TWorkerPool pool_;
};
