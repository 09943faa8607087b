#include "app/UnitFrmSettings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <optional>

#include "ConfigHomeSupport.h"
#include "DialogTestSupport.h"
#include "WindowTestSupport.h"
#include "app/UnitFrmNewProfile.h"

namespace {

// A catalogue and a 3GP group of three profiles: an ordinary one, one named "AMR" whose
// codec is another one, and one without video that names its own file type.
class UnitFrmSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = home_.CreateSettingsFolder();
    WriteTextFile(settings_ + "codec.ini",
                  "[Video Codec]\nMPEG-4 Part 2=mpeg4\nH.263=h263\n"
                  "[Audio Codec]\nMP2=mp2\nAAC=aac\nAMR Narrow-Band=libopencore_amrnb\n");
    WriteTextFile(settings_ + "3GP.ini",
                  "[H.263 Small]\nTargetType=3GP\nVideoCodec=H.263\nVideoSizeOption=176x144\n"
                  "VideoCustomWidth=176\nVideoCustomHeight=144\nVideoBitrate=128\n"
                  "VideoFrameRateOption=15\nAudioCodec=AAC\nAudioChannels=1\n"
                  "AudioSampleRate=22050\nAudioBitRate=32\n"
                  "[AMR]\nVideoCodec=H.263\nVideoSizeOption=176x144\nVideoCustomWidth=176\n"
                  "VideoCustomHeight=144\nAudioCodec=AAC\nAudioChannels=1\n"
                  "AudioSampleRate=8000\nAudioBitRate=12.2\n"
                  "[Voice]\nTargetType=3g2\nVideoDisabled=1\nAudioCodec=AMR Narrow-Band\n"
                  "AudioChannels=1\nAudioSampleRate=8000\nAudioBitRate=7.95\n");
    main_.emplace("3GP");
  }

  TScopedConfigHome home_;
  std::string settings_;
  std::optional<TMainWindowStandIn> main_;
};

TEST_F(UnitFrmSettingsTest, OpensOnTheCurrentProfile) {
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.windowTitle(), "Profile Options");
  EXPECT_GE(dialog.width(), 461);
  EXPECT_GE(dialog.height(), 335);
  EXPECT_EQ(Items(dialog.CboProfiles), Items(&main_->Profiles));
  EXPECT_EQ(dialog.CboProfiles->currentText(), "H.263 Small");
  EXPECT_FALSE(dialog.BtnSave->isEnabled());
  EXPECT_TRUE(dialog.BtnDelete->isEnabled());
  EXPECT_EQ(Items(dialog.CboVideoCodec), QStringList({"Auto", "H.263", "MPEG-4 Part 2"}));
  EXPECT_EQ(Items(dialog.CboAudioCodec), QStringList({"AAC", "AMR Narrow-Band", "Auto", "MP2"}));
  EXPECT_EQ(dialog.CboVideoCodec->currentText(), "H.263");
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "176x144");
  EXPECT_EQ(dialog.EdtVideoWidth->value(), 176);
  EXPECT_EQ(dialog.EdtVideoHeight->value(), 144);
  EXPECT_EQ(dialog.CboVideoFrameRate->currentText(), "15 fps");
  EXPECT_EQ(dialog.EdtVideoBitRate->value(), 128);
  EXPECT_EQ(dialog.CboAudioCodec->currentText(), "AAC");
  EXPECT_EQ(dialog.CboAudioChannels->currentText(), "Mono");
  EXPECT_EQ(dialog.CboAudioSampleRate->currentText(), "22050 Hz");
  EXPECT_EQ(dialog.CboAudioBitrate->currentText(), "32 kbps");
  EXPECT_EQ(dialog.CboAudioBitrate->count(), 14);
}

TEST_F(UnitFrmSettingsTest, FractionalRatesShowAsDecimalsAndOnlyOkStoresThem) {
  main_->CurrentProfile.VideoFrameRateOption = "24000/1001";
  {
    TFrmOptions dialog(main_->Link());
    EXPECT_EQ(dialog.CboVideoFrameRate->currentText(), "23.976 fps");
    dialog.BtnCancel->click();
  }
  EXPECT_EQ(main_->CurrentProfile.VideoFrameRateOption, "24000/1001");
  {
    TFrmOptions dialog(main_->Link());
    dialog.BtnOK->click();
  }
  EXPECT_EQ(main_->CurrentProfile.VideoFrameRateOption, "23.976");

  main_->CurrentProfile.VideoFrameRateOption = "30000/1001";
  EXPECT_EQ(TFrmOptions(main_->Link()).CboVideoFrameRate->currentText(), "29.97 fps");
  main_->CurrentProfile.VideoFrameRateOption = "Original";
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.CboVideoFrameRate->currentText(), "Original");
  dialog.BtnOK->click();
  EXPECT_EQ(main_->CurrentProfile.VideoFrameRateOption, "Original");
}

TEST_F(UnitFrmSettingsTest, SizeListAndEditsKeepEachOtherInStep) {
  TFrmOptions dialog(main_->Link());
  dialog.EdtVideoWidth->setValue(320);
  dialog.EdtVideoHeight->setValue(240);
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "320x240");
  EXPECT_EQ(dialog.CboProfiles->currentText(), "[Custom]");
  dialog.EdtVideoWidth->setValue(321);
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "Custom...");
  dialog.EdtVideoWidth->setValue(0);
  dialog.EdtVideoHeight->setValue(0);
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "Original");

  Choose(dialog.CboVideoSize, "720x576");
  EXPECT_EQ(dialog.EdtVideoWidth->value(), 720);
  EXPECT_EQ(dialog.EdtVideoHeight->value(), 576);
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "720x576");
  Choose(dialog.CboVideoSize, "Custom...");
  EXPECT_EQ(dialog.EdtVideoWidth->value(), 720);
  Choose(dialog.CboVideoSize, "Original");
  EXPECT_EQ(dialog.EdtVideoWidth->value(), 0);
  EXPECT_EQ(dialog.EdtVideoHeight->value(), 0);
}

TEST_F(UnitFrmSettingsTest, ShownSizeFollowsWhatTheProfileConvertsWith) {
  // "Original" ignores the stored width and height, every other size uses them.
  main_->CurrentProfile.VideoSizeOption = "Original";
  main_->CurrentProfile.VideoCustomWidth = "176";
  EXPECT_EQ(TFrmOptions(main_->Link()).CboVideoSize->currentText(), "Original");
  main_->CurrentProfile.VideoSizeOption = "Custom...";
  main_->CurrentProfile.VideoCustomWidth = "320";
  main_->CurrentProfile.VideoCustomHeight = "240";
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.CboVideoSize->currentText(), "320x240");
  EXPECT_EQ(dialog.CboProfiles->currentText(), "H.263 Small");  // loading is no edit
}

TEST_F(UnitFrmSettingsTest, AManyChannelProfileKeepsItsCountThroughOk) {
  main_->CurrentProfile.AudioChannels = "16";
  {
    TFrmOptions dialog(main_->Link());
    EXPECT_EQ(dialog.CboAudioChannels->currentText(), "16 channels");
    EXPECT_EQ(dialog.CboProfiles->currentText(), "H.263 Small");  // loading is no edit
    dialog.BtnOK->click();
    EXPECT_EQ(main_->CurrentProfile.AudioChannels, "16");
  }
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(Items(dialog.CboAudioChannels), QStringList({"Mono", "Stereo", "16 channels"}));
  Choose(dialog.CboAudioChannels, "Stereo");
  dialog.BtnOK->click();
  EXPECT_EQ(main_->CurrentProfile.AudioChannels, "2");
}

TEST_F(UnitFrmSettingsTest, AmrProfileKeepsItsListsUntilTheChoiceTurnsCustom) {
  main_->Choose("AMR");
  TFrmOptions dialog(main_->Link());
  const QStringList amrBitrates = {"4.75 kbps", "5.15 kbps", "5.90 kbps", "6.70 kbps",
                                   "7.40 kbps", "7.95 kbps", "10.2 kbps", "12.2 kbps"};
  EXPECT_EQ(Items(dialog.CboAudioChannels), QStringList({"Mono"}));
  EXPECT_EQ(Items(dialog.CboAudioSampleRate), QStringList({"8000 Hz"}));
  EXPECT_EQ(Items(dialog.CboAudioBitrate), amrBitrates);
  EXPECT_EQ(dialog.CboAudioBitrate->currentText(), "12.2 kbps");

  Choose(dialog.CboAudioCodec, "MP2");
  EXPECT_EQ(Items(dialog.CboAudioBitrate), amrBitrates);
  EXPECT_EQ(dialog.CboProfiles->currentText(), "[Custom]");
  Choose(dialog.CboAudioCodec, "MP2");
  EXPECT_EQ(Items(dialog.CboAudioChannels), QStringList({"Mono", "Stereo"}));
  EXPECT_EQ(dialog.CboAudioChannels->currentText(), "Stereo");
  EXPECT_EQ(dialog.CboAudioSampleRate->count(), 9);
  EXPECT_EQ(dialog.CboAudioSampleRate->currentText(), "48000 Hz");
  EXPECT_EQ(dialog.CboAudioBitrate->count(), 17);
  EXPECT_EQ(dialog.CboAudioBitrate->currentText(), "320 kbps");
  Choose(dialog.CboAudioCodec, "AMR Narrow-Band");
  EXPECT_EQ(Items(dialog.CboAudioBitrate), amrBitrates);
}

TEST_F(UnitFrmSettingsTest, CurrentBitrateMissingFromTheListIsAddedAndSelected) {
  main_->CurrentProfile.AudioBitRate = "100";
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.CboAudioBitrate->count(), 15);
  EXPECT_EQ(dialog.CboAudioBitrate->itemText(14), "100 kbps");
  EXPECT_EQ(dialog.CboAudioBitrate->currentIndex(), 14);
  dialog.BtnOK->click();
  EXPECT_EQ(main_->CurrentProfile.AudioBitRate, "100");
}

TEST_F(UnitFrmSettingsTest, AnyEditTurnsTheChoiceCustomAndOkCarriesItToTheMainWindow) {
  TFrmOptions dialog(main_->Link());
  dialog.EdtVideoBitRate->setValue(300);
  EXPECT_EQ(dialog.CboProfiles->currentText(), "[Custom]");
  EXPECT_TRUE(dialog.BtnSave->isEnabled());
  EXPECT_FALSE(dialog.BtnDelete->isEnabled());
  Choose(dialog.CboVideoCodec, "MPEG-4 Part 2");
  Choose(dialog.CboVideoFrameRate, "29.97 fps");
  Choose(dialog.CboAudioChannels, "Stereo");
  Choose(dialog.CboAudioSampleRate, "44100 Hz");
  Choose(dialog.CboAudioBitrate, "128 kbps");
  const int loads = main_->Loads;
  dialog.BtnOK->click();

  EXPECT_EQ(main_->Profiles.currentText(), "[Custom]");
  EXPECT_EQ(main_->Loads, loads);  // the selection is set, nothing is loaded
  const TProfileSettings& profile = main_->CurrentProfile;
  EXPECT_EQ(profile.TargetType, "3GP");
  EXPECT_EQ(profile.VideoCodec, "MPEG-4 Part 2");
  EXPECT_EQ(profile.VideoSizeOption, "176x144");
  EXPECT_EQ(profile.VideoCustomWidth, "176");
  EXPECT_EQ(profile.VideoBitrate, "300");
  EXPECT_EQ(profile.VideoFrameRateOption, "29.97");
  EXPECT_EQ(profile.AudioCodec, "AAC");
  EXPECT_EQ(profile.AudioChannels, "2");
  EXPECT_EQ(profile.AudioSampleRate, "44100");
  EXPECT_EQ(profile.AudioBitRate, "128");
}

TEST_F(UnitFrmSettingsTest, ValuesTheEncodersCannotTakeAreRefusedBeforeOkOrSaving) {
  TFrmOptions dialog(main_->Link());
  dialog.EdtVideoBitRate->setValue(5000000);  // the edit goes to 999,999,999
  const TProfileSettings before = main_->CurrentProfile;
  dialog.BtnOK->click();
  ASSERT_EQ(main_->Errors.size(), 1u);
  EXPECT_EQ(main_->Errors[0],
            "VideoBitrate 5000000: must be from 1 to 2147483 kbit/s (or 0 for the encoder's own)");
  EXPECT_EQ(main_->CurrentProfile.VideoBitrate, before.VideoBitrate);
  EXPECT_NE(main_->Profiles.currentText(), "[Custom]");

  // Saving is refused the same way and leaves the group file as it was.
  const std::string file = ReadTextFile(settings_ + "3GP.ini");
  TWindowBoxes boxes;
  bool stayedOpen = false;
  WhenShown<TFrmNewProfile>([&](TFrmNewProfile& save) {
    save.EdtName->setText("Too Fast");
    save.BtnOK->click();
    stayedOpen = save.isVisible();
    if (stayedOpen) save.BtnCancel->click();
  });
  dialog.BtnSave->click();
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, main_->Errors[0]);
  EXPECT_EQ(ReadTextFile(settings_ + "3GP.ini"), file);
}

TEST_F(UnitFrmSettingsTest, ACatalogueThatCannotBeReadIsSaidAndLeavesTheCodecAsItWas) {
  const std::string catalogue = settings_ + "codec.ini";
  WriteTextFile(catalogue, "[Video Codec]\nMPEG-4 Part 2 mpeg4\n");
  TFrmOptions dialog(main_->Link());
  ASSERT_EQ(main_->Errors.size(), 1u);
  EXPECT_EQ(main_->Errors[0], "Cannot read " + catalogue +
                                  ": not a settings file (line 2: neither a [section] nor a "
                                  "key=value line)");
  EXPECT_EQ(Items(dialog.CboVideoCodec), QStringList({"Auto"}));
  // The profile keeps its codec, whose conversion then names the catalogue's fault.
  dialog.BtnOK->click();
  EXPECT_EQ(main_->CurrentProfile.VideoCodec, "H.263");
}

TEST_F(UnitFrmSettingsTest, AnotherProfileIsShownAndOnlyOkMakesItCurrent) {
  TFrmOptions dialog(main_->Link());
  Choose(dialog.CboProfiles, "Voice");
  EXPECT_FALSE(dialog.GrpVideo->isEnabled());
  EXPECT_EQ(dialog.CboAudioCodec->currentText(), "AMR Narrow-Band");
  EXPECT_EQ(dialog.CboAudioBitrate->currentText(), "7.95 kbps");
  EXPECT_FALSE(dialog.BtnSave->isEnabled());
  EXPECT_TRUE(dialog.BtnDelete->isEnabled());
  EXPECT_EQ(main_->CurrentProfile.AudioCodec, "AAC");

  // Back on an ordinary profile the general lists return.
  Choose(dialog.CboProfiles, "H.263 Small");
  EXPECT_EQ(dialog.CboAudioBitrate->count(), 17);
  EXPECT_EQ(dialog.CboAudioBitrate->currentText(), "32 kbps");
  Choose(dialog.CboProfiles, "Voice");
  dialog.BtnOK->click();
  // What the main window shows is what it converts with, file type and streams included.
  EXPECT_EQ(main_->Profiles.currentText(), "Voice");
  EXPECT_EQ(main_->CurrentProfile.TargetType, "3g2");
  EXPECT_TRUE(main_->CurrentProfile.VideoDisabled);
  EXPECT_EQ(main_->CurrentProfile.AudioBitRate, "7.95");
}

TEST_F(UnitFrmSettingsTest, ValueNoListOffersIsKeptWhenOkReadsTheList) {
  main_->CurrentProfile.AudioSampleRate = "12345";
  main_->CurrentProfile.VideoCodec = "Gone Codec";
  main_->CurrentProfile.VideoFrameRateOption = "7.5 fps";
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.CboAudioSampleRate->currentIndex(), -1);
  EXPECT_EQ(dialog.CboVideoCodec->currentIndex(), -1);
  EXPECT_EQ(dialog.CboVideoFrameRate->currentIndex(), -1);
  dialog.BtnOK->click();
  EXPECT_EQ(main_->CurrentProfile.AudioSampleRate, "12345");
  EXPECT_EQ(main_->CurrentProfile.VideoCodec, "Gone Codec");
  EXPECT_EQ(main_->CurrentProfile.VideoFrameRateOption, "7.5 fps");
}

TEST_F(UnitFrmSettingsTest, DeletingTheSecondOfThreeLeavesFirstAndThirdInBothLists) {
  main_->Choose("Voice");
  TFrmOptions dialog(main_->Link());
  Choose(dialog.CboProfiles, "AMR");
  WhenShown<TfrmMsg>([](TfrmMsg& box) {
    EXPECT_EQ(box.windowTitle(), "Confirmation");
    EXPECT_EQ(box.MessageLabel()->text(), "Do you want to delete the profile");
    box.Button(2)->click();  // "NO"
  });
  dialog.BtnDelete->click();
  EXPECT_EQ(ListProfiles("3GP").size(), 4u);

  WhenShown<TfrmMsg>([](TfrmMsg& box) { box.Button(1)->click(); });  // "Yes"
  dialog.BtnDelete->click();
  const QStringList left = {"H.263 Small", "Voice", "[Custom]"};
  EXPECT_EQ(ListProfiles("3GP"), std::vector<std::string>({"H.263 Small", "Voice", "[Custom]"}));
  EXPECT_EQ(Items(dialog.CboProfiles), left);
  EXPECT_EQ(Items(&main_->Profiles), left);
  EXPECT_EQ(dialog.CboProfiles->currentIndex(), 0);
  EXPECT_EQ(main_->Profiles.currentIndex(), 0);
  EXPECT_EQ(dialog.CboAudioCodec->currentText(), "AAC");  // the first profile is shown
  // The main window converts with the profile its list now shows.
  EXPECT_EQ(main_->CurrentProfile.AudioCodec, "AAC");
  EXPECT_NE(ReadTextFile(settings_ + "3GP.ini").find("[Voice]"), std::string::npos);
}

TEST_F(UnitFrmSettingsTest, CustomOffersNothingToDelete) {
  main_->Choose("[Custom]");
  TFrmOptions dialog(main_->Link());
  EXPECT_FALSE(dialog.BtnDelete->isEnabled());
  TMainWindowStandIn onNamed("3GP");
  TFrmOptions named(onNamed.Link());
  Choose(named.CboProfiles, "[Custom]");
  EXPECT_TRUE(named.BtnSave->isEnabled());
  EXPECT_FALSE(named.BtnDelete->isEnabled());
}

}  // namespace

// Profiles of the newer groups: constant quality, every track, copying what fits.
TEST_F(UnitFrmSettingsTest, QualityTracksAndCopyAreShownChangedAndSaved) {
  WriteTextFile(settings_ + "MKV.ini",
                "[HEVC]\nTargetType=MKV\nVideoCodec=H.263\nVideoBitrate=5000\n"
                "VideoRateControl=Quality\nVideoQuality=28\nTracks=All\nCopyStreamsThatFit=1\n");
  TMainWindowStandIn mkv("MKV");
  TFrmOptions dialog(mkv.Link());
  EXPECT_EQ(dialog.CboVideoRateControl->currentText(), "Quality");
  EXPECT_EQ(dialog.EdtVideoQuality->value(), 28);
  EXPECT_EQ(dialog.EdtVideoQuality->maximum(), 63);
  EXPECT_TRUE(dialog.EdtVideoQuality->isEnabled());
  EXPECT_FALSE(dialog.EdtVideoBitRate->isEnabled());
  EXPECT_EQ(dialog.CboTracks->currentText(), "All");
  EXPECT_TRUE(dialog.ChkCopyStreams->isChecked());
  EXPECT_EQ(dialog.ChkCopyStreams->text(), "Copy streams that already fit");
  EXPECT_TRUE(dialog.BtnDelete->isEnabled());

  dialog.EdtVideoQuality->setValue(30);
  EXPECT_EQ(dialog.CboProfiles->currentText(), "[Custom]");
  dialog.ChkCopyStreams->click();
  Choose(dialog.CboTracks, "First");

  WhenShown<TFrmNewProfile>([](TFrmNewProfile& save) {
    save.EdtName->setText("HEVC 30");
    save.BtnOK->click();
  });
  dialog.BtnSave->click();
  const TIniFile file(settings_ + "MKV.ini");
  EXPECT_EQ(file.ReadString("HEVC 30", "VideoRateControl", ""), "Quality");
  EXPECT_EQ(file.ReadString("HEVC 30", "VideoQuality", ""), "30");
  // "First" and no copying are what a file without the keys means: they are not written.
  EXPECT_EQ(file.ReadString("HEVC 30", "Tracks", "none"), "none");
  EXPECT_EQ(file.ReadString("HEVC 30", "CopyStreamsThatFit", "none"), "none");

  Choose(dialog.CboVideoRateControl, "Bitrate");
  EXPECT_FALSE(dialog.EdtVideoQuality->isEnabled());
  EXPECT_TRUE(dialog.EdtVideoBitRate->isEnabled());
  dialog.BtnOK->click();
  EXPECT_EQ(mkv.CurrentProfile.VideoRateControl, "Bitrate");
  EXPECT_EQ(mkv.CurrentProfile.Tracks, "First");
  EXPECT_FALSE(mkv.CurrentProfile.CopyStreamsThatFit);
}

TEST_F(UnitFrmSettingsTest, OlderProfilesShowBitrateFirstTrackAndNoCopyAndSaveAsBefore) {
  TFrmOptions dialog(main_->Link());
  EXPECT_EQ(dialog.CboVideoRateControl->currentText(), "Bitrate");
  EXPECT_FALSE(dialog.EdtVideoQuality->isEnabled());
  EXPECT_EQ(dialog.CboTracks->currentText(), "First");
  EXPECT_FALSE(dialog.ChkCopyStreams->isChecked());
  // Every control lies inside the dialog, which grew for the new ones.
  EXPECT_GE(dialog.size().height(), dialog.sizeHint().height());
  EXPECT_GE(dialog.size().width(), dialog.sizeHint().width());

  Choose(dialog.CboAudioBitrate, "64 kbps");
  WhenShown<TFrmNewProfile>([](TFrmNewProfile& save) {
    save.EdtName->setText("Plain");
    save.BtnOK->click();
  });
  dialog.BtnSave->click();
  const TIniFile file(settings_ + "3GP.ini");
  for (const char* key : {"VideoRateControl", "VideoQuality", "Tracks", "CopyStreamsThatFit"}) {
    EXPECT_EQ(file.ReadString("Plain", key, "none"), "none") << key;
  }
}
