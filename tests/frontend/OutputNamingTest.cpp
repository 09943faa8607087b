#include "frontend/OutputNaming.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "TestSupport.h"
#include "binding/MyUtils.h"

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

std::string NamePlanned(const std::string& folder, const std::string& base,
                        const std::string& extension, const TTakenOutputs& taken = {}) {
  const TPlannedOutput plan = PlanOutputName(folder, base, extension, taken);
  EXPECT_TRUE(plan.Planned()) << plan.Error;
  return plan.Name;
}

TEST(OutputNamingTest, APlannedNameCreatesNothingAndCountsOnPastNamesOnDisk) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  WriteTextFile(out + "clip(1).mp4", "someone's");
  const TPlannedOutput first = PlanOutputName(out, "clip", ".mp4", {});
  ASSERT_TRUE(first.Planned()) << first.Error;
  EXPECT_EQ(first.Name, "clip");
  EXPECT_EQ(first.Base, "clip");
  EXPECT_EQ(first.Path, out + "clip.mp4");
  EXPECT_FALSE(std::filesystem::exists(first.Path));
  // Asked again, the same name: nothing holds it until a file is written under it.
  EXPECT_EQ(NamePlanned(out, "clip", ".mp4"), "clip");
  WriteTextFile(first.Path, "written");
  const TPlannedOutput next = PlanOutputName(out, "clip", ".mp4", {});
  EXPECT_EQ(next.Name, "clip(2)");
  EXPECT_EQ(next.Base, "clip");
  EXPECT_EQ(ReadTextFile(out + "clip(1).mp4"), "someone's");
  // Another extension is another name.
  EXPECT_EQ(NamePlanned(out, "clip", ".avi"), "clip");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(OutputNamingTest, NamesGivenToEarlierFilesCountAsTaken) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  TTakenOutputs taken{out + "clip.mp4", out + "clip(2).mp4"};
  EXPECT_EQ(NamePlanned(out, "clip", ".mp4", taken), "clip(1)");
  taken.insert(out + "clip(1).mp4");
  EXPECT_EQ(NamePlanned(out, "clip", ".mp4", taken), "clip(3)");
  EXPECT_FALSE(std::filesystem::exists(out + "clip.mp4"));
}

TEST(OutputNamingTest, ALinkAtANameIsNeverWrittenThroughDanglingOrNot) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  std::filesystem::create_symlink(out + "elsewhere.mp4", out + "clip.mp4");
  WriteTextFile(out + "target.mp4", "kept");
  std::filesystem::create_symlink(out + "target.mp4", out + "clip(1).mp4");
  EXPECT_EQ(NamePlanned(out, "clip", ".mp4"), "clip(2)");
  EXPECT_FALSE(std::filesystem::exists(out + "elsewhere.mp4"));
  EXPECT_EQ(ReadTextFile(out + "target.mp4"), "kept");
}

TEST(OutputNamingTest, OddNamesAreUsedAsTheyAreAndALongOneIsShortenedToFit) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  for (const std::string base :
       {"-i \"quoted\" 'x'", "line\nbreak", "file:x", "a:b", "\xff\xfe bytes"}) {
    const TPlannedOutput plan = PlanOutputName(out, base, ".mp4", {});
    ASSERT_TRUE(plan.Planned()) << plan.Error;
    EXPECT_EQ(plan.Name, base);
    EXPECT_EQ(plan.Path, out + base + ".mp4");
  }
  // 250 bytes of two-byte letters: the name and a counter still fit, cut between letters.
  std::string longBase;
  while (longBase.size() < 250) longBase += "\xc3\xa9";
  EXPECT_EQ(NamePlanned(out, longBase, ".mp4"), longBase);
  WriteTextFile(out + longBase + ".mp4", "first");
  const std::string second = NamePlanned(out, longBase, ".mp4");
  ASSERT_GE(second.size(), 3u);
  EXPECT_EQ(second.substr(second.size() - 3), "(1)");
  EXPECT_LE(second.size() + 4, static_cast<std::size_t>(NAME_MAX));
  EXPECT_EQ(longBase.rfind(second.substr(0, second.size() - 3), 0), 0u);
  EXPECT_EQ((second.size() - 3) % 2, 0u) << "cut inside a letter";
}

TEST(OutputNamingTest, AFolderThatCannotTakeFilesIsRefusedWithTheReasonAndNothingIsCreated) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  WriteTextFile(out + "plain", "x");
  EXPECT_NE(PrepareOutputFolder(out + "plain/").find("Not a directory"), std::string::npos);
  EXPECT_NE(PrepareOutputFolder(out + "plain/sub/").find("Not a directory"), std::string::npos);
  EXPECT_EQ(PrepareOutputFolder(out + "new/deeper/"), "");
  EXPECT_TRUE(std::filesystem::is_directory(out + "new/deeper"));
  // A name with ":" is a folder like any other.
  EXPECT_EQ(PrepareOutputFolder(out + "rel:dir/"), "");
  EXPECT_EQ(NamePlanned(out + "rel:dir/", "clip", ".mp4"), "clip");

  const TPlannedOutput refused = PlanOutputName(out + "plain/", "clip", ".mp4", {});
  EXPECT_FALSE(refused.Planned());
  EXPECT_EQ(refused.Error, "Could not open '" + out + "plain/clip.mp4': Not a directory");
}

TEST(OutputNamingTest, AReadOnlyFileSystemIsRefusedWithItsReason) {
  TReadOnlyMount mount;
  if (!mount.Mounted()) GTEST_SKIP() << "needs root to mount a file system";
  const std::string out = mount.Path() + "/";
  EXPECT_EQ(PrepareOutputFolder(out), "Read-only file system");
  EXPECT_EQ(PrepareOutputFolder(out + "sub/"), "Read-only file system");
  EXPECT_FALSE(std::filesystem::exists(out + "sub"));
  // Only planned, the name needs nothing of the file system; the folder's check refused it.
  EXPECT_TRUE(PlanOutputName(out, "clip", ".mp4", {}).Planned());
  EXPECT_FALSE(std::filesystem::exists(out + "clip.mp4"));
}

}  // namespace
