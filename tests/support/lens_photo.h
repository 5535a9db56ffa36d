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
#include "support/span_photo.h"

namespace sarn::test {

// `undistorted` as the lens would have imaged it: output pixel centre p
// (distorted) takes the undistorted image at mapper.Undistort(p), sampled
// bilinearly (outside the image: the nearest edge pixel).
RgbImage DistortImage(const RgbImage& undistorted, const LensMapper& mapper);

// `jpeg` with an APP1 EXIF segment after its start-of-image marker holding
// Make and Model (IFD0) and FocalLength, LensMake and LensModel (Exif IFD);
// empty strings and a focal length of 0 are left out.
std::vector<uint8_t> WithCameraExif(const std::vector<uint8_t>& jpeg, const CameraExif& exif);

// A camera of the lens campaign: its EXIF fields and its photo size.
struct CampaignCamera {
  std::string label;  // short, for tables
  CameraExif exif;
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

}  // namespace sarn::test
