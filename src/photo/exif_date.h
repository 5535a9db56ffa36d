#pragma once

// The date and time a photo was taken, from the EXIF tag DateTimeOriginal
// (0x9003) of its Exif IFD, read with libexif.

#include <optional>
#include <string>

namespace sarn {

// "YYYY-MM-DD HH:MM:SS" from the tag's "YYYY:MM:DD HH:MM:SS". nullopt when
// the file cannot be read, carries no EXIF or no such tag, or the tag is blank
// (all spaces or zeros, as cameras without a clock write it) or not in that
// form, so that nothing unreadable reaches a report.
std::optional<std::string> ReadExifCaptureDate(const std::string& path);

// The same for the text of the tag alone.
std::optional<std::string> ExifDateText(const std::string& tag_value);

}  // namespace sarn
