// The synthetic span photos: their geometry is what they claim, so that the
// scan and sag tests can trust it.

#include "support/span_photo.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>

#include "support/temp_folder.h"

namespace sarn::test {
namespace {

double Mean(const RgbImage& img, int x, int y) {
  const uint8_t* p = img.At(x, y);
  return (p[0] + p[1] + p[2]) / 3.0;
}

TEST(Catenary, PassesThroughBothAttachmentsWithTheSag) {
  for (double sag : {5.0, 110.0, 600.0}) {
    SpanScene s;
    s.sag = sag;
    EXPECT_NEAR(ConductorCentreRow(s, s.left_x), s.left_y, 1e-6);
    EXPECT_NEAR(ConductorCentreRow(s, s.right_x), s.right_y, 1e-6);
    EXPECT_NEAR(SagBelowChord(s, (s.left_x + s.right_x) / 2), sag, 1e-6);
    EXPECT_NEAR(ConductorTopRow(s, 2000) + s.thickness / 2, ConductorCentreRow(s, 2000), 1e-12);
  }
}

TEST(Catenary, LevelSpanIsSymmetricAndNearlyAParabola) {
  SpanScene s;
  s.left_y = s.right_y = 1000;
  s.sag = 100;
  // Lowest at mid-span, symmetric.
  EXPECT_NEAR(ConductorCentreRow(s, 1000), ConductorCentreRow(s, 3000), 1e-6);
  EXPECT_GT(ConductorCentreRow(s, 2000), ConductorCentreRow(s, 1990));
  // For a small sag the catenary is close to the parabola 4 d u (1 - u).
  const double u = 0.25;
  const double x = s.left_x + u * (s.right_x - s.left_x);
  EXPECT_NEAR(SagBelowChord(s, x), 4 * 100 * u * (1 - u), 0.5);
}

TEST(Catenary, NoSagIsTheChord) {
  SpanScene s;
  s.sag = 0;
  EXPECT_NEAR(ConductorCentreRow(s, 2000), (s.left_y + s.right_y) / 2, 1e-9);
  EXPECT_EQ(Catenary(s).a(), 0);
}

TEST(RenderSpanPhoto, ConductorIsDarkWhereTheTruthPutsItAndAntiAliased) {
  SpanScene s = ScaledScene(SampleSpanScene(), 1000, 750);
  s.noise = 0;
  s.thickness = 3.5;
  const RgbImage img = RenderSpanPhoto(s);
  ASSERT_EQ(img.width, 1000);
  ASSERT_EQ(img.height, 750);
  for (int x : {200, 500, 800}) {
    SCOPED_TRACE(x);
    const double top = ConductorTopRow(s, x + 0.5);
    const double bottom = top + s.thickness;
    const int inside = static_cast<int>(std::ceil(top)) + 1;
    const double sky = s.sky_top + (s.sky_bottom - s.sky_top) * (inside + 0.5) / s.height;
    EXPECT_NEAR(Mean(img, x, inside), s.conductor, 2.0);
    EXPECT_NEAR(Mean(img, x, static_cast<int>(top) - 3), sky, 2.0);
    EXPECT_NEAR(Mean(img, x, static_cast<int>(bottom) + 3), sky, 2.0);
    // The row holding the top edge is covered by the part below the edge.
    const int edge = static_cast<int>(std::floor(top));
    const double cover = edge + 1 - top;
    EXPECT_NEAR(Mean(img, x, edge), sky * (1 - cover) + s.conductor * cover, 3.0);
  }
}

TEST(RenderSpanPhoto, SkyGradientNoiseAndPoles) {
  SpanScene s = ScaledScene(SampleSpanScene(), 800, 600);
  s.noise = 4;
  const RgbImage img = RenderSpanPhoto(s);
  // A patch of sky far from the conductor and the poles.
  double sum = 0, sum2 = 0;
  int n = 0;
  for (int y = 10; y < 40; ++y) {
    for (int x = 350; x < 450; ++x) {
      const double v = img.At(x, y)[1];
      sum += v;
      sum2 += v * v;
      ++n;
    }
  }
  const double mean = sum / n;
  const double sd = std::sqrt(sum2 / n - mean * mean);
  EXPECT_NEAR(mean, 0.98 * (s.sky_top + (s.sky_bottom - s.sky_top) * 25.0 / 600), 1.0);
  EXPECT_NEAR(sd, 4.0, 0.6);
  // Bottom rows are darker than top rows by the gradient.
  EXPECT_NEAR(Mean(img, 400, 599) - Mean(img, 400, 0), s.sky_bottom - s.sky_top, 12.0);
  // A pole stands under each attachment point, dark, and not above it.
  const int px = static_cast<int>(s.left_x);
  EXPECT_LT(Mean(img, px, 500), s.pole + 15);
  EXPECT_GT(Mean(img, px, static_cast<int>(s.left_y - 0.1 * s.height)), s.sky_top - 30);
}

TEST(RenderSpanPhoto, SameSeedSameImage) {
  SpanScene s = ScaledScene(SampleSpanScene(), 200, 150);
  const RgbImage a = RenderSpanPhoto(s);
  const RgbImage b = RenderSpanPhoto(s);
  EXPECT_EQ(a.rgb, b.rgb);
  s.seed += 1;
  EXPECT_NE(RenderSpanPhoto(s).rgb, a.rgb);
}

TEST(EncodeJpeg, ProducesAJpegOfTheSameSize) {
  SpanScene s = ScaledScene(SampleSpanScene(), 320, 240);
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(s);
  ASSERT_GT(jpeg.size(), 100u);
  tjhandle h = tjInitDecompress();
  int w = 0, ht = 0, sub = 0, cs = 0;
  EXPECT_EQ(tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &w, &ht, &sub, &cs), 0);
  tjDestroy(h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(ht, 240);
  EXPECT_EQ(sub, TJSAMP_420);
}

TEST(SampleScanLine, RunsFromPoleToPoleThirtyPixelsAboveTheConductor) {
  const SpanScene s = SampleSpanScene();
  const PhotoLine l = SampleScanLine(s);
  EXPECT_EQ(l.x1, s.left_x + 24);
  EXPECT_EQ(l.x2, s.right_x - 24);
  EXPECT_NEAR(ConductorTopRow(s, l.x1) - l.y1, 30, 0.5);
  EXPECT_NEAR(ConductorTopRow(s, l.x2) - l.y2, 30, 0.5);
  // At mid-line the conductor is below the line but within the scan's 202 rows.
  const double xm = (l.x1 + l.x2) / 2;
  const double below = ConductorTopRow(s, xm) - (l.y1 + l.y2) / 2;
  EXPECT_GT(below, 30);
  EXPECT_LT(below, 200);
}

TEST(TempFolder, WritesBytesAndRemovesEverything) {
  std::string path;
  {
    TempFolder dir;
    path = dir.Write("x.bin", std::vector<uint8_t>{1, 2, 3});
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    uint8_t buf[4] = {};
    EXPECT_EQ(std::fread(buf, 1, 4, f), 3u);
    std::fclose(f);
    EXPECT_EQ(buf[2], 3);
  }
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

}  // namespace
}  // namespace sarn::test
