#pragma once

// Photos as a lens with distortion takes them, for the lens-correction tests
// and the lens accuracy campaign: a span rendered undistorted at the camera's
// own size, resampled through the lens's distortion model (lensfun's reverse
// transform, the same the correction inverts), and given the EXIF fields by
// which Sarn finds the camera and lens.

#include <cstdint>
#include <string>
#include <vector>

#include "photo/lens_correction.h"
#include "support/exif_block.h"
#include "support/span_photo.h"

namespace sarn::test {

// `undistorted` as the lens would have imaged it: output pixel centre p
// (distorted) takes the undistorted image at mapper.Undistort(p), sampled
// bilinearly (outside the image: the nearest edge pixel).
RgbImage DistortImage(const RgbImage& undistorted, const LensMapper& mapper);

// `fields` as Sarn reads them back from a photo (ExifBlock, ReadPhotoExif).
PhotoExif ReadBack(const ExifFields& fields);

// A camera of the lens campaign: its EXIF fields and its photo size.
struct CampaignCamera {
  std::string label;  // short, for tables
  ExifFields exif;    // written into its photos with WithExif
  int width = 0, height = 0;
};
// A drone (DJI FC6310), a compact (Sony RX100 at its wide end), a reflex kit
// zoom at its wide end (Canon EOS 600D, EF-S 18-55 mm at 18 mm) and a
// mirrorless kit zoom at its wide end.
std::vector<CampaignCamera> CampaignCameras();

// The sample scene at `width` x `height` with the chord (attachment to
// attachment, across 84 % of the width) centred `height_above` of the photo's
// height above the centre (negative: below), and the sag `sag_scale` times the
// sample's.
SpanScene LensScene(int width, int height, double height_above, double sag_scale);

// The line a user draws on the distorted photo of `scene`, given the line `u`
// on the undistorted one (ScanLineAbove): each end straight above the
// conductor's point at u's end column as the lens moved it, as far above it
// as u's end lies above the undistorted conductor, and both raised where the
// lens bows the conductor up towards the line. The chain's chord ends (the
// conductor at the line's end columns) then correct back to u's columns.
PhotoLine DistortedLineAbove(const SpanScene& scene, const LensMapper& mapper, const PhotoLine& u);

// The undistorted truth: the conductor's vertical distance below the chord
// between u's end columns at its middle, in metres of a `span_m` span,
//   span_m * (C(m) - (C(a) + C(b)) / 2) / (b - a),  m = (a + b) / 2.
double TruthSagMetres(const SpanScene& scene, const PhotoLine& u, double span_m);

}  // namespace sarn::test
