#pragma once

// A small EXIF writer for test photos: a little-endian TIFF structure with
// the tags a camera writes about the photo's orientation, date, camera and
// lens, and the APP1 segment that carries it in a JPEG.

#include <cstdint>
#include <string>
#include <vector>

namespace sarn::test {

struct ExifFields {
  int orientation = 0;  // 0: no Orientation tag
  std::string date;     // DateTimeOriginal, "YYYY:MM:DD HH:MM:SS"; empty: none
  std::string make, model, lens_make, lens_model;  // empty: none
  double focal_length_mm = 0;                      // 0: none (written as n / 100)
  int focal_length_35mm = 0;                       // 0: none
};

// "Exif\0\0" followed by the TIFF structure (the payload of a JPEG APP1
// segment).
std::vector<uint8_t> ExifBlock(const ExifFields& fields);

// `jpeg` with an APP1 segment holding ExifBlock(fields) right after its
// start-of-image marker.
std::vector<uint8_t> WithExif(std::vector<uint8_t> jpeg, const ExifFields& fields);

// The upright photo `jpeg` stored as a camera turned by EXIF Orientation
// `orientation` (1..8) writes it: its DCT blocks turned or mirrored losslessly
// (TurboJPEG's transforms; both sides must be multiples of the MCU, 16 for
// 4:2:0) and tagged with that orientation. Empty on failure.
std::vector<uint8_t> StoredWithOrientation(const std::vector<uint8_t>& jpeg, int orientation);

}  // namespace sarn::test
