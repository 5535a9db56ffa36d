#include "photo/exif_date.h"

#include <libexif/exif-data.h>

#include <cctype>
#include <memory>

namespace sarn {
namespace {

struct ExifDataRelease {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};

}  // namespace

std::optional<std::string> ExifDateText(const std::string& tag_value) {
  // "YYYY:MM:DD HH:MM:SS": digits everywhere except the separators.
  const std::string pattern = "dddd:dd:dd dd:dd:dd";
  if (tag_value.size() < pattern.size())
    return std::nullopt;
  bool any_nonzero = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(tag_value[i]);
    if (pattern[i] == 'd') {
      if (!std::isdigit(c))
        return std::nullopt;
      any_nonzero = any_nonzero || c != '0';
    } else if (c != static_cast<unsigned char>(pattern[i])) {
      return std::nullopt;
    }
  }
  // Anything after the 19 characters other than padding is not a date.
  for (size_t i = pattern.size(); i < tag_value.size(); ++i) {
    if (tag_value[i] != '\0' && tag_value[i] != ' ')
      return std::nullopt;
  }
  if (!any_nonzero)
    return std::nullopt;
  std::string text = tag_value.substr(0, pattern.size());
  text[4] = '-';
  text[7] = '-';
  return text;
}

std::optional<std::string> ExifCaptureDate(const std::vector<uint8_t>& file_start) {
  if (file_start.empty())
    return std::nullopt;
  // libexif walks the JPEG markers to the APP1 EXIF segment itself.
  const std::unique_ptr<ExifData, ExifDataRelease> data(
      exif_data_new_from_data(file_start.data(), static_cast<unsigned int>(file_start.size())));
  if (!data)
    return std::nullopt;
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL);
  if (entry == nullptr || entry->format != EXIF_FORMAT_ASCII || entry->data == nullptr)
    return std::nullopt;
  return ExifDateText(
      std::string(reinterpret_cast<const char*>(entry->data), static_cast<size_t>(entry->size)));
}

}  // namespace sarn
