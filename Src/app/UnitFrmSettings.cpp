#include "app/UnitFrmSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>
#include <stdexcept>
#include <utility>

#include "app/UnitFrmNewProfile.h"
#include "frontend/ProfileLimits.h"
#include "ui/DialogButtons.h"

namespace {

const QSize kClientSize(461, 335);
constexpr int kLargestNumber = 999'999'999;

const QString kOriginal = QStringLiteral("Original");
const QString kCustomSize = QStringLiteral("Custom...");
const QString kFps = QStringLiteral(" fps");
const QString kHz = QStringLiteral(" Hz");
const QString kKbps = QStringLiteral(" kbps");
const QString kMono = QStringLiteral("Mono");
const QString kStereo = QStringLiteral("Stereo");
const QStringList kRateControls = {kRateControlBitrate, kRateControlQuality};
const QStringList kTrackChoices = {kTracksFirst, kTracksAll};
constexpr int kMostQuality = 63;  // the CRF scale of VP9 and AV1; x264 and x265 stop at 51

// A profile of this name gets the AMR narrow-band lists whatever its codec.
const QString kAmrProfileName = QStringLiteral("AMR");

const QStringList kVideoSizes = {"80x60",   "96x72",   "128x96",    "160x120", "176x120", "176x144",
                                 "192x144", "240x180", "320x200",   "320x240", "352x240", "352x288",
                                 "720x480", "720x576", kCustomSize, kOriginal};
const QStringList kFrameRates = {kOriginal, "1 fps",  "2 fps",     "3 fps",  "5 fps",
                                 "10 fps",  "12 fps", "15 fps",    "20 fps", "23.976 fps",
                                 "24 fps",  "25 fps", "29.97 fps", "30 fps"};
const QStringList kChannels = {kMono, kStereo};
const QStringList kSampleRates = {"8000 Hz",  "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz",
                                  "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz"};
// The bitrates the dialog is built with; a codec choice replaces them by one of the two
// lists below.
const QStringList kBuiltBitrates = {"16 kbps",  "32 kbps",  "48 kbps",  "64 kbps",  "80 kbps",
                                    "96 kbps",  "112 kbps", "128 kbps", "160 kbps", "192 kbps",
                                    "224 kbps", "256 kbps", "288 kbps", "320 kbps"};
const QStringList kGeneralBitrates = {"16 kbps",  "24 kbps",  "32 kbps",  "48 kbps",  "56 kbps",
                                      "64 kbps",  "80 kbps",  "96 kbps",  "112 kbps", "128 kbps",
                                      "160 kbps", "192 kbps", "224 kbps", "256 kbps", "288 kbps",
                                      "320 kbps", "705 kbps"};
// The eight modes of the AMR narrow-band codec.
const QStringList kAmrBitrates = {"4.75 kbps", "5.15 kbps", "5.90 kbps", "6.70 kbps",
                                  "7.40 kbps", "7.95 kbps", "10.2 kbps", "12.2 kbps"};

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// "Mono", "Stereo", or "N channels" for a stored count above two (which the lists lack, and
// which must survive OK rather than turn into Stereo).
QString ChannelItem(const std::string& value) {
  if (value == "1") return kMono;
  bool number = false;
  const int channels = QString::fromStdString(value).toInt(&number);
  return number && channels > 2
             ? QCoreApplication::translate("TFrmOptions", "%1 channels").arg(channels)
             : kStereo;
}

// The stored count of a channel item: its position for Mono and Stereo, else its number.
std::string ChannelValue(const QComboBox* list) {
  const int index = list->currentIndex();
  if (index < 2) return std::to_string(index + 1);
  return std::to_string(list->currentText().section(' ', 0, 0).toInt());
}

// Selects the item with exactly this text, or none.
void Select(QComboBox* list, const QString& text) {
  list->setCurrentIndex(list->findText(text));
}

void Fill(QComboBox* list, const QStringList& items, const QString& selected) {
  list->clear();
  list->addItems(items);
  Select(list, selected);
}

// The text before suffix, or the whole text when it has none (or suffix is empty).
QString TextBefore(const QString& text, const QString& suffix) {
  const qsizetype at = suffix.isEmpty() ? -1 : text.indexOf(suffix);
  return at < 0 ? text : text.left(at);
}

// A spin edit's value for a stored number; text that is not one shows as 0.
int EditValue(const std::string& text) {
  bool isNumber = false;
  const int value = Text(text).trimmed().toInt(&isNumber);
  return isNumber ? value : 0;
}

// The frame-rate item for a stored rate: the two fractions show as their decimals.
QString FrameRateItem(const std::string& stored) {
  const QString rate = Text(stored);
  if (rate == kOriginal || rate.contains(kFps)) return rate;
  if (rate == "24000/1001") return "23.976" + kFps;
  if (rate == "30000/1001") return "29.97" + kFps;
  return rate + kFps;
}

// Display names of a catalogue section and "Auto", sorted as the user reads them.
QStringList CodecNames(const char* section) {
  QStringList names = {kAutoCodec};
  for (const std::string& name : CatalogueNames(section)) names << Text(name);
  names.removeDuplicates();
  names.sort(Qt::CaseInsensitive);
  return names;
}

// Sets field to the selected item's text up to suffix; a list without a selection leaves it.
void TakeSelected(const QComboBox* list, const QString& suffix, std::string& field) {
  if (list->currentIndex() >= 0) field = TextBefore(list->currentText(), suffix).toStdString();
}

QFormLayout* FormOf(QGroupBox* group) {
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  return form;
}

QSpinBox* NumberEdit(QWidget* parent) {
  auto* edit = new QSpinBox(parent);
  edit->setRange(0, kLargestNumber);
  edit->setSingleStep(1);
  return edit;
}

}  // namespace

TFrmOptions::TFrmOptions(TMainWindowLink link, QWidget* parent)
    : QDialog(parent), link_(std::move(link)) {
  setWindowTitle(tr("Profile Options"));
  Dlg.Caption = tr("Confirmation");
  Dlg.Text = tr("Do you want to delete the profile");
  Dlg.ButtonCount = 2;
  Dlg.Buttons[0] = {tr("Yes"), mrYes};
  Dlg.Buttons[1] = {tr("NO"), mrCancel};
  CreateControls();
  ConnectHandlers();
  FormCreate();
}

void TFrmOptions::CreateControls() {
  auto* layout = new QVBoxLayout(this);

  auto* profileRow = new QHBoxLayout;
  profileRow->addWidget(new QLabel(tr("Profile: "), this));
  CboProfiles = new QComboBox(this);
  profileRow->addWidget(CboProfiles, 1);
  BtnSave = new QPushButton(tr("Save Profile..."), this);
  BtnDelete = new QPushButton(tr("Delete"), this);
  profileRow->addWidget(BtnSave);
  profileRow->addWidget(BtnDelete);
  layout->addLayout(profileRow);

  auto* groups = new QHBoxLayout;
  groups->addWidget(CreateVideoGroup(), 1);
  groups->addWidget(CreateAudioGroup(), 1);
  layout->addLayout(groups, 1);
  layout->addLayout(CreateStreamsRow());

  layout->addLayout(MakeOkCancelRow(this, BtnOK, BtnCancel));

  setFixedSize(sizeHint().expandedTo(kClientSize));
}

QGroupBox* TFrmOptions::CreateVideoGroup() {
  GrpVideo = new QGroupBox(tr("Video Settings"), this);
  QFormLayout* form = FormOf(GrpVideo);
  CboVideoCodec = new QComboBox(GrpVideo);
  CboVideoSize = new QComboBox(GrpVideo);
  CboVideoSize->addItems(kVideoSizes);
  EdtVideoWidth = NumberEdit(GrpVideo);
  EdtVideoHeight = NumberEdit(GrpVideo);
  CboVideoFrameRate = new QComboBox(GrpVideo);
  CboVideoFrameRate->addItems(kFrameRates);
  EdtVideoBitRate = NumberEdit(GrpVideo);
  auto* bitrateRow = new QHBoxLayout;
  bitrateRow->addWidget(EdtVideoBitRate, 1);
  bitrateRow->addWidget(new QLabel(tr("kbps"), GrpVideo));
  form->addRow(tr("Codec: "), CboVideoCodec);
  form->addRow(tr("Frame Size: "), CboVideoSize);
  form->addRow(tr("Width: "), EdtVideoWidth);
  form->addRow(tr("Height: "), EdtVideoHeight);
  form->addRow(tr("Frame Rate: "), CboVideoFrameRate);
  form->addRow(tr("Bitrate: "), bitrateRow);
  CboVideoRateControl = new QComboBox(GrpVideo);
  CboVideoRateControl->addItems(kRateControls);
  EdtVideoQuality = new QSpinBox(GrpVideo);
  EdtVideoQuality->setRange(0, kMostQuality);
  EdtVideoQuality->setToolTip(tr("Constant quality (CRF): lower is better and larger"));
  form->addRow(tr("Rate Control: "), CboVideoRateControl);
  form->addRow(tr("Quality: "), EdtVideoQuality);
  return GrpVideo;
}

QLayout* TFrmOptions::CreateStreamsRow() {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(tr("Tracks: "), this));
  CboTracks = new QComboBox(this);
  CboTracks->addItems(kTrackChoices);
  CboTracks->setToolTip(
      tr("First: one video and one audio track; All: every track the output holds"));
  row->addWidget(CboTracks);
  row->addStretch(1);
  ChkCopyStreams = new QCheckBox(tr("Copy streams that already fit"), this);
  row->addWidget(ChkCopyStreams);
  return row;
}

QGroupBox* TFrmOptions::CreateAudioGroup() {
  GrpAudio = new QGroupBox(tr("Audio Settings"), this);
  QFormLayout* form = FormOf(GrpAudio);
  CboAudioCodec = new QComboBox(GrpAudio);
  CboAudioChannels = new QComboBox(GrpAudio);
  CboAudioChannels->addItems(kChannels);
  CboAudioSampleRate = new QComboBox(GrpAudio);
  CboAudioSampleRate->addItems(kSampleRates);
  CboAudioBitrate = new QComboBox(GrpAudio);
  CboAudioBitrate->addItems(kBuiltBitrates);
  form->addRow(tr("Codec: "), CboAudioCodec);
  form->addRow(tr("Channels: "), CboAudioChannels);
  form->addRow(tr("Sample Rate: "), CboAudioSampleRate);
  form->addRow(tr("Bitrate: "), CboAudioBitrate);
  return GrpAudio;
}

void TFrmOptions::ConnectHandlers() {
  // Lists react to the user's choices only ("activated"); the spin edits also to values
  // set in code, which Loading keeps from counting as edits.
  connect(CboProfiles, &QComboBox::activated, this, [this] { CboProfilesChange(); });
  connect(CboVideoSize, &QComboBox::activated, this, [this] { CboVideoSizeChange(); });
  connect(CboAudioCodec, &QComboBox::activated, this, [this] { CboAudioCodecChange(); });
  connect(CboVideoRateControl, &QComboBox::activated, this,
          [this] { CboVideoRateControlChange(); });
  for (QComboBox* list : {CboVideoCodec, CboVideoFrameRate, CboAudioChannels, CboAudioSampleRate,
                          CboAudioBitrate, CboTracks}) {
    connect(list, &QComboBox::activated, this, [this] { CustomMark(); });
  }
  connect(ChkCopyStreams, &QCheckBox::clicked, this, [this] { CustomMark(); });
  connect(EdtVideoQuality, &QSpinBox::valueChanged, this, [this] { CustomMark(); });
  connect(EdtVideoWidth, &QSpinBox::valueChanged, this, [this] { EdtVideoSizeChange(); });
  connect(EdtVideoHeight, &QSpinBox::valueChanged, this, [this] { EdtVideoSizeChange(); });
  connect(EdtVideoBitRate, &QSpinBox::valueChanged, this, [this] { CustomMark(); });
  connect(BtnSave, &QPushButton::clicked, this, &TFrmOptions::BtnSaveClick);
  connect(BtnDelete, &QPushButton::clicked, this, &TFrmOptions::BtnDeleteClick);
  connect(BtnOK, &QPushButton::clicked, this, &TFrmOptions::BtnOKClick);
  connect(BtnCancel, &QPushButton::clicked, this, &TFrmOptions::reject);
}

void TFrmOptions::FormCreate() {
  BtnSave->setEnabled(false);
  for (int index = 0; index < link_.Profiles->count(); ++index) {
    CboProfiles->addItem(link_.Profiles->itemText(index));
  }
  CboProfiles->setCurrentIndex(link_.Profiles->currentIndex());
  // "[Custom]" and no selection name no section that could be deleted.
  BtnDelete->setEnabled(CboProfiles->currentIndex() >= 0 &&
                        CboProfiles->currentText() != kCustomProfile);
  // Lists of "Auto" alone would otherwise hide why the profile's codec is not offered.
  try {
    CheckReadable(TIniFile(CodecCatalogueFilePath()));
  } catch (const EIniFileError& error) {
    link_.ShowError(error);
  }
  CboVideoCodec->addItems(CodecNames(kVideoCodecSection));
  CboAudioCodec->addItems(CodecNames(kAudioCodecSection));
  ShowProfile(*link_.CurrentProfile);
  // The current bitrate is always offered, also one that the list lacks.
  const QString bitrate = Text(link_.CurrentProfile->AudioBitRate) + kKbps;
  if (CboAudioBitrate->findText(bitrate) < 0) CboAudioBitrate->addItem(bitrate);
  Select(CboAudioBitrate, bitrate);
}

void TFrmOptions::ShowProfile(const TProfileSettings& profile) {
  Loading = true;
  shown_ = profile;
  GrpVideo->setEnabled(!profile.VideoDisabled);
  Select(CboVideoCodec, Text(profile.VideoCodec));
  const QString size = Text(profile.VideoSizeOption);
  Select(CboVideoSize, size);
  {
    const QSignalBlocker widthBlocker(EdtVideoWidth);
    const QSignalBlocker heightBlocker(EdtVideoHeight);
    EdtVideoWidth->setValue(EditValue(profile.VideoCustomWidth));
    EdtVideoHeight->setValue(EditValue(profile.VideoCustomHeight));
  }
  // Every size but "Original" converts with the width and height, so the list shows
  // what they hold; "Original" ignores them and stays.
  if (size != kOriginal) ShowSizeOfEdits();
  Select(CboVideoFrameRate, FrameRateItem(profile.VideoFrameRateOption));
  EdtVideoBitRate->setValue(EditValue(profile.VideoBitrate));
  Select(CboVideoRateControl, Text(profile.VideoRateControl));
  EdtVideoQuality->setValue(EditValue(profile.VideoQuality));
  ShowRateControlEdits();
  GrpAudio->setEnabled(!profile.AudioDisabled);
  Select(CboAudioCodec, Text(profile.AudioCodec));
  if (WantsAmrLists() != amrLists_) BuildAudioLists(WantsAmrLists());
  const QString channels = ChannelItem(profile.AudioChannels);
  if (!amrLists_ && CboAudioChannels->findText(channels) < 0) CboAudioChannels->addItem(channels);
  Select(CboAudioChannels, channels);
  Select(CboAudioSampleRate, Text(profile.AudioSampleRate) + kHz);
  Select(CboAudioBitrate, Text(profile.AudioBitRate) + kKbps);
  Select(CboTracks, Text(profile.Tracks));
  ChkCopyStreams->setChecked(profile.CopyStreamsThatFit);
  Loading = false;
}

void TFrmOptions::ShowRateControlEdits() {
  const bool quality = CboVideoRateControl->currentText() == kRateControlQuality;
  EdtVideoQuality->setEnabled(quality);
  EdtVideoBitRate->setEnabled(!quality);
}

void TFrmOptions::CboVideoRateControlChange() {
  ShowRateControlEdits();
  CustomMark();
}

void TFrmOptions::CustomMark() {
  if (Loading) return;
  Select(CboProfiles, kCustomProfile);
  BtnSave->setEnabled(true);
  BtnDelete->setEnabled(false);
}

void TFrmOptions::CboProfilesChange() {
  if (CboProfiles->currentText() == kCustomProfile) {
    BtnSave->setEnabled(true);
    BtnDelete->setEnabled(false);
    return;
  }
  try {
    ShowProfile(LoadProfile(link_.GroupName, CboProfiles->currentText().toStdString()));
  } catch (const EIniFileError& error) {
    link_.ShowError(error);
  }
}

void TFrmOptions::CboVideoSizeChange() {
  CustomMark();
  const QString size = CboVideoSize->currentText();
  if (size == kOriginal) {
    EdtVideoWidth->setValue(0);
    EdtVideoHeight->setValue(0);
  } else if (size != kCustomSize) {
    const qsizetype x = size.indexOf('x');
    EdtVideoWidth->setValue(size.left(x).toInt());
    EdtVideoHeight->setValue(size.mid(x + 1).toInt());
  }
}

void TFrmOptions::EdtVideoSizeChange() {
  CustomMark();
  ShowSizeOfEdits();
}

void TFrmOptions::ShowSizeOfEdits() {
  const int width = EdtVideoWidth->value();
  const int height = EdtVideoHeight->value();
  if (width == 0 && height == 0) {
    Select(CboVideoSize, kOriginal);
    return;
  }
  const int index = CboVideoSize->findText(QString("%1x%2").arg(width).arg(height));
  CboVideoSize->setCurrentIndex(index >= 0 ? index : CboVideoSize->findText(kCustomSize));
}

bool TFrmOptions::WantsAmrLists() const {
  return CboAudioCodec->currentText() == kAmrNarrowBand ||
         CboProfiles->currentText() == kAmrProfileName;
}

void TFrmOptions::BuildAudioLists(bool amr) {
  amrLists_ = amr;
  if (amr) {
    Fill(CboAudioChannels, {kMono}, kMono);
    Fill(CboAudioSampleRate, {"8000" + kHz}, "8000" + kHz);
    Fill(CboAudioBitrate, kAmrBitrates, "12.2" + kKbps);
  } else {
    Fill(CboAudioChannels, kChannels, kStereo);
    Fill(CboAudioSampleRate, kSampleRates, "48000" + kHz);
    Fill(CboAudioBitrate, kGeneralBitrates, "320" + kKbps);
  }
}

void TFrmOptions::CboAudioCodecChange() {
  // Decided before the custom mark turns the profile choice into "[Custom]".
  BuildAudioLists(WantsAmrLists());
  CustomMark();
}

void TFrmOptions::BtnSaveClick() {
  TFrmNewProfile dialog(*this);
  dialog.exec();
}

void TFrmOptions::BtnDeleteClick() {
  if (Dlg.Show(this) != mrYes) return;
  const QString name = CboProfiles->currentText();
  try {
    DeleteProfile(link_.GroupName, name.toStdString());
  } catch (const EIniFileError& error) {
    link_.ShowError(error);
    return;
  }
  // Section names match without regard to case, so every entry naming the erased
  // section goes.
  for (QComboBox* list : {CboProfiles, link_.Profiles}) {
    for (int index = list->count() - 1; index >= 0; --index) {
      if (list->itemText(index).compare(name, Qt::CaseInsensitive) == 0) list->removeItem(index);
    }
    list->setCurrentIndex(0);
  }
  // The main window converts with what its list now shows.
  link_.LoadSelectedProfile();
  CboProfilesChange();
}

TProfileSettings TFrmOptions::ShownProfile() const {
  TProfileSettings profile = shown_;
  TakeSelected(CboVideoCodec, QString(), profile.VideoCodec);
  TakeSelected(CboVideoSize, QString(), profile.VideoSizeOption);
  profile.VideoCustomWidth = QString::number(EdtVideoWidth->value()).toStdString();
  profile.VideoCustomHeight = QString::number(EdtVideoHeight->value()).toStdString();
  profile.VideoBitrate = QString::number(EdtVideoBitRate->value()).toStdString();
  TakeSelected(CboVideoFrameRate, kFps, profile.VideoFrameRateOption);
  TakeSelected(CboVideoRateControl, QString(), profile.VideoRateControl);
  profile.VideoQuality = QString::number(EdtVideoQuality->value()).toStdString();
  TakeSelected(CboAudioCodec, QString(), profile.AudioCodec);
  if (CboAudioChannels->currentIndex() >= 0) {
    profile.AudioChannels = ChannelValue(CboAudioChannels);
  }
  TakeSelected(CboAudioSampleRate, kHz, profile.AudioSampleRate);
  TakeSelected(CboAudioBitrate, kKbps, profile.AudioBitRate);
  TakeSelected(CboTracks, QString(), profile.Tracks);
  profile.CopyStreamsThatFit = ChkCopyStreams->isChecked();
  return profile;
}

void TFrmOptions::ProfileSaved(const QString& name) {
  for (QComboBox* list : {CboProfiles, link_.Profiles}) {
    int index = list->findText(name, Qt::MatchFixedString);
    if (index < 0) {
      // Where the list read from the file will have it: after the named profiles, so a
      // stored selection index still names it after a restart.
      const int custom = list->findText(kCustomProfile);
      index = custom >= 0 ? custom : list->count();
      list->insertItem(index, name);
    }
    list->setCurrentIndex(index);
  }
  try {
    shown_ = LoadProfile(link_.GroupName, CboProfiles->currentText().toStdString());
  } catch (const EIniFileError& error) {
    link_.ShowError(error);
  }
  BtnSave->setEnabled(false);
  BtnDelete->setEnabled(true);
}

void TFrmOptions::BtnOKClick() {
  const TProfileSettings profile = ShownProfile();
  if (const std::string problem = ProfileValueProblem(profile); !problem.empty()) {
    link_.ShowError(std::invalid_argument(problem));
    return;
  }
  link_.Profiles->setCurrentIndex(CboProfiles->currentIndex());
  *link_.CurrentProfile = profile;
  accept();
}
