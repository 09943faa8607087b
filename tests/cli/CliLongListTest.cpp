// tovrena-cli over a list of thousands of files with few open files allowed: a file waiting
// for its turn holds none.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 5;

class CliLongListTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe recipe;
    recipe.frames = kFrames;
    recipe.audioSeconds = kFrames / 25.0;
    MakeClip(Clip("tiny.avi"), recipe);
  }
  void SetUp() override {
    TMediaTest::SetUp();
    home.WriteTestProfiles();
  }

  TCliHome home;
};

TEST_F(CliLongListTest, TwoThousandFilesConvertWithOnly128OpenFilesAllowed) {
  constexpr int kFiles = 2000;
  const fs::path inputs = folder.Path() / "in";
  fs::create_directories(inputs);
  std::vector<std::string> arguments = {"convert",
                                        "-g",
                                        "AVI",
                                        "-s",
                                        "VideoCodec=Auto",
                                        "-s",
                                        "AudioCodec=Auto",
                                        "-s",
                                        "VideoSizeOption=Original",
                                        "-s",
                                        "VideoFrameRateOption=Original",
                                        "--option",
                                        "vcodec=copy",
                                        "--option",
                                        "acodec=copy",
                                        "-o",
                                        folder.File("out")};
  for (int i = 0; i < kFiles; ++i) {
    const fs::path input = inputs / ("clip" + std::to_string(i) + ".avi");
    fs::copy_file(Clip("tiny.avi"), input);
    arguments.push_back(input.string());
  }
  TCliResult result;
  const std::string out = folder.File("out");
  bool looked = false;
  std::size_t entries = 0, emptyOutputs = 0;
  {
    TOpenFileLimit limit(128);
    ASSERT_TRUE(limit.Applied());
    // Once the run is under way, what is in the output folder is what has been converted
    // and at most the file being written: nothing waits there for the files to come.
    result = home.Run(arguments, [&](const std::string& text, int) {
      if (looked || text.find("[1/2000] started") == std::string::npos) return;
      looked = true;
      std::error_code ignored;
      for (auto entry = fs::directory_iterator(out, ignored); entry != fs::directory_iterator();
           entry.increment(ignored)) {
        ++entries;
        const bool hidden = entry->path().filename().string().front() == '.';
        emptyOutputs += !hidden && entry->file_size(ignored) == 0;
      }
    });
  }
  EXPECT_TRUE(looked);
  EXPECT_LT(entries, static_cast<std::size_t>(kFiles)) << "files were made before their turn";
  EXPECT_EQ(emptyOutputs, 0u) << "an empty file stood under an output's name";
  ASSERT_EQ(result.exitCode, 0) << result.err.substr(0, 2000);
  EXPECT_NE(result.out.find("2000 files: 2000 completed"), std::string::npos)
      << result.out.substr(result.out.size() > 2000 ? result.out.size() - 2000 : 0);
  int outputs = 0;
  for (const auto& entry : fs::directory_iterator(folder.File("out"))) {
    outputs += entry.is_regular_file() && entry.file_size() > 0;
  }
  EXPECT_EQ(outputs, kFiles);
  // The first, one in the middle and the last: each holds the whole clip.
  for (int i : {0, kFiles / 2, kFiles - 1}) {
    const std::string output = folder.File("out/clip" + std::to_string(i) + ".avi");
    const TMediaInfo info = DecodeMediaInfo(output);
    ASSERT_TRUE(info.opened) << output;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << output;
    EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kFrames) << output;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr) << output;
    EXPECT_GT(info.FirstOfType(AVMEDIA_TYPE_AUDIO)->decodedSamples, 0) << output;
  }
}

}  // namespace
