// The window's run as a user follows it: each file's state, the progress texts, the summary
// at the end, stopping, retrying, files side by side, and closing during a run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ConfigHomeSupport.h"
#include "TestMedia.h"
#include "WindowTestSupport.h"
#include "app/FileStates.h"
#include "app/UnitFrmMain.h"
#include "binding/MediaLibraries.h"

namespace {

namespace fs = std::filesystem;

class UnitFrmMainRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string settings = home_.CreateSettingsFolder();
    WriteTextFile(settings + "codec.ini",
                  "[Video Codec]\nMPEG-4 Part 2=mpeg4\n[Audio Codec]\nMP2=mp2\n");
    // Large frames keep the encoder busy long enough to watch a file being converted.
    WriteTextFile(settings + "AVI.ini",
                  "[Plain AVI]\nVideoCodec=MPEG-4 Part 2\nAudioCodec=MP2\nAudioSampleRate=44100\n"
                  "VideoFrameRateOption=Original\n"
                  "[Large AVI]\nVideoCodec=MPEG-4 Part 2\nAudioCodec=MP2\n"
                  "AudioSampleRate=44100\nVideoFrameRateOption=Original\n"
                  "VideoSizeOption=Custom...\nVideoCustomWidth=1280\nVideoCustomHeight=720\n");
    output_ = media_.Path().string() + "/out/";
    fs::create_directories(output_);
    WriteOptions(0);
    boxes_.Answer = QMessageBox::Yes;
  }

  void WriteOptions(int profile) {
    fs::create_directories(home_.Folder().Path() / "Tovrena");
    WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + output_ +
                                         "\nRgpProfiles=0\nCboProfiles=" + std::to_string(profile) +
                                         "\n");
  }

  std::string Clip(const std::string& name, int frames, double audioSeconds = -1,
                   bool undecodable = false) {
    return MakeWindowClip(media_, name, frames, audioSeconds, undecodable);
  }

  // A window with the files added; the test's own openers and notifier.
  std::unique_ptr<TForm1> Window(const std::vector<std::string>& files) {
    auto form = std::make_unique<TForm1>(LibAVFolder());
    EXPECT_TRUE(form->FormCreate());
    form->OpenUrl = [this](const QUrl& url) {
      opened_.push_back(url.toLocalFile().toStdString());
      return openSucceeds_;
    };
    form->NotifyDesktop = [this](const QString& summary, const QString& body) {
      notes_.push_back(summary.toStdString() + "|" + body.toStdString());
    };
    QStringList paths;
    for (const std::string& file : files) paths << QString::fromStdString(file);
    form->AddFiles(paths);
    EXPECT_TRUE(WaitFor([&] { return !form->Adding(); }));
    EXPECT_EQ(form->Lvw->rowCount(), static_cast<int>(files.size()));
    return form;
  }

  static std::string Status(const TForm1& form, int row) {
    return form.Lvw->item(row, lcStatus)->text().toStdString();
  }

  TScopedConfigHome home_;
  TTempFolder media_;
  std::string output_;
  TWindowBoxes boxes_;
  std::vector<std::string> opened_;
  bool openSucceeds_ = true;
  std::vector<std::string> notes_;
};

TEST_F(UnitFrmMainRunTest, EveryFileEndsWithItsOwnStateAndTheSummaryListsTheFailures) {
  const std::string a = Clip("a.avi", 25);
  const std::string gone = Clip("gone.avi", 25);
  const std::string tone = Clip("tone.avi", 0, 1.0);  // audio only
  const std::string broken = Clip("broken.mp4", 25, 1.0, true);
  auto form = Window({a, gone, tone, broken});
  fs::remove(gone);
  form->BtnStartClick();
  EXPECT_EQ(form->RowState(0), TRowState::rsQueued);
  EXPECT_EQ(Status(*form, 2), "Queued");
  EXPECT_FALSE(form->PbrOverall->isHidden());
  EXPECT_TRUE(form->PbrOverall->format().startsWith("file 1 of 4, 00:00:0"));
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));

  EXPECT_EQ(form->RowState(0), TRowState::rsCompleted);
  EXPECT_EQ(form->RowState(1), TRowState::rsFailed);
  EXPECT_EQ(Status(*form, 1), "Failed: no such file or directory");
  EXPECT_EQ(form->RowState(2), TRowState::rsCompleted);
  // Opened, but nothing in it decodes: the engine's reason, in the cell and its tooltip.
  const std::string undecodable = "no picture could be decoded from stream #0:0";
  EXPECT_EQ(form->RowState(3), TRowState::rsFailed);
  EXPECT_EQ(Status(*form, 3), "Failed: " + undecodable);
  EXPECT_EQ(form->Lvw->item(3, lcStatus)->toolTip().toStdString(), undecodable);
  EXPECT_EQ(form->windowTitle(), "Tovrena");
  EXPECT_TRUE(form->PbrOverall->isHidden());
  EXPECT_EQ(form->LblRunSummary->text().toStdString(), "2 converted, 2 failed");
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  const TWindowBoxes::TBox& box = boxes_.Boxes()[0];
  EXPECT_EQ(box.Text, "File conversion process finished.");
  EXPECT_EQ(box.Informative, "2 converted, 2 failed\n\ngone.avi: Convertion of file \"" + gone +
                                 "\" is not supported. " + gone +
                                 ": no such file or directory\nbroken.mp4: " + undecodable);
  EXPECT_EQ(box.Icon, QMessageBox::Warning);
  // Offscreen the window is never the active one, so the desktop is told as well.
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].substr(0, notes_[0].find('\n')),
            "File conversion process finished.|2 converted, 2 failed");

  // The file is back: Retry converts it at once, and only it.
  fs::copy_file(a, gone);
  form->RetryRow(1);
  EXPECT_TRUE(form->Running());
  EXPECT_EQ(form->RowState(0), TRowState::rsCompleted);
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
  EXPECT_EQ(form->RowState(1), TRowState::rsCompleted);
  EXPECT_EQ(boxes_.Boxes().back().Informative, "1 converted");
  EXPECT_EQ(boxes_.Boxes().back().Icon, QMessageBox::Information);
  BindMediaLibrariesForTest();
  const TMediaInfo audio = DecodeMediaInfo(output_ + "tone.avi");
  ASSERT_TRUE(audio.opened);
  EXPECT_EQ(audio.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  ASSERT_NE(audio.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_TRUE(DecodeMediaInfo(output_ + "gone.avi").opened);
}

TEST_F(UnitFrmMainRunTest, RunningFilesShowABarAndReadableProgress) {
  WriteOptions(1);
  const std::string clip = Clip("long.avi", 400);
  auto form = Window({clip, Clip("short.avi", 25)});
  form->BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return form->RowState(0) == TRowState::rsRunning; }));
  QTableWidgetItem* status = form->Lvw->item(0, lcStatus);
  EXPECT_TRUE(status->text().endsWith("% Completed"));
  EXPECT_GE(status->data(kRowPercentRole).toInt(), 0);
  EXPECT_TRUE(status->toolTip().contains(" of 00:00:16")) << status->toolTip().toStdString();
  EXPECT_TRUE(form->LblProgress->text().startsWith("Current Frame="));
  EXPECT_TRUE(form->windowTitle().endsWith("% - Tovrena"));
  // The second file: the run's bar has moved on.
  ASSERT_TRUE(WaitFor([&] { return form->RowState(0) == TRowState::rsCompleted; }));
  ASSERT_TRUE(WaitFor([&] { return form->PbrOverall->format().startsWith("file 2 of 2"); }));
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
}

TEST_F(UnitFrmMainRunTest, StopMarksTheRunningFileStoppedAndTheRestNotStarted) {
  WriteOptions(1);
  const std::string a = Clip("a.avi", 1500);
  const std::string b = Clip("b.avi", 25);
  auto form = Window({a, b});
  form->BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return form->RowState(0) == TRowState::rsRunning; }));
  form->BtnStartClick();
  EXPECT_EQ(form->RowState(0), TRowState::rsStopped);
  EXPECT_EQ(Status(*form, 0), "Stopped");
  EXPECT_EQ(form->RowState(1), TRowState::rsNotStarted);
  EXPECT_EQ(Status(*form, 1), "Not started");
  // The user is at the window: a line says how it ended, no box.
  EXPECT_EQ(form->LblRunSummary->text(), "0 converted, 1 stopped, 1 not started");
  EXPECT_FALSE(form->LblRunSummary->isHidden());
  QTest::qWait(200);
  EXPECT_TRUE(boxes_.Boxes().empty());
  EXPECT_EQ(form->RowState(0), TRowState::rsStopped);

  // The partial file is kept and Enter on its row opens it; a failing opener says so.
  form->Lvw->setCurrentCell(0, lcInputFilename);
  QTest::keyClick(form->Lvw, Qt::Key_Return);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], output_ + "a.avi");
  openSucceeds_ = false;
  EXPECT_FALSE(form->OpenRowOutput(0));
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_NE(boxes_.Boxes()[0].Caption.find("Error"), std::string::npos);
  // A row without an output opens nothing.
  EXPECT_FALSE(form->OpenRowOutput(1));
  EXPECT_EQ(opened_.size(), 2u);
}

TEST_F(UnitFrmMainRunTest, AFileRetriedDuringARunIsConvertedRightAfterIt) {
  WriteOptions(1);
  const std::string gone = Clip("gone.avi", 25);
  // Long enough to be seen running after the first file has failed, on any machine.
  const std::string b = Clip("b.avi", 1500);
  auto form = Window({gone, b});
  fs::rename(gone, gone + ".away");
  form->BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return form->RowState(1) == TRowState::rsRunning; }));
  ASSERT_EQ(form->RowState(0), TRowState::rsFailed);
  fs::rename(gone + ".away", gone);
  form->RetryRow(0);
  EXPECT_EQ(form->RowState(0), TRowState::rsQueued);
  form->RetryRow(1);  // only failed rows are retried
  EXPECT_EQ(form->RowState(1), TRowState::rsRunning);
  ASSERT_TRUE(WaitFor([&] { return form->RowState(0) == TRowState::rsCompleted; }));
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
  EXPECT_EQ(form->RowState(1), TRowState::rsCompleted);
  // The first run's summary still counted the row as failed; the retry has its own.
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_EQ(boxes_.Boxes()[0].Informative.substr(0, 21), "1 converted, 1 failed");
  EXPECT_EQ(boxes_.Boxes()[1].Informative, "1 converted");
}

TEST_F(UnitFrmMainRunTest, TwoFilesAtOnceConvertSideBySideAndTheSettingIsKept) {
  if (QThread::idealThreadCount() < 2) GTEST_SKIP() << "one core only";
  WriteOptions(1);
  // Long enough that both are seen running between two turns of the event loop.
  const std::string a = Clip("a.avi", 400);
  const std::string b = Clip("b.avi", 400);
  {
    auto form = Window({a, b});
    form->SpnFilesAtOnce->setValue(2);
    form->BtnStartClick();
    EXPECT_FALSE(form->SpnFilesAtOnce->isEnabled());
    ASSERT_TRUE(WaitFor([&] {
      return (form->RowState(0) == TRowState::rsRunning &&
              form->RowState(1) == TRowState::rsRunning) ||
             !form->Running();
    }));
    EXPECT_TRUE(form->Running()) << "the two files never ran side by side";
    ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
    EXPECT_EQ(form->RowState(0), TRowState::rsCompleted);
    EXPECT_EQ(form->RowState(1), TRowState::rsCompleted);
    form->close();
  }
  BindMediaLibrariesForTest();
  for (const char* name : {"a.avi", "b.avi"}) {
    const TMediaInfo info = DecodeMediaInfo(output_ + name);
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << name;
    EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 400, 2) << name;
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->width, 1280) << name;
  }
  TForm1 again(LibAVFolder());
  ASSERT_TRUE(again.FormCreate());
  EXPECT_EQ(again.SpnFilesAtOnce->value(), 2);
}

TEST_F(UnitFrmMainRunTest, ClosingDuringARunAsksFirst) {
  WriteOptions(1);
  auto form = Window({Clip("long.avi", 1500)});
  form->show();
  form->BtnStartClick();
  boxes_.Answer = QMessageBox::No;
  EXPECT_FALSE(form->close());
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text, "A conversion is running. Stop it and quit?");
  EXPECT_TRUE(form->Running());
  EXPECT_TRUE(form->isVisible());
  boxes_.Answer = QMessageBox::Yes;
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(form->Running());
  EXPECT_EQ(boxes_.Boxes().size(), 2u);
  // The options were written as on any close.
  EXPECT_NE(ReadTextFile(OptionsFilePath()).find("CboProfiles=1"), std::string::npos);
}

TEST_F(UnitFrmMainRunTest, CustomChoicesComeBackUntilANamedProfileIsChosen) {
  WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + output_ +
                                       "\nRgpProfiles=0\nCboProfiles=1\n"
                                       "[Custom]\nChosen=1\nOutputPath=/mine/\nRgpProfiles=0\n"
                                       "VideoBitrate=1234\nAudioCodec=MP2\n");
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.CboProfiles->currentText(), "[Custom]");
    EXPECT_EQ(form.EdtOutputFolder->text(), "/mine/");
    EXPECT_EQ(form.Profile().VideoBitrate, "1234");
    EXPECT_EQ(form.Profile().AudioCodec, "MP2");
    EXPECT_EQ(form.Profile().TargetType, "AVI");
    form.EdtOutputFolder->setText("/mine/too/");
    form.close();
  }
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.EdtOutputFolder->text(), "/mine/too/");
    EXPECT_EQ(form.Profile().VideoBitrate, "1234");
    form.CboProfiles->setCurrentIndex(0);
    form.close();
  }
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.CboProfiles->currentText(), "Plain AVI");
  EXPECT_EQ(form.EdtOutputFolder->text(), "/mine/too/");
  EXPECT_EQ(form.Profile().VideoBitrate, "4500");
}

TEST_F(UnitFrmMainRunTest, TheSummaryNamesTracksLeftOutForTheStreamLimit) {
  BindMediaLibrariesForTest();
  TClipRecipe recipe;  // 70 tracks: the video and 69 of sound
  recipe.frames = 5;
  recipe.audioSeconds = 0.2;
  recipe.moreAudioTracks.assign(68, 1);
  const std::string input = media_.File("seventy.mkv");
  ASSERT_NO_FATAL_FAILURE(MakeClip(input, recipe));
  WriteTextFile(GroupFilePath("AVI"),
                "[Every track]\nTargetType=MKV\nVideoCodec=MPEG-4 Part 2\nAudioCodec=MP2\n"
                "AudioSampleRate=44100\nVideoFrameRateOption=Original\nTracks=All\n");
  auto form = Window({input});
  form->BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
  EXPECT_EQ(form->RowState(0), TRowState::rsCompleted);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Informative,
            "1 converted\n\nseventy.mkv: 64 of 70 tracks kept: an output file takes at most 64 "
            "streams");
  EXPECT_EQ(ReadMediaInfo(output_ + "seventy.mkv").streams.size(), 64u);
}

}  // namespace

namespace {

TEST_F(UnitFrmMainRunTest, AnOutputIsUnseenUntilCompleteAndTheColumnShowsTheNameItGot) {
  WriteOptions(1);
  const std::string a = Clip("a.avi", 500);
  auto form = Window({a});
  // Listed and checked: the name is planned, nothing is on disk.
  EXPECT_EQ(OutputCellName(*form->Lvw, 0, lcOutputFilename).toStdString(), "a");
  EXPECT_TRUE(fs::is_empty(output_));
  form->BtnStartClick();
  // While it is written only a temporary of its own is in the folder; then another file
  // takes its name.
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& entry : fs::directory_iterator(output_))
      if (entry.path().filename().string().rfind(".a.avi.tovrena-", 0) == 0 &&
          entry.file_size() > 0)
        return true;
    return false;
  }));
  EXPECT_FALSE(fs::exists(output_ + "a.avi"));
  WriteTextFile(output_ + "a.avi", "another program's");
  ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
  EXPECT_EQ(form->RowState(0), TRowState::rsCompleted);
  EXPECT_EQ(OutputCellName(*form->Lvw, 0, lcOutputFilename).toStdString(), "a(1)");
  EXPECT_EQ(ReadTextFile(output_ + "a.avi"), "another program's");
  BindMediaLibrariesForTest();
  EXPECT_EQ(DecodeMediaInfo(output_ + "a(1).avi").FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames,
            500);
  EXPECT_EQ(std::distance(fs::directory_iterator(output_), fs::directory_iterator()), 2);
}

}  // namespace
