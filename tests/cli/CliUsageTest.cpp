// tovrena-cli's commands that only look (help, groups, profiles, probe) and its answers to
// command lines it cannot use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "frontend/UnitGeneral.h"

namespace {

class CliUsageTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe clip;
    clip.frames = 50;
    clip.audioSeconds = 2.0;
    MakeClip(Clip("clip.avi"), clip);
  }
  void SetUp() override {
    TMediaTest::SetUp();
    home.WriteTestProfiles();
  }

  // Exit status 2, nothing on stdout, and a message on stderr that names the fault.
  void ExpectUsageError(const std::vector<std::string>& arguments, const std::string& named) {
    const TCliResult result = home.Run(arguments);
    EXPECT_EQ(result.exitCode, 2) << named;
    EXPECT_EQ(result.out, "") << named;
    EXPECT_NE(result.err.find(named), std::string::npos) << result.err;
  }

  TCliHome home;
};

TEST_F(CliUsageTest, BadCommandLinesExitWithTwoAndSayWhy) {
  ExpectUsageError({}, "no command");
  ExpectUsageError({"transcode", Clip("clip.avi")}, "unknown command 'transcode'");
  ExpectUsageError({"convert"}, "no files");
  ExpectUsageError({"probe"}, "no files");
  ExpectUsageError({"profiles"}, "profiles needs one GROUP");
  ExpectUsageError({"convert", "--fast", Clip("clip.avi")}, "unknown option '--fast'");
  ExpectUsageError({"convert", "--jobs", "two", Clip("clip.avi")}, "--jobs");
  ExpectUsageError({"convert", "--threads=-1", Clip("clip.avi")}, "--threads");
  ExpectUsageError({"convert", Clip("clip.avi"), "--group"}, "--group needs a value");
  ExpectUsageError({"probe", "--jobs=2", Clip("clip.avi")}, "--jobs applies to convert only");
  ExpectUsageError({"convert", "--group=OGV", Clip("clip.avi")}, "unknown group 'OGV'");
  ExpectUsageError({"profiles", "OGV"}, "unknown group 'OGV'");
  ExpectUsageError({"convert", "--group=AVI", "--profile=Huge", Clip("clip.avi")},
                   "unknown profile 'Huge' in group AVI");
  ExpectUsageError({"convert", "--set", "Bitrate=800", Clip("clip.avi")},
                   "unknown profile key 'Bitrate'");
  ExpectUsageError({"convert", "--set", "VideoBitrate", Clip("clip.avi")}, "--set needs KEY=VALUE");
  ExpectUsageError({"convert", "--set", "AudioDisabled=yes", Clip("clip.avi")}, "AudioDisabled");
  ExpectUsageError({"convert", "--set", "AudioDisabled= + ", Clip("clip.avi")}, "AudioDisabled");
  ExpectUsageError({"convert", "--set", "VideoDisabled=  ", Clip("clip.avi")}, "VideoDisabled");
  ExpectUsageError({"convert", "--group=AVI", "--set=VideoBitrate=fast", Clip("clip.avi")},
                   "VideoBitrate");
  ExpectUsageError({"convert", "--option", "=5", Clip("clip.avi")}, "--option needs");
  ExpectUsageError({"convert", "--option", "vcodec=mpeg4\nt=1", Clip("clip.avi")}, "line break");
}

TEST_F(CliUsageTest, AProfileValueThatIsNoNumberTouchesNoFile) {
  const std::string output = folder.File("out");
  const TCliResult result = home.Run(
      {"convert", "-g", "AVI", "-s", "AudioSampleRate=high", "-o", output, Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("AudioSampleRate"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(CliUsageTest, HelpAndVersionExitWithZero) {
  for (const char* help : {"--help", "-h", "help"}) {
    const TCliResult result = home.Run({help});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("Usage: tovrena-cli COMMAND", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("Exit status:"), std::string::npos);
  }
  const TCliResult version = home.Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "tovrena-cli " TOVRENA_VERSION " (converter component 2.2)\n");
}

TEST_F(CliUsageTest, GroupsAndProfilesListWhatTheWindowShows) {
  std::string groups;
  for (const char* group : kOutputGroups) groups += std::string(group) + "\n";
  const TCliResult listed = home.Run({"groups"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.out, groups);

  EXPECT_EQ(home.Run({"profiles", "avi"}).out, "Small MPEG-4\nTiny MPEG-4\n[Custom]\n");
  // A group without a profile file still has the hand-set entry.
  const TCliResult empty = home.Run({"profiles", "FLV"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "[Custom]\n");
}

TEST_F(CliUsageTest, ProbeShowsDurationContainerAndStreams) {
  const TCliResult result = home.Run({"probe", Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(std::regex_search(result.out, std::regex(R"(Duration: +00:00:0[12]\.\d{3}\n)")))
      << result.out;
  EXPECT_NE(result.out.find("Container:  avi"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Stream 0:   video, mpeg4, 160x120, 25 fps"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Stream 1:   audio, mp2, 44100 Hz, 2 channels, 128 kbit/s"),
            std::string::npos)
      << result.out;
}

TEST_F(CliUsageTest, ProbeReportsUnreadableFilesAndGoesOn) {
  const std::string text = folder.File("notes.avi");
  WriteTextFile(text, "not a video\n");
  const TCliResult result = home.Run({"probe", folder.File("missing.avi"), text, Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(folder.File("missing.avi") + ": no such file or directory"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("notes.avi"), std::string::npos) << result.err;
  EXPECT_EQ(CountOf(result.out, "Duration:"), 1) << result.out;
  EXPECT_EQ(ReadTextFile(text), "not a video\n");
}

}  // namespace
