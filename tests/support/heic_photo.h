#pragma once

// HEIC test photos, encoded with libheif's HEVC encoder (x265 on Debian).

#include <cstdint>
#include <string>
#include <vector>

#include "support/span_photo.h"

namespace sarn::test {

// Empty when libheif can encode HEVC here; otherwise why it cannot, for a
// skipped test.
std::string HeicEncoderMissing();

// `image` as a HEIC file at `quality` (0..100), 4:2:0, with `exif` (an
// "Exif\0\0" block, see exif_block.h) as its Exif item when not empty.
// Empty on failure.
std::vector<uint8_t> EncodeHeic(const RgbImage& image, int quality,
                                const std::vector<uint8_t>& exif = {});

}  // namespace sarn::test
