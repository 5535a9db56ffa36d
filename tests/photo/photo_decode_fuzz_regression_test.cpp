// Runs the fuzz entry of the photo reader over inputs derived from a small
// valid span photo by fixed mutations: truncations, single bit flips across
// the headers and the entropy-coded data, extreme frame sizes, and seeded
// random byte changes; the same photo stored turned with its EXIF
// orientation, and as HEIC. The entry aborts when the reader breaks one of its
// promises; the sanitizers catch memory and arithmetic faults.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <variant>
#include <vector>

#include "photo/photo_file.h"
#include "photo/photo_loader.h"
#include "support/exif_block.h"
#include "support/heic_photo.h"
#include "support/span_photo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace sarn {
namespace {

int Feed(const std::vector<uint8_t>& input) {
  return LLVMFuzzerTestOneInput(input.data(), input.size());
}

std::vector<uint8_t> SeedJpeg() {
  test::SpanScene scene;
  scene.width = 240;
  scene.height = 160;
  scene.left_x = 20;
  scene.left_y = 60;
  scene.right_x = 220;
  scene.right_y = 55;
  scene.sag = 12;
  scene.thickness = 2;
  scene.quality = 75;
  return test::RenderSpanJpeg(scene);
}

// Offset of the baseline frame header (SOF0 marker 0xFFC0), or 0.
size_t FrameHeader(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
      return i;
  }
  return 0;
}

TEST(PhotoDecodeFuzzRegression, TheSeedOpensAndDecodes) {
  const std::vector<uint8_t> jpeg = SeedJpeg();
  auto opened = PhotoFile::FromBytes(jpeg);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened->width(), 240);
  EXPECT_NE(FrameHeader(jpeg), 0u);
  EXPECT_EQ(Feed(jpeg), 0);
}

TEST(PhotoDecodeFuzzRegression, Truncations) {
  const std::vector<uint8_t> jpeg = SeedJpeg();
  const size_t step = std::max<size_t>(1, jpeg.size() / 300);
  for (size_t size = 0; size < jpeg.size(); size += step) {
    EXPECT_EQ(Feed(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<long>(size))), 0);
  }
}

TEST(PhotoDecodeFuzzRegression, BitFlipsInHeadersAndData) {
  const std::vector<uint8_t> jpeg = SeedJpeg();
  // Every third bit of the headers (markers, tables, frame and scan headers;
  // the stride walks through all eight bit positions), then a spread of bits
  // through the entropy-coded data.
  const size_t headers = std::min<size_t>(jpeg.size(), FrameHeader(jpeg) + 200);
  std::vector<size_t> bits;
  for (size_t bit = 0; bit < headers * 8; bit += 3)
    bits.push_back(bit);
  for (size_t bit = headers * 8; bit < jpeg.size() * 8; bit += 61)
    bits.push_back(bit);
  for (size_t bit : bits) {
    std::vector<uint8_t> flipped = jpeg;
    flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    ASSERT_EQ(Feed(flipped), 0) << "bit " << bit;
  }
}

TEST(PhotoDecodeFuzzRegression, ExtremeFrameSizes) {
  const std::vector<uint8_t> jpeg = SeedJpeg();
  const size_t sof = FrameHeader(jpeg);
  ASSERT_NE(sof, 0u);
  for (unsigned height : {0u, 1u, 2u, 32767u, 32768u, 65535u}) {
    for (unsigned width : {0u, 1u, 7u, 32767u, 40000u, 65535u}) {
      std::vector<uint8_t> edited = jpeg;
      edited[sof + 5] = static_cast<uint8_t>(height >> 8);
      edited[sof + 6] = static_cast<uint8_t>(height & 0xFF);
      edited[sof + 7] = static_cast<uint8_t>(width >> 8);
      edited[sof + 8] = static_cast<uint8_t>(width & 0xFF);
      ASSERT_EQ(Feed(edited), 0) << width << " x " << height;
      // A side beyond 32767 never opens: no working image can be planned for it.
      if (width > 32767 || height > 32767) {
        EXPECT_FALSE(PhotoFile::FromBytes(edited).ok());
      }
    }
  }
}

// A 24-bit BMP of width x height in one colour: a format for Qt's decoder.
std::vector<uint8_t> Bmp(int width, int height) {
  const int row = (width * 3 + 3) / 4 * 4;
  const uint32_t size = 54 + static_cast<uint32_t>(row * height);
  std::vector<uint8_t> b(size, 0x60);
  const auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      b[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, size, 4);
  put(6, 0, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(30, 0, 4);
  put(34, static_cast<uint32_t>(row * height), 4);
  put(38, 2835, 4);
  put(42, 2835, 4);
  put(46, 0, 4);
  put(50, 0, 4);
  return b;
}

// Inputs that take the loading down its other roads: the recovery's retry
// (a 1500 x 200 photo whose working raster does not fit at 1500 but does at
// 1000; the last byte, the end marker 0xD9, picks limit 1500, no cut,
// automatic adjustment), the overview bound (a photo far taller than wide),
// and Qt's decoder (BMP), whole and cut short.
TEST(PhotoDecodeFuzzRegression, RetriesOverviewBoundAndOtherFormats) {
  test::RgbImage grey;
  grey.width = 1500;
  grey.height = 200;
  grey.rgb.assign(1500 * 200 * 3, 128);
  const std::vector<uint8_t> wide = test::EncodeJpeg(grey, 75);
  ASSERT_EQ(wide.back(), 0xD9);
  EXPECT_EQ(Feed(wide), 0);
  LoadSettings settings;
  settings.limit_text = "1500";
  settings.cut = false;
  const LoadOutcome retried = LoadPhotoBytesWithRecovery(wide, settings, 205, {}, 1u << 20);
  ASSERT_TRUE(retried.photo);
  EXPECT_EQ(retried.attempts, 2);

  grey.width = 8;
  grey.height = 2000;
  grey.rgb.assign(8 * 2000 * 3, 128);
  EXPECT_EQ(Feed(test::EncodeJpeg(grey, 75)), 0);

  // A header claiming 9000 x 8000 pixels (275 MB as RGB32) over 4 x 4 of data.
  std::vector<uint8_t> claim = Bmp(4, 4);
  for (int i = 0; i < 4; ++i) {
    claim[18 + i] = static_cast<uint8_t>(9000u >> (8 * i));
    claim[22 + i] = static_cast<uint8_t>(8000u >> (8 * i));
  }
  for (const std::vector<uint8_t>& bmp : {Bmp(300, 200), Bmp(1, 1), claim}) {
    EXPECT_EQ(Feed(bmp), 0);
    EXPECT_EQ(Feed(std::vector<uint8_t>(bmp.begin(), bmp.begin() + bmp.size() / 2)), 0);
  }
}

TEST(PhotoDecodeFuzzRegression, SeededRandomByteChanges) {
  const std::vector<uint8_t> jpeg = SeedJpeg();
  std::mt19937 random(20261207);
  for (int n = 0; n < 600; ++n) {
    std::vector<uint8_t> changed = jpeg;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < changes; ++c) {
      changed[random() % changed.size()] = static_cast<uint8_t>(random());
    }
    ASSERT_EQ(Feed(changed), 0) << "input " << n;
  }
}

// The other paths the entry reaches: a JPEG stored turned (each orientation,
// and cut short), and a HEIC with truncations and random byte changes (where
// libheif can encode one).
TEST(PhotoDecodeFuzzRegression, TurnedJpegsAndHeic) {
  // Both sides multiples of 16, as lossless turns of 4:2:0 need.
  test::SpanScene scene = test::ScaledScene(test::SpanScene{}, 256, 160);
  scene.quality = 75;
  const std::vector<uint8_t> upright = test::RenderSpanJpeg(scene);
  for (int orientation = 2; orientation <= 8; ++orientation) {
    const std::vector<uint8_t> stored = test::StoredWithOrientation(upright, orientation);
    ASSERT_FALSE(stored.empty());
    for (uint8_t pick = 0; pick < 16; ++pick) {
      std::vector<uint8_t> input = stored;
      input.push_back(pick);
      EXPECT_EQ(Feed(input), 0);
      std::vector<uint8_t> cut(stored.begin(), stored.begin() + stored.size() * 2 / 3);
      cut.push_back(pick);
      EXPECT_EQ(Feed(cut), 0);
    }
  }
  if (const std::string missing = test::HeicEncoderMissing(); !missing.empty())
    GTEST_SKIP() << missing;
  const std::vector<uint8_t> heic = test::EncodeHeic(test::RenderSpanPhoto(scene), 60);
  ASSERT_FALSE(heic.empty());
  EXPECT_EQ(Feed(heic), 0);
  for (size_t cut = 16; cut < heic.size(); cut += heic.size() / 7)
    EXPECT_EQ(Feed(std::vector<uint8_t>(heic.begin(), heic.begin() + cut)), 0);
  std::mt19937 random(20261209);
  for (int n = 0; n < 60; ++n) {
    std::vector<uint8_t> changed = heic;
    for (int c = 0; c < 1 + static_cast<int>(random() % 4); ++c)
      changed[random() % changed.size()] = static_cast<uint8_t>(random());
    ASSERT_EQ(Feed(changed), 0) << "input " << n;
  }
}

}  // namespace
}  // namespace sarn
