#include "FuzzTargets.h"
#include "engine/FFmpeg.h"

namespace {

// The encoders divide by every coefficient and write it in 8 bits.
void ExpectMatrix(const std::vector<std::uint16_t>& matrix) {
  FuzzExpect(matrix.size() == 64, "a matrix stored without 64 coefficients");
  for (const std::uint16_t coefficient : matrix)
    FuzzExpect(coefficient >= 1 && coefficient <= 255, "a coefficient no encoder can use");
}

}  // namespace

void FuzzMatrices(std::string_view data) {
  TCustomFFmpeg engine;
  engine.Reset();
  const std::string text(data);
  try {
    engine.SetIntraMatrix(text);
    ExpectMatrix(engine.Settings().IntraMatrix);
  } catch (const FFMpegException&) {
    FuzzExpect(engine.Settings().IntraMatrix.empty(), "a refused matrix was stored");
  }
  try {
    engine.SetInterMatrix(text);
    ExpectMatrix(engine.Settings().InterMatrix);
  } catch (const FFMpegException&) {
    FuzzExpect(engine.Settings().InterMatrix.empty(), "a refused matrix was stored");
  }
}
