#pragma once

// The accuracy campaign's composites and how one is judged: the photo is
// loaded as the program loads it (default limit and cut), a line is drawn a
// few working-image pixels above the upper conductor from near one edge to
// the other, and both precision tracing and the default scan ("変化値",
// threshold 40) are compared with the upper conductor's centre line at the
// program's own station columns.
//
// A precision station is on the conductor when it lies within 1.5 px of the
// true centre, or inside the conductor (within half its thickness of the
// centre) when the conductor is thicker than 3 px, all in working-image
// pixels. The scan finds an edge, so its station counts when it lies within
// the conductor's extent widened by 1.5 px either side.

#include <array>
#include <string>
#include <vector>

#include "support/composite.h"
#include "tracing/scan.h"

namespace sarn::test {

struct CampaignCase {
  CompositeScene scene;
  // Conditions at the working image's scale, for the tables.
  double thickness_w = 0;                        // working px
  double above_left_w = 10, above_right_w = 10;  // line above the top edge, working px
  bool sky_crossing = false;
  bool bright = false;
  std::string background_name;
  // When set, CheckCase chooses the conductor's polarity and grey against
  // the background along its path (dark over a bright one, bright over a
  // dark one), from these picks in [0, 1): the grey difference, the lit
  // top's and the shaded underside's strength.
  bool grey_from_background = false;
  double contrast_pick = 0, lit_pick = 0, shade_pick = 0;
};

// The upper conductor's contrast against the background it covers, over 64
// columns along its path. At each column the background (the composite
// without conductors, before blur and noise) is read over the conductor's
// rows widened by max(3 px, its thickness) above and below; its luma has
// mean B and standard deviation S there. The conductor's mean grey is
// L = body + 0.3 lit - 0.25 shade (the profile's average across it), and
// the column's contrast is |L - B| / max(S, 3): the grey difference in
// units of the background's local spread.
struct PathContrast {
  double median = 0;           // median of the columns' contrast
  double low = 0;              // its tenth percentile
  double grey_difference = 0;  // median |L - B|, grey levels
};

// Composite `index` of the campaign over `backgrounds` (JPEG paths): a
// deterministic spread of sizes (540 x 360 to 6000 x 4000), thicknesses
// (1-30 working px), one to three conductors 15-80 px apart, dark or
// bright against the background along their path, steep and shallow
// chords, a sky crossing in a third of them, blur, noise and JPEG quality
// 40-95, and lines drawn 3-40 px above.
CampaignCase MakeCampaignCase(int index, const std::vector<std::string>& backgrounds);

struct StationCheck {
  bool precision_on = false, scan_on = false;
  double precision_error = 0;  // working px, traced row - true centre
};

struct CaseResult {
  bool loaded = false;
  bool credible = false, fitted = false;
  std::string reason;
  std::array<StationCheck, 9> stations{};
  int precision_on = 0, scan_on = 0;
  double thickness_w = 0;
  PathContrast contrast;
  bool bright = false;  // the conductor as drawn
  sarn::ScanLine line;  // the drawn line, working-image pixels
};

// Renders, compresses, loads, traces and scans one case; writes the JPEG to
// `dump_path` unless it is empty.
CaseResult CheckCase(const CampaignCase& c, const std::string& dump_path = {});
// The same for an already composed image (RGB before compression).
CaseResult CheckComposite(const CampaignCase& c, const RgbImage& composed,
                          const std::string& dump_path = {});

}  // namespace sarn::test
