#pragma once

// Synthetic photographs of an overhead-line span, for tests and the sample:
// a sky with a vertical brightness gradient and camera noise, two poles, and
// a conductor hanging as a catenary between two attachment points, a few
// pixels thick, anti-aliased and darker than the sky, JPEG-compressed.
//
// Coordinates are photo pixels, continuous, from the image's top-left corner:
// pixel (i, j) covers [i, i+1) x [j, j+1), so its centre is (i + 0.5, j + 0.5).
// Rows grow downwards. The conductor is a band of `thickness` pixels measured
// vertically, centred on the catenary; its truth is exact before JPEG loss:
//   ConductorCentreRow(x)   the catenary's row at column position x
//   ConductorTopRow(x)      the band's upper edge, centre - thickness / 2
//   SagBelowChord(x)        centre row minus the chord's row (attachment to
//                           attachment); equals `sag` at the mid-span column.
// A pixel row y is fully conductor where [y, y+1) lies inside the band; the
// first row the conductor darkens at column i is floor(ConductorTopRow(i+0.5)).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace sarn::test {

// 8-bit RGB, rows top to bottom, 3 bytes per pixel (R, G, B), no padding.
struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct SpanScene {
  int width = 4000, height = 3000;
  // Attachment points of the conductor on the poles, photo pixels.
  double left_x = 300, left_y = 1150;
  double right_x = 3700, right_y = 1050;
  // Mid-span sag: vertical distance from the chord down to the conductor's
  // centre at x = (left_x + right_x) / 2, pixels; 0 draws a straight line.
  double sag = 110;
  double thickness = 5;  // pixels, vertical
  // Brightness as the mean of R, G, B (0..255): the sky at the top and at the
  // bottom row (linear in between, slightly blue), the conductor, the poles.
  double sky_top = 210, sky_bottom = 170;
  double conductor = 55;
  double pole = 95;
  bool poles = true;
  double noise = 1.5;  // standard deviation of the per-pixel noise, grey levels
  uint32_t seed = 1;
  int quality = 80;  // JPEG quality, 1..100 (4:2:0 chroma)

  // Conditions met in the field; every one is off by default, and a scene
  // that leaves them off renders byte for byte as before they existed.
  //
  // A backdrop behind part of the span, between photo columns backdrop_from
  // and backdrop_to, from its top edge down to the bottom of the photo:
  // trees (a bumpy crown line, foliage textured at 3-20 px) or a hill (a
  // smooth edge, faint texture). Its top rises `backdrop_rise` px above the
  // conductor's centre in the middle of the stretch and falls below the
  // conductor towards both sides. Covering the whole width with a large rise
  // gives a forest or field behind the whole span.
  enum class Backdrop { None, Trees, Hill };
  Backdrop backdrop = Backdrop::None;
  double backdrop_from = 0, backdrop_to = 0;
  double backdrop_rise = 40;
  double backdrop_level = 70;    // mean brightness (0..255)
  double backdrop_texture = 25;  // standard deviation of its texture, grey levels
  // Clouds: smooth brightness variation of the sky, this many grey levels.
  double clouds = 0;
  // A second conductor hanging this many px below the first (0: none), with
  // the same thickness and brightness.
  double second_offset = 0;
  // Camera roll: the whole scene (conductor and poles) is turned by this
  // many degrees about the photo's centre (positive clockwise on screen).
  // The attachment points above are before the turn.
  double roll_deg = 0;
  // Light strain insulators: this many px along the conductor from each
  // attachment (0: none), about three conductor thicknesses tall with sheds,
  // in front of the conductor.
  double insulator_length = 0;
  double insulator = 225;  // brightness
};

// The hanging conductor of a scene: a catenary y = yb - a (cosh((x - x0) / a) - 1)
// (rows downwards) through both attachment points with the given mid-span sag.
class Catenary {
 public:
  explicit Catenary(const SpanScene& scene);
  double CentreRow(double x) const;
  double ChordRow(double x) const;
  double a() const { return a_; }  // catenary parameter, pixels (0 for a straight line)

 private:
  double x1_, y1_, x2_, y2_;
  double a_ = 0, x0_ = 0, yb_ = 0;
};

// The conductor's centre row at column position x in the photo (after the
// camera roll, if any).
double ConductorCentreRow(const SpanScene& scene, double x);
// The attachment points as they appear in the photo (after the camera roll).
void PhotoAttachments(const SpanScene& scene, double* left_x, double* left_y, double* right_x,
                      double* right_y);
// The poles' width in pixels: 0.8 % of the photo's width, at least 6.
double PoleWidth(const SpanScene& scene);
double ConductorTopRow(const SpanScene& scene, double x);
double SagBelowChord(const SpanScene& scene, double x);

// The photo before compression.
RgbImage RenderSpanPhoto(const SpanScene& scene);

// Baseline JPEG (TurboJPEG, 4:2:0) of `image`; empty on failure.
std::vector<uint8_t> EncodeJpeg(const RgbImage& image, int quality);

// JPEG of packed `pixels` in TurboJPEG pixel format `pixel_format` (TJPF_*),
// with chroma subsampling `subsampling` (TJSAMP_*) and TurboJPEG `flags`
// (TJFLAG_PROGRESSIVE, ...); empty on failure.
std::vector<uint8_t> EncodeJpegPixels(const uint8_t* pixels, int width, int height,
                                      int pixel_format, int subsampling, int quality,
                                      int flags = 0);

// RenderSpanPhoto then EncodeJpeg at scene.quality.
std::vector<uint8_t> RenderSpanJpeg(const SpanScene& scene);

// The scene scaled to another photo size: attachment points, sag and
// thickness scale with the width (thickness at least 2 pixels).
SpanScene ScaledScene(const SpanScene& scene, int width, int height);

// samples/span.jpg: 4000 x 3000, the default scene with seed 7; it stands for a
// 40 m span (attachment to attachment).
SpanScene SampleSpanScene();
inline constexpr double kSampleSpanMetres = 40.0;

// samples/span.line: a scan line in photo pixels a little above the
// conductor, from near the left attachment to near the right one: x at
// 8 px clear of each pole's side (24 px inside the attachments at the sample's
// size), y 30 pixels above the conductor's top edge there, rounded to whole
// pixels.
struct PhotoLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
PhotoLine SampleScanLine(const SpanScene& scene);

// A line as a careless user may draw it: its left end `inset_left` px to the
// right of the left attachment (0: at the attachment, in the pole) and
// `above_left` px above the conductor's top edge there, its right end
// likewise, unrounded.
PhotoLine ScanLineAbove(const SpanScene& scene, double inset_left, double above_left,
                        double inset_right, double above_right);

// Small, fast, reproducible generator (splitmix64), its stream chosen by
// the seed and an offset (each renderer keeps its own, so that its pictures
// stay the same).
class Noise {
 public:
  Noise(uint64_t seed, uint64_t offset) : state_(seed * 0x9E3779B97F4A7C15ull + offset) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Approximately normal with unit variance: the sum of four 16-bit uniforms,
  // centred and scaled (variance of one uniform on [0,1) is 1/12).
  float Gaussian() {
    const uint64_t r = Next();
    const float s =
        static_cast<float>((r & 0xFFFF) + ((r >> 16) & 0xFFFF) + ((r >> 32) & 0xFFFF) + (r >> 48)) /
        65536.0f;
    return (s - 2.0f) * 1.7320508f;
  }

 private:
  uint64_t state_;
};

// A level rounded to the nearest of 0..255.
inline uint8_t Clamp8(double v) {
  return static_cast<uint8_t>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
}

}  // namespace sarn::test
