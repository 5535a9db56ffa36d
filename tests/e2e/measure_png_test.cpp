// `sarn measure` on a photo that is not a JPEG: the program's Qt decoder
// stands in for libjpeg-turbo, and the measurement is the same.

#include <QImage>

#include <string>

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

}  // namespace
}  // namespace sarn::test
