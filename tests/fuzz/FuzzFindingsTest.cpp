// What the fuzzers' findings now answer, beyond not crashing: the clear error each gets.
#include <gtest/gtest.h>

#include <memory>

#include "FFmpeg.h"
#include "FuzzTargets.h"
#include "TestSupport.h"

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

}  // namespace
