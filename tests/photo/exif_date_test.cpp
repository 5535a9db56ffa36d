// The capture date of a photo from its EXIF block.

#include "photo/exif_date.h"

#include <gtest/gtest.h>
#include <libexif/exif-data.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

}  // namespace
}  // namespace sarn
