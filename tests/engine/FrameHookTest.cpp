#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "OptionTestEngine.h"
#include "TestSupport.h"
#include "binding/FrameHook.h"

using ::testing::Contains;
using ::testing::Each;
using ::testing::HasSubstr;

namespace {

const std::string kHookFolder = TOVRENA_TEST_HOOK_DIR;
const std::string kHook = kHookFolder + "/libTestHook.so";
const std::string kHookNoConfigure = kHookFolder + "/libTestHookNoConfigure.so";
const std::string kHookNoRelease = kHookFolder + "/libTestHookNoRelease.so";

// One of the counters a test module exports; the module must be loaded already.
int Counter(const std::string& module, const char* name) {
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return -1;
  auto counter = reinterpret_cast<int (*)()>(dlsym(handle, name));
  const int value = counter ? counter() : -1;
  dlclose(handle);
  return value;
}

int LoadCount(const std::string& fileName) {
  int count = 0;
  for (const TLoadedHookModule& module : LoadedHookModules()) count += module.FileName == fileName;
  return count;
}

// An 8x4 luma plane with the value 100, handed through the hooks.
struct TTestPicture {
  static constexpr int kWidth = 8, kHeight = 4;
  std::vector<std::uint8_t> luma = std::vector<std::uint8_t>(kWidth * kHeight, 100);
  TFrameHookPicture picture{{luma.data(), nullptr, nullptr, nullptr}, {kWidth, 0, 0, 0}};
};

// The libraries' log lines, caught while a test runs.
std::vector<std::string> libraryLog;
void CatchLibraryLog(void*, int, const char* format, va_list arguments) {
  char line[1024];
  std::vsnprintf(line, sizeof line, format, arguments);
  libraryLog.emplace_back(line);
}

class FrameHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    libraryLog.clear();
    lib::av_log_set_callback(CatchLibraryLog);
    engine = std::make_unique<TOptionTestEngine>();
  }
  void TearDown() override { lib::av_log_set_callback(lib::av_log_default_callback); }

  // Runs one picture through the engine's hooks; the resulting luma value at (0, 0).
  int ProcessOnePicture() {
    TTestPicture picture;
    engine->FPlan.FrameHooks.Process(&picture.picture, 0, TTestPicture::kWidth,
                                     TTestPicture::kHeight, 0);
    return picture.luma[0];
  }

  std::unique_ptr<TOptionTestEngine> engine;
};

// The luma value at (0, 0) of one picture run through a list.
int ProcessThrough(TFrameHookList& hooks) {
  TTestPicture picture;
  hooks.Process(&picture.picture, 0, TTestPicture::kWidth, TTestPicture::kHeight, 0);
  return picture.luma[0];
}

TEST_F(FrameHookTest, AModuleNamedTwiceLoadsOnceAndConfiguresTwice) {
  engine->SetOption("vhook", kHook + " set:10");
  const int configured = Counter(kHook, "TestHookConfigureCalls");
  TOptionTestEngine other;
  other.AddVideoHook(kHook + "|add:5");
  engine->AddVideoHook(kHook);
  EXPECT_EQ(LoadCount(kHook), 1);
  EXPECT_EQ(Counter(kHook, "TestHookConfigureCalls"), configured + 2);
  EXPECT_TRUE(engine->Settings().UsingFrameHooks);

  const int released = Counter(kHook, "TestHookReleaseCalls");
  engine->Reset();
  EXPECT_TRUE(engine->FPlan.FrameHooks.Empty());
  EXPECT_FALSE(engine->Settings().UsingFrameHooks);
  EXPECT_EQ(Counter(kHook, "TestHookReleaseCalls"), released + 2);
  EXPECT_EQ(LoadCount(kHook), 1);  // modules stay loaded
}

TEST_F(FrameHookTest, HooksRunInTheOrderTheyWereAdded) {
  engine->AddVideoHook(kHook + "|set:10");
  engine->AddVideoHook(kHook + "|add:5");
  const int processed = Counter(kHook, "TestHookProcessCalls");
  EXPECT_EQ(ProcessOnePicture(), 15);
  EXPECT_EQ(Counter(kHook, "TestHookProcessCalls"), processed + 2);

  engine->Reset();
  engine->AddVideoHook(kHook + " add:5");
  engine->AddVideoHook(kHook + " set:10");
  EXPECT_EQ(ProcessOnePicture(), 10);
}

TEST_F(FrameHookTest, ConfigureAndReleaseAreOptional) {
  engine->AddVideoHook(kHookNoConfigure);
  EXPECT_EQ(engine->FPlan.FrameHooks.Entries().front()->Context, nullptr);
  EXPECT_RAISES(engine->AddVideoHook(kHookNoConfigure + " arg"), FFMpegException,
                "Failed to add video hook function: " + kHookNoConfigure + " arg");
  EXPECT_THAT(libraryLog,
              Contains("Failed to find Configure entrypoint in " + kHookNoConfigure + "\n"));

  engine->AddVideoHook(kHookNoRelease + " any arguments");
  EXPECT_EQ(ProcessOnePicture(), 200);  // blanked, then marked, in that order
  EXPECT_EQ(Counter(kHookNoConfigure, "NoConfigureProcessCalls"), 1);
  const int released = Counter(kHookNoConfigure, "NoConfigureReleaseCalls");
  engine->Cleanup();
  EXPECT_TRUE(engine->FPlan.FrameHooks.Empty());
  EXPECT_EQ(Counter(kHookNoConfigure, "NoConfigureReleaseCalls"), released + 1);
}

TEST_F(FrameHookTest, RefusalsGiveTheirCodeAndLeaveTheListAlone) {
  TFrameHookList hooks;
  std::string fail = "fail";
  std::string file = kHook;
  char* configureFails[] = {file.data(), fail.data()};
  EXPECT_EQ(hooks.Add(2, configureFails), -22);
  EXPECT_THAT(libraryLog, Contains("Failed to Configure " + kHook + "\n"));

  std::string noProcess = LibAVFolder() + "/libmyutil.so";
  char* withoutProcess[] = {noProcess.data()};
  EXPECT_EQ(hooks.Add(1, withoutProcess), -2);
  EXPECT_THAT(libraryLog, Contains("Failed to find Process entrypoint in " + noProcess + "\n"));

  EXPECT_EQ(hooks.Add(0, withoutProcess), -2);
  EXPECT_TRUE(hooks.Empty());
  EXPECT_RAISES(engine->SetOption("vhook", ""), FFMpegException,
                "Failed to add video hook function: ");
}

// Other jobs open files by relative names meanwhile: a module in a folder is loaded by its
// absolute path, and neither the current directory nor PATH changes, loaded or not.
TEST_F(FrameHookTest, LoadingLeavesTheCurrentDirectoryAndPathAlone) {
  const std::filesystem::path before = std::filesystem::current_path();
  const char* pathBefore = std::getenv("PATH");
  const std::string oldPath = pathBefore ? pathBefore : "";
  auto unchanged = [&] {
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(std::string(std::getenv("PATH")), oldPath);
  };

  TFrameHookList hooks;
  std::string bareName = "libTovrenaNoSuchHook.so";
  char* bare[] = {bareName.data()};
  EXPECT_EQ(hooks.Add(1, bare), -1);
  EXPECT_THAT(libraryLog.back(), HasSubstr("libTovrenaNoSuchHook.so"));
  unchanged();

  TTempFolder folder;
  std::string missing = folder.File("missing.so");
  char* inFolder[] = {missing.data()};
  EXPECT_EQ(hooks.Add(1, inFolder), -1);
  unchanged();

  // A copy under a name of its own is loaded afresh; named relative to the current
  // directory, it is still found after other folders were visited.
  std::filesystem::copy_file(kHook, folder.File("libFreshHook.so"));
  std::filesystem::current_path(folder.Path().parent_path());
  std::string relative = (folder.Path().filename() / "libFreshHook.so").string();
  std::string argument = "set:7";
  char* fresh[] = {relative.data(), argument.data()};
  EXPECT_EQ(hooks.Add(2, fresh), 0);
  EXPECT_EQ(std::filesystem::current_path(), folder.Path().parent_path());
  std::filesystem::current_path(before);
  unchanged();
  EXPECT_EQ(LoadCount(relative), 1);
  EXPECT_EQ(ProcessThrough(hooks), 7);
}

TEST_F(FrameHookTest, AtMost63ArgumentsFollowTheModule) {
  std::string text = kHook;
  for (int i = 0; i < 63; ++i) text += " a";
  engine->AddVideoHook(text);
  EXPECT_FALSE(engine->FPlan.FrameHooks.Empty());
  engine->Reset();
  EXPECT_RAISES(
      engine->AddVideoHook(text + " a"), FFMpegException,
      "Too many video hook arguments: at most 63 can follow the module in: " + text + " a");
  EXPECT_TRUE(engine->FPlan.FrameHooks.Empty());
}

}  // namespace
