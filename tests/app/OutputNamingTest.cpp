#include "OutputNaming.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

namespace {

TEST(OutputNamingTest, BaseNameAndExtensionSplitAtTheLastDotOfTheName) {
  EXPECT_EQ(FileBaseName("/media/in/clip.avi"), "clip");
  EXPECT_EQ(FileExtension("/media/in/clip.avi"), "avi");
  EXPECT_EQ(FileBaseName("/media/in/holiday.2008.MPG"), "holiday.2008");
  EXPECT_EQ(FileExtension("/media/in/holiday.2008.MPG"), "MPG");
  // A dot in a folder name is not an extension.
  EXPECT_EQ(FileBaseName("/media/v1.0/clip"), "clip");
  EXPECT_EQ(FileExtension("/media/v1.0/clip"), "");
  EXPECT_EQ(FileBaseName("clip.mp4"), "clip");
}

TEST(OutputNamingTest, FilesOnDiskPushTheNameToTheFirstFreeCounter) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  EXPECT_EQ(ChooseOutputName(out, "clip", ".mp4", {}), "clip");
  WriteTextFile(out + "clip.mp4", "x");
  WriteTextFile(out + "clip(1).mp4", "x");
  EXPECT_EQ(ChooseOutputName(out, "clip", ".mp4", {}), "clip(2)");
  // Another extension is another name.
  EXPECT_EQ(ChooseOutputName(out, "clip", ".avi", {}), "clip");
}

TEST(OutputNamingTest, NamesGivenToEarlierFilesCountAsTaken) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  TTakenOutputs taken{out + "clip.mp4"};
  EXPECT_EQ(ChooseOutputName(out, "clip", ".mp4", taken), "clip(1)");
  WriteTextFile(out + "clip(1).mp4", "x");
  taken.insert(out + "clip(2).mp4");
  EXPECT_EQ(ChooseOutputName(out, "clip", ".mp4", taken), "clip(3)");
}

TEST(OutputNamingTest, ADanglingLinkIsNotWrittenThrough) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  std::filesystem::create_symlink(out + "elsewhere.mp4", out + "clip.mp4");
  EXPECT_EQ(ChooseOutputName(out, "clip", ".mp4", {}), "clip(1)");
}

}  // namespace
