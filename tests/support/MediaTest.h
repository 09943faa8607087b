// A fixture for tests on generated media: the suite makes its clips once into a shared
// folder (Clip), and every test gets a fresh folder of its own for outputs (folder).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"

class TMediaTest : public ::testing::Test {
 protected:
  // Derived suites call this first, then make their clips with MakeClip(Clip(name), ...).
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    clips_ = std::make_unique<TTempFolder>();
  }
  static void TearDownTestSuite() { clips_.reset(); }
  static std::string Clip(const std::string& name) { return clips_->File(name); }
  void SetUp() override { BindMediaLibrariesForTest(); }

  TTempFolder folder;

 private:
  static inline std::unique_ptr<TTempFolder> clips_;
};
