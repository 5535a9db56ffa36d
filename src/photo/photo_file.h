#pragma once

// A photo file mapped into memory (or given as bytes) with its size known. Decoding happens per
// attempt of the loading, at the size the attempt needs; the decoded photo
// is never kept whole (see jpeg_decoder.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "photo/load_plan.h"
#include "photo/raster.h"
#include "state/file_access.h"

namespace sarn {

class HeifPixels;

// A photo of another format as a fallback decoder gives it: its own size and
// its pixels, which may be fewer than the photo's (read scaled down, aspect
// kept) when the photo is wider than the loading needs.
struct FallbackPhoto {
  int width = 0, height = 0;
  Raster pixels;
};

// Decoder for formats other than JPEG: the bytes and the widest the photo is
// drawn (pixels) -> the photo, or a failure (481 not an image it knows, 7 too
// large to decode within its memory bound, 6 a side above 32767). Given by
// the program (Qt's image reader in the window); without one only JPEG files
// load.
using FallbackDecoder =
    std::function<Result<FallbackPhoto>(const std::vector<uint8_t>& bytes, int needed_width)>;

class PhotoFile {
 public:
  // The default bound of a whole decode: twice the loading's largest working
  // raster (kDefaultMaxRasterBytes), about 110 megapixels of HEIF.
  static constexpr double kMostDecodeBytes = 512.0 * (1 << 20);

  // JPEG and HEIC/HEIF files are decoded here (see jpeg_decoder.h,
  // heif_decoder.h); other formats by `fallback`.
  // Failures, none of them curable by a smaller working image: 53 the file
  // does not exist, 70 it may not be read, 75 a FIFO, device or socket, 481
  // it yields no image (zero bytes, not an image, a header libjpeg cannot
  // read, a HEIF file libheif cannot decode, a folder), 6 a side above 32767
  // pixels, 7 a HEIF photo too large to decode. Open's failures name the path
  // once. `needed_width`: the widest any working image of this load is drawn
  // (the limit), passed to the fallback decoder.
  // `max_decode_bytes`: the most a HEIF photo, which is decoded whole, may
  // take to decode (failure 7 above it).
  static Result<PhotoFile> Open(const std::string& path, const FallbackDecoder& fallback = {},
                                int needed_width = kMaxImageSide,
                                double max_decode_bytes = kMostDecodeBytes);
  static Result<PhotoFile> FromBytes(std::vector<uint8_t> bytes,
                                     const FallbackDecoder& fallback = {},
                                     int needed_width = kMaxImageSide,
                                     double max_decode_bytes = kMostDecodeBytes);

  // The photo's size upright, as a viewer shows it (for a JPEG whose EXIF
  // Orientation turns it a quarter, the stored height is the width).
  int width() const { return width_; }
  int height() const { return height_; }
  bool is_jpeg() const { return is_jpeg_; }
  // EXIF Orientation of a JPEG (1..8), applied while its working image is
  // made; 1 for other formats, whose decoders show them upright.
  int orientation() const { return orientation_; }

  // The working image of `plan`, or a failure (code 7 when the working
  // raster would exceed `max_raster_bytes` or cannot be allocated; 481, not
  // curable, when the file was cut short by another program while it was
  // read). A JPEG whose data ends early or is corrupt still gives one; then
  // `first_missing_photo_row` (when given) is set to the first photo row not
  // wholly decoded (see DecodeJpegInto), counted in upright rows; a photo
  // stored turned (orientation 3 to 8) whose data ends early counts as
  // missing from row 0, as its missing stored rows are not upright rows
  // below some row.
  Result<Raster> BuildWorkingImage(const WorkingImagePlan& plan, size_t max_raster_bytes,
                                   std::optional<int>* first_missing_photo_row = nullptr) const;

 private:
  std::span<const uint8_t> bytes() const;
  // Reads the size (JPEG) or decodes the photo (other formats, perhaps scaled
  // down to `needed_width`).
  Result<void> Identify(const FallbackDecoder& fallback, int needed_width, double max_decode_bytes);

  MappedFile mapped_;           // the JPEG file as opened from a path, or
  std::vector<uint8_t> owned_;  // as given to FromBytes
  Raster decoded_;  // a photo of another format, decoded by the fallback (maybe scaled down)
  std::shared_ptr<const HeifPixels> heif_;  // a HEIC/HEIF photo, decoded upright
  int width_ = 0, height_ = 0;
  bool is_jpeg_ = false;
  int orientation_ = 1;
};

}  // namespace sarn
