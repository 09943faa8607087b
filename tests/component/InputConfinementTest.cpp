// An input reads only itself: the window's check of an added file refuses a playlist under
// any name, and a playlist the user allowed reaches only files inside its own folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "ComponentTestSupport.h"
#include "engine/InputConfinement.h"

namespace {

namespace fs = std::filesystem;

class InputConfinementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    fs::create_directories(folder.Path() / "drop" / "sub");
    fs::create_directories(folder.Path() / "private");
    fs::copy_file(TComponentClips::Get().Clip(0), Drop("part.avi"));
    fs::copy_file(TComponentClips::Get().Clip(0), Private());
    WriteTextFile(Drop("holiday.avi"), "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:2.0,\n" +
                                           Private() + "\n#EXT-X-ENDLIST\n");
    WriteTextFile(Drop("inside.m3u8"),
                  "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:2.0,\npart.avi\n#EXT-X-ENDLIST\n");
  }

  std::string Drop(const std::string& name) const { return folder.File("drop/" + name); }
  std::string Private() const { return folder.File("private/secret.avi"); }

  TFileCheck Check(const std::string& file, bool allowPlaylists) {
    TInputOptions input;
    input.FileName = file;
    input.AllowPlaylists = allowPlaylists;
    TOutputOptions output;
    output.VideoCodec = "mpeg4";
    output.AudioCodec = "mp2";
    output.FileName = folder.File("out-" + std::to_string(++outputs) + ".avi");
    return converter.CheckFile(input, output);
  }

  TTestConverter converter;
  TTempFolder folder;
  int outputs = 0;
};

TEST_F(InputConfinementTest, TheWindowsCheckAndTheProbeRefuseADisguisedPlaylist) {
  const TFileCheck check = Check(Drop("holiday.avi"), false);
  EXPECT_EQ(check.FailedStep, tsInput);
  EXPECT_EQ(
      check.Reason.rfind(
          Drop("holiday.avi") + ": is a playlist that refers to other files; not converted", 0),
      0u)
      << check.Reason;
  TAVProbe probe;
  EXPECT_FALSE(probe.Open(Drop("holiday.avi"), ""));
  EXPECT_NE(probe.LastError().find("is a playlist that refers to other files"), std::string::npos);
  // Allowed, the reference outside the folder is still not read: nothing to convert.
  const TFileCheck outside = Check(Drop("holiday.avi"), true);
  EXPECT_EQ(outside.FailedStep, tsInput);
  EXPECT_EQ(outside.Reason.rfind(Drop("holiday.avi") +
                                     ": refers to files outside its folder, which are not read; "
                                     "not converted (",
                                 0),
            0u)
      << outside.Reason;

  const TFileCheck inside = Check(Drop("inside.m3u8"), true);
  EXPECT_TRUE(inside.Passed()) << inside.Reason;
  EXPECT_FALSE(Check(Drop("inside.m3u8"), false).Passed());
  // An ordinary file is opened as ever.
  EXPECT_TRUE(Check(Drop("part.avi"), false).Passed());
}

TEST_F(InputConfinementTest, OnlyLocalFilesInsideThePlaylistsFolderAreReachable) {
  fs::copy_file(Drop("part.avi"), Drop("sub/deeper.avi"));
  fs::create_symlink(Private(), Drop("out.avi"));
  fs::create_symlink("part.avi", Drop("in.avi"));
  const std::string playlist = "file:" + Drop("list.m3u8");
  const fs::path realPart = fs::canonical(Drop("part.avi"));
  EXPECT_EQ(PathInsidePlaylistFolder(playlist, "file:" + Drop("part.avi")), realPart.string());
  EXPECT_EQ(PathInsidePlaylistFolder(playlist, "file:" + Drop("in.avi")), realPart.string());
  EXPECT_FALSE(PathInsidePlaylistFolder(playlist, "file:" + Drop("sub/deeper.avi")).empty());
  for (const std::string& outside : std::vector<std::string>{
           "file:" + Private(), "file:" + Drop("../private/secret.avi"), "file:" + Drop("out.avi"),
           "file:/etc/passwd", "file:" + Drop("missing.avi"), "file:" + Drop("sub"),
           "http://example.com/x.ts", "crypto+file:" + Drop("part.avi"), Drop("part.avi"),
           "subfile,,start,0,end,10,,:" + Drop("part.avi")}) {
    EXPECT_EQ(PathInsidePlaylistFolder(playlist, outside), "") << outside;
  }
  // A playlist named relative to the working folder has that folder's files.
  const fs::path here = fs::current_path();
  fs::current_path(folder.Path() / "drop");
  EXPECT_EQ(PathInsidePlaylistFolder("file:list.m3u8", "file:part.avi"), realPart.string());
  EXPECT_EQ(PathInsidePlaylistFolder("list.m3u8", "file:../private/secret.avi"), "");
  fs::current_path(here);
}

}  // namespace
