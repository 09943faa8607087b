// An output is written under a temporary name of its own and only then moved to its name:
// never replacing anything, the temporaries of dead runs cleaned up, nobody else's touched.
#include "engine/OutputPlacement.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <set>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// A pid no process has: one of a child that has ended and been waited for.
long DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// This machine's temporary name for Output, as the process Pid would write it.
std::string TemporaryOf(const std::string& output, long pid) {
  std::string name = TemporaryOutputName(output, 0);
  const std::string own = "-" + std::to_string(::getpid()) + "-";
  return name.replace(name.rfind(own), own.size(), "-" + std::to_string(pid) + "-");
}

void Write(int descriptor, const std::string& text) {
  ASSERT_EQ(::write(descriptor, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(descriptor);
}

TEST(OutputPlacement, TemporaryNamesReadBackAndNothingElseReadsAsOne) {
  std::string host;
  long pid = 0;
  const std::string name = TemporaryOutputName("clip(1).mp4", 7);
  EXPECT_EQ(name.rfind(".clip(1).mp4.tovrena-", 0), 0u) << name;
  ASSERT_TRUE(ParseTemporaryOutputName(name, host, pid)) << name;
  EXPECT_EQ(pid, ::getpid());
  EXPECT_FALSE(host.empty());
  for (const char* other :
       {"clip.mp4", "clip.part", ".clip.mp4.part", ".x.tovrena-h-1.part", ".x.tovrena-h-p-1.part",
        ".x.tovrena--1-2.part", "x.tovrena-h-1-2.part"})
    EXPECT_FALSE(ParseTemporaryOutputName(other, host, pid)) << other;
  // A name as long as a file system takes still leaves room for the marks.
  const std::string longName = TemporaryOutputName(std::string(255, 'a'), 1);
  EXPECT_LE(longName.size(), 255u);
  EXPECT_TRUE(ParseTemporaryOutputName(longName, host, pid));
}

TEST(OutputPlacement, AFileIsWrittenUnseenAndMovedToItsNameOrTheNextFreeOne) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  {
    TOutputPlacement placement;
    const int descriptor = placement.Create(out + "clip.mp4", "clip");
    ASSERT_GE(descriptor, 0) << SystemReason(-descriptor);
    Write(descriptor, "media");
    EXPECT_FALSE(fs::exists(out + "clip.mp4"));
    EXPECT_EQ(NamesIn(out), std::set<std::string>{fs::path(placement.TemporaryPath()).filename()});
    ASSERT_EQ(placement.Publish(), 0);
    EXPECT_EQ(placement.FinalPath(), out + "clip.mp4");
  }
  EXPECT_EQ(ReadTextFile(out + "clip.mp4"), "media");

  // Taken meanwhile by a file and by a dangling link: the counter goes on from the base.
  fs::create_symlink(out + "nowhere", out + "clip(1).mp4");
  {
    TOutputPlacement placement;
    const int descriptor = placement.Create(out + "clip.mp4", "clip");
    ASSERT_GE(descriptor, 0);
    Write(descriptor, "second");
    ASSERT_EQ(placement.Publish(), 0);
    EXPECT_EQ(placement.FinalPath(), out + "clip(2).mp4");
  }
  EXPECT_EQ(ReadTextFile(out + "clip.mp4"), "media");
  EXPECT_EQ(ReadTextFile(out + "clip(2).mp4"), "second");
  EXPECT_FALSE(fs::exists(out + "nowhere"));

  // Never moved, its temporary goes with it.
  {
    TOutputPlacement placement;
    const int descriptor = placement.Create(out + "left.mp4", "");
    ASSERT_GE(descriptor, 0);
    Write(descriptor, "half");
  }
  EXPECT_EQ(NamesIn(out), (std::set<std::string>{"clip.mp4", "clip(1).mp4", "clip(2).mp4"}));
}

TEST(OutputPlacement, AQuitBySignalRemovesOnlyTheTemporariesBeingWritten) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  TOutputPlacement writing, done;
  Write(writing.Create(out + "a.mkv", ""), "a");
  Write(done.Create(out + "b.mkv", ""), "b");
  ASSERT_EQ(done.Publish(), 0);
  WriteTextFile(out + "users.mkv", "theirs");
  RemoveTemporaryOutputs();
  EXPECT_EQ(NamesIn(out), (std::set<std::string>{"b.mkv", "users.mkv"}));
}

TEST(OutputPlacement, OnlyThisUsersTemporariesOfDeadRunsAreCleanedUp) {
  TTempFolder folder;
  const std::string out = folder.Path().string() + "/";
  const long dead = DeadPid();
  const std::string stale = TemporaryOf("clip.mp4", dead);
  const std::string live = TemporaryOf("live.mp4", ::getppid());
  const std::string locked = TemporaryOf("locked.mp4", dead);
  std::string otherHost = stale;
  otherHost.replace(otherHost.find(".tovrena-") + 9, 0, "elsewhere");
  for (const std::string& name :
       {stale, live, locked, otherHost, std::string("clip.part"), std::string(".clip.mp4.part")})
    WriteTextFile(out + name, "x");
  // Still held by a process that writes it, whatever its name says.
  const int holder = ::open((out + locked).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  std::string otherUsers;
  if (::geteuid() == 0) {
    otherUsers = TemporaryOf("theirs.mp4", dead);
    WriteTextFile(out + otherUsers, "x");
    ASSERT_EQ(::chown((out + otherUsers).c_str(), 4321, 4321), 0);
  }
  // A link named as a temporary is not followed, nor removed as one.
  const std::string link = TemporaryOf("link.mp4", dead);
  WriteTextFile(out + "target", "kept");
  fs::create_symlink(out + "target", out + link);

  EXPECT_EQ(RemoveStaleTemporaries(out), 1);
  ::close(holder);
  std::set<std::string> expected = {live,     locked, otherHost, "clip.part", ".clip.mp4.part",
                                    "target", link};
  if (!otherUsers.empty()) expected.insert(otherUsers);
  EXPECT_EQ(NamesIn(out), expected);
  EXPECT_EQ(ReadTextFile(out + "target"), "kept");
}

}  // namespace
