// Accuracy of the whole measurement against the rendered truth: synthetic span
// photos with a known catenary (spans 30-80 m, sags 0.3-3 m, several conductor
// thicknesses, brightness levels and JPEG qualities, lines drawn both ways)
// are measured with `sarn measure`, and the sag must lie within 1.5 working-
// image pixels' worth of metres plus 1 % of the true sag.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/measure_fixture.h"
#include "support/lens_photo.h"
#include "support/span_photo.h"

namespace sarn::test {
namespace {

struct Trial {
  double span_m;
  double sag_m;
  double thickness_px;
  int quality;
  double sky_top, sky_bottom, conductor;
  double incline_px;  // right attachment above (-) or below (+) the left one
  int limit;          // working-width limit; below the photo width scales it (case D)
};

// A deterministic spread over the parameters: each list is walked with a
// different stride so that the trials mix them rather than repeat patterns.
std::vector<Trial> Trials() {
  const double spans[] = {30, 45, 60, 80};
  const double sags[] = {0.3, 0.8, 1.5, 3.0};
  const double thicknesses[] = {2, 3, 5};
  const int qualities[] = {60, 80, 95};
  const double brightness[][3] = {{210, 170, 55}, {160, 140, 85}, {235, 215, 30}};
  const double inclines[] = {0, -60, 45};
  const int limits[] = {5000, 5000, 1300};
  std::vector<Trial> trials;
  for (int n = 0; n < 24; ++n) {
    Trial s;
    s.span_m = spans[n % 4];
    s.sag_m = sags[(n / 4 + n) % 4];
    s.thickness_px = thicknesses[n % 3];
    s.quality = qualities[(n / 3) % 3];
    const double* b = brightness[(n / 2) % 3];
    s.sky_top = b[0];
    s.sky_bottom = b[1];
    s.conductor = b[2];
    s.incline_px = inclines[(n / 5) % 3];
    s.limit = limits[(n / 7) % 3];
    trials.push_back(s);
  }
  return trials;
}

constexpr int kWidth = 2000, kHeight = 1200;

SpanScene SceneOf(const Trial& s, uint32_t seed) {
  SpanScene scene;
  scene.width = kWidth;
  scene.height = kHeight;
  // Pixels per metre chosen so that the sag stays within the scan's reach
  // (202 rows below the line, drawn 20 rows above the conductor's ends).
  const double span_px = std::min(1700.0, 150.0 * s.span_m / s.sag_m);
  scene.left_x = (kWidth - span_px) / 2;
  scene.right_x = scene.left_x + span_px;
  scene.left_y = 520;
  scene.right_y = 520 + s.incline_px;
  scene.sag = s.sag_m * span_px / s.span_m;
  scene.thickness = s.thickness_px;
  scene.sky_top = s.sky_top;
  scene.sky_bottom = s.sky_bottom;
  scene.conductor = s.conductor;
  scene.seed = seed;
  scene.quality = s.quality;
  return scene;
}

struct Error {
  double abs_m;    // |measured - truth|, m
  double allowed;  // 1.5 working px in metres + 1 %
  double rel;      // relative to the true sag
};

TEST(SagAccuracy, MeasuredSagFollowsTheRenderedCatenary) {
  MeasureFixture fixture;
  std::vector<Error> errors;
  const std::vector<Trial> trials = Trials();
  for (size_t n = 0; n < trials.size(); ++n) {
    const Trial& trial = trials[n];
    const SpanScene scene = SceneOf(trial, static_cast<uint32_t>(100 + n));
    const std::string photo = fixture.folder().Write("trial.jpg", RenderSpanJpeg(scene));

    // The line a user draws: from one pole to the other, clear of the poles,
    // 20 px above the conductor's top edge at both ends.
    const double inset = 14;
    const double x0 = scene.left_x + inset, x8 = scene.right_x - inset;
    const double metres_per_px = trial.span_m / (scene.right_x - scene.left_x);
    // The span typed is the chord's horizontal length, so that the metres per
    // pixel the tool derives are the trial's own.
    const double chord_m = (x8 - x0) * metres_per_px;
    const double truth_px = ConductorCentreRow(scene, (x0 + x8) / 2) -
                            (ConductorCentreRow(scene, x0) + ConductorCentreRow(scene, x8)) / 2;
    const double truth_m = truth_px * metres_per_px;
    const double k = std::min(1.0, static_cast<double>(trial.limit) / kWidth);
    const double allowed = 1.5 * metres_per_px / k + 0.01 * truth_m;

    for (bool right_to_left : {false, true}) {
      const std::string line = LineArgument(scene, right_to_left, inset);
      char span[40], limit[16];
      std::snprintf(span, sizeof span, "%.6f", chord_m);
      std::snprintf(limit, sizeof limit, "%d", trial.limit);
      CliRun run = fixture.Run(
          {"measure", photo, "--line", line, "--span", span, "--limit", limit, "--json"});
      ASSERT_EQ(run.status, 0) << run.err;
      const double sag = JsonNumber(run.out, "sag", 0);
      const double tension = JsonNumber(run.out, "tension_estimates", 0);
      SCOPED_TRACE(::testing::Message()
                   << "trial " << n << ": span " << trial.span_m << " m, sag " << trial.sag_m
                   << " m, thickness " << trial.thickness_px << " px, quality " << trial.quality
                   << ", limit " << trial.limit << (right_to_left ? ", right to left" : ""));
      EXPECT_NEAR(sag, truth_m, allowed);
      // The estimate is the parabolic tension of the measured sag,
      // T = chord^2 w / (8 sag), w = 0.198 kg/m for the first conductor.
      const double expected_tension = chord_m * chord_m * 0.198 / (8 * sag);
      EXPECT_NEAR(tension, expected_tension, 1e-4 * expected_tension);
      errors.push_back({std::abs(sag - truth_m), allowed, std::abs(sag - truth_m) / truth_m});
    }
  }

  // The distribution, for the record.
  std::vector<double> rel, used;
  for (const Error& e : errors) {
    rel.push_back(e.rel * 100);
    used.push_back(e.abs_m / e.allowed * 100);
  }
  std::sort(rel.begin(), rel.end());
  std::sort(used.begin(), used.end());
  auto pct = [](const std::vector<double>& v, double p) {
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
  };
  std::printf(
      "sag error over %zu measurements: median %.2f %%, 90th %.2f %%, max %.2f %% of the true "
      "sag; share of the allowance used: median %.0f %%, max %.0f %%\n",
      rel.size(), pct(rel, 0.5), pct(rel, 0.9), rel.back(), pct(used, 0.5), used.back());
}

}  // namespace
}  // namespace sarn::test

namespace sarn::test {
namespace {

// A drone photo (DJI FC6310, half its size) whose lens bends the conductor,
// the chord 20 % of the height above the centre: with correction off the sag
// is far too small and the JSON and the batch row say so and by how much;
// with --lens auto (from the EXIF) or the same camera chosen by hand the sag
// matches the undistorted truth.
TEST(SagAccuracy, LensCorrectionRestoresTheSagOfADistortedPhoto) {
  const CampaignCamera drone = CampaignCameras()[0];
  const int width = drone.width / 2, height = drone.height / 2;
  const LensLookup found = LensDatabase::Find(ReadBack(drone.exif));
  ASSERT_TRUE(found.profile) << found.why_not->English();
  const LensMapper mapper(*found.profile, width, height);
  const SpanScene scene = LensScene(width, height, 0.20, 1.0);
  MeasureFixture fixture;
  const std::vector<uint8_t> jpeg =
      WithExif(EncodeJpeg(DistortImage(RenderSpanPhoto(scene), mapper), scene.quality), drone.exif);
  const std::string photo = fixture.folder().Write("drone.jpg", jpeg);

  const PhotoLine u = ScanLineAbove(scene, 16, 30, 16, 30);
  const PhotoLine d = DistortedLineAbove(scene, mapper, u);
  char line[160];
  std::snprintf(line, sizeof line, "%.2f,%.2f,%.2f,%.2f", d.x1, d.y1, d.x2, d.y2);
  const double truth = TruthSagMetres(scene, u, 40.0);

  auto measure = [&](const std::string& lens) {
    return fixture.Run({"measure", photo, "--line", line, "--precision", "--json", "--lens", lens});
  };
  const CliRun off = measure("off");
  ASSERT_EQ(off.status, 0) << off.err;
  const double off_sag = JsonNumber(off.out, "sag");
  EXPECT_LT(off_sag, truth * 0.95);  // the lens flattens a chord above the centre
  EXPECT_NE(off.out.find("\"warnings\":[\"lens correction is off"), std::string::npos) << off.out;
  EXPECT_NE(off.err.find("--lens auto"), std::string::npos);
  EXPECT_NE(off.out.find("\"corrected\":false"), std::string::npos);
  const double change = JsonNumber(off.out, "sag_change_percent");

  const CliRun corrected = measure("auto");
  ASSERT_EQ(corrected.status, 0) << corrected.err;
  const double sag = JsonNumber(corrected.out, "sag");
  EXPECT_NEAR(sag, truth, truth * 0.001) << "truth " << truth << " off " << off_sag;
  EXPECT_NEAR((sag / off_sag - 1) * 100, change, 0.01);
  EXPECT_NE(corrected.out.find("\"source\":\"exif\""), std::string::npos);
  EXPECT_EQ(corrected.out.find("lens correction is off"), std::string::npos);

  const CliRun manual = measure("DJI|FC6310||8.8");
  EXPECT_EQ(JsonNumber(manual.out, "sag"), sag);
  EXPECT_NE(manual.out.find("\"source\":\"manual\""), std::string::npos);

  const std::string rows = fixture.folder().Write(
      "lines.csv", std::string("photo,x1,y1,x2,y2\ndrone.jpg,") + line + "\n");
  const CliRun batch = fixture.Run({"measure", "--batch", rows, "--precision"});
  EXPECT_NE(batch.out.find("warning: lens correction is off"), std::string::npos) << batch.out;
}

}  // namespace
}  // namespace sarn::test
