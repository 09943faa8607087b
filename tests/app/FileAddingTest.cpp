// Adding files to the main window: folders, the gathered refusals, long lists added while
// the window keeps running, and what Convert and Clear do while files are being checked.
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <string>

#include "WindowTestSupport.h"
#include "app/FileAdder.h"

namespace {

namespace fs = std::filesystem;

class FileAddingTest : public TWindowTest {
 protected:
  // count copies of one short clip, named in0.avi, in1.avi, ...
  QStringList Copies(int count, int frames) {
    const std::string clip = Clip("copies/clip.avi", frames);
    QStringList files;
    for (int i = 0; i < count; ++i) {
      const std::string copy = media_.File("copies/in" + std::to_string(i) + ".avi");
      fs::copy_file(clip, copy);
      files << QString::fromStdString(copy);
    }
    fs::remove(clip);
    return files;
  }
};

TEST(FileAdderNames, FoldersGiveTheirMediaFilesOnly) {
  EXPECT_TRUE(IsMediaFileName("a/b/clip.MKV"));
  EXPECT_TRUE(IsMediaFileName("song.mp3"));
  EXPECT_FALSE(IsMediaFileName("notes.txt"));
  EXPECT_FALSE(IsMediaFileName("avi"));
}

TEST_F(FileAddingTest, AFolderAddsItsMediaFilesInOrderAndRefusalsComeInOneBox) {
  const std::string first = Clip("first.avi");
  const std::string folder = media_.File("in");
  Clip("in/clip10.avi");
  Clip("in/clip2.avi");
  Clip("in/sub/deep.avi");
  WriteTextFile(folder + "/notes.txt", "not media, skipped");
  WriteTextFile(folder + "/broken.avi", "no media inside");
  WriteTextFile(folder + "/bad.mp3", "no media inside either");
  const std::string last = Clip("last.avi");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.AddFiles({QString::fromStdString(first), QString::fromStdString(folder),
                 QString::fromStdString(last)});
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));

  std::string order;
  for (int row = 0; row < form.Lvw->rowCount(); ++row) {
    order += Text(form, row, lcInputFilename) + " ";
    EXPECT_EQ(Text(form, row, lcDuration), "00:00:01") << row;
  }
  EXPECT_EQ(order, "first clip2 clip10 deep last ");
  EXPECT_EQ(Text(form, 3, lcPath), folder + "/sub/deep.avi");
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  const TWindowBoxes::TBox& box = boxes_.Boxes()[0];
  EXPECT_EQ(box.Caption, "Error");
  EXPECT_EQ(box.Text.rfind("2 files were not added:\n", 0), 0u) << box.Text;
  for (const std::string& refused : {folder + "/broken.avi", folder + "/bad.mp3"}) {
    EXPECT_NE(
        box.Text.find("Convertion of file \"" + refused + "\" is not supported. " + refused + ": "),
        std::string::npos)
        << box.Text;
    EXPECT_NE(box.Details.find(refused), std::string::npos);
  }
  EXPECT_EQ(box.Text.find("notes.txt"), std::string::npos);
  // Checking left nothing behind.
  EXPECT_TRUE(fs::is_empty(output_));
}

TEST_F(FileAddingTest, FiveThousandFilesAreAllListedWhileTheWindowKeepsRunning) {
  constexpr int kFiles = 5000;
  const QStringList files = Copies(kFiles, 3);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  int ticks = 0;
  QTimer beat;
  beat.setInterval(10);
  QObject::connect(&beat, &QTimer::timeout, [&] { ++ticks; });
  beat.start();
  form.AddFiles(files);
  EXPECT_TRUE(form.Adding());
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }, 240000));
  // The event loop kept going while the files were listed and checked.
  EXPECT_GT(ticks, 0);
  ASSERT_EQ(form.Lvw->rowCount(), kFiles);
  for (int row = 0; row < kFiles; ++row) {
    ASSERT_EQ(Text(form, row, lcPath), files[row].toStdString());
    ASSERT_EQ(Text(form, row, lcDuration), "00:00:00") << row;
    ASSERT_EQ(Text(form, row, lcOutputFilename), "in" + std::to_string(row) + ".mp4") << row;
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
  EXPECT_TRUE(fs::is_empty(output_));
}

TEST_F(FileAddingTest, ConvertDuringAnAddStartsWhenEveryFileIsInAndConvertsThemAll) {
  const QStringList files = Copies(6, 10);
  TForm1 form(LibAVFolder());
  form.NotifyDesktop = nullptr;  // the run's end reaches no desktop bus
  ASSERT_TRUE(form.FormCreate());
  form.AddFiles(files);
  form.BtnStartClick();
  EXPECT_FALSE(form.Running());
  ASSERT_TRUE(WaitFor([&] { return form.Running(); }));
  EXPECT_EQ(form.Lvw->rowCount(), 6);
  ASSERT_TRUE(WaitFor([&] { return !form.Running(); }, 120000));
  for (int row = 0; row < 6; ++row) EXPECT_EQ(Text(form, row, lcStatus), "Completed") << row;
  BindMediaLibrariesForTest();
  for (int i = 0; i < 6; ++i) {
    const TMediaInfo info = DecodeMediaInfo(output_ + "in" + std::to_string(i) + ".mp4");
    ASSERT_TRUE(info.opened) << i;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << i;
    EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, 10, 1) << i;
  }
}

TEST_F(FileAddingTest, RowsMovedOrClearedWhileBeingCheckedLeaveNothingBehind) {
  const QStringList files = Copies(300, 3);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.AddFiles(files);
  ASSERT_TRUE(WaitFor([&] { return form.Lvw->rowCount() >= 2; }));
  // A moved row keeps its check: it still gets its duration.
  form.Lvw->selectRow(0);
  form.BtnMoveDownClick();
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }, 120000));
  EXPECT_EQ(Text(form, 1, lcPath), files[0].toStdString());
  EXPECT_EQ(Text(form, 1, lcDuration), "00:00:00");

  form.AddFiles(files);
  ASSERT_TRUE(WaitFor([&] { return form.Lvw->rowCount() > 300; }));
  form.BtnClearClick();
  EXPECT_FALSE(form.Adding());
  EXPECT_EQ(form.Lvw->rowCount(), 0);
  form.close();  // waits for the checks still running
  EXPECT_TRUE(fs::is_empty(output_));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

}  // namespace
