// Loading synthetic span photos from files: the working image's content and
// rows, the failures and the recovery's sequences.

#include "photo/photo_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "photo/jpeg_decoder.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"

namespace sarn {
namespace {

using test::RenderSpanJpeg;
using test::RgbImage;
using test::SpanScene;
using test::TempFolder;

constexpr int kInnerWidth = 1004;

SpanScene SmallSpan(int w, int h) {
  SpanScene s = test::ScaledScene(test::SampleSpanScene(), w, h);
  s.noise = 0;
  s.quality = 95;
  return s;
}

// The decode by TurboJPEG at scale num/8, as 0xFFRRGGBB words, with chroma
// repeated (not interpolated) as the loader decodes it.
Raster TurboDecode(const std::vector<uint8_t>& jpeg, int num) {
  tjhandle h = tjInitDecompress();
  int w = 0, ht = 0, sub = 0, cs = 0;
  tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &w, &ht, &sub, &cs);
  const int sw = TJSCALED(w, (tjscalingfactor{num, 8}));
  const int sh = TJSCALED(ht, (tjscalingfactor{num, 8}));
  Raster r = MakeRaster(sw, sh);
  tjDecompress2(h, jpeg.data(), jpeg.size(), reinterpret_cast<unsigned char*>(r.pixels.data()), sw,
                sw * 4, sh, TJPF_BGRX, TJFLAG_FASTUPSAMPLE);
  tjDestroy(h);
  for (uint32_t& p : r.pixels)
    p |= 0xFF000000u;
  return r;
}

double Brightness(uint32_t p) {
  return (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3.0;
}

// The darkest row of column x (the conductor's core) within rows [lo, hi).
int DarkestRow(const Raster& r, int x, int lo, int hi) {
  int best = lo;
  for (int y = lo; y < hi; ++y) {
    if (Brightness(r.pixels[static_cast<size_t>(y) * r.width + x]) <
        Brightness(r.pixels[static_cast<size_t>(best) * r.width + x]))
      best = y;
  }
  return best;
}

LoadSettings Settings(std::string limit, bool cut, bool auto_adjust) {
  LoadSettings s;
  s.limit_text = std::move(limit);
  s.cut = cut;
  s.auto_adjust = auto_adjust;
  return s;
}

TEST(PhotoLoader, UncutPhotoWithinTheLimitIsTheDecodedPhoto) {
  TempFolder dir;
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(800, 600));
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("a.jpg", jpeg),
                                                Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo) << out.failure->English();
  EXPECT_EQ(out.attempts, 1);
  EXPECT_EQ(out.photo->plan.load_case, LoadCase::A);
  EXPECT_EQ(out.photo->working.pixels, TurboDecode(jpeg, 8).pixels);
  EXPECT_FALSE(out.end_program);
  EXPECT_FALSE(out.failure);
}

TEST(PhotoLoader, CutCaseKeepsPhotoRowsFromAQuarterDown) {
  // 1600 x 1202: H2 = 601, drawn from -300.5, which lands on row -300.
  TempFolder dir;
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(1600, 1202));
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("c.jpg", jpeg),
                                                Settings("5000", true, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const Raster& w = out.photo->working;
  EXPECT_EQ(out.photo->plan.load_case, LoadCase::C);
  ASSERT_EQ(w.width, 1600);
  ASSERT_EQ(w.height, 601);
  const Raster full = TurboDecode(jpeg, 8);
  for (int y : {0, 1, 300, 600}) {
    SCOPED_TRACE(y);
    EXPECT_TRUE(std::equal(w.pixels.begin() + y * 1600, w.pixels.begin() + (y + 1) * 1600,
                           full.pixels.begin() + (y + 300) * 1600));
  }
}

TEST(PhotoLoader, ScaledCutCaseIsTheDctScaledPhotoFromTheTopRow) {
  // 1600 x 1200 with limit 800: k = 0.5, W2 = 800, H2 = 300, drawn 800 x 600
  // from row -150. The decoder scales by 4/8 exactly, so working row y is
  // row y + 150 of TurboJPEG's 4/8 decode.
  TempFolder dir;
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(1600, 1200));
  const LoadOutcome out =
      LoadPhotoWithRecovery(dir.Write("d.jpg", jpeg), Settings("800", true, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const Raster& w = out.photo->working;
  EXPECT_EQ(out.photo->plan.load_case, LoadCase::D);
  ASSERT_EQ(w.width, 800);
  ASSERT_EQ(w.height, 300);
  const Raster scaled = TurboDecode(jpeg, 4);
  ASSERT_EQ(scaled.width, 800);
  int worst = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t a = w.pixels[y * 800 + x];
      const uint32_t b = scaled.pixels[(y + 150) * 800 + x];
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    }
  }
  EXPECT_EQ(worst, 0);
}

TEST(PhotoLoader, ScaledCutCaseWithAHalfRowTopAveragesWholeRows) {
  // 1600 x 1200 with limit 1000: k = 0.625, W2 = 1000, H2 = 375, drawn
  // 1000 x 750 from -187.5, taken as row -188: working row y averages photo
  // rows [(y + 188) 1.6, (y + 189) 1.6) of the full-size decode.
  TempFolder dir;
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(1600, 1200));
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("d2.jpg", jpeg),
                                                Settings("1000", true, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const Raster& w = out.photo->working;
  ASSERT_EQ(w.width, 1000);
  ASSERT_EQ(w.height, 375);
  const Raster full = TurboDecode(jpeg, 8);
  for (int y : {0, 100, 374}) {
    for (int x : {0, 333, 999}) {
      double ref = 0;
      const double x0 = x * 1.6, y0 = (y + 188) * 1.6;
      for (int py = static_cast<int>(y0); py < std::ceil(y0 + 1.6); ++py) {
        for (int px = static_cast<int>(x0); px < std::ceil(x0 + 1.6); ++px) {
          const double wgt = (std::min(x0 + 1.6, px + 1.0) - std::max(x0, 1.0 * px)) *
                             (std::min(y0 + 1.6, py + 1.0) - std::max(y0, 1.0 * py));
          ref += wgt * ((full.pixels[py * 1600 + px] >> 8) & 0xFF);
        }
      }
      ref /= 1.6 * 1.6;
      EXPECT_NEAR((w.pixels[y * 1000 + x] >> 8) & 0xFF, ref, 1.0) << x << ", " << y;
    }
  }
}

TEST(PhotoLoader, ScaledImageMatchesTheAreaAverageOfTheRenderedPhoto) {
  // 1200 x 900 with limit 1000, no cut: case B, 1000 x 750, 1.2 photo pixels
  // per working pixel. Reference: the area average of the rendered (not
  // compressed) photo. JPEG at quality 95 and the DCT scaling differ from it
  // by a level or so on flat sky and more on the conductor's edges.
  TempFolder dir;
  const SpanScene scene = SmallSpan(1200, 900);
  const RgbImage rgb = test::RenderSpanPhoto(scene);
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("b.jpg", test::EncodeJpeg(rgb, 95)),
                                                Settings("1000", false, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const Raster& w = out.photo->working;
  ASSERT_EQ(w.width, 1000);
  ASSERT_EQ(w.height, 750);
  double sum = 0;
  int worst = 0;
  for (int y = 0; y < 750; ++y) {
    for (int x = 0; x < 1000; ++x) {
      const double x0 = x * 1.2, x1 = x0 + 1.2, y0 = y * 1.2, y1 = y0 + 1.2;
      double ref = 0;
      for (int py = static_cast<int>(y0); py < std::ceil(y1) && py < 900; ++py) {
        for (int px = static_cast<int>(x0); px < std::ceil(x1) && px < 1200; ++px) {
          const double wgt = (std::min(x1, px + 1.0) - std::max(x0, 1.0 * px)) *
                             (std::min(y1, py + 1.0) - std::max(y0, 1.0 * py));
          ref += wgt * rgb.At(px, py)[1];  // green
        }
      }
      ref /= 1.44;
      const int got = static_cast<int>((w.pixels[y * 1000 + x] >> 8) & 0xFF);
      const int diff = static_cast<int>(std::abs(got - ref) + 0.5);
      sum += diff;
      worst = std::max(worst, diff);
    }
  }
  // Measured: mean 0.17, worst 25 (a conductor edge); a one-row shift of the
  // image would put about 100 levels on every edge pixel.
  EXPECT_LT(sum / (1000.0 * 750.0), 0.5);
  EXPECT_LE(worst, 35);

  // The conductor's core lies where the truth puts it, through PhotoToWorking.
  for (int x : {150, 400, 500, 700, 900}) {
    double wx, wy;
    const double px = (x + 0.5) * 1.2;
    PhotoToWorking(out.photo->plan, 1200, 900, px, test::ConductorCentreRow(scene, px), &wx, &wy);
    const int lo = static_cast<int>(wy) - 15;
    EXPECT_NEAR(DarkestRow(w, x, lo, lo + 30) + 0.5, wy, 1.0) << "column " << x;
  }
}

TEST(PhotoLoader, OverviewSpansTheWindowInOverviewUnits) {
  TempFolder dir;
  const SpanScene scene = SmallSpan(2000, 1500);
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("o.jpg", RenderSpanJpeg(scene)),
                                                Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const LoadedPhoto& p = *out.photo;
  EXPECT_NEAR(p.overview_plan.ImgScale, 2000.0 / 999.0, 1e-6);
  EXPECT_EQ(p.overview.width, 1003);  // 999 units of 1.004 pixels
  EXPECT_EQ(p.overview.height, 749);  // 749.25 units
  // The conductor appears in the overview where working row / ImgScale puts it.
  for (int ox : {100, 500, 900}) {
    const double wx = ox / kOverviewUnitXPixels * p.overview_plan.ImgScale;
    const double wrow = test::ConductorCentreRow(scene, wx);  // case A: photo = working
    const double orow = wrow / p.overview_plan.ImgScale;
    const int lo = static_cast<int>(orow) - 10;
    EXPECT_NEAR(DarkestRow(p.overview, ox, lo, lo + 20) + 0.5, orow, 1.0) << "column " << ox;
  }
}

// Incomplete photos: a JPEG whose data ends early loads what is there and
// says where the real rows end, so that no measurement below passes for one
// of a whole photo.
TEST(PhotoLoader, ATruncatedJpegLoadsWhatItCanAndSaysWhereItEnds) {
  // 1600 x 1200: uncut, decoded and resampled on two threads (the break
  // reached with a batch of rows half made); cut, fed directly.
  TempFolder dir;
  std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(1600, 1200));
  const Raster full = TurboDecode(jpeg, 8);
  jpeg.resize(jpeg.size() / 2);
  const std::string path = dir.Write("t.jpg", jpeg);
  const LoadOutcome out =
      LoadPhotoWithRecovery(path, Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  EXPECT_EQ(out.attempts, 1);
  EXPECT_EQ(out.photo->working.height, 1200);
  // Case A: working rows are photo rows. The break lies somewhere in the
  // middle, on a block boundary (4:2:0 blocks of 16 rows).
  ASSERT_TRUE(out.photo->first_missing_photo_row);
  const int missing = *out.photo->first_missing_photo_row;
  EXPECT_GT(missing, 16);
  EXPECT_LT(missing, 1200);
  EXPECT_EQ(missing % 16, 0);
  EXPECT_EQ(out.photo->first_missing_row, missing);
  EXPECT_EQ(out.photo->incomplete_message,
            "the photo is incomplete: rows below " + std::to_string(missing) + " are missing");
  // Every row above came from the data that is there.
  EXPECT_TRUE(std::equal(full.pixels.begin(), full.pixels.begin() + 1600 * missing,
                         out.photo->working.pixels.begin()));
  EXPECT_FALSE(ReachesMissingRows(*out.photo, missing - 1));
  EXPECT_TRUE(ReachesMissingRows(*out.photo, missing));

  // With the cut (H2 = 600), working row y shows photo row y + 300.
  const LoadOutcome cut =
      LoadPhotoWithRecovery(path, Settings("5000", true, true), kInnerWidth, {});
  ASSERT_TRUE(cut.photo);
  EXPECT_EQ(cut.photo->first_missing_photo_row, missing);
  EXPECT_EQ(cut.photo->first_missing_row, std::max(missing - 300, 0));
}

TEST(PhotoLoader, AJpegCutAfterItsHeadersIsMissingEveryRow) {
  // 700 and 5000 bytes of a larger photo: the headers and little or no data.
  // Scaled (case D, 1/2 DCT scale) and at full size alike.
  TempFolder dir;
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(SmallSpan(2400, 1600));
  for (size_t size : {size_t{700}, size_t{5000}}) {
    for (const char* limit : {"1200", "5000"}) {
      SCOPED_TRACE(std::to_string(size) + " bytes, limit " + limit);
      const std::string path =
          dir.Write("cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + size));
      const LoadOutcome out =
          LoadPhotoWithRecovery(path, Settings(limit, true, true), kInnerWidth, {});
      ASSERT_TRUE(out.photo) << out.failure->English();
      ASSERT_TRUE(out.photo->first_missing_photo_row);
      EXPECT_LT(*out.photo->first_missing_photo_row, size == 700 ? 16 : 400);
      EXPECT_EQ(out.photo->first_missing_row, 0);  // the working image starts at photo row 400
      EXPECT_TRUE(ReachesMissingRows(*out.photo, 0));
    }
  }
}

TEST(PhotoLoader, AProgressiveJpegCutShortIsIncompleteAndAWholeOneIsNot) {
  const SpanScene scene = SmallSpan(640, 480);
  const RgbImage rgb = test::RenderSpanPhoto(scene);
  const std::vector<uint8_t> jpeg = test::EncodeJpegPixels(
      rgb.rgb.data(), rgb.width, rgb.height, TJPF_RGB, TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
  ASSERT_FALSE(jpeg.empty());
  TempFolder dir;
  const LoadOutcome whole = LoadPhotoWithRecovery(dir.Write("p.jpg", jpeg),
                                                  Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(whole.photo);
  EXPECT_FALSE(whole.photo->first_missing_photo_row);
  EXPECT_FALSE(whole.photo->first_missing_row);
  EXPECT_EQ(whole.photo->incomplete_message, "");
  EXPECT_FALSE(ReachesMissingRows(*whole.photo, 479));

  // Cut at two thirds: the last scans (the finest detail) never come, in
  // every row.
  const LoadOutcome cut = LoadPhotoWithRecovery(
      dir.Write("pc.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3)),
      Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(cut.photo);
  ASSERT_TRUE(cut.photo->first_missing_photo_row);
  EXPECT_LT(*cut.photo->first_missing_photo_row, 480);
}

// The straightforward reference of a load: the whole photo decoded by
// TurboJPEG at the loader's DCT scale, then each destination pixel computed on
// its own from the definition of the area average in 1/256 steps (see
// area_resampler.h): the source cells under [x fx, (x+1) fx) and
// [(y - top) fy, (y+1 - top) fy), clipped, with the nearest cell for an area
// outside; weights rounded to 1/256 with the remainder on the largest; rows
// first, each byte rounded (sum + 128) / 256, then columns the same way; the
// top byte 0xFF.
struct AxisWeights {
  int first = 0;
  std::vector<int> weights;
};

AxisWeights AreaWeights(double a, double b, int size) {
  const double lo = std::max(a, 0.0), hi = std::min(b, static_cast<double>(size));
  if (hi <= lo)
    return {b <= 0 ? 0 : size - 1, {256}};
  // Overlaps below a millionth of a cell are rounding noise of x f.
  const int first = std::min(static_cast<int>(std::floor(lo + 1e-6)), size - 1);
  const int last = std::min(size - 1, static_cast<int>(std::ceil(hi - 1e-6)) - 1);
  AxisWeights w{first, {}};
  int sum = 0, largest = 0;
  for (int c = first; c <= std::max(first, last); ++c) {
    const double part = std::max(0.0, std::min(hi, c + 1.0) - std::max(lo, 1.0 * c)) / (hi - lo);
    w.weights.push_back(static_cast<int>(std::lround(part * 256)));
    sum += w.weights.back();
    if (w.weights.back() > w.weights[largest])
      largest = static_cast<int>(w.weights.size()) - 1;
  }
  w.weights[largest] += 256 - sum;
  return w;
}

Raster ReferenceArea(const Raster& src, int width, int height, double fx, double fy, int top) {
  Raster out = MakeRaster(width, height);
  std::vector<AxisWeights> columns;
  for (int x = 0; x < width; ++x)
    columns.push_back(AreaWeights(x * fx, (x + 1) * fx, src.width));
  std::vector<uint32_t> row(src.width);
  for (int y = 0; y < height; ++y) {
    const AxisWeights wy = AreaWeights((y - top) * fy, (y + 1 - top) * fy, src.height);
    const uint32_t* first = &src.pixels[static_cast<size_t>(wy.first) * src.width];
    for (int sx = 0; sx < src.width; ++sx) {
      uint32_t p = 0;
      for (int shift : {0, 8, 16, 24}) {
        unsigned sum = 128;
        for (size_t i = 0; i < wy.weights.size(); ++i)
          sum += ((first[i * src.width + sx] >> shift) & 0xFF) * wy.weights[i];
        p |= (sum >> 8) << shift;
      }
      row[sx] = p;
    }
    for (int x = 0; x < width; ++x) {
      const AxisWeights& wx = columns[x];
      uint32_t p = 0xFF000000u;
      for (int shift : {0, 8, 16}) {
        unsigned sum = 128;
        for (size_t i = 0; i < wx.weights.size(); ++i)
          sum += ((row[wx.first + i] >> shift) & 0xFF) * wx.weights[i];
        p |= (sum >> 8) << shift;
      }
      out.pixels[static_cast<size_t>(y) * width + x] = p;
    }
  }
  return out;
}

// The streamed load (rows skipped and decoded into the resampler's buffers,
// huge-page rasters left unset until written, SSE2 loops at two, three and
// four taps) against the reference, pixel for pixel, in the four cases, with
// 1.2 (6000 -> 5000), 1.6 (8000 -> 5000), DCT-scaled and odd ratios, and the
// overview of each (1.6 working pixels per overview pixel from 1600 wide, 2.6
// from 2600 wide: four taps, as from a 5000 pixel working image).
TEST(PhotoLoader, StreamedLoadEqualsTheFullDecodeThenTheAreaAverage) {
  struct Case {
    int w, h;
    const char* limit;
    bool cut;
    LoadCase expected;
  };
  const Case cases[] = {
      {400, 300, "5000", false, LoadCase::A}, {1600, 1202, "5000", true, LoadCase::C},
      {600, 450, "500", false, LoadCase::B},  {800, 600, "500", true, LoadCase::D},
      {800, 600, "400", true, LoadCase::D},   {1203, 901, "300", false, LoadCase::B},
      {1203, 901, "500", true, LoadCase::D},  {2600, 1733, "5000", false, LoadCase::A},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " limit " + c.limit);
    SpanScene scene = test::ScaledScene(test::SampleSpanScene(), c.w, c.h);
    scene.quality = 90;
    scene.noise = 4;
    const std::vector<uint8_t> jpeg = RenderSpanJpeg(scene);
    const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("ref.jpg", jpeg),
                                                  Settings(c.limit, c.cut, true), kInnerWidth, {});
    ASSERT_TRUE(out.photo);
    const LoadedPhoto& p = *out.photo;
    EXPECT_EQ(p.plan.load_case, c.expected);

    const int m = ChooseDctScale({c.w, c.h}, p.plan.draw_width, p.plan.draw_height);
    const Raster decoded = TurboDecode(jpeg, m);
    const Raster working =
        ReferenceArea(decoded, p.plan.W2, p.plan.H2, c.w * (m / 8.0) / p.plan.draw_width,
                      c.h * (m / 8.0) / p.plan.draw_height, DrawTopRow(p.plan));
    EXPECT_TRUE(p.working.pixels == working.pixels);
    const double img_scale = p.overview_plan.ImgScale;
    const Raster overview = ReferenceArea(
        working, OverviewPixelWidth(p.overview_plan), OverviewPixelHeight(p.overview_plan),
        img_scale / kOverviewUnitXPixels, img_scale / kOverviewUnitYPixels, 0);
    EXPECT_EQ(p.overview.width, overview.width);
    EXPECT_TRUE(p.overview.pixels == overview.pixels);
  }
}

TEST(PhotoLoader, OverviewCanBeLeftOut) {
  TempFolder dir;
  LoadCallbacks cb;
  cb.build_overview = false;
  const LoadOutcome out = LoadPhotoWithRecovery(
      dir.Write("n.jpg", RenderSpanJpeg(SmallSpan(640, 480))), LoadSettings{}, kInnerWidth, cb);
  ASSERT_TRUE(out.photo);
  EXPECT_EQ(out.photo->working.height, 240);
  EXPECT_TRUE(out.photo->overview.pixels.empty());
  EXPECT_NEAR(out.photo->overview_plan.ImgScale, 640.0 / 999.0, 1e-6);
}

TEST(PhotoLoader, AFileCutShortWhileMappedFailsWithoutACrash) {
  // Another program truncates the photo after it was opened (mapped): the
  // pages past the new end read as zeros instead of raising SIGBUS, and the
  // load reports the file as unusable.
  TempFolder dir;
  const std::string path = dir.Write("cut.jpg", RenderSpanJpeg(SmallSpan(1600, 1200)));
  auto opened = PhotoFile::Open(path);
  ASSERT_TRUE(opened.ok());
  ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
  const Result<WorkingImagePlan> plan = PlanWorkingImage(1600, 1200, 5000, false);
  const Result<Raster> built = opened->BuildWorkingImage(*plan, kDefaultMaxRasterBytes);
  ASSERT_FALSE(built.ok());
  EXPECT_EQ(built.failure().code(), kErrInvalidPicture);
  EXPECT_FALSE(SmallerImageMayCure(built.failure()));
}

TEST(PhotoLoader, CmykJpegIsConvertedToRgb) {
  // Adobe CMYK JPEGs store the inks inverted (255 = no ink): with K = 255 the
  // stored C, M, Y bytes are the R, G, B values.
  const int w = 32, h = 16;
  std::vector<uint8_t> cmyk(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < cmyk.size(); i += 4) {
    cmyk[i] = 200;
    cmyk[i + 1] = 100;
    cmyk[i + 2] = 50;
    cmyk[i + 3] = 255;
  }
  const std::vector<uint8_t> bytes =
      test::EncodeJpegPixels(cmyk.data(), w, h, TJPF_CMYK, TJSAMP_444, 95);
  ASSERT_FALSE(bytes.empty());
  TempFolder dir;
  const LoadOutcome out = LoadPhotoWithRecovery(dir.Write("cmyk.jpg", bytes),
                                                Settings("5000", false, true), kInnerWidth, {});
  ASSERT_TRUE(out.photo);
  const uint32_t p = out.photo->working.pixels[5 * w + 7];
  EXPECT_NEAR((p >> 16) & 0xFF, 200, 3);
  EXPECT_NEAR((p >> 8) & 0xFF, 100, 3);
  EXPECT_NEAR(p & 0xFF, 50, 3);
}

TEST(PhotoLoader, FallbackDecoderLoadsOtherFormats) {
  TempFolder dir;
  const std::string path = dir.Write("p.img", std::string("RASTER"));
  LoadCallbacks cb;
  cb.fallback_decoder = [](const std::vector<uint8_t>& bytes,
                           int needed_width) -> Result<FallbackPhoto> {
    if (std::string(bytes.begin(), bytes.end()) != "RASTER")
      return Failure(MessageId::kPhotoNotImage, {}, kErrInvalidPicture);
    // A photo of 300 x 200 given at the width needed (the limit, 100).
    EXPECT_EQ(needed_width, 100);
    return FallbackPhoto{300, 200, MakeRaster(100, 67, 0xFF204060u)};
  };
  const LoadOutcome out =
      LoadPhotoWithRecovery(path, Settings("100", false, true), kInnerWidth, cb);
  ASSERT_TRUE(out.photo);
  EXPECT_EQ(out.photo->plan.load_case, LoadCase::B);
  EXPECT_EQ(out.photo->working.width, 100);
  EXPECT_EQ(out.photo->working.height, 67);  // 200 / 3 = 66.67
  EXPECT_EQ(out.photo->working.pixels[50], 0xFF204060u);
}

// Uncurable failures: no retry, nothing changed, the program goes on.
struct BrokenFile {
  const char* name;
  std::vector<uint8_t> bytes;
  int code;
};

std::vector<uint8_t> WithFrameSize(std::vector<uint8_t> jpeg, int width, int height) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      break;
    }
  }
  return jpeg;
}

TEST(PhotoLoader, FilesWithoutAUsableImageFailWithoutRetry) {
  const std::vector<uint8_t> good = RenderSpanJpeg(SmallSpan(64, 48));
  std::vector<uint8_t> garbage = {0xFF, 0xD8, 0xFF};
  for (int i = 0; i < 500; ++i)
    garbage.push_back(static_cast<uint8_t>(i * 37));
  const std::string text = "not a photo\n";
  const std::vector<BrokenFile> files = {
      {"empty.jpg", {}, kErrInvalidPicture},
      {"text.jpg", std::vector<uint8_t>(text.begin(), text.end()), kErrInvalidPicture},
      {"broken.jpg", garbage, kErrInvalidPicture},
      {"header_only.jpg", std::vector<uint8_t>(good.begin(), good.begin() + 20),
       kErrInvalidPicture},
      {"wide.jpg", WithFrameSize(good, 40000, 48), kErrOverflow},
      {"tall.jpg", WithFrameSize(good, 64, 33000), kErrOverflow},
  };
  TempFolder dir;
  for (const BrokenFile& f : files) {
    SCOPED_TRACE(f.name);
    int asked = 0, changed = 0;
    LoadCallbacks cb;
    cb.ask_retry = [&] {
      ++asked;
      return true;
    };
    cb.settings_changed = [&](const LoadSettings&) { ++changed; };
    for (bool auto_adjust : {true, false}) {
      const LoadSettings before = Settings("5000", true, auto_adjust);
      const LoadOutcome out =
          LoadPhotoWithRecovery(dir.Write(f.name, f.bytes), before, kInnerWidth, cb);
      EXPECT_FALSE(out.photo);
      ASSERT_TRUE(out.failure);
      EXPECT_EQ(out.failure->code(), f.code) << out.failure->English();
      EXPECT_FALSE(SmallerImageMayCure(*out.failure));
      EXPECT_FALSE(out.end_program);
      EXPECT_EQ(out.attempts, 1);
      EXPECT_EQ(out.settings, before);
      EXPECT_EQ(out.message, "エラーコード=" + std::to_string(f.code));
    }
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(changed, 0);
  }
}

// The recovery, with allocation failure simulated by the raster limit.
struct Recorder {
  std::vector<LoadSettings> changes;
  int questions = 0;
  bool answer = true;
  LoadCallbacks Callbacks() {
    LoadCallbacks cb;
    cb.ask_retry = [this] {
      ++questions;
      return answer;
    };
    cb.settings_changed = [this](const LoadSettings& s) { changes.push_back(s); };
    return cb;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const LoadSettings& s : changes)
      t.push_back(s.limit_text);
    return t;
  }
};

// Memory bounds: a photo far taller than wide would need an overview of
// millions of rows (8 x 32767: 2 million rows of 1003 pixels, 8 GB). It
// cannot be shown, whatever the limit: failure 7 before anything is
// decoded, no retry, the settings as they were.
TEST(PhotoLoader, APhotoWhoseOverviewExceedsTheBoundCannotBeShown) {
  TempFolder dir;
  struct Tall {
    int width, height;
  };
  for (const Tall t : {Tall{8, 32767}, Tall{30, 32767}, Tall{1, 30000}}) {
    test::RgbImage grey;
    grey.width = t.width;
    grey.height = t.height;
    grey.rgb.assign(static_cast<size_t>(t.width) * t.height * 3, 128);
    const std::string path = dir.Write("tall.jpg", test::EncodeJpeg(grey, 75));
    for (bool cut : {true, false}) {
      SCOPED_TRACE(std::to_string(t.width) + " x " + std::to_string(t.height) +
                   (cut ? " cut" : " uncut"));
      Recorder rec;
      const LoadSettings before = Settings("5000", cut, true);
      const LoadOutcome out = LoadPhotoWithRecovery(path, before, kInnerWidth, rec.Callbacks());
      EXPECT_FALSE(out.photo);
      ASSERT_TRUE(out.failure);
      EXPECT_EQ(out.failure->code(), kErrOutOfMemory) << out.failure->English();
      EXPECT_FALSE(SmallerImageMayCure(*out.failure));
      EXPECT_NE(out.failure->English().find("cannot be shown"), std::string::npos);
      EXPECT_FALSE(out.end_program);
      EXPECT_EQ(out.attempts, 1);
      EXPECT_EQ(out.settings, before);
      EXPECT_EQ(out.message, "エラーコード=7");
      EXPECT_TRUE(rec.changes.empty());
      EXPECT_EQ(rec.questions, 0);
    }
  }
}

// Paths that hold no photo file fail at once with their code, nothing
// changed, the program going on. A FIFO would block the only thread for ever
// in open.
TEST(PhotoLoader, PathsWithoutAPhotoFileFailWithTheirCode) {
  TempFolder dir;
  const std::string fifo = dir.PathOf("photo.jpg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    int code;
  } cases[] = {
      {dir.PathOf("none.jpg"), kErrFileNotFound},
      {dir.path(), kErrInvalidPicture},
      {fifo, kErrPathFileAccess},
  };
  const LoadSettings before = Settings("5000", true, true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const LoadOutcome out = LoadPhotoWithRecovery(c.path, before, kInnerWidth, {});
    EXPECT_FALSE(out.photo);
    ASSERT_TRUE(out.failure);
    EXPECT_EQ(out.failure->code(), c.code);
    EXPECT_FALSE(SmallerImageMayCure(*out.failure));
    EXPECT_FALSE(out.end_program);
    EXPECT_EQ(out.settings, before);
    EXPECT_EQ(out.message, "エラーコード=" + std::to_string(c.code));
  }
}

TEST(PhotoLoader, UnreadableFileIsCode70) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions are not enforced for root";
  TempFolder dir;
  const std::string path = dir.Write("locked.jpg", RenderSpanJpeg(SmallSpan(64, 48)));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  const LoadOutcome out = LoadPhotoWithRecovery(path, {}, kInnerWidth, {});
  ASSERT_TRUE(out.failure);
  EXPECT_EQ(out.failure->code(), kErrPermissionDenied);
  EXPECT_FALSE(SmallerImageMayCure(*out.failure));
  EXPECT_FALSE(out.end_program);
}

class RecoveryFixture : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_.Write("span.jpg", RenderSpanJpeg(SmallSpan(640, 480))); }
  TempFolder dir_;
  std::string path_;
};

TEST_F(RecoveryFixture, AutomaticAdjustmentRunsDownToTheEnd) {
  Recorder rec;
  const LoadOutcome out =
      LoadPhotoWithRecovery(path_, Settings("5000", true, true), kInnerWidth, rec.Callbacks(), 0);
  EXPECT_FALSE(out.photo);
  EXPECT_TRUE(out.end_program);
  EXPECT_EQ(out.attempts, 9);  // 5000, 4500, ..., 1000
  EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"4500", "4000", "3500", "3000", "2500", "2000",
                                                   "1500", "1000", "500"}));
  EXPECT_EQ(rec.questions, 0);
  ASSERT_TRUE(out.failure);
  EXPECT_EQ(out.failure->code(), kErrOutOfMemory);
  EXPECT_EQ(out.message, "画面サイズを修正してもエラーが発生するため終了します。エラーコード=7");
  EXPECT_EQ(out.settings.limit_text, "500");
}

TEST_F(RecoveryFixture, WithoutAdjustmentYesRetriesTheSameLimitThenLowersWithoutAsking) {
  Recorder rec;
  rec.answer = true;
  const LoadOutcome out =
      LoadPhotoWithRecovery(path_, Settings("5000", true, false), kInnerWidth, rec.Callbacks(), 0);
  EXPECT_EQ(rec.questions, 1);
  ASSERT_GE(rec.changes.size(), 2u);
  EXPECT_EQ(rec.changes[0].limit_text, "5000");
  EXPECT_TRUE(rec.changes[0].auto_adjust);
  EXPECT_EQ(rec.changes[1].limit_text, "4500");
  EXPECT_EQ(out.attempts, 10);  // 5000 twice, then 4500 .. 1000
  EXPECT_TRUE(out.end_program);
  EXPECT_TRUE(out.settings.auto_adjust);
}

// No ends with the code; a headless run (no question asked) answers no.
TEST_F(RecoveryFixture, WithoutAdjustmentNoEndsWithTheCode) {
  Recorder rec;
  rec.answer = false;
  const LoadOutcome out =
      LoadPhotoWithRecovery(path_, Settings("5000", true, false), kInnerWidth, rec.Callbacks(), 0);
  EXPECT_EQ(rec.questions, 1);
  EXPECT_TRUE(rec.changes.empty());
  EXPECT_EQ(out.attempts, 1);
  EXPECT_TRUE(out.end_program);
  EXPECT_EQ(out.message, "エラーコード=7");
  EXPECT_EQ(out.settings, Settings("5000", true, false));

  const LoadOutcome headless =
      LoadPhotoWithRecovery(path_, Settings("5000", true, false), kInnerWidth, {}, 0);
  EXPECT_TRUE(headless.end_program);
  EXPECT_EQ(headless.attempts, 1);
}

TEST_F(RecoveryFixture, EmptyLimitEndsAtOnceWithAutomaticAdjustment) {
  Recorder rec;
  const LoadOutcome out =
      LoadPhotoWithRecovery(path_, Settings("", true, true), kInnerWidth, rec.Callbacks());
  EXPECT_TRUE(out.end_program);
  EXPECT_EQ(out.attempts, 1);
  ASSERT_TRUE(out.failure);
  EXPECT_EQ(out.failure->code(), kErrDivisionByZero);
  EXPECT_EQ(rec.Texts(), std::vector<std::string>{"-500"});
}

TEST_F(RecoveryFixture, NegativeLimitAsksWithoutAdjustment) {
  Recorder rec;
  rec.answer = false;
  const LoadOutcome out =
      LoadPhotoWithRecovery(path_, Settings("-100", false, false), kInnerWidth, rec.Callbacks());
  EXPECT_EQ(rec.questions, 1);
  ASSERT_TRUE(out.failure);
  EXPECT_EQ(out.failure->code(), kErrInvalidProperty);
  EXPECT_EQ(out.message, "エラーコード=380");
}

TEST(Recovery, SucceedsOnceTheWorkingRasterFits) {
  // 4000 x 300 without the cut: at limit L the raster is 4 L round(0.075 L)
  // bytes: 2,880,000 at 3000 (too many for 2,000,000), 1,880,000 at 2500.
  TempFolder dir;
  SpanScene scene = SmallSpan(4000, 300);
  const std::string path = dir.Write("wide.jpg", RenderSpanJpeg(scene));
  Recorder rec;
  const LoadOutcome out = LoadPhotoWithRecovery(path, Settings("5000", false, true), kInnerWidth,
                                                rec.Callbacks(), 2'000'000);
  ASSERT_TRUE(out.photo);
  EXPECT_EQ(out.attempts, 6);
  EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"4500", "4000", "3500", "3000", "2500"}));
  EXPECT_EQ(out.settings.limit_text, "2500");
  EXPECT_EQ(out.photo->limit, 2500);
  EXPECT_EQ(out.photo->working.width, 2500);
  EXPECT_EQ(out.photo->working.height, 188);  // 187.5 rounds to even
  EXPECT_FALSE(out.end_program);
}

TEST(PhotoLoader, FortyEightMegapixelsLoadOnTheFirstAttempt) {
  TempFolder dir;
  SpanScene scene = test::ScaledScene(test::SampleSpanScene(), 8000, 6000);
  scene.noise = 0;
  const std::string path = dir.Write("48mp.jpg", RenderSpanJpeg(scene));
  const LoadOutcome out = LoadPhotoWithRecovery(path, LoadSettings{}, kInnerWidth, {});
  ASSERT_TRUE(out.photo) << out.failure->English();
  EXPECT_EQ(out.attempts, 1);
  EXPECT_EQ(out.settings, LoadSettings{});
  EXPECT_EQ(out.photo->plan.load_case, LoadCase::D);
  EXPECT_EQ(out.photo->working.width, 5000);
  EXPECT_EQ(out.photo->working.height, 1875);
}

}  // namespace
}  // namespace sarn
