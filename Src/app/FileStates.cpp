#include "app/FileStates.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QTableWidget>

#include "frontend/RunTexts.h"

TRowState StatusState(const QTableWidget& list, int row, int statusColumn) {
  const QTableWidgetItem* item = list.item(row, statusColumn);
  if (item == nullptr) return TRowState::rsIdle;
  const QVariant state = item->data(kRowStateRole);
  return state.isValid() ? static_cast<TRowState>(state.toInt()) : TRowState::rsIdle;
}

void SetStatus(QTableWidget& list, int row, int statusColumn, TRowState state, const QString& text,
               const QString& toolTip, int percent) {
  QTableWidgetItem* item = list.item(row, statusColumn);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    list.setItem(row, statusColumn, item);
  }
  item->setText(text);
  item->setToolTip(toolTip.isEmpty() ? text : toolTip);
  item->setData(kRowStateRole, static_cast<int>(state));
  item->setData(kRowPercentRole, percent);
}

namespace {

constexpr int kOutputNameRole = Qt::UserRole + 1;
constexpr int kOutputPathRole = Qt::UserRole + 2;

QString CellData(const QTableWidget& list, int row, int column, int role) {
  const QTableWidgetItem* item = list.item(row, column);
  return item != nullptr ? item->data(role).toString() : QString();
}

}  // namespace

void SetOutputCell(QTableWidget& list, int row, int outputColumn, const QString& name,
                   const QString& path) {
  QTableWidgetItem* item = list.item(row, outputColumn);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    list.setItem(row, outputColumn, item);
  }
  item->setText(path.section('/', -1));
  item->setData(kOutputNameRole, name);
  item->setData(kOutputPathRole, path);
  item->setToolTip(path);
}

QString OutputCellName(const QTableWidget& list, int row, int outputColumn) {
  return CellData(list, row, outputColumn, kOutputNameRole);
}

QString OutputCellPath(const QTableWidget& list, int row, int outputColumn) {
  return CellData(list, row, outputColumn, kOutputPathRole);
}

QString FailedStatusText(const QString& reason) {
  return QCoreApplication::translate("FileStates", "Failed: ") + reason.section('\n', 0, 0);
}

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("TForm1", text);
}

}  // namespace

TRowStatus RowStatusOf(const TRunFile& file, const QString& path) {
  switch (file.State) {
    case TRunFileState::Queued:
      return {TRowState::rsQueued, Tr("Queued"), QString(), -1};
    case TRunFileState::Running:
      return {TRowState::rsRunning,
              QString::fromStdString(ProgressStatus(file.CurrentMs, file.TotalMs)),
              QString::fromStdString(ProgressLine(file.Frame, file.CurrentMs, file.TotalMs,
                                                  file.Fps, file.SecondsLeft)),
              ProgressPercent(file.CurrentMs, file.TotalMs)};
    case TRunFileState::Completed:
      return {TRowState::rsCompleted, Tr("Completed"), QString(), -1};
    case TRunFileState::Stopped:
      return {TRowState::rsStopped, Tr("Stopped"), Tr("Stopped; the part converted so far is kept"),
              -1};
    case TRunFileState::NotStarted:
      return {TRowState::rsNotStarted, Tr("Not started"), QString(), -1};
    case TRunFileState::Failed:
      break;
  }
  const QString reason = QString::fromStdString(file.Reason);
  if (file.Failure != tfSetup) return {TRowState::rsFailed, FailedStatusText(reason), reason, -1};
  const QString text = file.SetupStep == tsInput
                           ? Tr("Convertion of file \"%1\" is not supported. ").arg(path) + reason
                           : Tr("Cannot convert: ") + reason;
  // The row names the file already: its cell keeps only what went wrong.
  const QString namedFile = path + ": ";
  return {TRowState::rsFailed,
          FailedStatusText(reason.startsWith(namedFile) ? reason.mid(namedFile.size()) : reason),
          text, -1};
}

QString RunBarText(const TRunSnapshot& run) {
  return QString::fromStdString(
      RunProgressLine(run.FileNumber, run.FileCount(), run.Elapsed, run.SecondsLeft));
}

double DurationCellSeconds(const QString& text) {
  const QStringList parts = text.split(':');
  if (parts.size() != 3) return -1;
  double seconds = 0;
  for (const QString& part : parts) {
    bool number = false;
    const int value = part.toInt(&number);
    if (!number || value < 0) return -1;
    seconds = seconds * 60 + value;
  }
  return seconds > 0 ? seconds : -1;
}

void TStatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const int percent = index.data(kRowPercentRole).toInt();
  if (static_cast<TRowState>(index.data(kRowStateRole).toInt()) != TRowState::rsRunning ||
      percent < 0) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionProgressBar bar;
  bar.rect = option.rect.adjusted(1, 1, -1, -1);
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = std::min(percent, 100);
  bar.textVisible = false;
  bar.state = option.state | QStyle::State_Horizontal;
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
  // The text on one line (the styles wrap it); a narrow column shows the percentage alone.
  QString text = index.data(Qt::DisplayRole).toString();
  if (option.fontMetrics.horizontalAdvance(text) > bar.rect.width() - 4) {
    text = QString::number(percent) + "%";
  }
  painter->save();
  painter->setPen(option.palette.color(QPalette::Text));
  painter->drawText(bar.rect, Qt::AlignCenter, text);
  painter->restore();
}
