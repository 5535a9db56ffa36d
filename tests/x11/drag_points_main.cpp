// sarn_drag_points PHOTO X1,Y1,X2,Y2 INNER_WIDTH
//
// For the real-X test: where to press and release the left button on the
// overview so that the window scans the given line (photo pixels), and that
// line as the window will hold it, for `sarn measure --line`.
//
// The window loads PHOTO as `sarn measure` does (limit 5000, the cut on) but
// spans the overview across its own inner width (INNER_WIDTH, pixels), so
// ImgScale differs. A pointer position is a whole window pixel; Picture1
// reports it in overview units (x / 1.004, y) as 32-bit floats, and the scan
// multiplies by ImgScale. The printed photo line maps back, through the
// working image, onto the same station columns, start rows and chord ends as
// the window's, so both runs read the same pixels and compute the same text.
// Pointer positions near the ideal ones are tried until that holds.
//
// Prints: "PX1 PY1 PX2 PY2 X1,Y1,X2,Y2" (pointer positions in Picture1's
// pixels, then the photo line with 17 significant digits).

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "photo/load_plan.h"
#include "photo/photo_loader.h"
#include "tracing/scan.h"

namespace {

struct Drag {
  int px1, py1, px2, py2;
};

struct Candidate {
  sarn::ScanLine window_line;  // overview units, as Picture1 reports the drag
  std::array<double, 4> photo_line{};
};

// The line in photo pixels that a drag gives in the window. Printed with 17
// significant digits, it reads back as the same doubles in `sarn measure`.
Candidate LineOfDrag(const sarn::LoadedPhoto& photo, const Drag& d) {
  const double ux = sarn::kOverviewUnitXPixels, uy = sarn::kOverviewUnitYPixels;
  Candidate c;
  c.window_line = {static_cast<float>(d.px1 / ux), static_cast<float>(d.py1 / uy),
                   static_cast<float>(d.px2 / ux), static_cast<float>(d.py2 / uy)};
  const double s = photo.overview_plan.ImgScale;
  const sarn::ScanLine& w = c.window_line;
  sarn::WorkingToPhoto(photo.plan, photo.photo_width, photo.photo_height, w.X1 * s, w.Y1 * s,
                       &c.photo_line[0], &c.photo_line[1]);
  sarn::WorkingToPhoto(photo.plan, photo.photo_width, photo.photo_height, w.X2 * s, w.Y2 * s,
                       &c.photo_line[2], &c.photo_line[3]);
  return c;
}

// True when `sarn measure` scans the same stations and chord for the photo
// line as the window for its drag.
bool SameScan(const sarn::LoadedPhoto& photo, const Candidate& c) {
  double wx1 = 0, wy1 = 0, wx2 = 0, wy2 = 0;
  const auto& p = c.photo_line;
  sarn::PhotoToWorking(photo.plan, photo.photo_width, photo.photo_height, p[0], p[1], &wx1, &wy1);
  sarn::PhotoToWorking(photo.plan, photo.photo_width, photo.photo_height, p[2], p[3], &wx2, &wy2);
  const sarn::ScanLine cli{static_cast<float>(wx1), static_cast<float>(wy1),
                           static_cast<float>(wx2), static_cast<float>(wy2)};
  const float s = photo.overview_plan.ImgScale;
  for (int i = 0; i < sarn::kStations; ++i) {
    if (sarn::StationColumn(c.window_line, s, i) != sarn::StationColumn(cli, 1.0f, i) ||
        sarn::StationTop(c.window_line, s, i) != sarn::StationTop(cli, 1.0f, i))
      return false;
  }
  // The chord's ends in working pixels, from which the span's scale is taken.
  return static_cast<float>(c.window_line.X1 * double{s}) == cli.X1 &&
         static_cast<float>(c.window_line.X2 * double{s}) == cli.X2;
}

}  // namespace

int main(int argc, char** argv) {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  if (argc != 4 || std::sscanf(argv[2], "%lf,%lf,%lf,%lf", &x1, &y1, &x2, &y2) != 4) {
    std::cerr << "usage: sarn_drag_points PHOTO X1,Y1,X2,Y2 INNER_WIDTH\n";
    return 2;
  }
  const int inner_width = std::atoi(argv[3]);
  sarn::LoadOutcome loaded =
      sarn::LoadPhotoWithRecovery(argv[1], sarn::LoadSettings{}, inner_width, {});
  if (!loaded.photo) {
    std::cerr << "sarn_drag_points: " << argv[1] << " does not load\n";
    return 1;
  }
  const sarn::LoadedPhoto& photo = *loaded.photo;
  const double s = photo.overview_plan.ImgScale;

  // The ideal pointer positions: photo -> working -> overview units -> pixels.
  auto pixel = [&](double x, double y, int* px, int* py) {
    double wx = 0, wy = 0;
    sarn::PhotoToWorking(photo.plan, photo.photo_width, photo.photo_height, x, y, &wx, &wy);
    *px = static_cast<int>(std::lround(wx / s * sarn::kOverviewUnitXPixels));
    *py = static_cast<int>(std::lround(wy / s * sarn::kOverviewUnitYPixels));
  };
  Drag ideal{};
  pixel(x1, y1, &ideal.px1, &ideal.py1);
  pixel(x2, y2, &ideal.px2, &ideal.py2);

  const int width = sarn::OverviewPixelWidth(photo.overview_plan);
  const int height = sarn::OverviewPixelHeight(photo.overview_plan);
  for (int radius = 0; radius <= 2; ++radius) {
    for (int a = -radius; a <= radius; ++a) {
      for (int b = -radius; b <= radius; ++b) {
        const Drag d{ideal.px1 + a, ideal.py1, ideal.px2 + b, ideal.py2};
        if (d.px1 < 0 || d.px2 >= width || d.py1 < 0 || d.py2 >= height)
          continue;
        const Candidate c = LineOfDrag(photo, d);
        if (!SameScan(photo, c))
          continue;
        std::printf("%d %d %d %d %.17g,%.17g,%.17g,%.17g\n", d.px1, d.py1, d.px2, d.py2,
                    c.photo_line[0], c.photo_line[1], c.photo_line[2], c.photo_line[3]);
        return 0;
      }
    }
  }
  std::cerr << "sarn_drag_points: no pointer position near the line scans the same stations\n";
  return 1;
}
