#include "app/FileAdder.h"

#include "app/FileStates.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/UnitFrmMain.h"
#include "frontend/RunTexts.h"

namespace {

// The window's thread makes rows for at most this long before it lets the events in.
constexpr int kSliceMilliseconds = 20;
constexpr int kRowsPerStep = 100;

const QStringList& MediaExtensions() {
  static const QStringList extensions = {
      "3g2",  "3gp", "aac",  "ac3", "aif", "aiff", "amr", "asf",  "au",   "avi",
      "dat",  "div", "divx", "dv",  "f4v", "flac", "flv", "m1v",  "m2t",  "m2ts",
      "m2v",  "m4a", "m4v",  "mka", "mkv", "mov",  "mp2", "mp3",  "mp4",  "mpe",
      "mpeg", "mpg", "mts",  "nut", "oga", "ogg",  "ogv", "opus", "qt",   "rm",
      "rmvb", "swf", "ts",   "vob", "wav", "webm", "wma", "wmv",  "xvid", "y4m"};
  return extensions;
}

// The name the list shows for a file's output: its base name, else base(1), base(2), ...,
// the first one neither given to another row nor on disk. The run reserves the real one.
std::string FreeOutputName(const std::string& folder, const std::string& base,
                           const std::string& extension, const TTakenOutputs& taken) {
  for (int counter = 0;; ++counter) {
    const std::string name = counter == 0 ? base : base + "(" + std::to_string(counter) + ")";
    const std::string path = folder + name + extension;
    std::error_code error;
    if (taken.count(path) == 0 &&
        !std::filesystem::exists(std::filesystem::symlink_status(path, error)))
      return name;
  }
}

QString NotSupportedText(const QString& path, const std::string& reason) {
  return TFileAdder::tr("Convertion of file \"%1\" is not supported.").arg(path) + " " +
         QString::fromStdString(reason);
}

// The reason names the output, if a file at all: the input is added when it does not.
QString CannotConvertText(const QString& path, const std::string& reason) {
  QString text = TFileAdder::tr("Cannot convert: ") + QString::fromStdString(reason);
  if (!text.contains(path)) text += " (" + path + ")";
  return text;
}

// Names in the order a person lists them: runs of digits by their value, so clip2 comes
// before clip10; other characters by their code.
bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      const qsizetype startA = i;
      const qsizetype startB = j;
      while (i < a.size() && a[i].isDigit()) ++i;
      while (j < b.size() && b[j].isDigit()) ++j;
      // Leading zeros aside, the longer run is the larger number.
      QStringView numberA = QStringView(a).mid(startA, i - startA);
      QStringView numberB = QStringView(b).mid(startB, j - startB);
      while (numberA.size() > 1 && numberA.front() == '0') numberA = numberA.mid(1);
      while (numberB.size() > 1 && numberB.front() == '0') numberB = numberB.mid(1);
      if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
      if (const int order = numberA.compare(numberB); order != 0) return order < 0;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

bool IsMediaFileName(const QString& fileName) {
  return MediaExtensions().contains(QFileInfo(fileName).suffix().toLower());
}

QStringList ExpandEntry(const QString& path) {
  if (!QFileInfo(path).isDir()) return {path};
  QStringList files;
  QDirIterator walk(path, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
  while (walk.hasNext()) {
    const QString file = walk.next();
    if (IsMediaFileName(file)) files << file;
  }
  std::sort(files.begin(), files.end(), NaturalLess);
  return files;
}

// The row's "Path" item, which knows its check: removing the row forgets the check.
class TFileAdder::TRowKeyItem : public QTableWidgetItem {
 public:
  TRowKeyItem(const QString& text, TFileAdder* adder, std::uint64_t ticket)
      : QTableWidgetItem(text), adder_(adder), ticket_(ticket) {}
  ~TRowKeyItem() override {
    if (adder_) adder_->Forget(ticket_);
  }
  TRowKeyItem(const TRowKeyItem&) = delete;
  TRowKeyItem& operator=(const TRowKeyItem&) = delete;
  // The check has come back, or no longer counts.
  void Settle() { adder_ = nullptr; }

 private:
  QPointer<TFileAdder> adder_;
  std::uint64_t ticket_;
};

TFileAdder::TFileAdder(TVornConverter& converter, QTableWidget* list, QObject* parent)
    : QObject(parent),
      converter_(converter),
      list_(list),
      // The wake-up carries no data, and names its slot: Qt's event queue locks where
      // ThreadSanitizer cannot see, so even a slot object made here and read there would
      // read as a race. The results go through the mailbox's lock.
      results_([this] { QMetaObject::invokeMethod(this, "DrainResults", Qt::QueuedConnection); }),
      pool_(QThread::idealThreadCount()) {}

TFileAdder::~TFileAdder() {
  CancelAndWait();
}

bool TFileAdder::Busy() const {
  return !walks_.empty() || !toMake_.empty() || !unchecked_.empty();
}

void TFileAdder::Add(const QStringList& paths, TSetup setup) {
  if (!Busy()) {
    taken_.clear();
    refusals_.clear();
  }
  open_ = true;
  taken_.insert(setup.Taken.begin(), setup.Taken.end());
  auto check = std::make_shared<const TCheckSetup>(
      TCheckSetup{std::move(setup.Output), std::move(setup.Folder), setup.AllowPlaylists});
  const int generation = generation_;
  const int walk = nextWalk_++;
  walks_.push_back({walk, false, {}, check});
  // Folders may hold many files deep down: they are walked off the window's thread.
  pool_.Start([this, paths, generation, walk] {
    TResult result;
    result.Generation = generation;
    result.Walk = walk;
    for (const QString& path : paths) {
      if (workGeneration_ != generation) return;
      result.Files << ExpandEntry(path);
    }
    results_.Post(std::move(result));
  });
}

void TFileAdder::Walked(int walk, const QStringList& files) {
  for (TWalk& entry : walks_) {
    if (entry.Number != walk) continue;
    entry.Done = true;
    entry.Files = files;
  }
  // Rows follow the order of the adds, whichever walk ends first.
  while (!walks_.empty() && walks_.front().Done) {
    for (const QString& file : walks_.front().Files)
      toMake_.push_back({file, walks_.front().Setup});
    walks_.pop_front();
  }
  ScheduleRows();
}

void TFileAdder::ScheduleRows() {
  if (rowsScheduled_ || toMake_.empty()) return;
  rowsScheduled_ = true;
  QTimer::singleShot(0, this, &TFileAdder::MakeRowsSlice);
}

void TFileAdder::MakeRowsSlice() {
  rowsScheduled_ = false;
  QElapsedTimer clock;
  clock.start();
  while (!toMake_.empty() && clock.elapsed() < kSliceMilliseconds) {
    const int count = std::min<int>(kRowsPerStep, static_cast<int>(toMake_.size()));
    const int first = list_->rowCount();
    list_->setRowCount(first + count);
    for (int row = first; row < first + count; ++row) {
      const TPendingRow pending = std::move(toMake_.front());
      toMake_.pop_front();
      const std::string file = pending.Path.toStdString();
      const std::string base = FileBaseName(file);
      const std::string& extension = pending.Setup->Output.FileExt;
      const std::string name = FreeOutputName(pending.Setup->Folder, base, extension, taken_);
      taken_.insert(pending.Setup->Folder + name + extension);
      const std::uint64_t ticket = nextTicket_++;
      auto* input = new QTableWidgetItem(QString::fromStdString(base));
      input->setToolTip(pending.Path);
      list_->setItem(row, lcInputFilename, input);
      list_->setItem(row, lcDuration, new QTableWidgetItem());
      list_->setItem(row, lcType,
                     new QTableWidgetItem(QString::fromStdString(FileExtension(file)).toUpper()));
      SetOutputCell(*list_, row, lcOutputFilename, QString::fromStdString(name),
                    QString::fromStdString(pending.Setup->Folder + name + extension));
      SetStatus(*list_, row, lcStatus, TRowState::rsIdle, QString());
      auto* key = new TRowKeyItem(pending.Path, this, ticket);
      list_->setItem(row, lcPath, key);
      unchecked_.emplace(ticket, key);
      StartCheck(ticket, pending.Path, pending.Setup);
    }
  }
  ScheduleRows();
}

void TFileAdder::StartCheck(std::uint64_t ticket, const QString& path,
                            const std::shared_ptr<const TCheckSetup>& setup) {
  const int generation = generation_;
  TVornConverter* converter = &converter_;
  pool_.Start([this, generation, converter, ticket, path, setup] {
    if (workGeneration_ != generation) return;
    TResult result;
    result.Generation = generation;
    result.Ticket = ticket;
    const std::string file = path.toStdString();
    TInputOptions input;
    TVornConverter::InitInputOptions(input);
    input.FileName = file;
    input.AllowPlaylists = setup->AllowPlaylists;
    // A name for the check's output, which it does not create.
    const TPlannedOutput plan =
        PlanOutputName(setup->Folder, FileBaseName(file), setup->Output.FileExt, {});
    if (!plan.Planned()) {
      result.Refusal = CannotConvertText(path, plan.Error);
    } else {
      TOutputOptions output = setup->Output;
      output.FileName = plan.Path;
      output.NameBase = plan.Base;
      const TFileCheck check = converter->CheckFile(input, output);
      if (check.Passed()) {
        result.Duration = QString::fromStdString(FormatDuration(check.Duration));
        result.Cover = QString::fromStdString(check.Cover);
      } else if (check.FailedStep == tsInput) {
        result.Refusal = NotSupportedText(path, check.Reason);
      } else {
        result.Refusal = CannotConvertText(path, check.Reason);
      }
    }
    results_.Post(std::move(result));
  });
}

void TFileAdder::DrainResults() {
  for (const TResult& result : results_.Take()) {
    if (result.Generation != generation_) continue;
    if (result.Walk >= 0) {
      Walked(result.Walk, result.Files);
      continue;
    }
    const auto found = unchecked_.find(result.Ticket);
    if (found == unchecked_.end()) continue;  // its row was removed meanwhile
    auto* key = static_cast<TRowKeyItem*>(found->second);
    unchecked_.erase(found);
    key->Settle();
    const int row = list_->row(key);
    if (row < 0) continue;
    if (result.Refusal.isEmpty()) {
      list_->item(row, lcDuration)->setText(result.Duration);
      // The cell keeps the file's type; a song's cover is told where the type is shown.
      if (!result.Cover.isEmpty()) list_->item(row, lcType)->setToolTip(result.Cover);
    } else {
      refusals_ << result.Refusal;
      list_->removeRow(row);
    }
  }
  FinishWhenIdle();
}

void TFileAdder::Forget(std::uint64_t ticket) {
  unchecked_.erase(ticket);
  // Called while the list deletes a row: the end of the add is told from the event loop.
  QTimer::singleShot(0, this, &TFileAdder::FinishWhenIdle);
}

void TFileAdder::FinishWhenIdle() {
  if (!open_ || Busy()) return;
  open_ = false;
  const QStringList refusals = std::exchange(refusals_, {});
  emit Finished(refusals);
}

void TFileAdder::Cancel() {
  workGeneration_ = ++generation_;
  pool_.Clear();
  walks_.clear();
  toMake_.clear();
  for (const auto& [ticket, key] : unchecked_) static_cast<TRowKeyItem*>(key)->Settle();
  unchecked_.clear();
  refusals_.clear();
  open_ = false;
}

void TFileAdder::CancelAndWait() {
  Cancel();
  pool_.WaitForDone();
}
