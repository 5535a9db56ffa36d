#pragma once

// HEIC/HEIF photos, decoded with libheif (HEVC through libde265, AV1 where a
// decoder is installed). libheif applies the file's own rotation, mirroring
// and crop (irot, imir, clap) on decoding, so the photo comes out upright;
// its EXIF Orientation tag is not applied again. The decoded photo is held
// as 8-bit RGB (3 bytes a pixel) for the loading's attempts and is turned
// into working-image rows one row at a time.
//
// libheif is opened at the first HEIF file (state/shared_library.h), not at
// start-up. Without it (the package libheif1) a HEIF file is refused with a
// message naming the package; JPEG photos never need it.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "photo/load_plan.h"

namespace sarn {

// libheif's runtime name, opened at the first HEIF file.
inline constexpr const char* kHeifSoname = "libheif.so.1";

// True when the bytes start with an ISO-BMFF 'ftyp' box whose major brand
// is a HEIF one (heic, heix, mif1, avif, ...). Needs no libheif.
bool LooksLikeHeif(std::span<const uint8_t> bytes);

// The Exif item of the primary image of a HEIF file in memory (its 4-byte
// TIFF-header offset first); empty when there is none, the file cannot be
// read or libheif is not installed.
std::vector<uint8_t> HeifExifItem(std::span<const uint8_t> file);

// A decoded HEIF photo: `height` rows of `width` pixels, R, G, B bytes.
class HeifPixels {
 public:
  virtual ~HeifPixels() = default;
  int width = 0, height = 0;
  virtual const uint8_t* Row(int y) const = 0;
};

// What a HEIF photo takes to decode: libheif holds the coded planes (1.5
// bytes a pixel in 4:2:0) and the RGB photo (3 bytes) at once.
inline constexpr double kHeifDecodeBytesPerPixel = 4.5;

// The primary image of the file, upright. Failures (none curable): 481 the
// file cannot be read or decoded (or libheif has no decoder for its coding,
// or libheif is not installed),
// 6 a side above 32767, 7 more than `max_decode_bytes` to decode (checked
// from the header, before anything is decoded) or out of memory.
Result<std::shared_ptr<const HeifPixels>> DecodeHeif(std::span<const uint8_t> bytes,
                                                     double max_decode_bytes);

}  // namespace sarn
