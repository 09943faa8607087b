#include "app/UnitFrmMain.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "ConfigHomeSupport.h"
#include "TestMedia.h"
#include "WindowTestSupport.h"
#include "binding/MediaLibraries.h"
#include "engine/EngineTypes.h"
#include "ui/AppErrorHandler.h"

namespace {

namespace fs = std::filesystem;

// A settings folder with a catalogue and an MP4 and an AVI group, and an output folder.
class UnitFrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string settings = home_.CreateSettingsFolder();
    WriteTextFile(settings + "codec.ini",
                  "[Video Codec]\nMPEG-4 Part 2=mpeg4\n[Audio Codec]\nMP2=mp2\nAAC=aac\n");
    WriteTextFile(settings + "MP4.ini",
                  "[Small MPEG-4]\nTargetType=MP4\nVideoCodec=MPEG-4 Part 2\n"
                  "VideoSizeOption=Original\nVideoBitrate=400\nVideoFrameRateOption=25\n"
                  "AudioCodec=AAC\nAudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=96\n"
                  "[Large MPEG-4]\nTargetType=MP4\nVideoCodec=MPEG-4 Part 2\n"
                  "VideoSizeOption=Custom...\nVideoCustomWidth=1280\nVideoCustomHeight=720\n"
                  "VideoBitrate=8000\nVideoFrameRateOption=25\nAudioCodec=AAC\n"
                  "AudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=96\n");
    WriteTextFile(settings + "AVI.ini",
                  "[Plain AVI]\nVideoCodec=MPEG-4 Part 2\nAudioCodec=MP2\n"
                  "AudioSampleRate=44100\nVideoFrameRateOption=Original\n");
    output_ = media_.Path().string() + "/out/";
    fs::create_directories(output_);
    WriteOptions(output_, 1, 0);
  }

  void WriteOptions(const std::string& outputPath, int group, int profile) {
    fs::create_directories(home_.Folder().Path() / "Tovrena");
    WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + outputPath +
                                         "\nRgpProfiles=" + std::to_string(group) +
                                         "\nCboProfiles=" + std::to_string(profile) + "\n");
  }

  std::string Clip(const std::string& name, int frames = 25) {
    return MakeWindowClip(media_, name, frames);
  }

  static std::string Text(const TForm1& form, int row, TListColumn column) {
    return CellText(form, row, column);
  }

  // Adds as the window does and waits until every file is listed and checked.
  static void AddFiles(TForm1& form, const QStringList& files) {
    form.AddFiles(files);
    ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
  }

  static QStringList Files(std::initializer_list<std::string> paths) {
    QStringList files;
    for (const std::string& path : paths) files << QString::fromStdString(path);
    return files;
  }

  TScopedConfigHome home_;
  TTempFolder media_;
  std::string output_;
  TWindowBoxes boxes_;
};

TEST_F(UnitFrmMainTest, StartShowsTheStoredFolderGroupAndProfile) {
  WriteOptions("/somewhere/", 1, 1);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.windowTitle(), "Tovrena");
  EXPECT_EQ(form.size(), QSize(653, 430));
  EXPECT_EQ(form.Lvw->columnCount(), 6);
  EXPECT_TRUE(form.Lvw->isColumnHidden(lcPath));
  EXPECT_EQ(form.EdtOutputFolder->text(), "/somewhere/");
  EXPECT_EQ(form.GroupIndex(), 1);
  ASSERT_EQ(form.CboProfiles->count(), 3);
  EXPECT_EQ(form.CboProfiles->itemText(2), "[Custom]");
  EXPECT_EQ(form.CboProfiles->currentText(), "Large MPEG-4");
  EXPECT_EQ(form.Profile().VideoCustomWidth, "1280");
  EXPECT_FALSE(form.LblProgress->isVisible());
  EXPECT_TRUE(boxes_.Boxes().empty());
}

// The nine groups keep their three columns of three; MKV and WebM fill a fourth, and the
// stored index of a group keeps naming it.
TEST_F(UnitFrmMainTest, NewerGroupsComeAfterTheNineInAColumnOfTheirOwn) {
  WriteTextFile(SettingsFolderPath() + "WebM.ini", "[VP9]\nTargetType=WebM\nVideoCodec=VP9\n");
  WriteOptions(output_, 10, 0);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.GroupIndex(), 10);
  EXPECT_EQ(form.CboProfiles->currentText(), "VP9");
  EXPECT_EQ(form.Profile().TargetType, "WebM");

  // Row and column of each group's radio button in the radio group's grid.
  const auto* grid = qobject_cast<QGridLayout*>(form.RgpProfiles->layout());
  ASSERT_NE(grid, nullptr);
  QMap<QString, QPair<int, int>> at;
  for (QRadioButton* radio : form.RgpProfiles->findChildren<QRadioButton*>()) {
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(radio), &row, &column, &rowSpan, &columnSpan);
    at[radio->text()] = {row, column};
  }
  const QStringList columns[] = {
      {"AVI", "MP4", "MPG"}, {"WMV", "3GP", "MOV"}, {"SWF", "FLV", "Audio"}, {"MKV", "WebM"}};
  int placed = 0;
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < columns[column].size(); ++row, ++placed) {
      EXPECT_EQ(at.value(columns[column][row], {-1, -1}), qMakePair(row, column))
          << columns[column][row].toStdString();
    }
  }
  EXPECT_EQ(at.size(), placed);
  // Everything still fits the window's size.
  EXPECT_EQ(form.size(), QSize(653, 430));
  EXPECT_LE(form.minimumSizeHint().width(), 653);
  EXPECT_LE(form.minimumSizeHint().height(), 430);
}

TEST_F(UnitFrmMainTest, StoredIndicesOutsideTheListsFallBackSafely) {
  WriteOptions(output_, 0, 7);  // AVI has one profile
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.CboProfiles->currentText(), "Plain AVI");
  EXPECT_EQ(form.Profile().TargetType, "AVI");

  form.SetGroupIndex(2);  // MPG: no profile file
  EXPECT_EQ(form.CboProfiles->count(), 1);
  EXPECT_EQ(form.CboProfiles->currentIndex(), -1);
  EXPECT_EQ(form.Profile().TargetType, "MPG");
  EXPECT_EQ(form.Profile().VideoBitrate, "4500");
}

TEST_F(UnitFrmMainTest, MissingLibrariesAskForAReinstallation) {
  FreeMediaLibraries();  // bound by the tests before
  TForm1 form(media_.File("NoLibAV"));
  EXPECT_FALSE(form.FormCreate());
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Caption, "Error");
  EXPECT_NE(boxes_.Boxes()[0].Text.find(" Please re-install the program and try it again."),
            std::string::npos);
  // Nothing was loaded, so nothing is saved.
  EXPECT_NE(ReadTextFile(OptionsFilePath()).find("RgpProfiles=1"), std::string::npos);
}

TEST_F(UnitFrmMainTest, AddedFilesGetRowsAndFreeOutputNames) {
  const std::string clip = Clip("clip.avi");
  WriteTextFile(output_ + "clip.mp4", "taken");
  WriteTextFile(output_ + "clip(1).mp4", "taken");
  const std::string broken = media_.File("broken.avi");
  WriteTextFile(broken, "this is no media file");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({clip, broken, clip}));

  ASSERT_EQ(form.Lvw->rowCount(), 2);
  EXPECT_EQ(Text(form, 0, lcInputFilename), "clip");
  EXPECT_EQ(Text(form, 0, lcDuration), "00:00:01");
  EXPECT_EQ(Text(form, 0, lcType), "AVI");
  EXPECT_EQ(Text(form, 0, lcOutputFilename), "clip(2).mp4");
  EXPECT_EQ(form.RowOutputPath(0).toStdString(), output_ + "clip(2).mp4");
  EXPECT_EQ(form.Lvw->item(0, lcInputFilename)->toolTip().toStdString(), clip);
  EXPECT_EQ(Text(form, 0, lcStatus), "");
  EXPECT_EQ(form.RowState(0), TRowState::rsIdle);
  EXPECT_EQ(Text(form, 0, lcPath), clip);
  // The same input again: the name of the row above counts as taken.
  EXPECT_EQ(Text(form, 1, lcOutputFilename), "clip(3).mp4");
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Caption, "Error");
  // The library's reason follows the window's own text.
  EXPECT_EQ(boxes_.Boxes()[0].Text, "Convertion of file \"" + broken + "\" is not supported. " +
                                        broken + ": Error while parsing header");
  // The users' files are untouched and adding leaves no output behind.
  EXPECT_EQ(ReadTextFile(output_ + "clip.mp4"), "taken");
  EXPECT_FALSE(fs::exists(output_ + "clip(2).mp4"));
}

TEST_F(UnitFrmMainTest, AnOutputFolderThatCannotTakeFilesIsRefusedWithTheReason) {
  const std::string plain = media_.File("plain");
  WriteTextFile(plain, "x");
  WriteOptions(plain + "/sub/", 0, 0);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({Clip("clip.avi")}));
  EXPECT_EQ(form.Lvw->rowCount(), 0);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text,
            "Cannot write into the output folder \"" + plain + "/sub/\": Not a directory");
  EXPECT_EQ(ReadTextFile(plain), "x");
}

TEST_F(UnitFrmMainTest, AProfileValueThatIsNoNumberRefusesTheFile) {
  WriteTextFile(GroupFilePath("AVI"), "[Broken]\nVideoBitrate=fast\n");
  WriteOptions(output_, 0, 0);
  const std::string clip = Clip("clip.avi");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({clip}));
  EXPECT_EQ(form.Lvw->rowCount(), 0);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text,
            "Cannot convert: Profile value VideoBitrate: 'fast' is not a valid integer value");
}

TEST_F(UnitFrmMainTest, AGroupFileOrCatalogueThatCannotBeReadRefusesFilesWithTheReason) {
  const std::string avi = GroupFilePath("AVI");
  const std::string damaged = "[Plain AVI]\nVideoCodec=MPEG-4 Part 2\n\x01\x02\n";
  WriteTextFile(avi, damaged);
  WriteOptions(output_, 0, 0);
  const std::string clip = Clip("clip.avi");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  const std::string why = "Cannot read " + avi +
                          ": not a settings file (line 3: a control character, which no text "
                          "line holds)";
  ASSERT_EQ(boxes_.Boxes().size(), 1u);  // said once, when the group is chosen
  EXPECT_EQ(boxes_.Boxes()[0].Text, why);
  EXPECT_EQ(form.CboProfiles->count(), 1);  // "[Custom]", not chosen
  // The group's defaults are nobody's choice: nothing converts with them.
  AddFiles(form, Files({clip}));
  EXPECT_EQ(form.Lvw->rowCount(), 0);
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_EQ(boxes_.Boxes()[1].Text, "Cannot convert: " + why);
  // Once the user picks "[Custom]" those values are a choice.
  form.CboProfiles->setCurrentIndex(0);
  emit form.CboProfiles->activated(0);
  AddFiles(form, Files({clip}));
  EXPECT_EQ(form.Lvw->rowCount(), 1);
  EXPECT_EQ(ReadTextFile(avi), damaged);

  // A profile's codec without a catalogue: the file is refused, not converted otherwise.
  boxes_.Clear();
  fs::remove(CodecCatalogueFilePath());
  form.SetGroupIndex(1);
  EXPECT_TRUE(boxes_.Boxes().empty());
  AddFiles(form, Files({clip}));
  EXPECT_EQ(form.Lvw->rowCount(), 1);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text,
            "Cannot convert: codec 'MPEG-4 Part 2' of profile 'Small MPEG-4' is not in the codec "
            "catalogue (" +
                CodecCatalogueFilePath() + ": No such file or directory)");
  EXPECT_TRUE(fs::is_empty(output_));
}

TEST_F(UnitFrmMainTest, RowsMoveWithinTheListAndRemoveNeedsASelection) {
  const std::string a = Clip("a.avi");
  const std::string b = Clip("b.avi");
  const std::string c = Clip("c.avi");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({a, b, c}));
  ASSERT_EQ(form.Lvw->rowCount(), 3);
  const auto order = [&] {
    return Text(form, 0, lcInputFilename) + Text(form, 1, lcInputFilename) +
           Text(form, 2, lcInputFilename);
  };
  form.BtnMoveUpClick();  // no selection
  form.BtnRemoveClick();
  EXPECT_EQ(order(), "abc");
  form.Lvw->selectRow(0);
  form.BtnMoveUpClick();
  EXPECT_EQ(order(), "abc");
  form.BtnMoveDownClick();
  EXPECT_EQ(order(), "bac");
  EXPECT_EQ(Text(form, 1, lcPath), a);
  EXPECT_EQ(form.Lvw->currentRow(), 1);
  form.Lvw->selectRow(2);
  form.BtnMoveDownClick();
  EXPECT_EQ(order(), "bac");
  form.BtnMoveUpClick();
  EXPECT_EQ(order(), "bca");
  QTest::keyClick(form.Lvw, Qt::Key_Delete);
  EXPECT_EQ(form.Lvw->rowCount(), 2);
  EXPECT_EQ(Text(form, 0, lcInputFilename) + Text(form, 1, lcInputFilename), "ba");
  form.BtnClearClick();
  EXPECT_EQ(form.Lvw->rowCount(), 0);
}

TEST_F(UnitFrmMainTest, FilesDroppedOntoTheListAreAddedButNotDuringARun) {
  const std::string a = Clip("a.avi");
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  form.show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(a))});
  const auto drop = [&] {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.Lvw->viewport(), &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.Lvw->viewport(), &event);
  };
  drop();
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
  ASSERT_EQ(form.Lvw->rowCount(), 1);
  EXPECT_EQ(Text(form, 0, lcPath), a);
  form.BtnStartClick();
  drop();
  form.Lvw->selectRow(0);
  QTest::keyClick(form.Lvw, Qt::Key_Delete);
  EXPECT_EQ(form.Lvw->rowCount(), 1);
  ASSERT_TRUE(WaitFor([&] { return !form.Running(); }));
}

TEST_F(UnitFrmMainTest, ClosingSavesTheChoicesAndCustomOnesInTheirOwnSection) {
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    form.SetGroupIndex(0);
    form.close();
  }
  std::string options = ReadTextFile(OptionsFilePath());
  EXPECT_NE(options.find("OutputPath=" + output_), std::string::npos);
  EXPECT_NE(options.find("RgpProfiles=0"), std::string::npos);
  EXPECT_NE(options.find("CboProfiles=0"), std::string::npos);

  WriteOptions(output_, 1, 2);  // "[Custom]" of MP4
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.CboProfiles->currentText(), "[Custom]");
    form.EdtOutputFolder->setText("/elsewhere/");
    form.close();
  }
  // The section "Options" keeps the last named profile (and gains the window's place); the
  // hand-set choices have a section of their own.
  options = ReadTextFile(OptionsFilePath());
  EXPECT_NE(options.find("OutputPath=" + output_ + "\nRgpProfiles=1\nCboProfiles=2\n"),
            std::string::npos);
  EXPECT_NE(options.find("[Custom]\nChosen=1\nOutputPath=/elsewhere/\nRgpProfiles=1\n"),
            std::string::npos);
}

TEST_F(UnitFrmMainTest, ConvertWithoutFilesAsksForThem) {
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  form.BtnStartClick();
  EXPECT_FALSE(form.Running());
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Caption, "Information");
  EXPECT_EQ(boxes_.Boxes()[0].Text, "Please select files to be converted.");
}

TEST_F(UnitFrmMainTest, AWholeRunConvertsEveryFileToCompleted) {
  const std::string a = Clip("a.avi");
  const std::string b = Clip("b.avi");
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({a, b, a}));
  ASSERT_EQ(form.Lvw->rowCount(), 3);
  form.EdtOutputFolder->setText(QString::fromStdString(output_ + "new/deeper/"));
  form.BtnStartClick();
  EXPECT_TRUE(form.Running());
  EXPECT_EQ(form.BtnStart->text(), "Stop");
  EXPECT_FALSE(form.BtnAdd->isEnabled());
  EXPECT_FALSE(form.BtnAddFolder->isEnabled());
  EXPECT_FALSE(form.GBOutput->isEnabled());
  EXPECT_TRUE(form.Lvw->isEnabled());
  EXPECT_FALSE(form.LblProgress->isHidden());

  ASSERT_TRUE(WaitFor([&] { return !form.Running(); }));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(Text(form, row, lcStatus), "Completed");
  EXPECT_EQ(form.BtnStart->text(), "Convert");
  EXPECT_TRUE(form.BtnAdd->isEnabled());
  EXPECT_TRUE(form.BtnAddFolder->isEnabled());
  EXPECT_TRUE(form.LblProgress->isHidden());
  ASSERT_TRUE(WaitFor([&] { return !boxes_.Boxes().empty(); }));
  EXPECT_EQ(boxes_.Boxes().back().Caption, "Information");
  EXPECT_EQ(boxes_.Boxes().back().Text, "File conversion process finished.");
  EXPECT_EQ(boxes_.Boxes().back().Icon, QMessageBox::Information);

  const std::string folder = output_ + "new/deeper/";
  EXPECT_EQ(Text(form, 2, lcOutputFilename), "a(1).mp4");
  BindMediaLibrariesForTest();
  for (const char* name : {"a.mp4", "b.mp4", "a(1).mp4"}) {
    const TMediaInfo info = ReadMediaInfo(folder + name);
    ASSERT_TRUE(info.opened) << name;
    ASSERT_NE(info.FirstOfType(0), nullptr) << name;
    EXPECT_EQ(info.FirstOfType(0)->codec, AV_CODEC_ID_MPEG4);
    EXPECT_NEAR(info.FirstOfType(0)->packets, 25, 2);
  }
}

TEST_F(UnitFrmMainTest, AFileThatFailsAtStartKeepsItsRowAndTheOthersAreMarkedRight) {
  const std::string gone = Clip("gone.avi");
  const std::string b = Clip("b.avi");
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({gone, b}));
  ASSERT_EQ(form.Lvw->rowCount(), 2);
  fs::remove(gone);
  form.BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return !form.Running(); }));
  EXPECT_EQ(form.Lvw->rowCount(), 2);
  // The row says why, the whole text in its tooltip; the run's summary is the one box.
  const std::string reason = gone + ": no such file or directory";
  EXPECT_EQ(form.RowState(0), TRowState::rsFailed);
  EXPECT_EQ(Text(form, 0, lcStatus), "Failed: no such file or directory");
  EXPECT_EQ(form.Lvw->item(0, lcStatus)->toolTip().toStdString(),
            "Convertion of file \"" + gone + "\" is not supported. " + reason);
  EXPECT_EQ(Text(form, 1, lcStatus), "Completed");
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Caption, "Information");
  EXPECT_EQ(boxes_.Boxes()[0].Text, "File conversion process finished.");
  EXPECT_EQ(boxes_.Boxes()[0].Icon, QMessageBox::Warning);
  EXPECT_TRUE(form.BtnAdd->isEnabled());
}

TEST_F(UnitFrmMainTest, AnOutputFolderThatBecameAFileSinceAddingRefusesTheRun) {
  const std::string a = Clip("a.avi");
  const std::string b = Clip("b.avi");
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({a, b}));
  ASSERT_EQ(form.Lvw->rowCount(), 2);
  const std::string folder = output_.substr(0, output_.size() - 1);
  fs::remove_all(folder);
  WriteTextFile(folder, "x");
  form.BtnStartClick();
  ASSERT_TRUE(WaitFor([&] { return !form.Running(); }));
  // One box with the reason, before any file is touched.
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Caption, "Error");
  EXPECT_EQ(boxes_.Boxes()[0].Text,
            "Cannot write into the output folder \"" + output_ + "\": Not a directory");
  for (int row = 0; row < 2; ++row) EXPECT_EQ(Text(form, row, lcStatus), "");
  EXPECT_TRUE(form.BtnAdd->isEnabled());
  EXPECT_EQ(ReadTextFile(folder), "x");
}

TEST_F(UnitFrmMainTest, ARunOfManyRowsConvertsEveryOneWithFewOpenFilesAllowed) {
  constexpr int kRows = 120;
  const std::string tiny = Clip("tiny.avi", 5);
  QStringList files;
  for (int i = 0; i < kRows; ++i) {
    const std::string copy = media_.File("in" + std::to_string(i) + ".avi");
    fs::copy_file(tiny, copy);
    files << QString::fromStdString(copy);
  }
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  {
    // Far fewer than two per row: adding and converting must not keep rows' files open.
    TOpenFileLimit limit(static_cast<unsigned long>(HighestOpenDescriptor()) + 48);
    ASSERT_TRUE(limit.Applied());
    AddFiles(form, files);
    ASSERT_EQ(form.Lvw->rowCount(), kRows);
    EXPECT_TRUE(boxes_.Boxes().empty()) << boxes_.Boxes().front().Text;
    form.BtnStartClick();
    ASSERT_TRUE(WaitFor([&] { return !form.Running(); }, 120000));
  }
  for (int row = 0; row < kRows; ++row) EXPECT_EQ(Text(form, row, lcStatus), "Completed") << row;
  ASSERT_TRUE(WaitFor([&] { return !boxes_.Boxes().empty(); }));
  EXPECT_EQ(boxes_.Boxes().back().Text, "File conversion process finished.");
  EXPECT_EQ(boxes_.Boxes().size(), 1u);
  BindMediaLibrariesForTest();
  for (int i : {0, kRows - 1}) {
    const std::string output = output_ + "in" + std::to_string(i) + ".mp4";
    const TMediaInfo info = DecodeMediaInfo(output);
    ASSERT_TRUE(info.opened) << output;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << output;
    EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 5, 1) << output;
  }
}

TEST_F(UnitFrmMainTest, StopEndsTheRunAndLeavesAPlayablePartialFile) {
  WriteOptions(output_, 1, 1);  // the large frames keep the encoder busy
  const std::string clip = Clip("long.avi", 1500);
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  AddFiles(form, Files({clip}));
  form.BtnStartClick();
  ASSERT_TRUE(
      WaitFor([&] { return Text(form, 0, lcStatus).find("% Completed") != std::string::npos; }));
  EXPECT_EQ(form.LblProgress->text().left(14), "Current Frame=");
  form.BtnStartClick();
  EXPECT_FALSE(form.Running());
  EXPECT_EQ(Text(form, 0, lcStatus), "Stopped");
  EXPECT_EQ(form.BtnStart->text(), "Convert");
  // What the stopped task still reports changes nothing.
  QTest::qWait(300);
  EXPECT_EQ(Text(form, 0, lcStatus), "Stopped");
  EXPECT_TRUE(boxes_.Boxes().empty());

  BindMediaLibrariesForTest();
  const TMediaInfo info = ReadMediaInfo(output_ + "long.mp4");
  ASSERT_TRUE(info.opened);
  ASSERT_NE(info.FirstOfType(0), nullptr);
  EXPECT_GT(info.FirstOfType(0)->packets, 0);
  EXPECT_LT(info.FirstOfType(0)->packets, 1500);
  EXPECT_EQ(info.FirstOfType(0)->width, 1280);
}

TEST(AppErrorHandlerTest, EngineFailuresWarnAndOtherErrorsShowTheErrorIcon) {
  SetConversionFailureTest(IsEngineFailure);
  QMessageBox box;
  PrepareErrorBox(box, FFMpegException("Could not open 'x'"));
  EXPECT_EQ(box.windowTitle(), "Tovrena");
  EXPECT_EQ(box.text(), "Could not open 'x'");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  PrepareErrorBox(box, FFMpegException("Could not write header for output file #0"));
  EXPECT_EQ(box.text(), "Could not write header for output file #0.");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  PrepareErrorBox(box, std::runtime_error("Unable to write to /x/Options.ini"));
  EXPECT_EQ(box.text(), "Unable to write to /x/Options.ini.");
  EXPECT_EQ(box.icon(), QMessageBox::Critical);
}

}  // namespace
