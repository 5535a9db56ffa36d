#include "support/span_photo.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

namespace sarn::test {

namespace {

// Small, fast, reproducible generator (splitmix64).
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
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

uint8_t Clamp8(double v) {
  return static_cast<uint8_t>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
}

// Length of the overlap of [a0, a1) and [b0, b1).
double Overlap(double a0, double a1, double b0, double b1) {
  return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
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
  return Catenary(scene).CentreRow(x);
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
  const double left = std::min(scene.left_x, scene.right_x);
  const double right = std::max(scene.left_x, scene.right_x);

  // Conductor coverage per column: 4 sub-columns, each covering the rows of
  // the band [centre - t/2, centre + t/2] exactly.
  constexpr int kSub = 4;
  std::vector<double> band_top(static_cast<size_t>(W) * kSub), band_bottom(band_top.size());
  std::vector<int> first_row(W, H), last_row(W, -1);
  for (int x = 0; x < W; ++x) {
    for (int s = 0; s < kSub; ++s) {
      const double xs = x + (s + 0.5) / kSub;
      double top = 0, bottom = 0;
      if (xs >= left && xs <= right) {
        const double c = cat.CentreRow(xs);
        top = c - scene.thickness / 2;
        bottom = c + scene.thickness / 2;
        first_row[x] = std::min(first_row[x], static_cast<int>(std::floor(top)));
        last_row[x] = std::max(last_row[x], static_cast<int>(std::floor(bottom)));
      }
      band_top[static_cast<size_t>(x) * kSub + s] = top;
      band_bottom[static_cast<size_t>(x) * kSub + s] = bottom;
    }
  }
  // Pole coverage per column: two vertical posts, anti-aliased at the sides,
  // from a little above the attachment to the bottom of the photo.
  const double pole_w = PoleWidth(scene);
  std::vector<double> pole_cover(W, 0.0);
  std::vector<double> pole_top(W, H);
  if (scene.poles) {
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

  Noise noise(scene.seed);
  for (int y = 0; y < H; ++y) {
    const double sky = scene.sky_top + (scene.sky_bottom - scene.sky_top) * (y + 0.5) / H;
    uint8_t* row = &img.rgb[static_cast<size_t>(y) * W * 3];
    for (int x = 0; x < W; ++x) {
      double v = sky;
      // Blue-grey sky: the channels keep the mean brightness `v`.
      double r = v * 0.92, g = v * 0.98, b = v * 1.10;
      if (pole_cover[x] > 0 && y >= pole_top[x]) {
        const double c = pole_cover[x];
        r = r * (1 - c) + scene.pole * 1.10 * c;
        g = g * (1 - c) + scene.pole * 1.00 * c;
        b = b * (1 - c) + scene.pole * 0.90 * c;
      }
      if (y >= first_row[x] && y <= last_row[x]) {
        double cover = 0;
        for (int s = 0; s < kSub; ++s) {
          const size_t i = static_cast<size_t>(x) * kSub + s;
          cover += Overlap(y, y + 1, band_top[i], band_bottom[i]);
        }
        cover /= kSub;
        r = r * (1 - cover) + scene.conductor * cover;
        g = g * (1 - cover) + scene.conductor * cover;
        b = b * (1 - cover) + scene.conductor * cover;
      }
      const double n = scene.noise > 0 ? scene.noise * noise.Gaussian() : 0.0;
      row[3 * x] = Clamp8(r + n);
      row[3 * x + 1] = Clamp8(g + n);
      row[3 * x + 2] = Clamp8(b + n);
    }
  }
  return img;
}

std::vector<uint8_t> EncodeJpeg(const RgbImage& image, int quality) {
  std::vector<uint8_t> out;
  tjhandle handle = tjInitCompress();
  if (handle == nullptr)
    return out;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, image.rgb.data(), image.width, image.width * 3, image.height,
                             TJPF_RGB, &jpeg, &size, TJSAMP_420, quality, 0);
  if (rc == 0)
    out.assign(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return out;
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

}  // namespace sarn::test
