// Runs the fuzz entry of the photo reader over inputs derived from a small
// valid span photo by fixed mutations: truncations, single bit flips across
// the headers and the entropy-coded data, extreme frame sizes, and seeded
// random byte changes. The entry aborts when the reader breaks one of its
// promises; the sanitizers catch memory and arithmetic faults.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <variant>
#include <vector>

#include "photo/photo_file.h"
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
  ASSERT_TRUE(std::holds_alternative<PhotoFile>(opened));
  EXPECT_EQ(std::get<PhotoFile>(opened).width(), 240);
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
        EXPECT_FALSE(std::holds_alternative<PhotoFile>(PhotoFile::FromBytes(edited)));
      }
    }
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

}  // namespace
}  // namespace sarn
