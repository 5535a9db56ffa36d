#pragma once

// The date and time a photo was taken, from the EXIF tag DateTimeOriginal
// (0x9003) of its Exif IFD, read with libexif.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sarn {

// How much of the start of a JPEG file holds its EXIF block: the start-of-image
// marker, a JFIF APP0 segment and the APP1 EXIF segment, each segment at most
// 64 KiB. The caller reads this much with the program's file reader, so that
// a FIFO or a device is refused before anything blocks on it.
inline constexpr size_t kExifSearchBytes = 2 + 2 * (65535 + 2);

// "YYYY-MM-DD HH:MM:SS" from the tag's "YYYY:MM:DD HH:MM:SS", given the first
// bytes of a JPEG file (kExifSearchBytes, or all of a shorter file). nullopt
// when the bytes carry no EXIF or no such tag, or the tag is blank (all
// spaces or zeros, as cameras without a clock write it) or not in that form,
// so that nothing unreadable reaches a report.
std::optional<std::string> ExifCaptureDate(const std::vector<uint8_t>& file_start);

// The same for the text of the tag alone.
std::optional<std::string> ExifDateText(const std::string& tag_value);

}  // namespace sarn
