// The window's "Read playlists" box: off for an options file that never had it, a disguised
// playlist refused when added, a playlist of its own folder listed once the box is ticked,
// and the choice kept in the options file.
#include <QCheckBox>
#include <filesystem>
#include <string>

#include "WindowTestSupport.h"

namespace {

namespace fs = std::filesystem;

class PlaylistWindowTest : public TWindowTest {
 protected:
  std::string Playlist(const std::string& name, const std::string& entry) {
    const std::string path = media_.File(name);
    WriteTextFile(
        path, "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:1.0,\n" + entry + "\n#EXT-X-ENDLIST\n");
    return path;
  }
};

TEST_F(PlaylistWindowTest, PlaylistsAreAddedOnlyWhenTheBoxIsTicked) {
  const std::string clip = Clip("part.avi");
  const std::string disguised = Playlist("holiday.avi", clip);
  const std::string playlist = Playlist("list.m3u8", "part.avi");
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_FALSE(form.ChkAllowPlaylists->isChecked());
    form.AddFiles({QString::fromStdString(disguised)});
    ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
    EXPECT_EQ(form.Lvw->rowCount(), 0);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_NE(boxes_.Boxes()[0].Text.find(
                  disguised + ": is a playlist that refers to other files; not converted"),
              std::string::npos)
        << boxes_.Boxes()[0].Text;

    form.ChkAllowPlaylists->setChecked(true);
    form.AddFiles({QString::fromStdString(playlist)});
    ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
    ASSERT_EQ(form.Lvw->rowCount(), 1);
    EXPECT_EQ(Text(form, 0, lcInputFilename), "list");
    EXPECT_EQ(boxes_.Boxes().size(), 1u);
    form.close();
  }
  EXPECT_NE(ReadTextFile(OptionsFilePath()).find("AllowPlaylists=1"), std::string::npos);
  TForm1 again(LibAVFolder());
  ASSERT_TRUE(again.FormCreate());
  EXPECT_TRUE(again.ChkAllowPlaylists->isChecked());
  EXPECT_TRUE(fs::is_empty(output_));
}

}  // namespace
