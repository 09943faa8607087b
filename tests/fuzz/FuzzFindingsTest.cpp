// What the fuzzers' findings now answer, beyond not crashing: the clear error each gets.
#include <gtest/gtest.h>

#include <memory>

#include "FuzzTargets.h"
#include "TestSupport.h"
#include "engine/FFmpeg.h"
#include "frontend/IniFile.h"

namespace {

std::string Matrix(const std::string& last, int count = 64) {
  std::string text;
  for (int i = 1; i < count; ++i) text += "16,";
  return text + last;
}

class FuzzFindingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PrepareFuzzing(LibAVFolder()));
    engine = std::make_unique<TCustomFFmpeg>();
    engine->Reset();
  }

  std::string RaisedBy(const std::function<void()>& call) {
    try {
      call();
    } catch (const FFMpegException& raised) {
      return raised.what();
    }
    return "no error";
  }

  std::unique_ptr<TCustomFFmpeg> engine;
};

// An encoder divides by every coefficient (a zero one stopped the program) and writes it
// in 8 bits (a larger one corrupted the stream): only 1 to 255 are taken.
TEST_F(FuzzFindingsTest, MatrixCoefficientsOutside1To255AreRefusedAndNothingIsStored) {
  engine->SetIntraMatrix(Matrix("255"));
  engine->SetInterMatrix(Matrix("1"));
  for (const std::string& bad : {Matrix("0"), Matrix("256"), Matrix("-16"), Matrix("x")}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(RaisedBy([&] { engine->SetIntraMatrix(bad); }),
              "Coefficient 63 of matrix \"" + bad + "\" must be from 1 to 255");
    EXPECT_EQ(RaisedBy([&] { engine->SetInterMatrix(bad); }),
              "Coefficient 63 of matrix \"" + bad + "\" must be from 1 to 255");
  }
  EXPECT_EQ(engine->Settings().IntraMatrix.back(), 255);
  EXPECT_EQ(engine->Settings().InterMatrix.back(), 1);
  // A text too short is still a syntax error, whatever its coefficients.
  EXPECT_EQ(RaisedBy([&] { engine->SetIntraMatrix(Matrix("0", 10)); }),
            "Syntax error in matrix \"" + Matrix("0", 10) + "\" at coeff 9");
}

// A line ending in "\r\r\n" in a file of "\n" lines kept one carriage return, which a save
// turned into the line break: the section "a]b" came back as "a".
TEST(FuzzFindingsIniTest, CarriageReturnsAtALineEndReadTheSameBeforeAndAfterASave) {
  TTempFolder folder;
  WriteTextFile(folder.File("in.ini"), "; first\n[a]b]\r\r\nk=v\r\r\n");
  TIniFile ini(folder.File("in.ini"));
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"a]b"});
  EXPECT_EQ(ini.ReadString("a]b", "k", ""), "v");
  ini.WriteString("a]b", "n", "1");
  ini.SaveAs(folder.File("out.ini"));
  const TIniFile saved(folder.File("out.ini"));
  EXPECT_EQ(saved.ReadSections(), std::vector<std::string>{"a]b"});
  EXPECT_EQ(saved.ReadString("a]b", "k", ""), "v");
  EXPECT_EQ(saved.ReadString("a]b", "n", ""), "1");
}

}  // namespace
