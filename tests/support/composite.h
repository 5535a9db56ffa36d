#pragma once

// Rendered conductors composited onto a real photograph, for the accuracy
// campaign and its committed test crops. The background is a JPEG cropped
// and resampled to the photo's size; on it hang one to three near-parallel
// conductors (catenaries), each with a lit top, a shaded underside and a
// soft edge, dark or bright; optionally a smooth sky covers the background
// above a slanting horizon, so that a conductor crosses from sky into the
// texture; then blur, sensor noise and JPEG compression.
//
// Coordinates are photo pixels, continuous (pixel (i, j) covers
// [i, i+1) x [j, j+1)); rows grow downwards. The truth is the upper
// conductor's centre line, CompositeScene::CentreRow(0, x).

#include <cstdint>
#include <string>
#include <vector>

#include "support/span_photo.h"

namespace sarn::test {

struct CompositeScene {
  int width = 1200, height = 800;
  // Background: a JPEG file, and the part of it used (its own pixels,
  // scaled to width x height).
  std::string background;
  double crop_x = 0, crop_y = 0, crop_w = 0, crop_h = 0;  // crop_w 0: the whole image

  // The upper conductor: a catenary through (left_x, left_y) and
  // (right_x, right_y) (may lie outside the photo) with mid-chord sag `sag`.
  double left_x = -50, left_y = 380, right_x = 1250, right_y = 420, sag = 40;
  double thickness = 4;  // photo px, measured vertically
  // Conductors below the first, each this many px lower at mid-span than
  // the one above (near-parallel: their sag grows by `sag_step` px each).
  std::vector<double> below;
  double sag_step = 3;
  // Body brightness (0..255, grey), the lit top's extra brightness and the
  // shaded underside's loss.
  double body = 60, lit = 50, shade = 30;
  double edge_softness = 0.6;  // px, the ramp of the edges

  // Sky above a horizon: the horizon's row at x = 0 and x = width (NaN: no
  // sky); above it a smooth sky of this brightness.
  double horizon_left = -1, horizon_right = -1;
  double sky = 205;

  double blur = 0;   // Gaussian sigma, px
  double noise = 0;  // grey levels
  int quality = 85;
  uint32_t seed = 1;

  // Row of conductor k's centre at x (k = 0 the upper one).
  double CentreRow(int k, double x) const;
};

// The composite before compression; an empty image when the background
// cannot be read.
RgbImage RenderComposite(const CompositeScene& scene);

// RGB of a JPEG file or of JPEG bytes; empty on failure.
RgbImage DecodeJpegFile(const std::string& path);
RgbImage DecodeJpegBytes(const std::vector<uint8_t>& bytes);

}  // namespace sarn::test
