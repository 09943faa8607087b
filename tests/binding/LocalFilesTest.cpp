#include "binding/LocalFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
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

TEST(LocalFiles, AReservedFileIsOpenedOnlyWhileItIsStillTheEmptyFileCreated) {
  TTempFolder folder;
  const std::string path = folder.File("out.mp4");
  TFileIdentity identity;
  ASSERT_EQ(CreateExclusive(path, identity), 0);
  EXPECT_EQ(CreateExclusive(path, identity), EEXIST);
  const int descriptor = OpenReservedFile(path, identity);
  ASSERT_GE(descriptor, 0);
  EXPECT_TRUE(NameStandsFor(path, IdentityOf(descriptor)));
  ::close(descriptor);

  // Written by someone else in the meantime: no longer what was reserved, and not removed.
  WriteTextFile(path, "data");
  EXPECT_EQ(OpenReservedFile(path, identity), -EEXIST);
  EXPECT_FALSE(RemoveEmptyReservation(path, identity));
  EXPECT_TRUE(std::filesystem::exists(path));
}
