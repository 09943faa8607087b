#include "binding/LocalFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include "TestSupport.h"

TEST(LocalFiles, OnlyASchemeFollowedByTwoSlashesMakesAUrl) {
  EXPECT_TRUE(IsUrl("http://host/clip.mp4"));
  EXPECT_TRUE(IsUrl("file:///tmp/clip.mp4"));
  EXPECT_TRUE(IsUrl("rtp+x.y-z://host"));
  for (const char* local : {"file:x.avi", "a:b.avi", "rel:dir/x.mp4", "/tmp/a://b.avi", "://x",
                            "pipe:1", "-", "my clip:2.avi"})
    EXPECT_FALSE(IsUrl(local)) << local;
  // The libraries' file protocol takes off one "file:" and opens the rest as it is.
  EXPECT_EQ(LibraryUrlOf("file:x.avi"), "file:file:x.avi");
  EXPECT_EQ(LibraryUrlOf("http://host/a"), "http://host/a");
}

TEST(LocalFiles, AnExclusiveCreationTakesNoNameTwiceAndIdentifiesTheFileMade) {
  TTempFolder folder;
  const std::string path = folder.File("out.mp4");
  TFileIdentity identity;
  ASSERT_EQ(CreateExclusive(path, identity), 0);
  EXPECT_EQ(CreateExclusive(path, identity), EEXIST);
  EXPECT_TRUE(NameStandsFor(path, identity));
  // A link at the name stands for no file of ours.
  std::filesystem::remove(path);
  std::filesystem::create_symlink(folder.File("elsewhere"), path);
  EXPECT_EQ(CreateExclusive(path, identity), EEXIST);
  EXPECT_FALSE(std::filesystem::exists(folder.File("elsewhere")));
}

TEST(LocalFiles, ACandidateNameCarriesItsCounterAndIsCutToFitBetweenLetters) {
  EXPECT_EQ(OutputCandidateName("clip", 0, ".mp4"), "clip.mp4");
  EXPECT_EQ(OutputCandidateName("clip", 3, ".mp4"), "clip(3).mp4");
  std::string longBase;
  while (longBase.size() < 300) longBase += "\xc3\xa9";
  const std::string cut = OutputCandidateName(longBase, 12, ".mkv");
  EXPECT_LE(cut.size(), static_cast<std::size_t>(NAME_MAX));
  EXPECT_EQ(cut.substr(cut.size() - 8), "(12).mkv");
  EXPECT_EQ((cut.size() - 8) % 2, 0u) << "cut inside a letter";
}
