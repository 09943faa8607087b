// What the list's "Status" column says about each file, kept in the Status item so that
// whoever reads the list gets the state and not only a text: the state (TRowState) in
// kRowStateRole, a running file's percentage in kRowPercentRole. The column draws a
// running file as a progress bar.
#pragma once

#include <QStyledItemDelegate>

#include "frontend/RunModel.h"

class QTableWidget;

enum class TRowState : int {
  rsIdle,        // added, not in a run yet (an empty cell)
  rsQueued,      // waits for its turn in the run
  rsRunning,     // being converted: a bar with "<percent>% Completed"
  rsCompleted,   // "Completed"
  rsStopped,     // stopped while converting; the partial file is kept
  rsNotStarted,  // the run was stopped before its turn
  rsFailed       // "Failed: <reason>", the full text in the tooltip
};

inline constexpr int kRowStateRole = Qt::UserRole + 1;
inline constexpr int kRowPercentRole = Qt::UserRole + 2;

// The state of a row's Status item; rsIdle for a row without one.
TRowState StatusState(const QTableWidget& list, int row, int statusColumn);

// Sets a row's state with its cell text and tooltip; the tooltip, when empty, is the text.
void SetStatus(QTableWidget& list, int row, int statusColumn, TRowState state, const QString& text,
               const QString& toolTip = QString(), int percent = -1);

// "Failed: <first line of the reason>", as the cell shows it.
QString FailedStatusText(const QString& reason);

// What a row's Status item shows for a file of the run: the run model decides the state,
// this only words it.
struct TRowStatus {
  TRowState State = TRowState::rsIdle;
  QString Text;
  QString ToolTip;  // empty: the text
  int Percent = -1;
};
// path: the file's path, which a set-up failure's text names.
TRowStatus RowStatusOf(const TRunFile& file, const QString& path);
// The overall bar's text: "file 2 of 5, 00:00:20 elapsed, 00:00:40 left".
QString RunBarText(const TRunSnapshot& run);
// Seconds of a Duration cell's "HH:MM:SS"; -1 for an empty or unreadable one.
double DurationCellSeconds(const QString& text);

// The Output Filename cell shows the output file's name with its extension and keeps the
// name without it (what the next output names are told apart by) and the whole path.
void SetOutputCell(QTableWidget& list, int row, int outputColumn, const QString& name,
                   const QString& path);
QString OutputCellName(const QTableWidget& list, int row, int outputColumn);
QString OutputCellPath(const QTableWidget& list, int row, int outputColumn);

// Draws running files as a progress bar with their text, other rows as usual.
class TStatusDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};
