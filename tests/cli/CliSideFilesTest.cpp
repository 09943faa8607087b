// The files a conversion writes beside its output (two-pass logs, vstats, the segments and
// playlists of segmenting muxers, numbered pictures): created as new files in the output's
// folder only, never over a user's file or through a link.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliMediaTest.h"
#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

namespace fs = std::filesystem;

constexpr int kClipFrames = 50;
constexpr int kSegmentedClipFrames = 150;  // six seconds: three segments of two

TClipRecipe ClipRecipe(int frames) {
  TClipRecipe recipe;
  recipe.frames = frames;
  recipe.audioSeconds = frames / 25.0;
  return recipe;
}

int DecodedPictures(const std::string& path) {
  const TMediaInfo info = DecodeMediaInfo(path);
  const TStreamInfo* video = info.opened ? info.FirstOfType(AVMEDIA_TYPE_VIDEO) : nullptr;
  return video ? video->decodedFrames : -1;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliSideFilesTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    MakeClip(Clip("clip.avi"), ClipRecipe(kClipFrames));
    MakeClip(Clip("long.avi"), ClipRecipe(kSegmentedClipFrames));
  }

  TCliResult Convert(std::vector<std::string> options, const std::string& input) const {
    std::vector<std::string> arguments = {"convert", "-g", "AVI", "-o", output};
    for (const std::string& option : options) {
      arguments.push_back("--option");
      arguments.push_back(option);
    }
    arguments.push_back(input);
    return home.Run(arguments);
  }

  // A user's file in the output folder, and a link there to a file of the user's elsewhere.
  void PlaceUsersFiles(const std::string& fileName, const std::string& linkName) const {
    fs::create_directories(output);
    if (!fileName.empty()) WriteTextFile(output + fileName, "the user's own file");
    if (!linkName.empty()) {
      WriteTextFile(folder.File("target.txt"), "the link's target");
      fs::create_symlink(folder.File("target.txt"), output + linkName);
    }
  }

  void ExpectUsersFilesIntact(const std::string& fileName, const std::string& linkName) const {
    if (!fileName.empty()) {
      EXPECT_EQ(ReadTextFile(output + fileName), "the user's own file");
    }
    if (!linkName.empty()) {
      EXPECT_TRUE(fs::is_symlink(output + linkName));
      EXPECT_EQ(ReadTextFile(folder.File("target.txt")), "the link's target");
    }
  }
};

TEST_F(CliSideFilesTest, TwoPassLogLivesBesideTheOutputUntilTheSecondPassHasUsedIt) {
  const TCliResult first = Convert({"pass=1"}, Clip("clip.avi"));
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  const std::string log = output + "ffmpeg2pass-0.log";
  ASSERT_TRUE(fs::exists(log));
  EXPECT_GT(fs::file_size(log), 0u);
  EXPECT_FALSE(fs::exists(fs::current_path() / "ffmpeg2pass-0.log"));
  EXPECT_EQ(DecodedPictures(output + "clip.avi"), kClipFrames);

  const TCliResult second = Convert({"pass=2"}, Clip("clip.avi"));
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_EQ(DecodedPictures(output + "clip(1).avi"), kClipFrames);
  EXPECT_FALSE(fs::exists(log));

  // Without the first pass's log the second pass says which file it looked for.
  const TCliResult alone = Convert({"pass=2"}, Clip("clip.avi"));
  EXPECT_EQ(alone.exitCode, 1);
  EXPECT_TRUE(Contains(alone.err, "creat open fail: " + log + ": No such file or directory"))
      << alone.err;
}

TEST_F(CliSideFilesTest, TwoPassLogIsNeverWrittenOverAFileThroughALinkOrElsewhere) {
  PlaceUsersFiles("ffmpeg2pass-0.log", "linked-0.log");
  const TCliResult taken = Convert({"pass=1"}, Clip("clip.avi"));
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_TRUE(Contains(taken.err, "creat file fail: " + output + "ffmpeg2pass-0.log: File exists"))
      << taken.err;
  const TCliResult linked = Convert({"pass=1", "passlogfile=linked"}, Clip("clip.avi"));
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_TRUE(Contains(linked.err, "creat file fail: " + output + "linked-0.log: File exists"))
      << linked.err;
  // A second pass does not read through a link either.
  const TCliResult readLink = Convert({"pass=2", "passlogfile=linked"}, Clip("clip.avi"));
  EXPECT_EQ(readLink.exitCode, 1);
  EXPECT_TRUE(Contains(readLink.err, "it is a link, which is not followed")) << readLink.err;
  ExpectUsersFilesIntact("ffmpeg2pass-0.log", "linked-0.log");

  const std::string elsewhere = folder.File("elsewhere");
  fs::create_directories(elsewhere);
  const TCliResult outside =
      Convert({"pass=1", "passlogfile=" + elsewhere + "/stats"}, Clip("clip.avi"));
  EXPECT_EQ(outside.exitCode, 1);
  EXPECT_TRUE(Contains(outside.err, "it lies outside the output's folder")) << outside.err;
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(CliSideFilesTest, VStatsGoBesideTheOutputAndNeverOverAFile) {
  const fs::path programFolder = fs::path(TOVRENA_CLI_PATH).parent_path();
  const TCliResult named = Convert({"vstats"}, Clip("clip.avi"));
  ASSERT_EQ(named.exitCode, 0) << named.out << named.err;
  int found = 0;
  for (const auto& entry : fs::directory_iterator(output)) {
    if (entry.path().filename().string().rfind("vstats_", 0) != 0) continue;
    ++found;
    EXPECT_EQ(CountOf(ReadTextFile(entry.path().string()), "frame="), kClipFrames);
  }
  EXPECT_EQ(found, 1);
  for (const auto& entry : fs::directory_iterator(programFolder)) {
    EXPECT_NE(entry.path().filename().string().rfind("vstats_", 0), 0u) << entry.path();
  }

  const TCliResult given = Convert({"vstats_file=stats.log"}, Clip("clip.avi"));
  ASSERT_EQ(given.exitCode, 0) << given.out << given.err;
  EXPECT_EQ(CountOf(ReadTextFile(output + "stats.log"), "frame="), kClipFrames);
  EXPECT_EQ(DecodedPictures(output + "clip(1).avi"), kClipFrames);

  PlaceUsersFiles("mine.log", "linked.log");
  for (const std::string& name : {std::string("mine.log"), std::string("linked.log")}) {
    const TCliResult refused = Convert({"vstats_file=" + output + name}, Clip("clip.avi"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(Contains(refused.err, "fopen fail: " + output + name + ": File exists"))
        << refused.err;
  }
  ExpectUsersFilesIntact("mine.log", "linked.log");
  const TCliResult outside = Convert({"vstats_file=" + folder.File("v.log")}, Clip("clip.avi"));
  EXPECT_EQ(outside.exitCode, 1);
  EXPECT_TRUE(Contains(outside.err, "it lies outside the output's folder")) << outside.err;
  EXPECT_FALSE(fs::exists(folder.File("v.log")));
}

TEST_F(CliSideFilesTest, PlaylistAndSegmentsAreNewFilesBesideTheOutput) {
  const TCliResult made = Convert({"f=hls"}, Clip("long.avi"));
  ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
  EXPECT_TRUE(fs::exists(output + "long0.ts"));
  EXPECT_TRUE(fs::exists(output + "long2.ts"));
  // The playlist, rewritten after every segment, names them all.
  EXPECT_TRUE(Contains(ReadTextFile(output + "long.avi"), "#EXT-X-ENDLIST"));
  // MPEG-4 pictures in these segments lack their set-up (the format asks for global headers,
  // which the transport stream does not carry): the sound shows that every segment plays.
  const TMediaInfo played = DecodeMediaInfo(output + "long.avi");
  const TStreamInfo* sound = played.opened ? played.FirstOfType(AVMEDIA_TYPE_AUDIO) : nullptr;
  ASSERT_NE(sound, nullptr);
  EXPECT_GT(sound->decodedSamples, sound->sampleRate * (kSegmentedClipFrames / 25 - 1));
}

TEST_F(CliSideFilesTest, SegmentsNeverReplaceAUsersFileOrWriteThroughALink) {
  PlaceUsersFiles("long0.ts", "");
  const TCliResult taken = Convert({"f=hls"}, Clip("long.avi"));
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_TRUE(Contains(taken.err, "'" + output + "long0.ts': File exists")) << taken.err;
  ExpectUsersFilesIntact("long0.ts", "");

  fs::remove_all(output);
  PlaceUsersFiles("", "long1.ts");
  const TCliResult linked = Convert({"f=hls"}, Clip("long.avi"));
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_TRUE(Contains(linked.err, "'" + output + "long1.ts': File exists")) << linked.err;
  ExpectUsersFilesIntact("", "long1.ts");

  // The segment muxer and numbered pictures alike.
  fs::remove_all(output);
  PlaceUsersFiles("part2.avi", "part1.avi");
  fs::copy_file(Clip("long.avi"), folder.File("part%d.avi"));
  const TCliResult segments = Convert({"f=segment"}, folder.File("part%d.avi"));
  EXPECT_EQ(segments.exitCode, 1);
  EXPECT_TRUE(Contains(segments.err, "'" + output + "part1.avi': File exists")) << segments.err;
  EXPECT_GT(DecodedPictures(output + "part0.avi"), 0);
  ExpectUsersFilesIntact("part2.avi", "part1.avi");

  fs::remove_all(output);
  PlaceUsersFiles("part3.avi", "");
  const TCliResult pictures = Convert({"f=image2"}, folder.File("part%d.avi"));
  EXPECT_EQ(pictures.exitCode, 1);
  EXPECT_TRUE(Contains(pictures.err, "'" + output + "part3.avi': File exists")) << pictures.err;
  EXPECT_TRUE(fs::exists(output + "part1.avi"));
  ExpectUsersFilesIntact("part3.avi", "");
}

TEST_F(CliSideFilesTest, MuxersThatRenameOrRemoveFilesAreRefusedBeforeAnythingIsWritten) {
  const struct {
    std::vector<std::string> options;
    std::string reason;
  } cases[] = {
      {{"f=tee"}, "the tee format opens its files itself"},
      {{"f=dash"}, "the dash format renames or removes files by itself"},
  };
  for (const auto& refused : cases) {
    const TCliResult result = Convert(refused.options, Clip("long.avi"));
    EXPECT_EQ(result.exitCode, 1) << refused.reason;
    EXPECT_TRUE(Contains(result.err, "Could not open '" + output + "long.avi': " + refused.reason))
        << result.err;
    EXPECT_TRUE(!fs::exists(output) || fs::is_empty(output)) << refused.reason;
  }
}

}  // namespace
