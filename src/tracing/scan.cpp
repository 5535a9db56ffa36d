#include "tracing/scan.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "state/numeric.h"

namespace sarn {

namespace {

// Rounds an image coordinate half to even into a 32-bit integer. A value
// beyond the 32-bit range is pinned to its end (it lies far outside any
// picture, so every sample there reads as white); a value that is not a
// number (an ImgScale that is not a number) is placed at the lowest value,
// equally outside every picture.
int32_t RoundCoordinate(double value) {
  if (std::isnan(value))
    return std::numeric_limits<int32_t>::min();
  if (std::optional<int32_t> rounded = RoundToInt32(value))
    return *rounded;
  return value < 0 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
}

// WireY is a 16-bit row. A row outside -32768..32767 (a picture taller than
// 32767 rows, or a line drawn far above it) does not fit; it is clamped to the
// nearest end of the range rather than wrapped, so the row stays on the same
// side of the picture.
int16_t ClampRow(int64_t row) {
  if (row < std::numeric_limits<int16_t>::min())
    return std::numeric_limits<int16_t>::min();
  if (row > std::numeric_limits<int16_t>::max())
    return std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(row);
}

// Brightness of one pixel: red + green + blue, 0..765. The outside colour -1
// has all bytes set and so reads 765, like pure white.
int16_t Brightness(int32_t colour) {
  const auto c = static_cast<uint32_t>(colour);
  return static_cast<int16_t>((c & 0xFFu) + ((c >> 8) & 0xFFu) + ((c >> 16) & 0xFFu));
}

// The colour at (x, row); a row beyond the 32-bit range lies outside every
// picture.
int32_t Sample(const PixelSource& pixels, int32_t x, int64_t row) {
  if (row < std::numeric_limits<int32_t>::min() || row > std::numeric_limits<int32_t>::max())
    return -1;
  return pixels.Point(x, static_cast<int32_t>(row));
}

// The search of one station over its drops; returns WireY before the fallback
// (0 when nothing was found).
int16_t Detect(const std::array<int16_t, kSamples>& drop, int32_t scan_top, Criterion criterion,
               double threshold) {
  int16_t wire_y = 0;
  for (int j = 1; j <= kSamples - 2; ++j) {
    const int16_t here = drop[static_cast<std::size_t>(j)];
    const int16_t next = drop[static_cast<std::size_t>(j + 1)];  // Drop(201) is always 0
    if (criterion == Criterion::ChangeValue) {
      // The first drop above T that is also higher than the next one: the
      // upper edge of the conductor.
      if (here > threshold && here > next)
        return ClampRow(int64_t{scan_top} + j);
    } else {
      // Follow the falling edge down while drops exceed T; stop at the last
      // row before the brightness rises again, but only once something was
      // found (WireY > 0). A next drop of 0 does not stop it.
      if (here > threshold)
        wire_y = ClampRow(int64_t{scan_top} + j);
      if (next < 0 && wire_y > 0)
        return wire_y;
    }
  }
  return wire_y;
}

}  // namespace

int32_t StationColumn(const ScanLine& line, float img_scale, int station) {
  const double x1 = line.X1;
  const double x2 = line.X2;
  return RoundCoordinate(((x2 - x1) / 8.0 * station + x1) * static_cast<double>(img_scale));
}

int32_t StationTop(const ScanLine& line, float img_scale, int station) {
  const double y1 = line.Y1;
  const double y2 = line.Y2;
  return RoundCoordinate(((y2 - y1) / 8.0 * station + y1) * static_cast<double>(img_scale));
}

ScanResult RunScan(const ScanLine& line, float img_scale, const PixelSource& pixels,
                   Criterion criterion, double threshold) {
  ScanResult result;
  for (std::size_t i = 0; i < kStations; ++i) {
    const int station = static_cast<int>(i);
    const int32_t x = StationColumn(line, img_scale, station);
    const int32_t top = StationTop(line, img_scale, station);
    result.StationX[i] = x;
    result.ScanTop[i] = top;

    std::array<int16_t, kSamples>& bright = result.Bright[i];
    for (std::size_t j = 0; j < kSamples; ++j)
      bright[j] = Brightness(Sample(pixels, x, int64_t{top} + static_cast<int64_t>(j)));

    // Drop(j) = Bright(j-1) - Bright(j), positive where the picture darkens
    // downwards; Drop(0) and Drop(201) stay 0.
    std::array<int16_t, kSamples>& drop = result.Drop[i];
    for (std::size_t j = 1; j + 1 < kSamples; ++j)
      drop[j] = static_cast<int16_t>(bright[j - 1] - bright[j]);

    int16_t wire_y = Detect(drop, top, criterion, threshold);
    // No hit (or a hit at absolute row 0, which is indistinguishable from
    // none): the station reports the drawn line's own row.
    if (wire_y == 0)
      wire_y = ClampRow(top);
    result.WireY[i] = wire_y;
  }
  return result;
}

}  // namespace sarn
