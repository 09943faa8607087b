#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "MediaLibraries.h"

std::string LibAVFolder() { return TOVRENA_LIBAV_DIR; }

void BindMediaLibrariesForTest() {
  ASSERT_TRUE(LoadMediaLibraries(LibAVFolder(), true)) << MediaLibrariesError();
}

TTempFolder::TTempFolder() {
  std::random_device random;
  const std::string name = "tovrena-test-" + std::to_string(getpid()) + "-" +
                           std::to_string(random()) + std::to_string(random());
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
