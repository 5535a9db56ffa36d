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
#include <variant>
#include <vector>

#include "photo/load_plan.h"
#include "photo/raster.h"
#include "state/file_access.h"

namespace sarn {

// Decoder for formats other than JPEG: bytes -> raster, nullopt when the bytes
// are not an image it knows. Given by the program (Qt's image reader in the
// window); without one only JPEG files load.
using FallbackDecoder = std::function<std::optional<Raster>(const std::vector<uint8_t>&)>;

class PhotoFile {
 public:
  // Failures, none of them curable by a smaller working image: 53 the file
  // does not exist, 70 it may not be read, 481 it yields no image (zero bytes,
  // not an image, a header libjpeg cannot read, a folder), 6 a side above
  // 32767 pixels.
  static std::variant<PhotoFile, LoadFailure> Open(const std::string& path,
                                                   const FallbackDecoder& fallback = {});
  static std::variant<PhotoFile, LoadFailure> FromBytes(std::vector<uint8_t> bytes,
                                                        const FallbackDecoder& fallback = {});

  int width() const { return width_; }
  int height() const { return height_; }
  bool is_jpeg() const { return is_jpeg_; }

  // The working image of `plan`, or a failure (code 7 when the working
  // raster would exceed `max_raster_bytes` or cannot be allocated; 481, not
  // curable, when the file was cut short by another program while it was
  // read).
  std::variant<Raster, LoadFailure> BuildWorkingImage(const WorkingImagePlan& plan,
                                                      size_t max_raster_bytes) const;

 private:
  std::span<const uint8_t> bytes() const;
  // Reads the size (JPEG) or decodes the photo (other formats).
  std::optional<LoadFailure> Identify(const FallbackDecoder& fallback);

  MappedFile mapped_;           // the JPEG file as opened from a path, or
  std::vector<uint8_t> owned_;  // as given to FromBytes
  Raster decoded_;              // a photo of another format, decoded by the fallback
  int width_ = 0, height_ = 0;
  bool is_jpeg_ = false;
};

}  // namespace sarn
