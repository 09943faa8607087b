// The fixture of the command-line tests that convert: a settings folder with the tests'
// small profiles, an output folder, and copies of the suite's clips where a test needs them.
#pragma once

#include <filesystem>
#include <string>

#include "CliTestSupport.h"
#include "MediaTest.h"

class TCliMediaTest : public TMediaTest {
 protected:
  void SetUp() override {
    TMediaTest::SetUp();
    home.WriteTestProfiles();
    output = folder.File("out") + "/";
  }

  // A copy of the suite's clip.avi at folder/name.
  std::string CopyOfClip(const std::string& name) const {
    const std::filesystem::path path = folder.Path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(Clip("clip.avi"), path);
    return path.string();
  }

  TCliHome home;
  std::string output;
};
