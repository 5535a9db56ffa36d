// The capture date of a photo from its EXIF block.

#include "photo/exif_date.h"
#include "photo/photo_exif.h"

#include <gtest/gtest.h>
#include <libexif/exif-data.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "support/exif_block.h"
#include "support/span_photo.h"

namespace sarn {
namespace {

// A small JPEG with an APP1 EXIF segment, built with libexif, right after
// its start-of-image marker; the tag holds `date` (19 characters and a NUL).
std::vector<uint8_t> JpegWithDateTimeOriginal(const char* date) {
  test::SpanScene scene = test::ScaledScene(test::SpanScene{}, 160, 120);
  std::vector<uint8_t> jpeg = test::RenderSpanJpeg(scene);
  ExifData* exif = exif_data_new();
  exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(exif->ifd[EXIF_IFD_EXIF], entry);
  exif_entry_initialize(entry, EXIF_TAG_DATE_TIME_ORIGINAL);  // 20 bytes, ASCII
  std::memcpy(entry->data, date, 20);
  exif_entry_unref(entry);
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(exif, &block, &size);  // "Exif\0\0" and the TIFF structure
  exif_data_unref(exif);
  const unsigned int length = size + 2;
  std::vector<uint8_t> segment = {0xFF, 0xE1, static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length & 0xFF)};
  segment.insert(segment.end(), block, block + size);
  std::free(block);
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

TEST(ExifCaptureDate, ReadFromTheStartOfThePhoto) {
  const std::vector<uint8_t> dated = JpegWithDateTimeOriginal("2024:05:01 10:20:30\0");
  EXPECT_EQ(ExifCaptureDate(dated), "2024-05-01 10:20:30");
  // What a caller reads of a large photo: the first kExifSearchBytes.
  const std::vector<uint8_t> start(dated.begin(),
                                   dated.begin() + std::min(dated.size(), kExifSearchBytes));
  EXPECT_EQ(ExifCaptureDate(start), "2024-05-01 10:20:30");
  // A camera without a clock writes zeros; a photo without EXIF has no date;
  // neither has an empty or cut file.
  EXPECT_EQ(ExifCaptureDate(JpegWithDateTimeOriginal("0000:00:00 00:00:00\0")), std::nullopt);
  EXPECT_EQ(ExifCaptureDate(test::RenderSpanJpeg(test::ScaledScene({}, 160, 120))), std::nullopt);
  EXPECT_EQ(ExifCaptureDate({}), std::nullopt);
  EXPECT_EQ(ExifCaptureDate(std::vector<uint8_t>(dated.begin(), dated.begin() + 40)), std::nullopt);
}

TEST(ExifCaptureDate, OnlyTheStandardFormIsADate) {
  const struct {
    std::string tag;
    std::optional<std::string> shown;
  } cases[] = {
      {"2024:05:01 10:20:30", "2024-05-01 10:20:30"},
      {std::string("2024:05:01 10:20:30\0", 20), "2024-05-01 10:20:30"},
      {"    :  :     :  :  ", std::nullopt},
      {"2024/05/01 10:20:30", std::nullopt},
      {"2024:05:01", std::nullopt},
      {"2024:05:01 10:20:30 <script>", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExifDateText(c.tag), c.shown) << c.tag;
}

// Camera, lens, orientation and date, from every form an EXIF block comes in:
// a JPEG's start, an APP1 payload, a bare TIFF structure and a HEIF Exif item
// (a 4-byte offset to the TIFF header first).
TEST(ReadPhotoExif, EveryFormGivesTheSameFields) {
  test::ExifFields fields;
  fields.orientation = 6;
  fields.date = "2024:05:01 10:20:30";
  fields.make = "DJI";
  fields.model = "FC6310";
  fields.lens_make = "DJI";
  fields.lens_model = "FC6310 8.8mm";
  fields.focal_length_mm = 8.8;
  fields.focal_length_35mm = 24;
  PhotoExif expected;
  expected.orientation = 6;
  expected.capture_date = "2024-05-01 10:20:30";
  expected.make = "DJI";
  expected.model = "FC6310";
  expected.lens_make = "DJI";
  expected.lens_model = "FC6310 8.8mm";
  expected.focal_length_mm = 8.8;
  expected.focal_length_35mm = 24;

  const std::vector<uint8_t> block = test::ExifBlock(fields);
  const std::vector<uint8_t> jpeg =
      test::WithExif(test::RenderSpanJpeg(test::ScaledScene({}, 160, 120)), fields);
  const std::vector<uint8_t> tiff(block.begin() + 6, block.end());
  std::vector<uint8_t> heif_item = {0, 0, 0, 6};
  heif_item.insert(heif_item.end(), block.begin(), block.end());
  std::vector<uint8_t> heif_item_bare = {0, 0, 0, 0};
  heif_item_bare.insert(heif_item_bare.end(), tiff.begin(), tiff.end());
  const struct {
    const char* form;
    std::vector<uint8_t> bytes;
  } forms[] = {{"jpeg", jpeg},
               {"app1", block},
               {"tiff", tiff},
               {"heif item", heif_item},
               {"heif item, offset 0", heif_item_bare}};
  for (const auto& f : forms)
    EXPECT_EQ(ReadPhotoExif(std::span<const uint8_t>(f.bytes)), expected) << f.form;

  // Absent tags stay absent (libexif adds none), an orientation out of range
  // is 1, and nothing readable gives the defaults.
  EXPECT_EQ(ReadPhotoExif(std::span<const uint8_t>(test::ExifBlock({}))), PhotoExif{});
  test::ExifFields out_of_range;
  out_of_range.orientation = 9;
  EXPECT_EQ(ReadPhotoExif(std::span<const uint8_t>(test::ExifBlock(out_of_range))), PhotoExif{});
  EXPECT_EQ(ReadPhotoExif(std::span<const uint8_t>(jpeg.data(), 40)), PhotoExif{});
  EXPECT_EQ(ReadPhotoExif(std::span<const uint8_t>()), PhotoExif{});
}

}  // namespace
}  // namespace sarn
