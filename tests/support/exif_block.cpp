#include "support/exif_block.h"

#include <turbojpeg.h>

#include <cmath>
#include <utility>

namespace sarn::test {
namespace {

constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5;

struct Tag {
  uint16_t id, type;
  uint32_t count;
  std::vector<uint8_t> value;  // little-endian bytes
};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

Tag Ascii(uint16_t id, const std::string& text) {
  std::vector<uint8_t> v(text.begin(), text.end());
  v.push_back(0);
  return {id, kAscii, static_cast<uint32_t>(v.size()), v};
}
Tag Short(uint16_t id, int value) {
  std::vector<uint8_t> v;
  Put16(&v, static_cast<uint32_t>(value));
  return {id, kShort, 1, v};
}

// One IFD at `offset` (from the TIFF header): entries, next-IFD 0, then the
// values longer than four bytes.
std::vector<uint8_t> Ifd(const std::vector<Tag>& tags, uint32_t offset) {
  std::vector<uint8_t> out, data;
  const uint32_t data_start = offset + 2 + 12 * static_cast<uint32_t>(tags.size()) + 4;
  Put16(&out, static_cast<uint32_t>(tags.size()));
  for (const Tag& t : tags) {
    Put16(&out, t.id);
    Put16(&out, t.type);
    Put32(&out, t.count);
    if (t.value.size() <= 4) {
      std::vector<uint8_t> inline_value = t.value;
      inline_value.resize(4, 0);
      out.insert(out.end(), inline_value.begin(), inline_value.end());
    } else {
      Put32(&out, data_start + static_cast<uint32_t>(data.size()));
      data.insert(data.end(), t.value.begin(), t.value.end());
      if (data.size() % 2 != 0)
        data.push_back(0);
    }
  }
  Put32(&out, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

std::vector<uint8_t> ExifBlock(const ExifFields& f) {
  std::vector<Tag> exif_tags;
  if (!f.date.empty())
    exif_tags.push_back(Ascii(0x9003, f.date));
  if (f.focal_length_mm > 0) {
    std::vector<uint8_t> v;
    Put32(&v, static_cast<uint32_t>(std::lround(f.focal_length_mm * 100)));
    Put32(&v, 100);
    exif_tags.push_back({0x920A, kRational, 1, v});
  }
  if (f.focal_length_35mm > 0)
    exif_tags.push_back(Short(0xA405, f.focal_length_35mm));
  if (!f.lens_make.empty())
    exif_tags.push_back(Ascii(0xA433, f.lens_make));
  if (!f.lens_model.empty())
    exif_tags.push_back(Ascii(0xA434, f.lens_model));

  std::vector<Tag> ifd0;
  if (!f.make.empty())
    ifd0.push_back(Ascii(0x010F, f.make));
  if (!f.model.empty())
    ifd0.push_back(Ascii(0x0110, f.model));
  if (f.orientation != 0)
    ifd0.push_back(Short(0x0112, f.orientation));
  if (!exif_tags.empty())
    ifd0.push_back({0x8769, kLong, 1, std::vector<uint8_t>(4, 0)});  // set below

  std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
  Put32(&tiff, 8);
  std::vector<uint8_t> first = Ifd(ifd0, 8);
  const uint32_t exif_offset = 8 + static_cast<uint32_t>(first.size());
  if (!exif_tags.empty()) {
    ifd0.back().value.clear();
    Put32(&ifd0.back().value, exif_offset);
    first = Ifd(ifd0, 8);
  }
  tiff.insert(tiff.end(), first.begin(), first.end());
  if (!exif_tags.empty()) {
    const std::vector<uint8_t> second = Ifd(exif_tags, exif_offset);
    tiff.insert(tiff.end(), second.begin(), second.end());
  }
  std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), tiff.begin(), tiff.end());
  return block;
}

std::vector<uint8_t> WithExif(std::vector<uint8_t> jpeg, const ExifFields& fields) {
  const std::vector<uint8_t> block = ExifBlock(fields);
  const size_t length = block.size() + 2;
  std::vector<uint8_t> segment = {0xFF, 0xE1, static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length & 0xFF)};
  segment.insert(segment.end(), block.begin(), block.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

std::vector<uint8_t> StoredWithOrientation(const std::vector<uint8_t>& jpeg, int orientation) {
  // The transform that turns the upright photo into the stored one: the
  // inverse of what the tag asks a viewer to do.
  static constexpr int kOps[9] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                  TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                  TJXOP_ROT270, TJXOP_TRANSVERSE, TJXOP_ROT90};
  if (orientation < 1 || orientation > 8)
    return {};
  tjhandle handle = tjInitTransform();
  if (handle == nullptr)
    return {};
  tjtransform transform{};
  transform.op = kOps[orientation];
  transform.options = TJXOPT_PERFECT;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status = tjTransform(handle, jpeg.data(), jpeg.size(), 1, &out, &size, &transform, 0);
  std::vector<uint8_t> stored;
  if (status == 0)
    stored.assign(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  if (stored.empty())
    return {};
  ExifFields fields;
  fields.orientation = orientation;
  return WithExif(std::move(stored), fields);
}

}  // namespace sarn::test
