// Accuracy of precision tracing against the rendered truth, on span photos
// with the conditions a field engineer meets (tree lines and hills behind the
// span, a sunlit conductor before a forest, a grey conductor on an overcast
// sky, a second conductor below, camera roll, strong JPEG compression with
// sensor noise, careless lines, light insulators at the ends, thin and thick
// conductors, a 6000 x 4000 photo). Each photo is loaded as the program loads
// it (default limit and cut) and traced along the line a user would draw.
//
// The sag compared is p, the conductor's row at the middle station minus the
// mean of its rows at the end stations, in working-image pixels; the truth is
// the rendered conductor's centre at the program's own station columns.
// Precision tracing must reach a median error below 0.01 % of the sag and a
// 90th percentile below 0.05 %, with every station of a credible result on
// the conductor, and refuse at most one photo. The default scan's error on
// the same photos is printed beside it.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "photo/load_plan.h"
#include "photo/photo_loader.h"
#include "session/raster_pixels.h"
#include "support/composite_check.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"
#include "tracing/precision_trace.h"
#include "tracing/scan.h"

namespace sarn::test {
namespace {

constexpr int kInnerWidth = 1004;  // the window's design inner width

struct Scene {
  std::string condition;
  SpanScene span;
  // The drawn line: ends this far inside the attachments and above the
  // conductor's top edge, photo pixels.
  double inset_left = 14, above_left = 20, inset_right = 14, above_right = 20;
};

// A deterministic spread: variant v of each condition.
SpanScene Base(int v, double sag_px) {
  SpanScene s;
  s.width = 2000;
  s.height = 1200;
  s.left_x = 150;
  s.right_x = 1850;
  s.left_y = 470 + 15 * v;
  s.right_y = s.left_y + (v % 3 - 1) * 35;
  s.sag = sag_px;
  s.thickness = 2.5 + 1.5 * v;
  s.seed = static_cast<uint32_t>(200 + v);
  return s;
}

std::vector<Scene> Scenes() {
  std::vector<Scene> out;
  const double sags[] = {70, 120, 165};
  for (int v = 0; v < 3; ++v) {
    const double sag = sags[v];
    {
      Scene sc{"clean", Base(v, sag)};
      out.push_back(sc);
    }
    {
      Scene sc{"tree line", Base(v, sag)};
      sc.span.backdrop = SpanScene::Backdrop::Trees;
      sc.span.backdrop_from = v == 1 ? 900 : 80;
      sc.span.backdrop_to = sc.span.backdrop_from + 600 + 80 * v;
      sc.span.backdrop_rise = 15 + 12 * v;
      out.push_back(sc);
    }
    {
      Scene sc{"hill edge", Base(v, sag)};
      sc.span.backdrop = SpanScene::Backdrop::Hill;
      sc.span.backdrop_from = 1100 - 300 * v;
      sc.span.backdrop_to = sc.span.backdrop_from + 900;
      sc.span.backdrop_rise = 20 + 10 * v;
      sc.span.backdrop_level = 110;
      out.push_back(sc);
    }
    {
      Scene sc{"sunlit/forest", Base(v, sag)};
      sc.span.backdrop = SpanScene::Backdrop::Trees;
      sc.span.backdrop_from = -400;
      sc.span.backdrop_to = 2400;
      sc.span.backdrop_rise = 400;
      sc.span.backdrop_level = 55 + 10 * v;
      sc.span.backdrop_texture = 18;
      sc.span.conductor = 190;
      out.push_back(sc);
    }
    {
      Scene sc{"overcast grey", Base(v, sag)};
      sc.span.sky_top = 178;
      sc.span.sky_bottom = 168;
      sc.span.conductor = 132 + 6 * v;
      sc.span.clouds = 10;
      sc.span.noise = 2.5;
      out.push_back(sc);
    }
    {
      Scene sc{"second conductor", Base(v, sag)};
      sc.span.second_offset = 15 + 12 * v;
      sc.span.thickness = std::min(sc.span.thickness, sc.span.second_offset / 3);
      out.push_back(sc);
    }
    {
      Scene sc{"camera roll", Base(v, sag)};
      sc.span.roll_deg = v == 1 ? -2.0 : 1.0 + v;
      out.push_back(sc);
    }
    {
      Scene sc{"jpeg 40-50 + noise", Base(v, sag)};
      sc.span.quality = 40 + 5 * v;
      sc.span.noise = 4 + v;
      out.push_back(sc);
    }
    {
      Scene sc{"careless line", Base(v, sag)};
      const double insets[][2] = {{0, 30}, {22, 4}, {9, 0}};
      const double above[][2] = {{5, 40}, {33, 12}, {18, 26}};
      sc.inset_left = insets[v][0];
      sc.inset_right = insets[v][1];
      sc.above_left = above[v][0];
      sc.above_right = above[v][1];
      out.push_back(sc);
    }
    {
      Scene sc{"insulators", Base(v, sag)};
      sc.span.insulator_length = 25 + 12 * v;
      sc.inset_left = 6 + 4 * v;
      sc.inset_right = 16 - 4 * v;
      out.push_back(sc);
    }
    {
      Scene sc{"thickness 1.5-10", Base(v, sag)};
      sc.span.thickness = v == 0 ? 1.5 : (v == 1 ? 10 : 7);
      out.push_back(sc);
    }
  }
  // A full-size photo with the default cut: 6000 x 4000, working image
  // 5000 x 1667.
  {
    Scene sc{"6000x4000", ScaledScene(Base(1, 120), 6000, 4000)};
    sc.span.sag = 150 / 0.8333;
    sc.inset_left = sc.inset_right = 30;
    out.push_back(sc);
  }
  return out;
}

struct Errors {
  std::vector<double> precision, scan;
  int precision_wrong = 0, scan_wrong = 0, stations = 0;

  void Add(const Errors& e) {
    precision.insert(precision.end(), e.precision.begin(), e.precision.end());
    scan.insert(scan.end(), e.scan.begin(), e.scan.end());
    precision_wrong += e.precision_wrong;
    scan_wrong += e.scan_wrong;
    stations += e.stations;
  }
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty())
    return std::nan("");
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)))];
}

TEST(PrecisionAccuracy, SagWithinAHundredthOfAPercentOnFieldConditions) {
  TempFolder folder;
  std::vector<std::string> conditions;
  std::vector<Errors> by_condition;
  Errors all;
  int refused = 0;
  for (const Scene& sc : Scenes()) {
    SCOPED_TRACE(sc.condition + ", seed " + std::to_string(sc.span.seed));
    const std::string path = folder.Write("scene.jpg", RenderSpanJpeg(sc.span));
    LoadCallbacks callbacks;
    callbacks.ask_retry = [] { return false; };
    const LoadOutcome loaded = LoadPhotoWithRecovery(path, LoadSettings{}, kInnerWidth, callbacks);
    ASSERT_TRUE(loaded.photo.has_value()) << loaded.message;
    const LoadedPhoto& photo = *loaded.photo;
    const int pw = photo.photo_width, ph = photo.photo_height;

    const PhotoLine drawn =
        ScanLineAbove(sc.span, sc.inset_left, sc.above_left, sc.inset_right, sc.above_right);
    double wx1, wy1, wx2, wy2;
    PhotoToWorking(photo.plan, pw, ph, drawn.x1, drawn.y1, &wx1, &wy1);
    PhotoToWorking(photo.plan, pw, ph, drawn.x2, drawn.y2, &wx2, &wy2);
    const ScanLine line{static_cast<float>(wx1), static_cast<float>(wy1), static_cast<float>(wx2),
                        static_cast<float>(wy2)};

    // The truth at the program's station columns: the centre of working
    // column x is photo position WorkingToPhoto(x + 0.5); its row index is
    // the working position less half a pixel.
    std::array<double, kStations> truth{};
    for (int i = 0; i < kStations; ++i) {
      const int32_t x = StationColumn(line, 1.0f, i);
      double px, py, tx, ty;
      WorkingToPhoto(photo.plan, pw, ph, x + 0.5, 0, &px, &py);
      PhotoToWorking(photo.plan, pw, ph, px, ConductorCentreRow(sc.span, px), &tx, &ty);
      truth[static_cast<size_t>(i)] = ty - 0.5;
    }
    const double truth_p = truth[4] - (truth[0] + truth[8]) / 2;
    const double half_thickness = sc.span.thickness / 2 * photo.plan.draw_width / pw;

    const ImageView view{photo.working.pixels.data(), photo.working.width, photo.working.height};
    const PrecisionTrace trace = TracePrecisely(view, line, 1.0f);
    if (!trace.credible) {
      // A refusal shows no number; it is counted, not measured.
      std::printf("refused: %s, seed %u: %s\n", sc.condition.c_str(), sc.span.seed,
                  trace.reason.c_str());
      ++refused;
    }
    const ScanResult scan =
        RunScan(line, 1.0f, RasterPixels(photo.working), Criterion::ChangeValue, 40);

    Errors e;
    const double precise_p = trace.sag_px;
    const double scan_p = scan.WireY[4] - (scan.WireY[0] + scan.WireY[8]) / 2.0;
    if (trace.credible)
      e.precision.push_back(std::fabs(precise_p - truth_p) / truth_p * 100);
    e.scan.push_back(std::fabs(scan_p - truth_p) / truth_p * 100);
    for (size_t i = 0; i < kStations; ++i) {
      // Precision rows are centres; the scan finds the top edge.
      const bool precise_off = trace.credible && std::fabs(trace.StationRows[i] - truth[i]) > 1.5;
      const bool scan_off = std::fabs(scan.WireY[i] - (truth[i] - half_thickness)) > 3;
      EXPECT_FALSE(precise_off) << "station " << i << ": " << trace.StationRows[i] << " vs "
                                << truth[i];
      e.precision_wrong += precise_off ? 1 : 0;
      e.scan_wrong += scan_off ? 1 : 0;
      ++e.stations;
    }
    const auto at = static_cast<size_t>(
        std::find(conditions.begin(), conditions.end(), sc.condition) - conditions.begin());
    if (at == conditions.size()) {
      conditions.push_back(sc.condition);
      by_condition.emplace_back();
    }
    by_condition[at].Add(e);
    all.Add(e);
  }

  // The distribution per condition, for the record.
  std::printf("%-20s %3s | %-28s | %-28s\n", "condition", "n", "precision: median/p90/max %  off",
              "default scan: median/p90/max %  off");
  auto row = [](const std::string& name, const Errors& e) {
    std::printf("%-20s %3zu | %6.3f %6.3f %6.3f %4d/%-3d | %6.2f %6.2f %6.2f %4d/%-3d\n",
                name.c_str(), e.precision.size(), Percentile(e.precision, 0.5),
                Percentile(e.precision, 0.9), Percentile(e.precision, 1.0), e.precision_wrong,
                e.stations, Percentile(e.scan, 0.5), Percentile(e.scan, 0.9),
                Percentile(e.scan, 1.0), e.scan_wrong, e.stations);
  };
  for (size_t c = 0; c < conditions.size(); ++c)
    row(conditions[c], by_condition[c]);
  row("all", all);

  EXPECT_LT(Percentile(all.precision, 0.5), 0.01);
  EXPECT_LT(Percentile(all.precision, 0.9), 0.05);
  EXPECT_EQ(all.precision_wrong, 0);
  // Every rendered scene's conductor can be seen: a refusal here is a check
  // too cautious for a plain photo.
  EXPECT_EQ(refused, 0);
}

// Rendered conductors on crops of real photographs (tests/data/textures):
// grass, dune grass against sky, a storm over a road, wood planks. Thin and
// thick, dark and bright, one to three conductors, a sky crossing, strong
// compression. Precision tracing may refuse a few, but a result it calls
// credible must have every station on the upper conductor.
TEST(PrecisionAccuracy, CredibleOnRealTexturesMeansOnTheConductor) {
  // Each crop, and for the fourth composite a conductor grey as bright as
  // the texture along its path (half as bright again as the crop's mean
  // grey, (R + G + B) / 3: the grass under the path is lighter than the
  // crop's dark depths); on the green grass only colour sets it apart.
  struct Crop {
    const char* name;
    double grey;
    bool by_colour;
  };
  const Crop kCrops[] = {
      {"greenmeadow", 88, true}, {"dune", 117, false}, {"storm", 45, false}, {"wood", 230, false}};
  int composites = 0, credible = 0, scan_on = 0, precision_on = 0;
  for (const Crop& crop : kCrops) {
    for (int variant = 0; variant < 4; ++variant) {
      CampaignCase c;
      CompositeScene& s = c.scene;
      s.background = std::string(SARN_SOURCE_DIR) + "/tests/data/textures/" + crop.name + ".jpg";
      s.width = 600;
      s.height = 400;
      s.left_x = -10;
      s.right_x = 610;
      s.seed = static_cast<uint32_t>(10 + variant);
      if (variant == 0) {  // thin, dark, a second conductor 30 px below
        s.left_y = s.right_y = 170;
        s.sag = 18;
        s.thickness = 2;
        s.below = {30};
        s.body = 50;
        s.lit = 40;
        s.shade = 10;
        s.noise = 2;
        s.quality = 80;
        c.above_left_w = c.above_right_w = 12;
      } else if (variant == 1) {  // thick, bright, shaded underside, steep
        s.left_y = 150;
        s.right_y = 230;
        s.sag = 10;
        s.thickness = 12;
        s.body = 210;
        s.lit = 20;
        s.shade = 80;
        s.blur = 0.8;
        s.quality = 60;
        c.above_left_w = c.above_right_w = 25;
      } else if (variant == 3) {
        // A thick grey conductor from the sky into a texture as bright as it.
        s.left_y = 160;
        s.right_y = 200;
        s.sag = 14;
        s.thickness = 14;
        s.body = crop.grey;
        s.lit = 0;
        s.shade = 0;
        s.horizon_left = 320;
        s.horizon_right = 60;
        s.sky = 200;
        s.noise = 2;
        s.quality = 75;
        c.above_left_w = c.above_right_w = 10;
      } else {  // three conductors from sky into the texture, strong compression
        s.left_y = 175;
        s.right_y = 185;
        s.sag = 12;
        s.thickness = 5;
        s.below = {20, 40};
        s.body = 40;
        s.lit = 50;
        s.shade = 10;
        s.horizon_left = 120;
        s.horizon_right = 250;
        s.noise = 4;
        s.quality = 45;
        c.above_left_w = 6;
        c.above_right_w = 9;
      }
      c.thickness_w = s.thickness;
      SCOPED_TRACE(std::string(crop.name) + " variant " + std::to_string(variant));
      const CaseResult r = CheckCase(c);
      ASSERT_TRUE(r.loaded);
      if (variant == 3 && crop.by_colour) {
        EXPECT_TRUE(r.credible) << r.reason;
      }
      ++composites;
      scan_on += r.scan_on;
      if (!r.credible)
        continue;
      ++credible;
      precision_on += r.precision_on;
      for (const StationCheck& st : r.stations)
        EXPECT_TRUE(st.precision_on) << "error " << st.precision_error << " px";
    }
  }
  std::printf(
      "real textures: %d composites, %d credible, stations on: precision %d of %d, "
      "default scan %d of %d\n",
      composites, credible, precision_on, 9 * credible, scan_on, 9 * composites);
  EXPECT_GE(credible, composites * 2 / 3);
  // Drawn as the campaign draws them: two or three conductors close
  // together, the consensus following the background between the first
  // two (storm 375, dune 302), or the lower one with the upper seen above
  // it along the curve (storm 386) or as a fainter curve of its own (storm
  // 226); the upper one is traced. Thick and two-toned conductors: one
  // marked by its lit top in some columns and its body in others
  // (greenmeadow 5), one whose consensus parabola runs off it at an end
  // beside a second conductor (wood 871), one 30 px thick whose centres
  // wander with the texture at its edges (storm 10), one 25 px whose
  // brightness barely differs from the dune grass (dune 608).
  for (const auto& [crop, index] :
       {std::pair{"storm", 375}, std::pair{"dune", 302}, std::pair{"storm", 386},
        std::pair{"storm", 226}, std::pair{"greenmeadow", 5}, std::pair{"wood", 871},
        std::pair{"storm", 10}, std::pair{"dune", 608}}) {
    SCOPED_TRACE(std::string(crop) + " " + std::to_string(index));
    const CaseResult r = CheckCase(MakeCampaignCase(
        index, {std::string(SARN_SOURCE_DIR) + "/tests/data/textures/" + crop + ".jpg"}));
    EXPECT_TRUE(r.credible) << r.reason;
    EXPECT_EQ(r.precision_on, 9);
  }
}

}  // namespace
}  // namespace sarn::test
