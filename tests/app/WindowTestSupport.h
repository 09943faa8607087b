// Helpers of the main window's tests: a settings folder with two groups and an output
// folder, modal boxes closed as soon as they are up, and waiting on the event loop.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ConfigHomeSupport.h"
#include "TestMedia.h"
#include "app/UnitFrmMain.h"
#include "app/frmMessage.h"

// Closes every modal box as soon as it is up and remembers its caption and text (with the
// informative text, details and icon of a standard box).
class TWindowBoxes {
 public:
  struct TBox {
    std::string Caption;
    std::string Text;
    std::string Details;
    std::string Informative;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
  };

  TWindowBoxes() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { CloseModal(); });
    timer_.start();
  }
  const std::vector<TBox>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }
  // The button a standard box that offers it is answered with; others are accepted.
  QMessageBox::StandardButton Answer = QMessageBox::NoButton;

 private:
  void CloseModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    TBox box;
    box.Caption = modal->windowTitle().toStdString();
    if (auto* message = qobject_cast<TfrmMsg*>(modal); message != nullptr) {
      box.Text = message->MessageLabel()->text().toStdString();
      message->close();
    } else if (auto* standard = qobject_cast<QMessageBox*>(modal); standard != nullptr) {
      box.Text = standard->text().toStdString();
      box.Details = standard->detailedText().toStdString();
      box.Informative = standard->informativeText().toStdString();
      box.Icon = standard->icon();
      if (QAbstractButton* answer = standard->button(Answer); answer != nullptr) {
        answer->click();
      } else {
        standard->accept();
      }
    } else {
      return;
    }
    boxes_.push_back(box);
  }

  QTimer timer_;
  std::vector<TBox> boxes_;
};

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

// A clip of frames pictures with as much sound, at name inside folder (subfolders made).
inline std::string MakeWindowClip(const TTempFolder& folder, const std::string& name, int frames,
                                  double audioSeconds = -1, bool undecodable = false) {
  BindMediaLibrariesForTest();
  const std::string path = folder.File(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  TClipRecipe recipe;
  recipe.frames = frames;
  recipe.audioSeconds = audioSeconds >= 0 ? audioSeconds : frames / 25.0;
  recipe.undecodableVideo = undecodable;
  MakeClip(path, recipe);
  return path;
}

// What a cell of the window's list shows.
inline std::string CellText(const TForm1& form, int row, TListColumn column) {
  const QTableWidgetItem* item = form.Lvw->item(row, column);
  return item != nullptr ? item->text().toStdString() : std::string();
}

// A settings folder with a codec catalogue and an MP4 group of one small profile, chosen;
// an output folder; clips made on demand.
class TWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string settings = home_.CreateSettingsFolder();
    WriteTextFile(settings + "codec.ini",
                  "[Video Codec]\nMPEG-4 Part 2=mpeg4\n[Audio Codec]\nAAC=aac\n");
    WriteTextFile(settings + "MP4.ini",
                  "[Small MPEG-4]\nTargetType=MP4\nVideoCodec=MPEG-4 Part 2\n"
                  "VideoSizeOption=Original\nVideoBitrate=400\nVideoFrameRateOption=25\n"
                  "AudioCodec=AAC\nAudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=96\n"
                  "[Large MPEG-4]\nTargetType=MP4\nVideoCodec=MPEG-4 Part 2\n"
                  "VideoSizeOption=Custom...\nVideoCustomWidth=1280\nVideoCustomHeight=720\n"
                  "VideoBitrate=8000\nVideoFrameRateOption=25\nAudioCodec=AAC\n"
                  "AudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=96\n");
    output_ = media_.Path().string() + "/out/";
    std::filesystem::create_directories(output_);
    ChooseProfile(0);
  }

  void ChooseProfile(int index) {
    WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + output_ +
                                         "\nRgpProfiles=1\nCboProfiles=" + std::to_string(index) +
                                         "\n");
  }

  std::string Clip(const std::string& name, int frames = 25) {
    return MakeWindowClip(media_, name, frames);
  }

  static std::string Text(const TForm1& form, int row, TListColumn column) {
    return CellText(form, row, column);
  }

  TScopedConfigHome home_;
  TTempFolder media_;
  std::string output_;
  TWindowBoxes boxes_;
};
