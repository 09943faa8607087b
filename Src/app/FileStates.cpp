#include "app/FileStates.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QTableWidget>

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
