#include "app/UnitFrmNewProfile.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "ConfigHomeSupport.h"
#include "DialogTestSupport.h"
#include "TestMedia.h"
#include "WindowTestSupport.h"
#include "app/UnitFrmMain.h"
#include "app/UnitFrmSettings.h"

namespace {

// An MP4 group with one profile that carries a target preset.
class UnitFrmNewProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = home_.CreateSettingsFolder();
    WriteTextFile(settings_ + "codec.ini",
                  "[Video Codec]\nMPEG-4 Part 2=mpeg4\n"
                  "[Audio Codec]\nAAC=aac\nAMR Narrow-Band=libopencore_amrnb\n");
    WriteTextFile(settings_ + "MP4.ini",
                  "[Preset]\nVideoCodec=MPEG-4 Part 2\nVideoFrameRateOption=Original\n"
                  "OOTargetType=ttDVD\nOONormType=ntPAL\n");
  }

  // Saves the shown values under name through the dialog; the texts of the error boxes
  // shown. A refused name keeps the dialog open, which is then cancelled.
  std::vector<QString> Save(TFrmOptions& options, const QString& name) {
    EXPECT_TRUE(options.BtnSave->isEnabled());
    if (!options.BtnSave->isEnabled()) return {};
    TWindowBoxes boxes;
    WhenShown<TFrmNewProfile>([&](TFrmNewProfile& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "New Profile");
      dialog.EdtName->setText(name);
      dialog.BtnOK->click();
      stayedOpen_ = dialog.isVisible();
      if (stayedOpen_) dialog.BtnCancel->click();
    });
    options.BtnSave->click();
    std::vector<QString> texts;
    for (const TWindowBoxes::TBox& box : boxes.Boxes()) {
      EXPECT_EQ(box.Caption, "Error");
      texts.push_back(QString::fromStdString(box.Text));
    }
    return texts;
  }

  TScopedConfigHome home_;
  std::string settings_;
  bool stayedOpen_ = false;
};

TEST_F(UnitFrmNewProfileTest, BlankOrUnstorableNamesAreRefusedAndNothingIsWritten) {
  TMainWindowStandIn main("MP4");
  TFrmOptions options(main.Link());
  Choose(options.CboProfiles, "[Custom]");  // offers saving the values as they are
  const std::string before = ReadTextFile(settings_ + "MP4.ini");
  EXPECT_EQ(Save(options, "   "), std::vector<QString>({"Profile name must not be blank"}));
  EXPECT_TRUE(stayedOpen_);
  const QString refused = "Profile name must not contain \"]\" or a line break";
  EXPECT_EQ(Save(options, "a]b"), std::vector<QString>({refused}));
  EXPECT_EQ(Save(options, "two\nlines"), std::vector<QString>({refused}));
  EXPECT_TRUE(stayedOpen_);
  EXPECT_EQ(ReadTextFile(settings_ + "MP4.ini"), before);
  EXPECT_EQ(options.CboProfiles->count(), 2);
  EXPECT_EQ(main.Profiles.count(), 2);
}

TEST_F(UnitFrmNewProfileTest, NameIsStoredWithItsBlanksAndListedInBothWindows) {
  TMainWindowStandIn main("MP4");
  TFrmOptions options(main.Link());
  options.EdtVideoBitRate->setValue(900);
  Choose(options.CboAudioChannels, "Stereo");
  Choose(options.CboVideoFrameRate, "23.976 fps");
  EXPECT_TRUE(Save(options, " x ").empty());
  EXPECT_FALSE(stayedOpen_);

  const std::string file = ReadTextFile(settings_ + "MP4.ini");
  const std::size_t section = file.find("[ x ]\n");
  ASSERT_NE(section, std::string::npos);
  EXPECT_EQ(file.substr(section),
            "[ x ]\nTargetType=MP4\nVideoDisabled=0\nVideoCodec=MPEG-4 Part 2\n"
            "VideoSizeOption=Original\nVideoCustomWidth=0\nVideoCustomHeight=0\n"
            "VideoBitrate=900\nVideoFrameRateOption=23.976\nAudioDisabled=0\nAudioCodec=Auto\n"
            "AudioChannels=2\nAudioSampleRate=32000\nAudioBitRate=64\n");
  // Placed where the list read from the file will have it.
  const QStringList listed = {"Preset", " x ", "[Custom]"};
  EXPECT_EQ(Items(options.CboProfiles), listed);
  EXPECT_EQ(Items(&main.Profiles), listed);
  EXPECT_EQ(options.CboProfiles->currentIndex(), 1);
  EXPECT_EQ(main.Profiles.currentIndex(), 1);
  EXPECT_FALSE(options.BtnSave->isEnabled());
  EXPECT_TRUE(options.BtnDelete->isEnabled());
  EXPECT_EQ(LoadProfile("MP4", " x ").VideoBitrate, "900");
}

TEST_F(UnitFrmNewProfileTest, OriginalRateAndTheAmrListsAreStoredAsNumbers) {
  TMainWindowStandIn main("MP4");
  TFrmOptions options(main.Link());
  Choose(options.CboAudioCodec, "AMR Narrow-Band");
  EXPECT_TRUE(Save(options, "Phone").empty());
  const TProfileSettings phone = LoadProfile("MP4", "Phone");
  EXPECT_EQ(phone.TargetType, "MP4");
  EXPECT_EQ(phone.VideoFrameRateOption, "Original");
  EXPECT_EQ(phone.AudioCodec, "AMR Narrow-Band");
  EXPECT_EQ(phone.AudioChannels, "1");
  EXPECT_EQ(phone.AudioSampleRate, "8000");
  EXPECT_EQ(phone.AudioBitRate, "12.2");
}

TEST_F(UnitFrmNewProfileTest, ExistingNameIsOverwrittenKeepsItsPresetAndIsListedOnce) {
  TMainWindowStandIn main("MP4");
  TFrmOptions options(main.Link());
  options.EdtVideoBitRate->setValue(1234);
  EXPECT_TRUE(Save(options, "preset").empty());
  const TProfileSettings preset = LoadProfile("MP4", "Preset");
  EXPECT_EQ(preset.VideoBitrate, "1234");
  EXPECT_EQ(preset.OOTargetType, "ttDVD");
  EXPECT_EQ(preset.OONormType, "ntPAL");
  EXPECT_EQ(Items(&main.Profiles), QStringList({"Preset", "[Custom]"}));
  EXPECT_EQ(main.Profiles.currentIndex(), 0);
  options.BtnOK->click();
  EXPECT_EQ(main.CurrentProfile.OOTargetType, "ttDVD");
}

TEST_F(UnitFrmNewProfileTest, RefusedWriteIsShownAndTheDialogStaysOpen) {
  TMainWindowStandIn main("MP4");
  TFrmOptions options(main.Link());
  Choose(options.CboProfiles, "[Custom]");  // offers saving the values as they are
  std::filesystem::remove_all(settings_);
  EXPECT_TRUE(Save(options, "Lost").empty());  // shown in the application's error box
  EXPECT_TRUE(stayedOpen_);
  ASSERT_EQ(main.Errors.size(), 1u);
  EXPECT_EQ(main.Errors[0],
            "Unable to write to " + settings_ + "MP4.ini: No such file or directory");
  EXPECT_EQ(main.Profiles.count(), 2);
  EXPECT_EQ(options.CboProfiles->count(), 2);
}

TEST_F(UnitFrmNewProfileTest, GroupWithoutFileGetsOneWithTheGroupAsTargetType) {
  TMainWindowStandIn main("AVI");
  EXPECT_EQ(main.Profiles.currentIndex(), -1);
  TFrmOptions options(main.Link());
  Choose(options.CboProfiles, "[Custom]");  // offers saving the values as they are
  EXPECT_TRUE(Save(options, "First").empty());
  EXPECT_EQ(ListProfiles("AVI"), std::vector<std::string>({"First", "[Custom]"}));
  EXPECT_EQ(LoadProfile("AVI", "First").TargetType, "AVI");
  EXPECT_EQ(Items(&main.Profiles), QStringList({"First", "[Custom]"}));
  EXPECT_EQ(main.Profiles.currentIndex(), 0);
}

TEST_F(UnitFrmNewProfileTest, ProfileSavedFromTheMainWindowConvertsAfterARestart) {
  BindMediaLibrariesForTest();
  TTempFolder media;
  const std::string clip = media.File("clip.avi");
  TClipRecipe recipe;
  recipe.frames = 50;
  recipe.audioSeconds = 2;
  MakeClip(clip, recipe);
  const std::string output = media.File("out") + "/";
  std::filesystem::create_directories(output);
  std::filesystem::create_directories(home_.Folder().Path() / "Tovrena");
  WriteTextFile(OptionsFilePath(),
                "[Options]\nOutputPath=" + output + "\nRgpProfiles=1\nCboProfiles=0\n");
  WriteTextFile(settings_ + "codec.ini",
                "[Video Codec]\nMPEG-4 Part 2=mpeg4\n[Audio Codec]\nAAC=aac\n");
  TWindowBoxes boxes;
  {
    TForm1 form(LibAVFolder());
    form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
    ASSERT_TRUE(form.FormCreate());
    WhenShown<TFrmOptions>([](TFrmOptions& options) {
      Choose(options.CboVideoSize, "320x240");
      Choose(options.CboVideoFrameRate, "10 fps");
      Choose(options.CboAudioCodec, "AAC");
      Choose(options.CboAudioSampleRate, "22050 Hz");
      Choose(options.CboAudioBitrate, "128 kbps");
      WhenShown<TFrmNewProfile>([](TFrmNewProfile& dialog) {
        dialog.EdtName->setText("Small MPEG-4");
        dialog.BtnOK->click();
      });
      options.BtnSave->click();
      options.BtnOK->click();
    });
    form.BtnSettings->click();
    EXPECT_EQ(form.CboProfiles->currentText(), "Small MPEG-4");
    form.close();  // stores the chosen group and profile
  }
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.CboProfiles->currentText(), "Small MPEG-4");
  form.AddFiles({QString::fromStdString(clip)});
  form.BtnStartClick();  // starts once the file is checked
  QElapsedTimer clock;
  clock.start();
  while ((form.Adding() || form.Running()) && clock.elapsed() < 60000)
    QCoreApplication::processEvents();
  ASSERT_FALSE(form.Running());
  ASSERT_FALSE(boxes.Boxes().empty());
  EXPECT_EQ(boxes.Boxes().back().Text, "File conversion process finished.");

  const TMediaInfo info = ReadMediaInfo(output + "clip.mp4");
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(0);
  const TStreamInfo* audio = info.FirstOfType(1);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->codec, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(video->width, 320);
  EXPECT_EQ(video->height, 240);
  EXPECT_NEAR(video->packets, 20, 2);  // two seconds at 10 fps
  EXPECT_EQ(audio->codec, AV_CODEC_ID_AAC);
  EXPECT_EQ(audio->sampleRate, 22050);
}

}  // namespace
