// Files that refer to other files, as someone dropping files into a shared folder would
// make them: whatever their name, probe and convert read only the file itself, and with
// --allow-playlists only the files inside the playlist's own folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliMediaTest.h"
#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

namespace fs = std::filesystem;

constexpr int kSharedFrames = 25;
constexpr int kPrivateFrames = 75;

std::string HlsPlaylist(const std::vector<std::string>& entries) {
  std::string text = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXT-X-MEDIA-SEQUENCE:0\n";
  for (const std::string& entry : entries) text += "#EXTINF:1.0,\n" + entry + "\n";
  return text + "#EXT-X-ENDLIST\n";
}

std::string Refusal(const std::string& file) {
  return file + ": is a playlist that refers to other files; not converted";
}

class CliPlaylistTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    TClipRecipe shared;
    shared.frames = kSharedFrames;
    shared.audioSeconds = 0;
    MakeClip(Clip("clip.avi"), shared);
    TClipRecipe secret = shared;
    secret.frames = kPrivateFrames;
    secret.width = 320;
    secret.height = 240;
    MakeClip(Clip("secret.avi"), secret);
  }

  void SetUp() override {
    TCliMediaTest::SetUp();
    fs::create_directories(folder.Path() / "drop");
    fs::create_directories(folder.Path() / "private");
    fs::copy_file(Clip("secret.avi"), secretPath);
  }

  std::string Drop(const std::string& name) const { return folder.File("drop/" + name); }

  TCliResult Convert(const std::string& input, std::vector<std::string> more = {}) const {
    std::vector<std::string> arguments = {"convert", "-g", "AVI", "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(input);
    return home.Run(arguments);
  }

  TCliResult Probe(const std::string& input, std::vector<std::string> more = {}) const {
    std::vector<std::string> arguments = {"probe"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(input);
    return home.Run(arguments);
  }

  bool NoOutput() const { return !fs::exists(output) || fs::is_empty(output); }

  // Probe and convert both refuse the file with the playlist message; nothing is written.
  void ExpectRefusedEverywhere(const std::string& input) const {
    SCOPED_TRACE(input);
    const TCliResult probe = Probe(input);
    EXPECT_EQ(probe.exitCode, 1) << probe.out;
    EXPECT_NE(probe.err.find(Refusal(input)), std::string::npos) << probe.err;
    EXPECT_EQ(probe.out.find("Stream"), std::string::npos) << probe.out;
    const TCliResult convert = Convert(input);
    EXPECT_EQ(convert.exitCode, 1) << convert.out;
    EXPECT_NE((convert.out + convert.err).find(Refusal(input)), std::string::npos)
        << convert.out << convert.err;
    EXPECT_TRUE(NoOutput());
  }

  const std::string secretPath = folder.File("private/secret.avi");
};

TEST_F(CliPlaylistTest, PlaylistsUnderAnyNameAreRefusedWithoutTheFlag) {
  // The disguised playlist beside another user's video, by absolute path.
  WriteTextFile(Drop("holiday.avi"), HlsPlaylist({secretPath}));
  ExpectRefusedEverywhere(Drop("holiday.avi"));
  WriteTextFile(Drop("passwd.mp4"), HlsPlaylist({"/etc/passwd"}));
  ExpectRefusedEverywhere(Drop("passwd.mp4"));
  WriteTextFile(Drop("list.avi"), "ffconcat version 1.0\nfile '" + secretPath + "'\n");
  ExpectRefusedEverywhere(Drop("list.avi"));
  WriteTextFile(Drop("stream.mpg"),
                "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=x\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                "m=video 5004 RTP/AVP 96\r\na=rtpmap:96 MP4V-ES/90000\r\n");
  ExpectRefusedEverywhere(Drop("stream.mpg"));
}

TEST_F(CliPlaylistTest, ReferencesInsideAnAllowedPlaylistStayInItsFolder) {
  fs::copy_file(Clip("clip.avi"), Drop("part1.avi"));
  fs::create_symlink(secretPath, Drop("link.avi"));
  // The one file inside the folder, then every way out of it.
  WriteTextFile(
      Drop("list.m3u8"),
      HlsPlaylist({"part1.avi", secretPath, "../private/secret.avi", "link.avi",
                   "file:" + secretPath, "crypto+file:" + secretPath,
                   "http://127.0.0.1:9/secret.avi", "subfile,,start,0,end,0,,:" + secretPath}));
  ExpectRefusedEverywhere(Drop("list.m3u8"));

  const TCliResult result = Convert(Drop("list.m3u8"), {"--allow-playlists"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo converted = DecodeMediaInfo(output + "list.avi");
  const TStreamInfo* video = converted.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  // Only the pictures of the file inside: the private video would add three times as many.
  EXPECT_GE(video->decodedFrames, kSharedFrames - 2);
  EXPECT_LE(video->decodedFrames, kSharedFrames + 2);
}

TEST_F(CliPlaylistTest, ConcatListsAreRefusedEvenWhenPlaylistsAreAllowed) {
  fs::copy_file(Clip("clip.avi"), Drop("part1.avi"));
  WriteTextFile(Drop("list.txt"), "ffconcat version 1.0\nfile 'part1.avi'\n");
  const TCliResult result = Convert(Drop("list.txt"), {"--allow-playlists"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE((result.out + result.err)
                .find(Drop("list.txt") + ": is a playlist whose references cannot be kept "
                                         "inside its folder; not converted"),
            std::string::npos)
      << result.out << result.err;
  EXPECT_TRUE(NoOutput());
}

TEST_F(CliPlaylistTest, AnImagePatternIsAPlaylistOfItsFolder) {
  TClipRecipe pictures;
  pictures.formatName = "image2";
  pictures.videoCodec = AV_CODEC_ID_PNG;
  pictures.pixelFormat = AV_PIX_FMT_RGB24;
  pictures.frames = 5;
  pictures.audioSeconds = 0;
  MakeClip(Drop("frame%03d.png"), pictures);
  ASSERT_TRUE(fs::exists(Drop("frame001.png")));
  ExpectRefusedEverywhere(Drop("frame%03d.png"));

  const TCliResult probe = Probe(Drop("frame%03d.png"), {"--allow-playlists"});
  EXPECT_EQ(probe.exitCode, 0) << probe.err;
  EXPECT_NE(probe.out.find("video, png"), std::string::npos) << probe.out;
  // A single picture is a file of its own, read as ever.
  const TCliResult single = Probe(Drop("frame001.png"));
  EXPECT_EQ(single.exitCode, 0) << single.err;
}

TEST_F(CliPlaylistTest, NestedProtocolNamesAreLocalFileNames) {
  for (const std::string& name :
       {"subfile,,start,0,end,100,,:" + secretPath, "concat:" + secretPath + "|" + secretPath,
        "crypto:" + secretPath}) {
    SCOPED_TRACE(name);
    const TCliResult probe = Probe(name);
    EXPECT_EQ(probe.exitCode, 1);
    EXPECT_NE(probe.err.find(name + ": no such file or directory"), std::string::npos) << probe.err;
    EXPECT_EQ(probe.out.find("320x240"), std::string::npos) << probe.out;
  }
}

TEST_F(CliPlaylistTest, AnAddressAsOutputFolderCreatesNothing) {
  const fs::path here = fs::current_path();
  const TCliResult result = Convert(CopyOfClip("clip.avi"), {"-o", "gopher://host/x"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("cannot write into the output folder 'gopher://host/x/': it is an "
                            "address, not a folder on this computer"),
            std::string::npos)
      << result.err;
  EXPECT_FALSE(fs::exists(here / "gopher:"));

  fs::create_symlink(folder.File("missing"), folder.File("dangling"));
  const TCliResult dangling = Convert(CopyOfClip("clip2.avi"), {"-o", folder.File("dangling")});
  EXPECT_EQ(dangling.exitCode, 1);
  EXPECT_NE(dangling.err.find("'" + folder.File("dangling") + "' is a link to '" +
                              folder.File("missing") +
                              "', which does not exist: No such file or directory"),
            std::string::npos)
      << dangling.err;
  EXPECT_FALSE(fs::exists(folder.File("missing")));
}

}  // namespace
