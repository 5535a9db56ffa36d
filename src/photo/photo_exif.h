#pragma once

// What a photo's EXIF says about how it was taken: the capture date, the
// orientation the photo is to be shown in, and the camera and lens. Read with
// libexif from a JPEG's APP1 segment or a HEIC/HEIF file's Exif item
// (through libheif). No Qt.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace sarn {

struct PhotoExif {
  // DateTimeOriginal (0x9003) as "YYYY-MM-DD HH:MM:SS"; nullopt when absent
  // or not in the standard form (see ExifDateText).
  std::optional<std::string> capture_date;
  // Orientation (0x0112), 1..8 as EXIF numbers them: how the stored rows are
  // to be turned to show the photo upright. 1 (as stored) when absent or
  // out of range. For a HEIC/HEIF file the container's own rotation and
  // mirroring are what count, and this stays 1 (see ReadPhotoExif(path)).
  int orientation = 1;
  // Make (0x010F), Model (0x0110), LensMake (0xA433), LensModel (0xA434):
  // the text as written, trailing NULs and spaces removed; empty when absent.
  std::string make, model, lens_make, lens_model;
  // FocalLength (0x920A), mm; nullopt when absent, zero or not a number.
  std::optional<double> focal_length_mm;
  // FocalLengthIn35mmFilm (0xA405), mm; nullopt when absent or zero.
  std::optional<int> focal_length_35mm;

  bool operator==(const PhotoExif&) const = default;
};

// From an EXIF block in any of the forms photos carry it: the start of a JPEG
// file (its first kExifSearchBytes are enough), an APP1 payload beginning
// "Exif\0\0", a bare TIFF structure beginning "II*\0" or "MM\0*", or a HEIF
// Exif item (a 4-byte big-endian offset to the TIFF header, then the data).
// Nothing readable gives the defaults.
PhotoExif ReadPhotoExif(std::span<const uint8_t> exif_bytes);

// From a photo file: a JPEG's first kExifSearchBytes, or a HEIC/HEIF file's
// primary image's Exif item. nullopt when the file cannot be read; a file
// without EXIF gives the defaults. Reads through the program's file reader,
// so a FIFO or device is refused before anything blocks.
std::optional<PhotoExif> ReadPhotoExif(const std::string& path);

// Orientation's effect on the size: values 5 to 8 turn the photo a quarter,
// so the upright width is the stored height.
inline bool OrientationSwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// The orientation as the report names it: the number and what it does to
// the stored photo, "1（そのまま）", "6（右90°回転）", ...
std::string OrientationText(int orientation);

}  // namespace sarn
