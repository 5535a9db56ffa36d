// The capture date of a photo from its EXIF block.

#include "photo/exif_date.h"

#include <gtest/gtest.h>
#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>

#include "support/span_photo.h"
#include "support/temp_folder.h"

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

TEST(ExifCaptureDate, ReadFromThePhoto) {
  test::TempFolder folder;
  EXPECT_EQ(ReadExifCaptureDate(
                folder.Write("dated.jpg", JpegWithDateTimeOriginal("2024:05:01 10:20:30\0"))),
            "2024-05-01 10:20:30");
  // A camera without a clock writes zeros; a photo without EXIF has no date;
  // neither has a file that is not there.
  EXPECT_EQ(ReadExifCaptureDate(
                folder.Write("zero.jpg", JpegWithDateTimeOriginal("0000:00:00 00:00:00\0"))),
            std::nullopt);
  EXPECT_EQ(ReadExifCaptureDate(
                folder.Write("plain.jpg", test::RenderSpanJpeg(test::ScaledScene({}, 160, 120)))),
            std::nullopt);
  EXPECT_EQ(ReadExifCaptureDate(folder.PathOf("missing.jpg")), std::nullopt);
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
