#include "support/lens_photo.h"

#include <algorithm>
#include <cmath>

namespace sarn::test {
namespace {

// The distortion field is smooth, so it is evaluated on a grid this many
// pixels apart and interpolated bilinearly in between (the interpolation
// error is below a thousandth of a pixel for the lenses here).
constexpr int kGridStep = 8;

void Sample(const RgbImage& image, double x, double y, uint8_t* out) {
  // Pixel centres at i + 0.5.
  x = std::clamp(x - 0.5, 0.0, image.width - 1.0);
  y = std::clamp(y - 0.5, 0.0, image.height - 1.0);
  const int x0 = std::min(static_cast<int>(x), image.width - 2 < 0 ? 0 : image.width - 2);
  const int y0 = std::min(static_cast<int>(y), image.height - 2 < 0 ? 0 : image.height - 2);
  const int x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
  const double fx = x - x0, fy = y - y0;
  for (int c = 0; c < 3; ++c) {
    const double top = image.At(x0, y0)[c] * (1 - fx) + image.At(x1, y0)[c] * fx;
    const double bottom = image.At(x0, y1)[c] * (1 - fx) + image.At(x1, y1)[c] * fx;
    out[c] =
        static_cast<uint8_t>(std::lround(std::clamp(top * (1 - fy) + bottom * fy, 0.0, 255.0)));
  }
}

}  // namespace

RgbImage DistortImage(const RgbImage& undistorted, const LensMapper& mapper) {
  RgbImage out;
  out.width = undistorted.width;
  out.height = undistorted.height;
  out.rgb.resize(undistorted.rgb.size());
  const int gw = out.width / kGridStep + 2, gh = out.height / kGridStep + 2;
  std::vector<PhotoPoint> grid(static_cast<size_t>(gw) * gh);
  for (int j = 0; j < gh; ++j)
    for (int i = 0; i < gw; ++i)
      grid[static_cast<size_t>(j) * gw + i] =
          mapper.Undistort(PhotoPoint{i * kGridStep + 0.5, j * kGridStep + 0.5});
  for (int y = 0; y < out.height; ++y) {
    const int j = y / kGridStep;
    const double fy = static_cast<double>(y % kGridStep) / kGridStep;
    for (int x = 0; x < out.width; ++x) {
      const int i = x / kGridStep;
      const double fx = static_cast<double>(x % kGridStep) / kGridStep;
      const PhotoPoint& a = grid[static_cast<size_t>(j) * gw + i];
      const PhotoPoint& b = grid[static_cast<size_t>(j) * gw + i + 1];
      const PhotoPoint& c = grid[static_cast<size_t>(j + 1) * gw + i];
      const PhotoPoint& d = grid[static_cast<size_t>(j + 1) * gw + i + 1];
      const double sx = (a.x * (1 - fx) + b.x * fx) * (1 - fy) + (c.x * (1 - fx) + d.x * fx) * fy;
      const double sy = (a.y * (1 - fx) + b.y * fx) * (1 - fy) + (c.y * (1 - fx) + d.y * fx) * fy;
      Sample(undistorted, sx, sy,
             &out.rgb[(static_cast<size_t>(y) * out.width + static_cast<size_t>(x)) * 3]);
    }
  }
  return out;
}

PhotoExif ReadBack(const ExifFields& fields) {
  return ReadPhotoExif(ExifBlock(fields));
}

std::vector<CampaignCamera> CampaignCameras() {
  std::vector<CampaignCamera> cameras;
  auto fields = [](const char* make, const char* model, const char* lens, double focal_mm) {
    ExifFields f;
    f.make = make;
    f.model = model;
    f.lens_model = lens;
    f.focal_length_mm = focal_mm;
    return f;
  };
  cameras.push_back({"drone DJI FC6310", fields("DJI", "FC6310", "", 8.8), 5472, 3648});
  cameras.push_back({"compact Sony RX100", fields("SONY", "DSC-RX100", "", 10.4), 5472, 3648});
  cameras.push_back({"reflex Canon 600D 18-55 @18",
                     fields("Canon", "Canon EOS 600D", "EF-S18-55mm f/3.5-5.6 IS II", 18), 5184,
                     3456});
  cameras.push_back({"mirrorless Sony A6000 16-50 @16",
                     fields("SONY", "ILCE-6000", "E PZ 16-50mm F3.5-5.6 OSS", 16), 6000, 4000});
  return cameras;
}

SpanScene LensScene(int width, int height, double height_above, double sag_scale) {
  SpanScene scene = ScaledScene(SampleSpanScene(), width, height);
  scene.left_x = width * 0.08;
  scene.right_x = width * 0.92;
  scene.sag *= sag_scale;
  // The chord's middle at the given height; the sample's slope kept.
  const double slope = (scene.right_y - scene.left_y) / (scene.right_x - scene.left_x);
  const double middle_y = height * (0.5 - height_above);
  const double half = (scene.right_x - scene.left_x) / 2;
  scene.left_y = middle_y - slope * half;
  scene.right_y = middle_y + slope * half;
  return scene;
}

PhotoLine DistortedLineAbove(const SpanScene& scene, const LensMapper& mapper, const PhotoLine& u) {
  auto end = [&](double x, double y, double* dx, double* dy) {
    const double row = ConductorCentreRow(scene, x);
    const PhotoPoint d = mapper.Distort({x, row});
    *dx = d.x;
    *dy = d.y - (row - y);
  };
  PhotoLine d;
  end(u.x1, u.y1, &d.x1, &d.y1);
  end(u.x2, u.y2, &d.x2, &d.y2);
  // Where the lens bows the conductor above the straight line between the
  // ends (near the frame's top edge), the user draws the line higher: the
  // line is raised until it clears the conductor's top edge everywhere by
  // as much as it does at its left end.
  const double clearance = ConductorTopRow(scene, u.x1) - u.y1;
  double raise = 0;
  for (double x = u.x1; x <= u.x2; x += 2) {
    const PhotoPoint top = mapper.Distort({x, ConductorTopRow(scene, x)});
    const double line_row = d.y1 + (d.y2 - d.y1) * (top.x - d.x1) / (d.x2 - d.x1);
    raise = std::max(raise, line_row - (top.y - clearance));
  }
  d.y1 -= raise;
  d.y2 -= raise;
  return d;
}

double TruthSagMetres(const SpanScene& scene, const PhotoLine& u, double span_m) {
  const double a = ConductorCentreRow(scene, u.x1), b = ConductorCentreRow(scene, u.x2);
  const double m = ConductorCentreRow(scene, (u.x1 + u.x2) / 2);
  return span_m * (m - (a + b) / 2) / (u.x2 - u.x1);
}

}  // namespace sarn::test
