#include "photo/photo_exif.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "photo/exif_date.h"
#include "photo/heif_decoder.h"
#include "state/file_access.h"

namespace sarn {
namespace {

struct ExifDataRelease {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataPtr = std::unique_ptr<ExifData, ExifDataRelease>;

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

bool StartsWithTiff(std::span<const uint8_t> b) {
  return b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                           (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42));
}

// libexif reads a JPEG start or an "Exif\0\0" block; a bare TIFF structure
// gets that header put in front. Options off: libexif then adds no tags the
// standard calls mandatory and the file lacks, so absent means absent.
ExifDataPtr Parse(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> prefixed;
  if (StartsWithTiff(bytes)) {
    prefixed.assign(std::begin(kExifHeader), std::end(kExifHeader));
    prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
    bytes = prefixed;
  }
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu)
    return nullptr;
  ExifDataPtr data(exif_data_new());
  if (!data)
    return nullptr;
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data.get(), bytes.data(), static_cast<unsigned int>(bytes.size()));
  return data;
}

ExifEntry* Entry(ExifData* data, ExifIfd ifd, unsigned tag) {
  return exif_content_get_entry(data->ifd[ifd], static_cast<ExifTag>(tag));
}

std::string Text(ExifData* data, ExifIfd ifd, unsigned tag) {
  ExifEntry* e = Entry(data, ifd, tag);
  if (e == nullptr || e->format != EXIF_FORMAT_ASCII || e->data == nullptr)
    return {};
  std::string text(reinterpret_cast<const char*>(e->data), e->size);
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

std::optional<unsigned> Short(ExifData* data, ExifIfd ifd, unsigned tag) {
  ExifEntry* e = Entry(data, ifd, tag);
  if (e == nullptr || e->data == nullptr || e->components < 1)
    return std::nullopt;
  const ExifByteOrder order = exif_data_get_byte_order(data);
  if (e->format == EXIF_FORMAT_SHORT && e->size >= 2)
    return exif_get_short(e->data, order);
  if (e->format == EXIF_FORMAT_LONG && e->size >= 4)
    return exif_get_long(e->data, order);
  return std::nullopt;
}

std::optional<double> Rational(ExifData* data, ExifIfd ifd, unsigned tag) {
  ExifEntry* e = Entry(data, ifd, tag);
  if (e == nullptr || e->data == nullptr || e->components < 1 || e->size < 8 ||
      e->format != EXIF_FORMAT_RATIONAL)
    return std::nullopt;
  const ExifRational r = exif_get_rational(e->data, exif_data_get_byte_order(data));
  if (r.denominator == 0 || r.numerator == 0)
    return std::nullopt;
  return static_cast<double>(r.numerator) / r.denominator;
}

// A HEIF Exif item starts with the offset of the TIFF header from the end of
// that 4-byte field (usually 6, past "Exif\0\0", or 0).
std::span<const uint8_t> SkipHeifExifOffset(std::span<const uint8_t> item) {
  if (item.size() < 4)
    return {};
  const uint32_t offset = (uint32_t{item[0]} << 24) | (uint32_t{item[1]} << 16) |
                          (uint32_t{item[2]} << 8) | uint32_t{item[3]};
  if (offset > item.size() - 4)
    return {};
  return item.subspan(4 + offset);
}

// The largest HEIF file whose EXIF is looked for (as the photo loader's bound).
constexpr size_t kLargestHeifFileBytes = size_t{1} << 31;

}  // namespace

PhotoExif ReadPhotoExif(std::span<const uint8_t> exif_bytes) {
  PhotoExif exif;
  // A HEIF Exif item: a 4-byte offset whose first bytes cannot start any of
  // the other forms (0xFF, 'E', 'I', 'M').
  if (exif_bytes.size() >= 4 && exif_bytes[0] == 0 && exif_bytes[1] == 0)
    exif_bytes = SkipHeifExifOffset(exif_bytes);
  const ExifDataPtr data = Parse(exif_bytes);
  if (!data)
    return exif;
  if (ExifEntry* date = Entry(data.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
      date != nullptr && date->format == EXIF_FORMAT_ASCII && date->data != nullptr) {
    exif.capture_date =
        ExifDateText(std::string(reinterpret_cast<const char*>(date->data), date->size));
  }
  if (auto o = Short(data.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION); o && *o >= 1 && *o <= 8)
    exif.orientation = static_cast<int>(*o);
  exif.make = Text(data.get(), EXIF_IFD_0, EXIF_TAG_MAKE);
  exif.model = Text(data.get(), EXIF_IFD_0, EXIF_TAG_MODEL);
  exif.lens_make = Text(data.get(), EXIF_IFD_EXIF, 0xA433);
  exif.lens_model = Text(data.get(), EXIF_IFD_EXIF, 0xA434);
  if (auto f = Rational(data.get(), EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH); f && std::isfinite(*f))
    exif.focal_length_mm = *f;
  if (auto f35 = Short(data.get(), EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM);
      f35 && *f35 > 0)
    exif.focal_length_35mm = static_cast<int>(*f35);
  return exif;
}

std::optional<PhotoExif> ReadPhotoExif(const std::string& path) {
  const Result<std::vector<uint8_t>> start = ReadFileStart(path, kExifSearchBytes);
  if (!start)
    return std::nullopt;
  if (!LooksLikeHeif(*start))
    return ReadPhotoExif(std::span<const uint8_t>(*start));
  // The Exif item of a HEIF file may lie anywhere in it.
  const Result<MappedFile> file = MapWholeFile(path, kLargestHeifFileBytes);
  if (!file)
    return std::nullopt;
  PhotoExif exif = ReadPhotoExif(HeifExifItem({file->data(), file->size()}));
  // libheif shows the photo upright by the container's rotation and
  // mirroring; an Orientation tag beside them is not applied again.
  exif.orientation = 1;
  return exif;
}

std::string OrientationText(int orientation) {
  switch (orientation) {
    case 2:
      return "2（左右反転）";
    case 3:
      return "3（180°回転）";
    case 4:
      return "4（上下反転）";
    case 5:
      return "5（左右反転・左90°回転）";
    case 6:
      return "6（右90°回転）";
    case 7:
      return "7（左右反転・右90°回転）";
    case 8:
      return "8（左90°回転）";
    default:
      return "1（そのまま）";
  }
}

}  // namespace sarn
