#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "binding/AVCodecHlpr.h"
#include "binding/AVFilterHlpr.h"
#include "binding/AVFormatHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/MediaLibraries.h"
#include "binding/MyUtilHlpr.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

class MediaLibraryLoading : public ::testing::Test {
 protected:
  void SetUp() override { FreeMediaLibraries(); }
  void TearDown() override { FreeMediaLibraries(); }

  // A folder with links to the named files of the build's LibAV folder.
  void LinkFromLibAV(const std::vector<std::string>& names) {
    for (const std::string& name : names)
      fs::create_symlink(fs::path(LibAVFolder()) / name, folder.Path() / name);
  }

  TTempFolder folder;
};

TEST_F(MediaLibraryLoading, BindsEveryLibraryFromLibAVAndBindingTwiceResolvesNothingAgain) {
  ASSERT_TRUE(LoadMediaLibraries(LibAVFolder(), true)) << MediaLibrariesError();
  EXPECT_TRUE(MediaLibrariesLoaded());
  EXPECT_TRUE(MediaLibrariesError().empty());
  EXPECT_TRUE(LibAVCodecLoaded() && LibAVFormatLoaded() && LibAVFilterLoaded() && MyUtilLoaded());
  EXPECT_EQ(CurrentLogLevel(), lib::av_log_get_level());
  EXPECT_EQ(lib::avcodec_version() >> 16, static_cast<unsigned>(LIBAVCODEC_VERSION_MAJOR));

  // A second bind must leave the resolved pointers alone.
  const auto resolved = lib::avcodec_version;
  lib::avcodec_version = nullptr;
  EXPECT_TRUE(LoadMediaLibraries(LibAVFolder(), true));
  EXPECT_EQ(lib::avcodec_version, nullptr);
  lib::avcodec_version = resolved;
}

TEST_F(MediaLibraryLoading, PlainNamesAreUsedWhenNotVersioned) {
  EXPECT_EQ((TLibraryName{"avcodec", 59}.FileName(true)), "libavcodec.so.59");
  EXPECT_EQ((TLibraryName{"avcodec", 59}.FileName(false)), "libavcodec.so");
  EXPECT_EQ((TLibraryName{"myutil", -1}.FileName(true)), "libmyutil.so");

  // Only plain names in the folder: the versioned attempt fails, the plain one binds.
  LinkFromLibAV({"libavcodec.so", "libavfilter.so", "libavformat.so", "libavutil.so",
                 "libswscale.so", "libswresample.so", "libmyutil.so"});
  EXPECT_FALSE(LoadMediaLibraries(folder.Path(), true));
  EXPECT_THAT(MediaLibrariesError(), StartsWith("Load libraray libavcodec.so.59 error: "));
  EXPECT_TRUE(LoadMediaLibraries(folder.Path(), false)) << MediaLibrariesError();
  EXPECT_EQ(LibAVCodecBinding().FileName(), "libavcodec.so");
}

TEST_F(MediaLibraryLoading, MissingLibraryStopsTheBindAndFreesWhatWasBound) {
  LinkFromLibAV({"libavcodec.so.59", "libavfilter.so.8"});
  EXPECT_FALSE(LoadMediaLibraries(folder.Path(), true));
  EXPECT_FALSE(MediaLibrariesLoaded());
  EXPECT_THAT(MediaLibrariesError(), StartsWith("Load libraray libavformat.so.59 error: "));
  EXPECT_FALSE(LibAVCodecBinding().HandleLoaded());
  EXPECT_FALSE(LibAVFilterBinding().HandleLoaded());
  EXPECT_FALSE(LibAVCodecLoaded());
  EXPECT_FALSE(LibAVFilterLoaded());

  // The error text is emptied by the next attempt.
  ASSERT_TRUE(LoadMediaLibraries(LibAVFolder(), true));
  EXPECT_TRUE(MediaLibrariesError().empty());
}

TEST_F(MediaLibraryLoading, LibraryWithoutAnEntryNamesTheEntry) {
  // A real shared object that lacks every avcodec entry.
  fs::create_symlink(fs::path(LibAVFolder()) / "libmyutil.so", folder.Path() / "libavcodec.so.59");
  EXPECT_FALSE(LoadMediaLibraries(folder.Path(), true));
  EXPECT_THAT(MediaLibrariesError(),
              StartsWith("Load function avcodec_version@libavcodec.so.59 error: "));
  EXPECT_THAT(MediaLibrariesError(), HasSubstr("undefined symbol"));
  EXPECT_FALSE(LibAVCodecBinding().HandleLoaded());
}

TEST_F(MediaLibraryLoading, FileThatIsNotASharedObjectFailsToLoad) {
  WriteTextFile(folder.File("libavcodec.so.59"), "not a library");
  EXPECT_FALSE(LoadMediaLibraries(folder.Path(), true));
  EXPECT_THAT(MediaLibrariesError(), StartsWith("Load libraray libavcodec.so.59 error: "));
  EXPECT_FALSE(MediaLibrariesLoaded());
}

TEST_F(MediaLibraryLoading, CurrentDirectoryIsKeptOnSuccessAndFailure) {
  const fs::path before = fs::current_path();
  ASSERT_TRUE(LoadMediaLibraries(LibAVFolder(), true));
  EXPECT_EQ(fs::current_path(), before);
  FreeMediaLibraries();
  EXPECT_FALSE(LoadMediaLibraries(folder.Path(), true));
  EXPECT_EQ(fs::current_path(), before);
}

// PATH belongs to the whole process and has no say in where the loader looks.
TEST_F(MediaLibraryLoading, PathIsLeftAloneOnSuccessAndFailure) {
  const char* before = std::getenv("PATH");
  const std::string saved = before ? before : "";
  ASSERT_TRUE(LoadMediaLibraries(LibAVFolder(), true));
  EXPECT_EQ(std::string(std::getenv("PATH")), saved);
  EXPECT_EQ(LoadLibraryFrom(folder.Path().string(), "libnothing.so"), nullptr);
  EXPECT_EQ(std::string(std::getenv("PATH")), saved);
}

TEST_F(MediaLibraryLoading, RelativeFolderIsResolvedBeforeTheDirectoryChanges) {
  const fs::path before = fs::current_path();
  fs::current_path(fs::path(LibAVFolder()).parent_path());
  EXPECT_TRUE(LoadMediaLibraries("LibAV", true)) << MediaLibrariesError();
  fs::current_path(before);
}
