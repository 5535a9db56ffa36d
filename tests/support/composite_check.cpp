#include "support/composite_check.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "photo/load_plan.h"
#include "photo/photo_loader.h"
#include "session/raster_pixels.h"
#include "tracing/precision_trace.h"
#include "tracing/scan.h"

namespace sarn::test {

namespace {

constexpr int kInnerWidth = 1004;  // the window's design inner width

// splitmix64: uniform numbers for the campaign's spread.
class Draw {
 public:
  explicit Draw(uint64_t seed) : state_(seed * 0x2545F4914F6CDD1Dull + 0x1234567) {}
  double Uniform(double lo, double hi) {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return lo + (hi - lo) * static_cast<double>(z >> 11) / 9007199254740992.0;
  }
  int Below(int n) { return std::min(n - 1, static_cast<int>(Uniform(0, n))); }

 private:
  uint64_t state_;
};

// Working-image pixels per photo pixel under the default limit (5000).
double WorkingScale(int width) {
  return width > 5000 ? 5000.0 / width : 1.0;
}

// The background's luma around the upper conductor at one column.
struct ColumnBackground {
  double mean = 0, spread = 0;
};

constexpr int kContrastColumns = 64;

// The composite without its conductors (moved far above the picture), before
// blur and noise, read at kContrastColumns columns along the upper
// conductor's path (see PathContrast).
std::vector<ColumnBackground> BackgroundAlongPath(const CompositeScene& s) {
  CompositeScene probe = s;
  probe.left_y = probe.right_y = -1e6;
  probe.sag = 0;
  probe.below.clear();
  probe.blur = 0;
  probe.noise = 0;
  const RgbImage bg = RenderComposite(probe);
  std::vector<ColumnBackground> out;
  if (bg.width == 0)
    return out;
  const double half = s.thickness / 2, margin = std::max(3.0, s.thickness);
  for (int j = 0; j < kContrastColumns; ++j) {
    const double x = s.width * (0.02 + 0.96 * j / (kContrastColumns - 1));
    const double centre = s.CentreRow(0, x);
    const int y0 = std::max(0, static_cast<int>(std::floor(centre - half - margin)));
    const int y1 = std::min(bg.height - 1, static_cast<int>(std::ceil(centre + half + margin)));
    const int xc = std::clamp(static_cast<int>(x), 1, bg.width - 2);
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
      for (int xx = xc - 1; xx <= xc + 1; ++xx) {
        const uint8_t* p = bg.At(xx, y);
        const double luma = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
        sum += luma;
        sum2 += luma * luma;
        ++n;
      }
    }
    if (n == 0)
      continue;
    const double mean = sum / n;
    out.push_back({mean, std::sqrt(std::max(0.0, sum2 / n - mean * mean))});
  }
  return out;
}

// The conductor's grey averaged across it: the lit top adds 0.3 lit on
// average over the profile, the shaded underside takes 0.25 shade.
double MeanGrey(const CompositeScene& s) {
  return s.body + 0.3 * s.lit - 0.25 * s.shade;
}

double Quantile(std::vector<double> v, double q) {
  if (v.empty())
    return 0;
  const auto k = static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
  return v[k];
}

PathContrast ContrastAgainst(const std::vector<ColumnBackground>& columns, double grey) {
  std::vector<double> ratio, difference;
  for (const ColumnBackground& c : columns) {
    difference.push_back(std::fabs(grey - c.mean));
    ratio.push_back(difference.back() / std::max(3.0, c.spread));
  }
  return {Quantile(ratio, 0.5), Quantile(ratio, 0.1), Quantile(difference, 0.5)};
}

// The conductor's polarity and grey against the background along its path.
// The reference is the path's darkest tenth (tenth percentile of the
// columns' mean luma) for a dark conductor, its brightest tenth for a
// bright one; the polarity leaving more room between that reference and
// the grey range (8..247 for the mean grey) is taken. The mean grey lies
// D = 15 + 75 pick grey levels beyond the reference, at least 1.5 times
// the path's median spread, at most the room: a conductor stays visible
// along its whole path, faintly where the room or the pick is small.
void ChooseGrey(const CampaignCase& c, const std::vector<ColumnBackground>& columns,
                CompositeScene& s, bool* bright) {
  std::vector<double> mean, spread;
  for (const ColumnBackground& col : columns) {
    mean.push_back(col.mean);
    spread.push_back(col.spread);
  }
  const double darkest = Quantile(mean, 0.1), brightest = Quantile(mean, 0.9);
  const double room_below = darkest - 8, room_above = 247 - brightest;
  *bright = room_above > room_below;
  const double wanted = std::max(15 + 75 * c.contrast_pick, 1.5 * Quantile(spread, 0.5));
  const double grey = *bright ? brightest + std::clamp(wanted, 0.0, std::max(0.0, room_above))
                              : darkest - std::clamp(wanted, 0.0, std::max(0.0, room_below));
  if (*bright) {
    s.lit = 10 + 20 * c.lit_pick;
    s.shade = 50 + 60 * c.shade_pick;
  } else {
    s.lit = 20 + 60 * c.lit_pick;
    s.shade = 5 + 20 * c.shade_pick;
  }
  s.body = std::clamp(grey - 0.3 * s.lit + 0.25 * s.shade, 0.0, 255.0);
}

// Resolves a crop given as a share of the background's width (crop_w < 0)
// against the background's size; false when the background cannot be read.
bool ResolveCrop(CompositeScene& s) {
  if (s.crop_w >= 0)
    return true;
  const RgbImage bg = DecodeJpegFile(s.background);
  if (bg.width == 0)
    return false;
  double cw = -s.crop_w * bg.width;
  double ch = cw * s.height / s.width;
  if (ch > bg.height) {
    ch = bg.height;
    cw = ch * s.width / s.height;
  }
  s.crop_x = s.crop_x * (bg.width - cw);
  s.crop_y = s.crop_y * (bg.height - ch);
  s.crop_w = cw;
  s.crop_h = ch;
  return true;
}

}  // namespace

CampaignCase MakeCampaignCase(int index, const std::vector<std::string>& backgrounds) {
  CampaignCase c;
  Draw d(static_cast<uint64_t>(index) + 1);
  CompositeScene& s = c.scene;
  const std::string& bg = backgrounds[static_cast<size_t>(index) % backgrounds.size()];
  s.background = bg;
  c.background_name = std::filesystem::path(bg).parent_path().parent_path().filename().string();
  if (c.background_name != "contents")
    c.background_name = std::filesystem::path(bg).stem().string();
  else
    c.background_name =
        std::filesystem::path(bg).parent_path().parent_path().parent_path().filename().string();
  static constexpr std::array<std::array<int, 2>, 8> kSizes = {{{540, 360},
                                                                {800, 533},
                                                                {1200, 800},
                                                                {1600, 1067},
                                                                {2400, 1600},
                                                                {3000, 2000},
                                                                {4000, 2667},
                                                                {6000, 4000}}};
  // Small photos more often: the large ones cost more and behave alike.
  static constexpr std::array<int, 12> kSizePick = {0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 7};
  const auto size = kSizes[static_cast<size_t>(kSizePick[static_cast<size_t>(d.Below(12))])];
  s.width = size[0];
  s.height = size[1];
  const double scale = WorkingScale(s.width);  // working px per photo px
  const double wpx = 1 / scale;                // photo px per working px
  const double ww = s.width * scale;           // working width

  static constexpr std::array<double, 12> kThickness = {1, 1.5, 2, 3, 4, 6, 8, 12, 16, 20, 25, 30};
  c.thickness_w = kThickness[static_cast<size_t>((index / 7 + index) % 12)];
  s.thickness = c.thickness_w * wpx;
  s.edge_softness = d.Uniform(0.3, 1.2) * std::max(1.0, wpx);

  const int conductors = 1 + d.Below(3);
  for (int k = 1; k < conductors; ++k) {
    const double lo = std::max(15.0, c.thickness_w + 10);
    s.below.push_back(d.Uniform(lo, std::max(lo + 5, 80.0)) * wpx);
  }
  s.sag_step = d.Uniform(0, 4) * wpx;

  // A grey drawn without regard to the background; CheckCase replaces it by
  // one chosen against the background along the path (ChooseGrey, from
  // picks of their own) unless grey_from_background is cleared.
  c.bright = d.Uniform(0, 1) < 0.4;
  if (c.bright) {
    s.body = d.Uniform(170, 225);
    s.lit = d.Uniform(10, 30);
    s.shade = d.Uniform(50, 110);
  } else {
    s.body = d.Uniform(25, 90);
    s.lit = d.Uniform(20, 80);
    s.shade = d.Uniform(5, 25);
  }
  Draw grey(static_cast<uint64_t>(index) + 0x6A09E667ull);
  c.grey_from_background = true;
  c.contrast_pick = grey.Uniform(0, 1);
  c.lit_pick = grey.Uniform(0, 1);
  c.shade_pick = grey.Uniform(0, 1);

  // The chord: the conductor spans the photo; its ends lie in the middle
  // half of the height (the working image's default cut), steep or shallow.
  const bool steep = d.Uniform(0, 1) < 0.35;
  const double H = s.height;
  const double mid = H * d.Uniform(0.38, 0.55);
  const double rise =
      (steep ? d.Uniform(0.1, 0.22) : d.Uniform(0, 0.05)) * H * (d.Uniform(0, 1) < 0.5 ? -1 : 1);
  s.left_x = -0.02 * s.width;
  s.right_x = 1.02 * s.width;
  s.left_y = mid - rise / 2;
  s.right_y = mid + rise / 2;
  // Sag: the conductor stays within the scan's reach below a straight line.
  s.sag = d.Uniform(0, std::min(0.06 * ww, 120.0)) * wpx;

  c.sky_crossing = d.Uniform(0, 1) < 0.33;
  if (c.sky_crossing) {
    const double row = s.CentreRow(0, s.width / 2.0);
    const double swing = d.Uniform(40, 120) * wpx * (d.Uniform(0, 1) < 0.5 ? -1 : 1);
    s.horizon_left = row - swing;
    s.horizon_right = row + swing;
    s.sky = d.Uniform(150, 235);
  }
  s.blur = d.Uniform(0, 1) < 0.5 ? d.Uniform(0.3, 1.5) : 0;
  s.noise = d.Uniform(0, 6);
  s.quality = 40 + d.Below(56);
  s.seed = static_cast<uint32_t>(index + 1);

  // Which part of the background: a random crop of the photo's aspect.
  const double share = d.Uniform(0.45, 1.0);
  s.crop_w = -share;  // negative: a share of the background's width, placed below
  s.crop_x = d.Uniform(0, 1);
  s.crop_y = d.Uniform(0, 1);

  c.above_left_w = d.Uniform(3, 40);
  c.above_right_w = d.Uniform(3, 40);
  return c;
}

CaseResult CheckCase(const CampaignCase& c, const std::string& dump_path) {
  CampaignCase placed = c;
  CompositeScene& s = placed.scene;
  if (!ResolveCrop(s))
    return {};
  const std::vector<ColumnBackground> background = BackgroundAlongPath(s);
  if (c.grey_from_background)
    ChooseGrey(c, background, s, &placed.bright);
  CaseResult out = CheckComposite(placed, RenderComposite(s), dump_path);
  out.contrast = ContrastAgainst(background, MeanGrey(s));
  out.bright = placed.bright;
  return out;
}

CaseResult CheckComposite(const CampaignCase& c, const RgbImage& composed,
                          const std::string& dump_path) {
  CaseResult out;
  out.thickness_w = c.thickness_w;
  if (composed.width == 0)
    return out;
  const CompositeScene& s = c.scene;
  LoadCallbacks callbacks;
  callbacks.ask_retry = [] { return false; };
  callbacks.build_overview = false;
  const std::vector<uint8_t> jpeg = EncodeJpeg(composed, s.quality);
  if (!dump_path.empty()) {
    std::ofstream(dump_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
  }
  const LoadOutcome loaded =
      LoadPhotoBytesWithRecovery(jpeg, LoadSettings{}, kInnerWidth, callbacks);
  if (!loaded.photo)
    return out;
  out.loaded = true;
  const LoadedPhoto& photo = *loaded.photo;
  const int pw = photo.photo_width, ph = photo.photo_height;
  const double wpx = pw / static_cast<double>(photo.plan.draw_width);  // photo px per working px

  // The drawn line: 2 % in from each edge, above the upper conductor's top edge.
  const double x1 = 0.02 * pw, x2 = 0.98 * pw;
  const double half = s.thickness / 2;
  const double y1 = s.CentreRow(0, x1) - half - c.above_left_w * wpx;
  const double y2 = s.CentreRow(0, x2) - half - c.above_right_w * wpx;
  double wx1, wy1, wx2, wy2;
  PhotoToWorking(photo.plan, pw, ph, x1, y1, &wx1, &wy1);
  PhotoToWorking(photo.plan, pw, ph, x2, y2, &wx2, &wy2);
  const ScanLine line{static_cast<float>(wx1), static_cast<float>(wy1), static_cast<float>(wx2),
                      static_cast<float>(wy2)};

  const ImageView view{photo.working.pixels.data(), photo.working.width, photo.working.height};
  const PrecisionTrace trace = TracePrecisely(view, line, 1.0f);
  const ScanResult scan =
      RunScan(line, 1.0f, RasterPixels(photo.working), Criterion::ChangeValue, 40);
  out.line = line;
  out.credible = trace.credible;
  out.fitted = trace.fitted;
  out.reason = trace.reason;
  const double half_w = half / wpx;
  for (int i = 0; i < kStations; ++i) {
    const auto si = static_cast<size_t>(i);
    const int32_t x = StationColumn(line, 1.0f, i);
    double px, py, tx, ty;
    WorkingToPhoto(photo.plan, pw, ph, x + 0.5, 0, &px, &py);
    PhotoToWorking(photo.plan, pw, ph, px, s.CentreRow(0, px), &tx, &ty);
    const double truth = ty - 0.5;
    StationCheck& st = out.stations[si];
    st.precision_error = trace.StationRows[si] - truth;
    const double tolerance = c.thickness_w > 3 ? std::max(1.5, half_w) : 1.5;
    st.precision_on = trace.fitted && std::fabs(st.precision_error) <= tolerance;
    const double row = scan.WireY[si];
    st.scan_on = row >= truth - half_w - 1.5 && row <= truth + half_w + 1.5;
    out.precision_on += st.precision_on ? 1 : 0;
    out.scan_on += st.scan_on ? 1 : 0;
  }
  return out;
}

}  // namespace sarn::test
