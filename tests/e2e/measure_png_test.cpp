// `sarn measure` on a photo that is not a JPEG: the program's Qt decoder
// stands in for libjpeg-turbo, and the measurement is the same.

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/measure_fixture.h"
#include "support/span_photo.h"
#include "toolkit/raster_image.h"

namespace sarn::test {
namespace {

TEST(MeasureOtherFormats, PngMeasuresLikeItsJpeg) {
  MeasureFixture fixture;
  SpanScene scene;
  scene.width = 1600;
  scene.height = 1000;
  scene.left_x = 120;
  scene.left_y = 420;
  scene.right_x = 1480;
  scene.right_y = 400;
  scene.sag = 70;
  scene.quality = 95;
  const RgbImage rgb = RenderSpanPhoto(scene);
  QImage image(rgb.rgb.data(), rgb.width, rgb.height, rgb.width * 3, QImage::Format_RGB888);
  const std::string png = fixture.folder().PathOf("span.png");
  ASSERT_TRUE(image.save(QString::fromStdString(png), "PNG"));
  const std::string jpeg = fixture.folder().Write("span.jpg", EncodeJpeg(rgb, 95));

  const double x1 = scene.left_x + 14, x2 = scene.right_x - 14;
  const std::string line = LineArgument(scene);

  CliContext context;
  context.program_folder = fixture.folder().path();
  context.fallback_decoder = tk::DecodeImageWithQt;
  std::ostringstream png_out, png_err, jpeg_out, jpeg_err;
  ASSERT_EQ(RunCli({"measure", png, "--line", line, "--json"}, png_out, png_err, context), 0)
      << png_err.str();
  ASSERT_EQ(RunCli({"measure", jpeg, "--line", line, "--json"}, jpeg_out, jpeg_err, context), 0)
      << jpeg_err.str();
  // JPEG loss at quality 95 moves an edge by a pixel at most.
  EXPECT_NEAR(JsonNumber(png_out.str(), "sag", 0), JsonNumber(jpeg_out.str(), "sag", 0),
              2 * 40.0 / (x2 - x1));

  // Without the decoder a PNG yields no image.
  context.fallback_decoder = nullptr;
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"measure", png, "--line", line}, out, err, context), 2);
  EXPECT_NE(err.str().find("エラーコード=481"), std::string::npos) << err.str();
}

// The IEEE CRC-32 of a PNG chunk (type and data).
uint32_t PngCrc(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::vector<uint8_t> PngBytes(const QImage& image) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return std::vector<uint8_t>(data.begin(), data.end());
}

// Memory bounds of the Qt decoder: a PNG cannot be read scaled, so one whose
// header claims 20000 x 20000 pixels (400 MB even as 8-bit grey) is refused
// from its header with 7, before anything is decoded; a smaller one comes
// back at the width the loading needs.
TEST(QtDecoder, DecodesWithinItsBoundAtTheWidthNeeded) {
  QImage grey(300, 200, QImage::Format_Grayscale8);
  grey.fill(90);
  const auto small = tk::DecodeImageWithQt(PngBytes(grey), 100);
  ASSERT_TRUE(small.ok());
  const FallbackPhoto& photo = *small;
  EXPECT_EQ(photo.width, 300);
  EXPECT_EQ(photo.height, 200);
  EXPECT_EQ(photo.pixels.width, 100);
  EXPECT_EQ(photo.pixels.height, 67);
  EXPECT_EQ(photo.pixels.pixels[50 * 100 + 50], 0xFF5A5A5Au);

  std::vector<uint8_t> huge = PngBytes(grey);
  // IHDR follows the 8-byte signature: length, "IHDR", width, height, ...
  ASSERT_EQ(std::string(huge.begin() + 12, huge.begin() + 16), "IHDR");
  for (int i = 0; i < 4; ++i) {
    huge[16 + i] = static_cast<uint8_t>(20000u >> (24 - 8 * i));
    huge[20 + i] = static_cast<uint8_t>(20000u >> (24 - 8 * i));
  }
  const uint32_t crc = PngCrc(huge.data() + 12, 17);
  for (int i = 0; i < 4; ++i)
    huge[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  const auto refused = tk::DecodeImageWithQt(huge, 5000);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.failure().code(), kErrOutOfMemory) << refused.failure().English();
}

}  // namespace
}  // namespace sarn::test
