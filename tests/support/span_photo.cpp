#include "support/span_photo.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sarn::test {

namespace {

// Length of the overlap of [a0, a1) and [b0, b1).
double Overlap(double a0, double a1, double b0, double b1) {
  return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// Smooth 2-D value noise in about -1..1 with features of `cell` pixels:
// random values on a lattice, blended with a smoothstep. Stateless, so that
// the textures it makes leave the camera noise's sequence untouched.
double Lattice(int64_t ix, int64_t iy, uint32_t seed) {
  uint64_t z = static_cast<uint64_t>(ix) * 0x9E3779B97F4A7C15ull ^
               static_cast<uint64_t>(iy) * 0xC2B2AE3D27D4EB4Full ^
               (static_cast<uint64_t>(seed) + 1) * 0x165667B19E3779F9ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) / 4503599627370496.0 - 1.0;  // 2^52
}

double ValueNoise(double x, double y, double cell, uint32_t seed) {
  const double fx = x / cell, fy = y / cell;
  const double x0 = std::floor(fx), y0 = std::floor(fy);
  const auto ix = static_cast<int64_t>(x0);
  const auto iy = static_cast<int64_t>(y0);
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double tx = smooth(fx - x0), ty = smooth(fy - y0);
  const double top = Lattice(ix, iy, seed) * (1 - tx) + Lattice(ix + 1, iy, seed) * tx;
  const double bottom = Lattice(ix, iy + 1, seed) * (1 - tx) + Lattice(ix + 1, iy + 1, seed) * tx;
  return top * (1 - ty) + bottom * ty;
}

// The camera roll: scene points turned about the photo's centre.
struct Roll {
  explicit Roll(const SpanScene& scene)
      : cx(scene.width / 2.0),
        cy(scene.height / 2.0),
        c(std::cos(scene.roll_deg * std::acos(-1.0) / 180)),
        s(std::sin(scene.roll_deg * std::acos(-1.0) / 180)) {}
  void Apply(double x, double y, double* ox, double* oy) const {
    *ox = cx + c * (x - cx) - s * (y - cy);
    *oy = cy + s * (x - cx) + c * (y - cy);
  }
  double cx, cy, c, s;
};

// The turned conductor's centre row at photo column x: the scene point whose
// turned column is x, by Newton's method, then turned.
double RolledCentreRow(const Catenary& cat, const Roll& roll, double x) {
  double sx = roll.cx + (x - roll.cx) / roll.c;
  for (int i = 0; i < 8; ++i) {
    const double y = cat.CentreRow(sx);
    const double miss = roll.cx + roll.c * (sx - roll.cx) - roll.s * (y - roll.cy) - x;
    const double h = 1e-3;
    const double slope = (cat.CentreRow(sx + h) - cat.CentreRow(sx - h)) / (2 * h);
    sx -= miss / (roll.c - roll.s * slope);
  }
  return roll.cy + roll.s * (sx - roll.cx) + roll.c * (cat.CentreRow(sx) - roll.cy);
}

// How high the backdrop's top stands above the conductor's centre at column
// x (negative: below it); NaN outside the backdrop's columns.
double BackdropHeight(const SpanScene& scene, double x) {
  if (scene.backdrop == SpanScene::Backdrop::None || x < scene.backdrop_from ||
      x > scene.backdrop_to || scene.backdrop_to <= scene.backdrop_from)
    return std::numeric_limits<double>::quiet_NaN();
  const double t = (x - scene.backdrop_from) / (scene.backdrop_to - scene.backdrop_from);
  const double pi = std::acos(-1.0);
  if (scene.backdrop == SpanScene::Backdrop::Hill)
    return (scene.backdrop_rise + 40) * std::sin(pi * t) - 40;
  // Tree crowns: a bumpy line of 6-17 px bumps over the rise.
  return (scene.backdrop_rise + 30) * std::sqrt(std::sin(pi * t)) - 30 +
         8 * ValueNoise(x, 0, 6, scene.seed + 11) + 8 * ValueNoise(x, 0, 17, scene.seed + 12);
}

// Brightness of the backdrop at (x, y).
double BackdropBrightness(const SpanScene& scene, double x, double y) {
  if (scene.backdrop == SpanScene::Backdrop::Hill)
    return scene.backdrop_level +
           0.3 * scene.backdrop_texture *
               (ValueNoise(x, y, 8, scene.seed + 13) + ValueNoise(x, y, 40, scene.seed + 14));
  // Foliage: leaves and gaps at 3-30 px.
  return scene.backdrop_level +
         scene.backdrop_texture *
             (ValueNoise(x, y, 3.5, scene.seed + 13) + ValueNoise(x, y, 11, scene.seed + 14) +
              0.5 * ValueNoise(x, y, 30, scene.seed + 15)) /
             0.75;
}

}  // namespace

Catenary::Catenary(const SpanScene& scene)
    : x1_(scene.left_x), y1_(scene.left_y), x2_(scene.right_x), y2_(scene.right_y) {
  if (x2_ < x1_) {
    std::swap(x1_, x2_);
    std::swap(y1_, y2_);
  }
  const double span = x2_ - x1_;
  if (!(scene.sag > 0) || span <= 0)
    return;  // a straight conductor along the chord
  // Heights h = -y. With the lowest point at x0:
  //   h2 - h1 = 2 a sinh((xm - x0) / a) sinh(span / (2 a))
  // fixes x0 for a given a; the sag at xm falls as a grows, so bisect on a.
  const double xm = (x1_ + x2_) / 2;
  const double dh = y1_ - y2_;  // h2 - h1
  auto shape = [&](double a, double* x0, double* yb) {
    *x0 = xm - a * std::asinh(dh / (2 * a * std::sinh(span / (2 * a))));
    *yb = y1_ + a * (std::cosh((x1_ - *x0) / a) - 1);
  };
  auto sag_of = [&](double a) {
    double x0, yb;
    shape(a, &x0, &yb);
    const double centre = yb - a * (std::cosh((xm - x0) / a) - 1);
    return centre - (y1_ + y2_) / 2;
  };
  double lo = span / 1000, hi = span * 1e7;
  for (int i = 0; i < 200; ++i) {
    const double mid = std::sqrt(lo * hi);
    if (sag_of(mid) > scene.sag)
      lo = mid;
    else
      hi = mid;
  }
  a_ = std::sqrt(lo * hi);
  shape(a_, &x0_, &yb_);
}

double Catenary::ChordRow(double x) const {
  if (x2_ == x1_)
    return y1_;
  return y1_ + (y2_ - y1_) * (x - x1_) / (x2_ - x1_);
}

double Catenary::CentreRow(double x) const {
  if (a_ == 0)
    return ChordRow(x);
  return yb_ - a_ * (std::cosh((x - x0_) / a_) - 1);
}

double PoleWidth(const SpanScene& scene) {
  return std::max(6.0, scene.width * 0.008);
}

double ConductorCentreRow(const SpanScene& scene, double x) {
  if (scene.roll_deg == 0)
    return Catenary(scene).CentreRow(x);
  return RolledCentreRow(Catenary(scene), Roll(scene), x);
}

void PhotoAttachments(const SpanScene& scene, double* left_x, double* left_y, double* right_x,
                      double* right_y) {
  if (scene.roll_deg == 0) {
    *left_x = scene.left_x, *left_y = scene.left_y;
    *right_x = scene.right_x, *right_y = scene.right_y;
    return;
  }
  const Roll roll(scene);
  roll.Apply(scene.left_x, scene.left_y, left_x, left_y);
  roll.Apply(scene.right_x, scene.right_y, right_x, right_y);
}

double ConductorTopRow(const SpanScene& scene, double x) {
  return ConductorCentreRow(scene, x) - scene.thickness / 2;
}

double SagBelowChord(const SpanScene& scene, double x) {
  const Catenary c(scene);
  return c.CentreRow(x) - c.ChordRow(x);
}

RgbImage RenderSpanPhoto(const SpanScene& scene) {
  RgbImage img;
  img.width = scene.width;
  img.height = scene.height;
  img.rgb.resize(static_cast<size_t>(scene.width) * scene.height * 3);
  const int W = scene.width;
  const int H = scene.height;
  const Catenary cat(scene);
  const bool rolled = scene.roll_deg != 0;
  const Roll roll(scene);
  double lx, ly, rx, ry;
  PhotoAttachments(scene, &lx, &ly, &rx, &ry);
  const double left = std::min(lx, rx);
  const double right = std::max(lx, rx);
  auto centre_row = [&](double x) {
    return rolled ? RolledCentreRow(cat, roll, x) : cat.CentreRow(x);
  };

  // Conductor coverage per column: 4 sub-columns, each covering the rows of
  // the band [centre - t/2, centre + t/2] exactly (`offset` rows lower for a
  // second conductor).
  constexpr int kSub = 4;
  struct Band {
    std::vector<double> top, bottom;
    std::vector<int> first_row, last_row;
  };
  auto make_band = [&](double offset, const auto& half) {
    Band b;
    b.top.resize(static_cast<size_t>(W) * kSub);
    b.bottom.resize(b.top.size());
    b.first_row.assign(W, H);
    b.last_row.assign(W, -1);
    for (int x = 0; x < W; ++x) {
      for (int s = 0; s < kSub; ++s) {
        const double xs = x + (s + 0.5) / kSub;
        double top = 0, bottom = 0;
        if (xs >= left && xs <= right) {
          const double c = centre_row(xs) + offset;
          top = c - half(xs);
          bottom = c + half(xs);
          b.first_row[x] = std::min(b.first_row[x], static_cast<int>(std::floor(top)));
          b.last_row[x] = std::max(b.last_row[x], static_cast<int>(std::floor(bottom)));
        }
        b.top[static_cast<size_t>(x) * kSub + s] = top;
        b.bottom[static_cast<size_t>(x) * kSub + s] = bottom;
      }
    }
    return b;
  };
  auto cover_of = [&](const Band& b, int x, int y) {
    if (y < b.first_row[x] || y > b.last_row[x])
      return 0.0;
    double cover = 0;
    for (int s = 0; s < kSub; ++s) {
      const size_t i = static_cast<size_t>(x) * kSub + s;
      cover += Overlap(y, y + 1, b.top[i], b.bottom[i]);
    }
    return cover / kSub;
  };
  auto conductor_half = [&](double) { return scene.thickness / 2; };
  const Band conductor = make_band(0.0, conductor_half);
  const Band second =
      scene.second_offset > 0 ? make_band(scene.second_offset, conductor_half) : Band{};
  // Strain insulators: about three thicknesses tall, with a shed every half
  // of that, from each attachment inward; nothing elsewhere.
  const double insulator_height = std::max(3 * scene.thickness, 8.0);
  auto insulator_half = [&](double x) {
    const double from_end = std::min(x - left, right - x);
    if (from_end > scene.insulator_length)
      return 0.0;
    const double shed = insulator_height / 2;
    return insulator_height / 2 *
           (0.7 + 0.3 * std::fabs(std::cos(std::acos(-1.0) * from_end / shed)));
  };
  const Band insulators = scene.insulator_length > 0 ? make_band(0.0, insulator_half) : Band{};
  // Backdrop top row per column (H: none).
  std::vector<double> backdrop_top;
  if (scene.backdrop != SpanScene::Backdrop::None) {
    backdrop_top.assign(W, H);
    for (int x = 0; x < W; ++x) {
      const double h = BackdropHeight(scene, x + 0.5);
      if (!std::isnan(h))
        backdrop_top[x] = centre_row(x + 0.5) - h;
    }
  }

  // Pole coverage per column: two vertical posts, anti-aliased at the sides,
  // from a little above the attachment to the bottom of the photo.
  const double pole_w = PoleWidth(scene);
  std::vector<double> pole_cover(W, 0.0);
  std::vector<double> pole_top(W, H);
  if (scene.poles && !rolled) {
    for (const auto& [px, py] :
         {std::pair{scene.left_x, scene.left_y}, {scene.right_x, scene.right_y}}) {
      for (int x = 0; x < W; ++x) {
        const double c = Overlap(x, x + 1, px - pole_w / 2, px + pole_w / 2);
        if (c > 0) {
          pole_cover[x] = std::min(1.0, pole_cover[x] + c);
          pole_top[x] = std::min(pole_top[x], py - 0.04 * H);
        }
      }
    }
  }
  // With a roll the posts lean: their axis runs from the turned attachment
  // along the turned vertical (-sin, cos); coverage is found row by row.
  auto rolled_pole_rows = [&](int y) {
    std::fill(pole_cover.begin(), pole_cover.end(), 0.0);
    for (const auto& [px, py] : {std::pair{lx, ly}, {rx, ry}}) {
      if (y + 0.5 < py - 0.04 * H * roll.c)
        continue;
      const double axis = px - roll.s * (y + 0.5 - py) / roll.c;
      const int x0 = std::max(0, static_cast<int>(std::floor(axis - pole_w)));
      const int x1 = std::min(W - 1, static_cast<int>(std::ceil(axis + pole_w)));
      for (int x = x0; x <= x1; ++x) {
        const double c = Overlap(x, x + 1, axis - pole_w / 2, axis + pole_w / 2);
        pole_cover[x] = std::min(1.0, pole_cover[x] + c);
        pole_top[x] = 0;
      }
    }
  };

  Noise noise(scene.seed, 1);
  for (int y = 0; y < H; ++y) {
    const double sky = scene.sky_top + (scene.sky_bottom - scene.sky_top) * (y + 0.5) / H;
    uint8_t* row = &img.rgb[static_cast<size_t>(y) * W * 3];
    if (scene.poles && rolled)
      rolled_pole_rows(y);
    for (int x = 0; x < W; ++x) {
      double v = sky;
      if (scene.clouds > 0)
        v += scene.clouds * (ValueNoise(x, y, W / 6.0, scene.seed + 21) +
                             0.5 * ValueNoise(x, y, W / 20.0, scene.seed + 22));
      // Blue-grey sky: the channels keep the mean brightness `v`.
      double r = v * 0.92, g = v * 0.98, b = v * 1.10;
      if (!backdrop_top.empty() && y + 1 > backdrop_top[x]) {
        const double c = std::min(1.0, y + 1 - backdrop_top[x]);
        const double d = BackdropBrightness(scene, x, y);
        const bool trees = scene.backdrop == SpanScene::Backdrop::Trees;
        r = r * (1 - c) + d * (trees ? 0.85 : 1.00) * c;
        g = g * (1 - c) + d * (trees ? 1.15 : 1.10) * c;
        b = b * (1 - c) + d * (trees ? 0.75 : 0.90) * c;
      }
      if (pole_cover[x] > 0 && y >= pole_top[x]) {
        const double c = pole_cover[x];
        r = r * (1 - c) + scene.pole * 1.10 * c;
        g = g * (1 - c) + scene.pole * 1.00 * c;
        b = b * (1 - c) + scene.pole * 0.90 * c;
      }
      for (const Band* band : {&conductor, &second}) {
        if (band->first_row.empty() || y < band->first_row[x] || y > band->last_row[x])
          continue;
        const double cover = cover_of(*band, x, y);
        r = r * (1 - cover) + scene.conductor * cover;
        g = g * (1 - cover) + scene.conductor * cover;
        b = b * (1 - cover) + scene.conductor * cover;
      }
      if (!insulators.first_row.empty()) {
        const double cover = cover_of(insulators, x, y);
        if (cover > 0) {
          r = r * (1 - cover) + scene.insulator * 1.02 * cover;
          g = g * (1 - cover) + scene.insulator * 1.00 * cover;
          b = b * (1 - cover) + scene.insulator * 0.96 * cover;
        }
      }
      const double n = scene.noise > 0 ? scene.noise * noise.Gaussian() : 0.0;
      row[3 * x] = Clamp8(r + n);
      row[3 * x + 1] = Clamp8(g + n);
      row[3 * x + 2] = Clamp8(b + n);
    }
  }
  return img;
}

std::vector<uint8_t> EncodeJpegPixels(const uint8_t* pixels, int width, int height,
                                      int pixel_format, int subsampling, int quality, int flags) {
  std::vector<uint8_t> out;
  tjhandle handle = tjInitCompress();
  if (handle == nullptr)
    return out;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, pixels, width, width * tjPixelSize[pixel_format], height,
                             pixel_format, &jpeg, &size, subsampling, quality, flags);
  if (rc == 0)
    out.assign(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const RgbImage& image, int quality) {
  return EncodeJpegPixels(image.rgb.data(), image.width, image.height, TJPF_RGB, TJSAMP_420,
                          quality);
}

std::vector<uint8_t> RenderSpanJpeg(const SpanScene& scene) {
  return EncodeJpeg(RenderSpanPhoto(scene), scene.quality);
}

SpanScene ScaledScene(const SpanScene& scene, int width, int height) {
  SpanScene s = scene;
  const double fx = static_cast<double>(width) / scene.width;
  const double fy = static_cast<double>(height) / scene.height;
  s.width = width;
  s.height = height;
  s.left_x *= fx;
  s.right_x *= fx;
  s.left_y *= fy;
  s.right_y *= fy;
  s.sag *= fy;
  s.thickness = std::max(2.0, scene.thickness * fx);
  return s;
}

SpanScene SampleSpanScene() {
  SpanScene s;
  s.seed = 7;
  return s;
}

PhotoLine SampleScanLine(const SpanScene& scene) {
  PhotoLine line;
  // From pole to pole, 8 px clear of each pole's side, as a user draws it
  // along the whole span (24 px inside the attachments at the sample's size).
  const double inset = PoleWidth(scene) / 2 + 8;
  line.x1 = scene.left_x + inset;
  line.x2 = scene.right_x - inset;
  line.y1 = std::round(ConductorTopRow(scene, line.x1) - 30);
  line.y2 = std::round(ConductorTopRow(scene, line.x2) - 30);
  return line;
}

PhotoLine ScanLineAbove(const SpanScene& scene, double inset_left, double above_left,
                        double inset_right, double above_right) {
  double lx, ly, rx, ry;
  PhotoAttachments(scene, &lx, &ly, &rx, &ry);
  PhotoLine line;
  line.x1 = std::min(lx, rx) + inset_left;
  line.x2 = std::max(lx, rx) - inset_right;
  line.y1 = ConductorTopRow(scene, line.x1) - above_left;
  line.y2 = ConductorTopRow(scene, line.x2) - above_right;
  return line;
}

}  // namespace sarn::test
