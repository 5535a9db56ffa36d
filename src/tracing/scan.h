#pragma once

// The conductor scan. Nine stations are placed at eighths along the line the
// user drew a little above the conductor; at each, 202 working-image pixels
// are read straight down, their brightness (R + G + B, 0..765) forms a profile,
// and its drops Drop(j) = Bright(j-1) - Bright(j) (positive where the image
// darkens downwards) locate the row where the conductor begins.

#include <array>
#include <cstdint>

namespace sarn {

inline constexpr int kStations = 9;
inline constexpr int kSamples = 202;

// Answers the colour of a working-image pixel as 0x00BBGGRR, or -1 for a point
// outside the picture (which reads as white, 765).
class PixelSource {
 public:
  virtual ~PixelSource() = default;
  virtual int32_t Point(int32_t x, int32_t y) const = 0;
};

enum class Criterion {
  ChangeValue,  // "変化値": first drop above T that is also a local peak
  Darkness,     // "黒さ": follow the falling edge down while drops exceed T
};

// The drawn line, in overview units (working-image pixels / ImgScale).
struct ScanLine {
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

// Station i's working-image column and start row:
//   x(i)       = round(((X2 - X1) / 8 * i + X1) * ImgScale)
//   ScanTop(i) = round(((Y2 - Y1) / 8 * i + Y1) * ImgScale)
// in double precision from the 32-bit inputs, rounded half to even.
int32_t StationColumn(const ScanLine& line, float img_scale, int station);
int32_t StationTop(const ScanLine& line, float img_scale, int station);

struct ScanResult {
  std::array<int16_t, kStations> WireY{};     // conductor row per station
  std::array<int32_t, kStations> ScanTop{};   // start row per station
  std::array<int32_t, kStations> StationX{};  // sampled column per station
  // Bright[i][j], Drop[i][j]: station i, sample j. Drop[i][0] and Drop[i][201] are 0.
  std::array<std::array<int16_t, kSamples>, kStations> Bright{};
  std::array<std::array<int16_t, kSamples>, kStations> Drop{};
};

// One scan over `pixels`. `threshold` is T. A station without a hit (or with a
// hit at absolute row 0) reports its start row. Rows are clamped to the 16-bit
// range of WireY.
ScanResult RunScan(const ScanLine& line, float img_scale, const PixelSource& pixels,
                   Criterion criterion, double threshold);

}  // namespace sarn
