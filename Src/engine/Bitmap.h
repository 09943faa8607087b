// A 24-bit BGR picture handed to the custom hook; its canvas lock guards the rows while
// someone draws on them.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class TBitmap {
 public:
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    stride_ = (width * 3 + 3) & ~3;
    pixels_.assign(static_cast<std::size_t>(stride_) * height, 0);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  std::uint8_t* ScanLine(int row) {
    return pixels_.data() + static_cast<std::size_t>(row) * stride_;
  }
  std::mutex& Canvas() { return canvas_; }

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::mutex canvas_;
};
