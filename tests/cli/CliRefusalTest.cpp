// tovrena-cli with settings and option lines that cannot be used as given: each stops with
// the file, key or option and the reason, and nothing converts with what was not asked for.
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

constexpr int kClipFrames = 25;

class CliRefusalTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    TClipRecipe recipe;
    recipe.frames = kClipFrames;
    recipe.audioSeconds = 1;
    MakeClip(Clip("clip.avi"), recipe);
  }

  // convert of the clip with the AVI group's first profile ("Small MPEG-4") and more.
  TCliResult Convert(std::vector<std::string> more) const {
    std::vector<std::string> arguments = {"convert", "-g", "AVI", "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(Clip("clip.avi"));
    return home.Run(arguments);
  }

  bool NoOutput() const { return !fs::exists(output) || fs::is_empty(output); }
};

TEST_F(CliRefusalTest, OptionNamesNoOneKnowsAreRefusedBeforeAnyFileIsTouched) {
  TCliResult result = Convert({"--option", "nosuchoption=5"});
  EXPECT_EQ(result.exitCode, 2) << result.err;
  EXPECT_NE(result.err.find("--option: unknown option 'nosuchoption' (neither the engine nor "
                            "the media libraries know it)"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(NoOutput());

  const std::string huge(100 * 1024, 'x');
  result = Convert({"--option", huge + "=1"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("unknown option '" + huge.substr(0, 60) + "...'"), std::string::npos);
  EXPECT_LT(result.err.size(), 1000u);
  EXPECT_TRUE(NoOutput());
}

TEST_F(CliRefusalTest, AValueTheLibrariesRefuseFailsTheFileWithTheirReason) {
  const TCliResult result = Convert({"--option", "g=abc"});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  const std::string reason = "cannot convert: Invalid value 'abc' for option g: Invalid argument";
  EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("Failed " + Clip("clip.avi") + ": " + reason), std::string::npos)
      << result.out;
  EXPECT_TRUE(NoOutput());
}

TEST_F(CliRefusalTest, ThreadsAsAnOptionLineIsTheThreadsSetting) {
  TCliResult result = Convert({"--option", "threads=2"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(result.err.find("TODO"), std::string::npos) << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "clip.avi");
  ASSERT_TRUE(info.opened);
  ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kClipFrames);

  result = home.Run({"convert", "--option", "threads=many", Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("--option threads needs a whole number from 0 to 64, not 'many'"),
            std::string::npos)
      << result.err;
  EXPECT_NE(home.Run({"--help"}).out.find("threads=N is the"), std::string::npos);
}

TEST_F(CliRefusalTest, ACodecTheCatalogueCannotResolveFailsEachFileAndAutoStillConverts) {
  const std::string catalogue = home.SettingsFolder() + "codec.ini";
  const std::string prefix =
      "codec 'MPEG-4 Part 2' of profile 'Small MPEG-4' is not in the "
      "codec catalogue (" +
      catalogue + ": ";
  fs::remove(catalogue);
  TCliResult result = Convert({});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.err.find(prefix + "No such file or directory)"), std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("Failed " + Clip("clip.avi") + ": cannot convert: " + prefix),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(NoOutput());

  WriteTextFile(catalogue, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  result = Convert({});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(prefix + "not a settings file (line 1: "), std::string::npos)
      << result.err;
  EXPECT_TRUE(NoOutput());

  result = Convert({"--set", "VideoCodec=Auto", "--set", "AudioCodec=Auto"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(DecodeMediaInfo(output + "clip.avi").opened);
}

TEST_F(CliRefusalTest, AGroupFileThatCannotBeReadSaysWhyAndConvertsNothing) {
  const std::string group = home.SettingsFolder() + "AVI.ini";
  fs::remove(group);
  fs::create_symlink(group, group);
  const std::string why = "Cannot read " + group + ": Too many levels of symbolic links";
  TCliResult result = Convert({});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(why), std::string::npos) << result.err;
  EXPECT_TRUE(NoOutput());
  result = home.Run({"profiles", "AVI"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(why), std::string::npos) << result.err;
  // Values set by hand are the user's choice and need nothing of the file.
  result = Convert({"-p", "[Custom]", "--set", "VideoSizeOption=Custom...", "--set",
                    "VideoCustomWidth=96", "--set", "VideoCustomHeight=72"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(DecodeMediaInfo(output + "clip.avi").opened);
}

TEST_F(CliRefusalTest, TheWindowsLastChoiceIsNotGuessedWhenItsFileCannotBeRead) {
  const std::string options = home.ConfigFolder() + "/Tovrena/Options.ini";
  fs::create_symlink(options, options);
  TCliResult result = home.Run({"convert", Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("Cannot read " + options + ": Too many levels of symbolic links"),
            std::string::npos)
      << result.err;
  // Everything it would have given is on the command line: it is not needed.
  result = Convert({"-p", "Small MPEG-4"});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

TEST_F(CliRefusalTest, ValuesTheEncodersCannotTakeAreRefusedWithTheirRange) {
  std::string group = ReadTextFile(home.SettingsFolder() + "AVI.ini");
  group.replace(group.find("VideoBitrate=400"), 16, "VideoBitrate=-5");
  WriteTextFile(home.SettingsFolder() + "AVI.ini", group);
  TCliResult result = Convert({});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("VideoBitrate -5: must be from 1 to 2147483 kbit/s"), std::string::npos)
      << result.err;
  EXPECT_TRUE(NoOutput());

  result = Convert({"--set", "VideoBitrate=400", "--set", "VideoFrameRateOption=1000000"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("VideoFrameRateOption 1000000: must be from 1 to 1000 fps"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(NoOutput());
}

TEST_F(CliRefusalTest, EveryProfileValueThatCannotBeReadIsRefusedUpFront) {
  const struct {
    const char* setting;
    const char* message;
  } cases[] = {
      {"VideoFrameRateOption=25abc", "VideoFrameRateOption 25abc: must be Original, a rate"},
      {"VideoSizeOption=Huge", "VideoSizeOption Huge: must be Original, Custom... or a size"},
      {"TargetType=../avi", "TargetType ../avi: must be an output file's extension"},
      {"OOTargetType=ttBluRay", "OOTargetType ttBluRay: must be empty or one of"},
      {"OONormType=ntSECAM", "OONormType ntSECAM: must be empty or one of"},
  };
  for (const auto& bad : cases) {
    const TCliResult result = Convert({"--set", bad.setting});
    EXPECT_EQ(result.exitCode, 2) << bad.setting << result.out << result.err;
    EXPECT_NE(result.err.find(bad.message), std::string::npos) << result.err;
    EXPECT_TRUE(NoOutput()) << bad.setting;
  }
  // The rates the libraries know by name still convert.
  const TCliResult named = Convert({"--set", "VideoFrameRateOption=pal"});
  EXPECT_EQ(named.exitCode, 0) << named.out << named.err;
}

}  // namespace

namespace {

TEST_F(CliRefusalTest, APictureSizeBeyondTheLibrariesIsNamedNotAnUnrelatedCode) {
  // The libraries refuse the size in their log and return a code that reads "busy".
  const std::string huge = folder.File("huge.y4m");
  WriteTextFile(huge, "YUV4MPEG2 W65535 H65535 F25:1 Ip A1:1 C420jpeg\nFRAME\nshort");
  const TCliResult result = home.Run({"convert", "-g", "AVI", "-o", output, huge});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(
      result.err.find(huge + ": Error while opening file: Picture size 65535x65535 is invalid"),
      std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("busy"), std::string::npos) << result.err;
  EXPECT_TRUE(NoOutput());
}

}  // namespace
