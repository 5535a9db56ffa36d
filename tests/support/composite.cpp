#include "support/composite.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>

namespace sarn::test {

namespace {

// The conductor k of the scene as a catenary of a SpanScene.
SpanScene ConductorSpan(const CompositeScene& s, int k) {
  SpanScene span;
  span.width = s.width;
  span.height = s.height;
  double offset = 0;
  for (int i = 0; i < k && i < static_cast<int>(s.below.size()); ++i)
    offset += s.below[static_cast<size_t>(i)];
  span.left_x = s.left_x;
  span.right_x = s.right_x;
  span.left_y = s.left_y + offset - k * s.sag_step;
  span.right_y = s.right_y + offset - k * s.sag_step;
  span.sag = s.sag + k * s.sag_step;
  return span;
}

// Background crop resampled to width x height: box-averaged by a whole
// factor first when it shrinks, then bilinear.
RgbImage Resample(const RgbImage& src, double cx, double cy, double cw, double ch, int width,
                  int height) {
  RgbImage in = src;
  int factor = static_cast<int>(std::floor(std::min(cw / width, ch / height)));
  if (factor >= 2) {
    RgbImage small;
    small.width = in.width / factor;
    small.height = in.height / factor;
    small.rgb.assign(static_cast<size_t>(small.width) * small.height * 3, 0);
    for (int y = 0; y < small.height; ++y) {
      for (int x = 0; x < small.width; ++x) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int j = 0; j < factor; ++j) {
            for (int i = 0; i < factor; ++i)
              sum += in.At(x * factor + i, y * factor + j)[c];
          }
          small.rgb[(static_cast<size_t>(y) * small.width + x) * 3 + c] =
              static_cast<uint8_t>(sum / (factor * factor));
        }
      }
    }
    in = std::move(small);
    cx /= factor;
    cy /= factor;
    cw /= factor;
    ch /= factor;
  }
  RgbImage out;
  out.width = width;
  out.height = height;
  out.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const double sy = std::clamp(cy + (y + 0.5) * ch / height - 0.5, 0.0, in.height - 1.001);
    const int y0 = static_cast<int>(sy);
    const double fy = sy - y0;
    for (int x = 0; x < width; ++x) {
      const double sx = std::clamp(cx + (x + 0.5) * cw / width - 0.5, 0.0, in.width - 1.001);
      const int x0 = static_cast<int>(sx);
      const double fx = sx - x0;
      for (int c = 0; c < 3; ++c) {
        const double v = (in.At(x0, y0)[c] * (1 - fx) + in.At(x0 + 1, y0)[c] * fx) * (1 - fy) +
                         (in.At(x0, y0 + 1)[c] * (1 - fx) + in.At(x0 + 1, y0 + 1)[c] * fx) * fy;
        out.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = Clamp8(v);
      }
    }
  }
  return out;
}

void GaussianBlur(RgbImage& img, double sigma) {
  const int r = static_cast<int>(std::ceil(3 * sigma));
  std::vector<double> k(static_cast<size_t>(2 * r + 1));
  double total = 0;
  for (int i = -r; i <= r; ++i)
    total += k[static_cast<size_t>(i + r)] = std::exp(-0.5 * i * i / (sigma * sigma));
  for (double& v : k)
    v /= total;
  const int w = img.width, h = img.height;
  std::vector<float> tmp(img.rgb.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (int i = -r; i <= r; ++i)
          s += k[static_cast<size_t>(i + r)] * img.At(std::clamp(x + i, 0, w - 1), y)[c];
        tmp[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<float>(s);
      }
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (int i = -r; i <= r; ++i)
          s += k[static_cast<size_t>(i + r)] *
               tmp[(static_cast<size_t>(std::clamp(y + i, 0, h - 1)) * w + x) * 3 + c];
        img.rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = Clamp8(s);
      }
    }
  }
}

// A smooth ramp from 0 to 1 over [-0.5, 0.5].
double Ramp(double t) {
  return std::clamp(t + 0.5, 0.0, 1.0);
}

}  // namespace

double CompositeScene::CentreRow(int k, double x) const {
  return Catenary(ConductorSpan(*this, k)).CentreRow(x);
}

RgbImage DecodeJpegBytes(const std::vector<uint8_t>& bytes) {
  RgbImage img;
  tjhandle h = tjInitDecompress();
  int w = 0, ht = 0, sub = 0, cs = 0;
  if (h != nullptr && tjDecompressHeader3(h, bytes.data(), static_cast<unsigned long>(bytes.size()),
                                          &w, &ht, &sub, &cs) == 0) {
    img.width = w;
    img.height = ht;
    img.rgb.resize(static_cast<size_t>(w) * ht * 3);
    if (tjDecompress2(h, bytes.data(), static_cast<unsigned long>(bytes.size()), img.rgb.data(), w,
                      0, ht, TJPF_RGB, 0) != 0 &&
        tjGetErrorCode(h) == TJERR_FATAL)
      img = {};
  }
  if (h != nullptr)
    tjDestroy(h);
  return img;
}

RgbImage DecodeJpegFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.empty())
    return {};
  return DecodeJpegBytes(bytes);
}

RgbImage RenderComposite(const CompositeScene& s) {
  const RgbImage bg = DecodeJpegFile(s.background);
  if (bg.width == 0)
    return {};
  const double cw = s.crop_w > 0 ? s.crop_w : bg.width;
  const double ch = s.crop_h > 0 ? s.crop_h : bg.height;
  RgbImage img = Resample(bg, s.crop_x, s.crop_y, cw, ch, s.width, s.height);
  const int W = s.width, H = s.height;
  Noise random(s.seed, 7);

  // The sky above a slanting, gently waving horizon.
  if (s.horizon_left >= 0) {
    const double phase = static_cast<double>(random.Next() % 1000);
    for (int x = 0; x < W; ++x) {
      const double t = (x + 0.5) / W;
      const double wave = 0.012 * H * std::sin(x * 0.013 + phase) + 0.006 * H * std::sin(x * 0.057);
      const double horizon = s.horizon_left + (s.horizon_right - s.horizon_left) * t + wave;
      for (int y = 0; y < H && y < horizon + 1; ++y) {
        const double cover = std::clamp(horizon - y, 0.0, 1.0);
        const double v = s.sky + 12 * (static_cast<double>(y) / H - 0.5);
        uint8_t* p = &img.rgb[(static_cast<size_t>(y) * W + x) * 3];
        const double sky_rgb[3] = {v * 0.92, v * 0.98, v * 1.08};
        for (int c = 0; c < 3; ++c)
          p[c] = Clamp8(p[c] * (1 - cover) + sky_rgb[c] * cover);
      }
    }
  }

  // The conductors: 4 x 4 samples per pixel; across the conductor v runs
  // from -1 (top edge) to +1 (underside).
  const int count = 1 + static_cast<int>(s.below.size());
  constexpr int kSub = 4;
  const double half = s.thickness / 2;
  const double soft = std::max(0.05, s.edge_softness);
  for (int k = 0; k < count; ++k) {
    const Catenary cat(ConductorSpan(s, k));
    for (int x = 0; x < W; ++x) {
      std::array<double, kSub> centre{};
      double lo = 1e300, hi = -1e300;
      for (int i = 0; i < kSub; ++i) {
        centre[static_cast<size_t>(i)] = cat.CentreRow(x + (i + 0.5) / kSub);
        lo = std::min(lo, centre[static_cast<size_t>(i)]);
        hi = std::max(hi, centre[static_cast<size_t>(i)]);
      }
      const int y0 = std::max(0, static_cast<int>(std::floor(lo - half - soft - 1)));
      const int y1 = std::min(H - 1, static_cast<int>(std::ceil(hi + half + soft + 1)));
      for (int y = y0; y <= y1; ++y) {
        double alpha = 0, value = 0;
        for (int i = 0; i < kSub; ++i) {
          for (int j = 0; j < kSub; ++j) {
            const double yy = y + (j + 0.5) / kSub;
            const double d = yy - centre[static_cast<size_t>(i)];
            const double a = Ramp((d + half) / soft) * Ramp((half - d) / soft);
            if (a <= 0)
              continue;
            const double v = std::clamp(d / std::max(half, 0.5), -1.0, 1.0);
            const double lit = s.lit * std::max(0.0, 1 - ((v + 0.55) / 0.45) * ((v + 0.55) / 0.45));
            const double shade = s.shade * std::max(0.0, v);
            alpha += a;
            value += a * (s.body + lit - shade);
          }
        }
        if (alpha <= 0)
          continue;
        const double a = alpha / (kSub * kSub);
        const double grey = value / alpha;
        uint8_t* p = &img.rgb[(static_cast<size_t>(y) * W + x) * 3];
        const double tint[3] = {1.0, 1.0, 1.02};
        for (int c = 0; c < 3; ++c)
          p[c] = Clamp8(p[c] * (1 - a) + grey * tint[c] * a);
      }
    }
  }

  if (s.blur > 0.05)
    GaussianBlur(img, s.blur);
  if (s.noise > 0) {
    for (size_t i = 0; i < img.rgb.size(); i += 3) {
      const double n = s.noise * random.Gaussian();
      for (size_t c = 0; c < 3; ++c)
        img.rgb[i + c] = Clamp8(img.rgb[i + c] + n + 0.3 * s.noise * random.Gaussian());
    }
  }
  return img;
}

}  // namespace sarn::test
