// Replays the fuzzers' seeds and every input they found a fault with through the same
// bodies, so that each fault stays mended in the ordinary build.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FuzzTargets.h"
#include "TestSupport.h"

// Test names and failures show the target by its name.
void PrintTo(const TFuzzTarget& target, std::ostream* os) {
  *os << target.Name;
}

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzFolder = TOVRENA_FUZZ_DIR;

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder))
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Bytes(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

class FuzzReplayTest : public ::testing::TestWithParam<TFuzzTarget> {
 protected:
  void SetUp() override { ASSERT_TRUE(PrepareFuzzing(LibAVFolder())); }

  void Replay(const fs::path& folder) {
    for (const fs::path& file : FilesIn(folder)) {
      SCOPED_TRACE(file.string());
      try {
        GetParam().Body(Bytes(file));
      } catch (const std::exception& finding) {
        ADD_FAILURE() << finding.what();
      }
    }
  }
};

TEST_P(FuzzReplayTest, SeedsRunClean) {
  EXPECT_FALSE(FilesIn(kFuzzFolder / "corpus" / GetParam().Name).empty());
  Replay(kFuzzFolder / "corpus" / GetParam().Name);
}

TEST_P(FuzzReplayTest, KeptFindingsRunClean) {
  Replay(kFuzzFolder / "regressions" / GetParam().Name);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, ::testing::ValuesIn(FuzzTargets()),
                         [](const auto& info) { return std::string(info.param.Name); });

// A kept input in a folder no target reads would never be replayed.
TEST(FuzzReplayFolders, EveryFolderNamesATarget) {
  for (const char* kind : {"corpus", "regressions"}) {
    if (!fs::is_directory(kFuzzFolder / kind)) continue;
    for (const auto& entry : fs::directory_iterator(kFuzzFolder / kind)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(std::any_of(FuzzTargets().begin(), FuzzTargets().end(),
                              [&](const TFuzzTarget& target) { return name == target.Name; }))
          << kind << "/" << name;
    }
  }
}

}  // namespace
