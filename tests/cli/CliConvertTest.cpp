// tovrena-cli convert run as a program: the window's last choice, profile overrides and
// engine options, several files at once, output names, failures and Ctrl+C.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

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
// Long enough that the first progress report (after a second) comes early in the file.
constexpr int kLongClipFrames = 6000;

TClipRecipe ClipRecipe(int frames) {
  TClipRecipe recipe;
  recipe.frames = frames;
  recipe.audioSeconds = frames / 25.0;
  return recipe;
}

class CliConvertTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    MakeClip(Clip("clip.avi"), ClipRecipe(kClipFrames));
    MakeClip(Clip("long.avi"), ClipRecipe(kLongClipFrames));
    TClipRecipe lost = ClipRecipe(kClipFrames);  // H.264 that lost its decoder set-up
    lost.videoCodec = AV_CODEC_ID_H264;
    lost.undecodableVideo = true;
    MakeClip(Clip("lost.ts"), lost);
  }
};

TEST_F(CliConvertTest, GroupAndProfileDefaultToTheWindowsLastChoice) {
  home.WriteLastChoice(0, 1, output);  // AVI, "Tiny MPEG-4"
  const TCliResult last = home.Run({"convert", Clip("clip.avi")});
  ASSERT_EQ(last.exitCode, 0) << last.out << last.err;
  EXPECT_NE(last.out.find("Converting with AVI / Tiny MPEG-4 into " + output), std::string::npos)
      << last.out;
  const TMediaInfo tiny = ReadMediaInfo(output + "clip.avi");
  ASSERT_TRUE(tiny.opened);
  ASSERT_NE(tiny.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(tiny.FirstOfType(AVMEDIA_TYPE_VIDEO)->width, 96);

  // Another group starts at its first profile, as choosing it in the window does.
  const TCliResult other = home.Run({"convert", "--group", "mp4", Clip("clip.avi")});
  ASSERT_EQ(other.exitCode, 0) << other.out << other.err;
  EXPECT_NE(other.out.find("MP4 / MP4 Small"), std::string::npos) << other.out;
  const TMediaInfo mp4 = ReadMediaInfo(output + "clip.mp4");
  ASSERT_TRUE(mp4.opened);
  ASSERT_NE(mp4.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(mp4.FirstOfType(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC);
}

TEST_F(CliConvertTest, ProfileOverridesAndEngineOptionsReachTheEngine) {
  const TCliResult result = home.Run({"convert", "-g", "AVI", "-p", "small mpeg-4", "-o", output,
                                      "--set", "VideoCustomWidth=128", "--set=videocustomheight=96",
                                      "--option", "an", "--option=t=1", Clip("clip.avi")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = ReadMediaInfo(output + "clip.avi");
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->width, 128);
  EXPECT_EQ(video->height, 96);
  EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);  // "an"
  EXPECT_LE(video->packets, 26);                             // "t=1": one second of 25 fps
  EXPECT_GE(video->packets, 20);
}

TEST_F(CliConvertTest, TwoJobsConvertFourFilesEachOnceWithTheWindowsNames) {
  // Names already taken in the output folder are skipped, and so are those given to
  // earlier files of the same run; the files there are never touched.
  fs::create_directories(output);
  WriteTextFile(output + "clip.avi", "keep 0");
  WriteTextFile(output + "clip(1).avi", "keep 1");
  const std::vector<std::string> inputs = {CopyOfClip("a/clip.avi"), CopyOfClip("b/clip.avi"),
                                           CopyOfClip("c/other.avi"), CopyOfClip("d/clip.AVI")};
  std::vector<std::string> arguments = {"convert", "-g", "AVI",       "-o", output,
                                        "--jobs",  "2",  "--threads", "0"};
  arguments.insert(arguments.end(), inputs.begin(), inputs.end());
  const TCliResult result = home.Run(arguments);
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

  const std::vector<std::string> expected = {"clip(2).avi", "clip(3).avi", "other.avi",
                                             "clip(4).avi"};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string tag = "[" + std::to_string(i + 1) + "/4] ";
    EXPECT_EQ(CountOf(result.out, tag + "completed "), 1) << result.out;
    EXPECT_EQ(CountOf(result.out, tag + "started "), 1) << result.out;
    EXPECT_NE(result.out.find(tag + "completed " + inputs[i] + " -> " + output + expected[i]),
              std::string::npos)
        << result.out;
    const TMediaInfo info = DecodeMediaInfo(output + expected[i]);
    ASSERT_TRUE(info.opened) << expected[i];
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kClipFrames) << expected[i];
  }
  EXPECT_NE(result.out.find("4 files: 4 completed"), std::string::npos) << result.out;
  EXPECT_EQ(ReadTextFile(output + "clip.avi"), "keep 0");
  EXPECT_EQ(ReadTextFile(output + "clip(1).avi"), "keep 1");
}

TEST_F(CliConvertTest, FilesThatCannotBeConvertedFailAloneAndExitWithOne) {
  const std::string notMedia = folder.File("notes.avi");
  WriteTextFile(notMedia, "not a video\n");
  const std::string missing = folder.File("missing.avi");
  const TCliResult result =
      home.Run({"convert", "-g", "AVI", "-o", output, missing, notMedia, Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.err.find(missing + ": not supported: " + missing + ": no such file"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(notMedia + ": not supported"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("[3/3] completed"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("3 files: 1 completed, 2 failed"), std::string::npos) << result.out;
  EXPECT_EQ(ReadTextFile(notMedia), "not a video\n");
  EXPECT_FALSE(fs::exists(output + "missing.avi"));
  EXPECT_FALSE(fs::exists(output + "notes.avi"));
  EXPECT_TRUE(ReadMediaInfo(output + "clip.avi").opened);
}

TEST_F(CliConvertTest, AFirstFileWhoseVideoNeverDecodesFailsAloneAndTheRestConverts) {
  for (const char* group : {"AVI", "MP4"}) {
    const TCliResult result =
        home.Run({"convert", "-g", group, "-o", output, Clip("lost.ts"), Clip("clip.avi")});
    EXPECT_EQ(result.exitCode, 1) << group << result.out << result.err;
    EXPECT_NE(result.err.find("no picture could be decoded from stream #0:0"), std::string::npos)
        << group << result.err;
    EXPECT_NE(result.out.find("2 files: 1 completed, 1 failed"), std::string::npos)
        << group << result.out;
    const TMediaInfo info = DecodeMediaInfo(output + (group[0] == 'A' ? "clip.avi" : "clip.mp4"));
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << group;
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kClipFrames) << group;
  }
}

TEST_F(CliConvertTest, AFileThatOpensButDecodesToNothingFailsAndLeavesNoOutput) {
  // The header promises raw pictures; not one of them is there.
  const std::string hollow = folder.File("hollow.y4m");
  WriteTextFile(hollow, "YUV4MPEG2 W320 H240 F25:1 Ip A1:1 C420jpeg\nFRAME\nshort");
  const TCliResult result = home.Run({"convert", "-g", "MP4", "-o", output, hollow});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.err.find("nothing could be converted"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("1 file: 1 failed"), std::string::npos) << result.out;
  EXPECT_TRUE(fs::is_empty(output)) << "an output without data was left";
}

TEST_F(CliConvertTest, CtrlCStopsCleanlyKeepsAPlayableBeginningAndExitsWith130) {
  bool interrupted = false;
  const TCliResult result =
      home.Run({"convert", "-g", "AVI", "-o", output, "--set", "VideoCustomWidth=720", "--set",
                "VideoCustomHeight=576", Clip("long.avi"), Clip("long.avi")},
               [&interrupted](const std::string& out, int pid) {
                 // Once pictures were written: a stop before the first one rightly leaves no file.
                 static const std::regex kConverting(R"(\[1/2\] progress .* frame=[1-9])");
                 if (!interrupted && std::regex_search(out, kConverting)) {
                   interrupted = true;
                   ::kill(pid, SIGINT);
                 }
               });
  ASSERT_TRUE(interrupted) << result.out << result.err;
  EXPECT_EQ(result.exitCode, 130) << result.out << result.err;
  EXPECT_NE(result.out.find("[1/2] stopped "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("[2/2] not started "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("2 files: 1 stopped, 1 not started"), std::string::npos) << result.out;

  // The stopped file has its trailer: it opens and decodes up to where it stopped.
  const TMediaInfo stopped = DecodeMediaInfo(output + "long.avi");
  ASSERT_TRUE(stopped.opened);
  const TStreamInfo* video = stopped.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_GT(video->decodedFrames, 0);
  EXPECT_LT(video->decodedFrames, kLongClipFrames);
  // The file that never started leaves no empty output behind.
  EXPECT_FALSE(fs::exists(output + "long(1).avi"));
}

}  // namespace
