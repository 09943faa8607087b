// The profile options dialog: shows the main window's current profile, lets the user
// change its values, switch to another profile of the output group, save the values as a
// new profile or delete a profile.
#pragma once

#include <QDialog>
#include <QString>
#include <exception>
#include <functional>
#include <string>

#include "app/frmMessage.h"
#include "frontend/UnitGeneral.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QPushButton;
class QSpinBox;

// What the profile dialogs use of the main window.
struct TMainWindowLink {
  // The output group chosen there; empty when none is.
  std::string GroupName;
  // Its profile list. Selections made in it from here load nothing.
  QComboBox* Profiles = nullptr;
  // The profile it converts with; "OK" copies the shown values into it.
  TProfileSettings* CurrentProfile = nullptr;
  // Loads the profile selected in its list into CurrentProfile.
  std::function<void()> LoadSelectedProfile;
  // The application's error box.
  std::function<void(const std::exception&)> ShowError;
};

class TFrmOptions : public QDialog {
  Q_OBJECT

 public:
  // Builds the dialog and fills it from the main window's current profile.
  explicit TFrmOptions(TMainWindowLink link, QWidget* parent = nullptr);

  const TMainWindowLink& Link() const { return link_; }

  // The values shown. A list without a selection (a value typed into the file by hand
  // that the list does not offer) keeps the value of the profile last shown, as do the
  // values the dialog does not show (target type, disabled streams, target preset).
  TProfileSettings ShownProfile() const;
  // The new profile dialog stored the shown values under name: both profile lists show
  // it selected, "Save Profile..." is disabled and "Delete" enabled.
  void ProfileSaved(const QString& name);

  QComboBox* CboProfiles = nullptr;
  QPushButton* BtnSave = nullptr;
  QPushButton* BtnDelete = nullptr;
  QGroupBox* GrpVideo = nullptr;
  QComboBox* CboVideoCodec = nullptr;
  QComboBox* CboVideoSize = nullptr;
  QSpinBox* EdtVideoWidth = nullptr;
  QSpinBox* EdtVideoHeight = nullptr;
  QComboBox* CboVideoFrameRate = nullptr;
  QSpinBox* EdtVideoBitRate = nullptr;
  QComboBox* CboVideoRateControl = nullptr;  // "Bitrate" or "Quality"
  QSpinBox* EdtVideoQuality = nullptr;       // the constant quality, 0 to 63
  QGroupBox* GrpAudio = nullptr;
  QComboBox* CboAudioCodec = nullptr;
  QComboBox* CboAudioChannels = nullptr;
  QComboBox* CboAudioSampleRate = nullptr;
  QComboBox* CboAudioBitrate = nullptr;
  QComboBox* CboTracks = nullptr;  // "First" or "All"
  QCheckBox* ChkCopyStreams = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;

 private:
  void CreateControls();
  QGroupBox* CreateVideoGroup();
  QGroupBox* CreateAudioGroup();
  QLayout* CreateStreamsRow();
  void ConnectHandlers();

  void FormCreate();
  void CboProfilesChange();
  void CboVideoSizeChange();
  void EdtVideoSizeChange();
  void CboAudioCodecChange();
  void CboVideoRateControlChange();
  void BtnSaveClick();
  void BtnDeleteClick();
  void BtnOKClick();

  // Any user edit: the values are no longer those of a named profile.
  void CustomMark();
  // Shows the values of a profile in the controls, with Loading on.
  void ShowProfile(const TProfileSettings& profile);
  // Selects in the size list what the width and height edits hold.
  void ShowSizeOfEdits();
  // The bitrate edit serves the bitrate mode, the quality edit the quality mode.
  void ShowRateControlEdits();
  // Fills the three audio lists for the AMR narrow-band codec or for every other codec.
  void BuildAudioLists(bool amr);
  bool WantsAmrLists() const;

  TMainWindowLink link_;
  // The profile whose values the controls started from.
  TProfileSettings shown_;
  // On while the controls are filled from a profile: their handlers then mark nothing.
  bool Loading = false;
  bool amrLists_ = false;
  TMessageBox Dlg;
};
