#pragma once

// JPEG decoding with libjpeg-turbo, straight into an area resampler: the
// decoder scales by M/8 in the DCT (M = 1, 2, 4 or 8; cheap and without
// aliasing), skips the rows above the first one the working image needs
// without inverse DCT or colour conversion, and stops after the last needed
// row, so a full-size copy of the photo is never made and the memory used is
// a few rows plus the destination. (A progressive JPEG is the exception:
// libjpeg must buffer all its coefficients, about 3 bytes per pixel for 4:2:0.)
// Rows come out as 0xFFRRGGBB words (JCS_EXT_BGRX on a little-endian machine);
// CMYK files (Adobe, inverted) are converted as R = C K / 255 and so on.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "photo/area_resampler.h"
#include "photo/load_plan.h"

namespace sarn {

// True when the bytes start with a JPEG start-of-image marker (FF D8 FF).
bool LooksLikeJpeg(std::span<const uint8_t> bytes);

struct JpegSize {
  int width = 0, height = 0;
};

// The frame size from the header; failure 481 (not curable) when libjpeg
// cannot read a header from the bytes.
Result<JpegSize> ReadJpegSize(std::span<const uint8_t> bytes);

// Size of the image decoded at scale scale_eighths / 8: ceil(side * M / 8).
JpegSize ScaledJpegSize(JpegSize full, int scale_eighths);

// The smallest M of 1, 2, 4, 8 with side * M / 8 >= the drawn size on both
// axes. Only these scales have SIMD inverse DCTs in libjpeg-turbo; at 3/8,
// 5/8, 6/8, 7/8 the plain C transforms (14 x 14 for 4:2:0 chroma at 7/8) are
// slower than decoding at full size, so full size is taken instead and the
// area resampling does the rest.
int ChooseDctScale(JpegSize full, double draw_width, double draw_height);

// Decodes at scale_eighths / 8 and pushes the rows (and of them the columns)
// the resampler asks for, stored rows top to bottom as the file holds them.
// A file that breaks off (truncated, corrupt data, or a fatal error after the
// header) still loads: libjpeg fills missing data with grey, or the
// resampler's Finish repeats the last row made; `first_missing_photo_row`
// (when given) is then set to the first photo row (full-size rows from the
// top) not wholly decoded from real data: the start of the 8- or 16-row
// block being read when the data ended or libjpeg warned of corrupt data, or
// 0 for a progressive photo whose later scans never came. Rows below the
// last one the resampler needs are not read, so damage there goes unseen.
// Failures: 7 when libjpeg runs out of memory (curable) or a progressive
// photo needs more than 200 MB of coefficients (not curable), 481 when the
// header cannot be read or the photo has more than 500 scans.
Result<void> DecodeJpegInto(std::span<const uint8_t> bytes, int scale_eighths,
                            AreaResampler* resampler,
                            std::optional<int>* first_missing_photo_row = nullptr);

}  // namespace sarn
