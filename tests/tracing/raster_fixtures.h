#pragma once

// Pixel sources built in code for the scan tests: a small raster held in a
// vector, and a picture described by a function of the position.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "tracing/scan.h"

namespace sarn::fixtures {

// A colour 0x00BBGGRR whose three bytes add up to `brightness` (0..765).
inline int32_t GreyOfBrightness(int brightness) {
  int rest = brightness;
  int32_t colour = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int byte = rest > 255 ? 255 : rest;
    colour |= static_cast<int32_t>(byte) << shift;
    rest -= byte;
  }
  return colour;
}

class VectorRaster : public PixelSource {
 public:
  VectorRaster(int32_t width, int32_t height, int32_t fill)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), fill) {}

  int32_t Point(int32_t x, int32_t y) const override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
      return -1;
    return pixels_[Index(x, y)];
  }

  void Set(int32_t x, int32_t y, int32_t colour) { pixels_[Index(x, y)] = colour; }

  // Gives every column the same brightness profile, row by row.
  void SetRowBrightness(const std::vector<int>& brightness_by_row) {
    for (int32_t y = 0; y < height_ && y < static_cast<int32_t>(brightness_by_row.size()); ++y) {
      for (int32_t x = 0; x < width_; ++x)
        Set(x, y, GreyOfBrightness(brightness_by_row[static_cast<size_t>(y)]));
    }
  }

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }

  int32_t width_;
  int32_t height_;
  std::vector<int32_t> pixels_;
};

// A picture of any size, given by a function of (x, y); for pictures too large
// to hold, such as one taller than 32767 rows.
class FunctionRaster : public PixelSource {
 public:
  explicit FunctionRaster(std::function<int32_t(int32_t, int32_t)> colour)
      : colour_(std::move(colour)) {}
  int32_t Point(int32_t x, int32_t y) const override { return colour_(x, y); }

 private:
  std::function<int32_t(int32_t, int32_t)> colour_;
};

// Brightness by row from a starting brightness and the drops wanted at given
// rows: brightness(row) = brightness(row - 1) - drop(row).
inline std::vector<int> ProfileWithDrops(int rows, int start,
                                         const std::vector<std::pair<int, int>>& drops) {
  std::vector<int> brightness(static_cast<size_t>(rows), start);
  for (int row = 1; row < rows; ++row) {
    int drop = 0;
    for (const auto& [at, value] : drops) {
      if (at == row)
        drop = value;
    }
    brightness[static_cast<size_t>(row)] = brightness[static_cast<size_t>(row - 1)] - drop;
  }
  return brightness;
}

}  // namespace sarn::fixtures
