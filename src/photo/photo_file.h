#pragma once

// A photo file mapped into memory (or given as bytes) with its size known. Decoding happens per
// attempt of the loading, at the size the attempt needs; the decoded photo
// is never kept whole (see jpeg_decoder.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "photo/load_plan.h"
#include "photo/raster.h"
#include "state/file_access.h"

namespace sarn {

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
  // Failures, none of them curable by a smaller working image: 53 the file
  // does not exist, 70 it may not be read, 75 a FIFO, device or socket, 481
  // it yields no image (zero bytes, not an image, a header libjpeg cannot
  // read, a folder), 6 a side above 32767 pixels. Open's failures name the
  // path once. `needed_width`: the widest any working image of this load is
  // drawn (the limit), passed to the fallback decoder.
  static Result<PhotoFile> Open(const std::string& path, const FallbackDecoder& fallback = {},
                                int needed_width = kMaxImageSide);
  static Result<PhotoFile> FromBytes(std::vector<uint8_t> bytes,
                                     const FallbackDecoder& fallback = {},
                                     int needed_width = kMaxImageSide);

  int width() const { return width_; }
  int height() const { return height_; }
  bool is_jpeg() const { return is_jpeg_; }

  // The working image of `plan`, or a failure (code 7 when the working
  // raster would exceed `max_raster_bytes` or cannot be allocated; 481, not
  // curable, when the file was cut short by another program while it was
  // read). A JPEG whose data ends early or is corrupt still gives one; then
  // `first_missing_photo_row` (when given) is set to the first photo row not
  // wholly decoded (see DecodeJpegInto).
  Result<Raster> BuildWorkingImage(const WorkingImagePlan& plan, size_t max_raster_bytes,
                                   std::optional<int>* first_missing_photo_row = nullptr) const;

 private:
  std::span<const uint8_t> bytes() const;
  // Reads the size (JPEG) or decodes the photo (other formats, perhaps scaled
  // down to `needed_width`).
  Result<void> Identify(const FallbackDecoder& fallback, int needed_width);

  MappedFile mapped_;           // the JPEG file as opened from a path, or
  std::vector<uint8_t> owned_;  // as given to FromBytes
  Raster decoded_;  // a photo of another format, decoded by the fallback (maybe scaled down)
  int width_ = 0, height_ = 0;
  bool is_jpeg_ = false;
};

}  // namespace sarn
