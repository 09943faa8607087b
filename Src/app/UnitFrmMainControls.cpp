// The main window's controls and their layout: the list with its buttons and progress
// lines, the output folder row, the output settings and the bottom row.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "app/FileStates.h"
#include "app/UnitFrmMain.h"
#include "app/WindowGeometry.h"

namespace {

struct TColumn {
  const char* caption;
  int width;
};
constexpr TColumn kColumns[lcColumnCount] = {{QT_TRANSLATE_NOOP("TForm1", "Input Filename"), 150},
                                             {QT_TRANSLATE_NOOP("TForm1", "Duration"), 80},
                                             {QT_TRANSLATE_NOOP("TForm1", "Type"), 80},
                                             {QT_TRANSLATE_NOOP("TForm1", "Output Filename"), 150},
                                             {QT_TRANSLATE_NOOP("TForm1", "Status"), 93},
                                             {QT_TRANSLATE_NOOP("TForm1", "Path"), 0}};
}  // namespace

void TForm1::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(8);
  layout->addWidget(CreateListArea(), 1);
  layout->addWidget(CreateOutputFolderRow());
  layout->addWidget(CreateOutputSettings());
  layout->addWidget(CreateBottomRow());
  // The list takes what the window grows by; FormCreate puts it where it was left.
  setMinimumSize(kMainWindowMinimumSize);
  resize(kMainWindowMinimumSize);
}

QWidget* TForm1::CreateListArea() {
  auto* area = new QWidget(this);
  auto* grid = new QGridLayout(area);
  grid->setContentsMargins(0, 0, 0, 0);

  Lvw = new QTableWidget(0, lcColumnCount, area);
  QStringList captions;
  for (const TColumn& column : kColumns) captions << tr(column.caption);
  Lvw->setHorizontalHeaderLabels(captions);
  for (int column = 0; column < lcColumnCount; ++column) {
    Lvw->setColumnWidth(column, kColumns[column].width);
  }
  Lvw->setColumnHidden(lcPath, true);
  // "Status" takes what the frame leaves, so the list needs no sideways scrolling.
  Lvw->horizontalHeader()->setSectionResizeMode(lcStatus, QHeaderView::Stretch);
  Lvw->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Lvw->horizontalHeader()->setHighlightSections(false);
  Lvw->verticalHeader()->setVisible(false);
  Lvw->verticalHeader()->setDefaultSectionSize(Lvw->fontMetrics().height() + 6);
  Lvw->setShowGrid(true);
  Lvw->setSelectionBehavior(QAbstractItemView::SelectRows);
  Lvw->setSelectionMode(QAbstractItemView::SingleSelection);
  Lvw->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Lvw->setWordWrap(false);
  Lvw->setAcceptDrops(true);
  Lvw->viewport()->setAcceptDrops(true);
  Lvw->viewport()->installEventFilter(this);
  Lvw->installEventFilter(this);
  Lvw->setItemDelegateForColumn(lcStatus, new TStatusDelegate(Lvw));
  Lvw->setContextMenuPolicy(Qt::CustomContextMenu);
  grid->addWidget(Lvw, 0, 0);

  auto* buttons = new QVBoxLayout;
  // Six buttons beside the list and two progress lines under it still fit the smallest window.
  buttons->setSpacing(2);
  BtnAdd = new QPushButton(tr("&Add"), area);
  BtnAddFolder = new QPushButton(tr("Add F&older"), area);
  BtnRemove = new QPushButton(tr("&Remove"), area);
  BtnClear = new QPushButton(tr("C&lear"), area);
  BtnMoveUp = new QPushButton(tr("Move &Up"), area);
  BtnMoveDown = new QPushButton(tr("Move &Down"), area);
  for (QPushButton* button : {BtnAdd, BtnAddFolder, BtnRemove, BtnClear, BtnMoveUp, BtnMoveDown}) {
    button->setMinimumWidth(75);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 1);

  LblProgress = new QLabel(tr("Current Frame="), area);
  QSizePolicy keepPlace = LblProgress->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  LblProgress->setSizePolicy(keepPlace);
  LblProgress->hide();
  grid->addWidget(LblProgress, 1, 0, 1, 2);
  // In the progress line's place while idle.
  LblRunSummary = new QLabel(area);
  LblRunSummary->hide();
  grid->addWidget(LblRunSummary, 1, 0, 1, 2);
  // Under the buttons that add files: whether a playlist among them may read the files it
  // names.
  ChkAllowPlaylists = new QCheckBox(tr("Read &playlists"), area);
  ChkAllowPlaylists->setToolTip(
      tr("Let playlists (HLS, DASH, image patterns) read the files they name inside their own "
         "folder. Otherwise a file that refers to other files is refused."));
  grid->addWidget(ChkAllowPlaylists, 2, 1);
  PbrOverall = new QProgressBar(area);
  PbrOverall->setRange(0, 100);
  PbrOverall->setTextVisible(true);
  PbrOverall->setMaximumHeight(LblProgress->sizeHint().height() + 4);
  QSizePolicy barKeepsPlace = PbrOverall->sizePolicy();
  barKeepsPlace.setRetainSizeWhenHidden(true);
  PbrOverall->setSizePolicy(barKeepsPlace);
  PbrOverall->hide();
  grid->addWidget(PbrOverall, 2, 0);
  return area;
}

QWidget* TForm1::CreateOutputFolderRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(tr("Output Folder: "), row));
  EdtOutputFolder = new QLineEdit(row);
  EdtOutputFolder->setReadOnly(true);
  layout->addWidget(EdtOutputFolder, 1);
  BtnChangeOutputFolder = new QPushButton("...", row);
  BtnChangeOutputFolder->setFixedWidth(32);
  layout->addWidget(BtnChangeOutputFolder);
  return row;
}

QGroupBox* TForm1::CreateOutputSettings() {
  GBOutput = new QGroupBox(tr("Output Settings"), this);
  auto* layout = new QHBoxLayout(GBOutput);

  RgpProfiles = new QGroupBox(tr("Convert to: "), GBOutput);
  auto* radios = new QGridLayout(RgpProfiles);
  groupButtons_ = new QButtonGroup(RgpProfiles);
  // The first nine keep the three columns of three they always had; later groups fill a
  // fourth column.
  constexpr int kRowsOfGroups = 3;
  for (int index = 0; index < static_cast<int>(kOutputGroups.size()); ++index) {
    auto* radio = new QRadioButton(kOutputGroups[index], RgpProfiles);
    groupButtons_->addButton(radio, index);
    // Filled column by column, as a radio group lays out its items.
    radios->addWidget(radio, index % kRowsOfGroups, index / kRowsOfGroups);
  }
  layout->addWidget(RgpProfiles, 3);

  auto* profileColumn = new QVBoxLayout;
  auto* profileRow = new QHBoxLayout;
  profileRow->addWidget(new QLabel(tr("Profiles: "), GBOutput));
  CboProfiles = new QComboBox(GBOutput);
  CboProfiles->setMinimumWidth(200);
  profileRow->addWidget(CboProfiles, 1);
  profileColumn->addLayout(profileRow);
  BtnSettings = new QPushButton(tr("&Settings"), GBOutput);
  auto* settingsRow = new QHBoxLayout;
  settingsRow->addStretch(1);
  settingsRow->addWidget(BtnSettings);
  profileColumn->addLayout(settingsRow);
  profileColumn->addStretch(1);
  layout->addLayout(profileColumn, 2);
  return GBOutput;
}

QWidget* TForm1::CreateBottomRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  BtnAbout = new QPushButton(tr("A&bout"), row);
  BtnHelp = new QPushButton(tr("&Help"), row);
  BtnStart = new QPushButton(tr("Convert"), row);
  BtnStart->setMinimumWidth(100);
  BtnStart->setDefault(true);
  BtnOpenOutputFolder = new QPushButton(tr("Open output folder"), row);
  SpnFilesAtOnce = new QSpinBox(row);
  SpnFilesAtOnce->setRange(1, std::max(QThread::idealThreadCount(), 1));
  auto* filesAtOnce = new QLabel(tr("Files at once:"), row);
  filesAtOnce->setBuddy(SpnFilesAtOnce);
  layout->addWidget(BtnAbout);
  layout->addWidget(BtnHelp);
  layout->addStretch(1);
  layout->addWidget(filesAtOnce);
  layout->addWidget(SpnFilesAtOnce);
  layout->addWidget(BtnOpenOutputFolder);
  layout->addWidget(BtnStart);
  return row;
}
