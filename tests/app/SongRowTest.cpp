// A song with its cover picture added to the main window: the row tells the cover, and the
// check that adding makes passes for a video group whose container keeps the cover.
#include <QTableWidget>
#include <string>

#include "TestMediaCover.h"
#include "WindowTestSupport.h"

namespace {

class SongRowTest : public TWindowTest {};

TEST_F(SongRowTest, ASongsTypeCellTellsItsCoverPicture) {
  BindMediaLibrariesForTest();
  const std::string song = media_.File("song.mp3");
  ASSERT_NO_FATAL_FAILURE(MakeSongWithCover(song, {1, AV_CODEC_ID_MP3, 44100, 700, 700}));
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.AddFiles({QString::fromStdString(song)});
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
  ASSERT_EQ(form.Lvw->rowCount(), 1) << (boxes_.Boxes().empty() ? "" : boxes_.Boxes()[0].Text);
  EXPECT_EQ(Text(form, 0, lcType), "MP3");
  EXPECT_EQ(form.Lvw->item(0, lcType)->toolTip().toStdString(), "cover picture (JPEG, 700x700)");
  EXPECT_EQ(Text(form, 0, lcDuration), "00:00:01");
}

}  // namespace
