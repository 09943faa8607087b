#include "TestSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "binding/MediaLibraries.h"

std::string LibAVFolder() {
  return TOVRENA_LIBAV_DIR;
}

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

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TTmpfsMount::TTmpfsMount(const std::string& size, bool readOnly) {
  if (::geteuid() != 0) return;
  const std::string options = "size=" + size + ",mode=0777";
  mounted_ =
      ::mount("tmpfs", Path().c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

TTmpfsMount::~TTmpfsMount() {
  if (mounted_) ::umount2(Path().c_str(), MNT_DETACH);
}

TOpenFileLimit::TOpenFileLimit(unsigned long limit) {
  rlimit current{};
  if (::getrlimit(RLIMIT_NOFILE, &current) != 0) return;
  saved_ = current.rlim_cur;
  current.rlim_cur = limit;
  applied_ = ::setrlimit(RLIMIT_NOFILE, &current) == 0;
}

TOpenFileLimit::~TOpenFileLimit() {
  if (!applied_) return;
  rlimit current{};
  ::getrlimit(RLIMIT_NOFILE, &current);
  current.rlim_cur = saved_;
  ::setrlimit(RLIMIT_NOFILE, &current);
}

int HighestOpenDescriptor() {
  int highest = -1;
  DIR* folder = ::opendir("/proc/self/fd");
  if (folder == nullptr) return highest;
  const int own = ::dirfd(folder);
  while (const dirent* entry = ::readdir(folder)) {
    const int descriptor = std::atoi(entry->d_name);
    if (entry->d_name[0] != '.' && descriptor != own) highest = std::max(highest, descriptor);
  }
  ::closedir(folder);
  return highest;
}
