#pragma once

// Centres of precision tracing. In every step-th column near a model curve
// the strongest line response of the given width within `search` rows is
// taken and its centre found as the centroid of its contrast against a
// background interpolated linearly between the two flanks, recentred until
// it settles. Each column's profile is summed with its `along` neighbours on
// either side, shifted along the curve, so that a conductor before foliage
// stands out of the texture. For an anti-aliased conductor of any thickness
// this centroid is its centre line, unbiased by a brightness gradient; for
// a thick conductor with a lit top and a shaded underside it lies inside
// the conductor, and the edges then place the centre midway between them.
// A lit top brighter than the background may leave that centroid on the
// shaded underside, half a core off the middle or out of the window, and
// the lit band's edge inside the conductor then stands in for its top
// edge: for a conductor of kStripedHalf and more whose centre so strays
// from the model, the edges are sought about the strongest box response
// instead.

#include <vector>

#include "tracing/precision_common.h"

namespace sarn::precision {

inline constexpr int kSearchHalfRows = 3;  // rows searched either side of the model
// A conductor of width w with w.half >= kStripedHalf (15 core rows and
// more, a conductor about 12 px thick and more) may carry a lit band or a
// shaded underside wide enough to pull its contrast's centroid further
// from its middle than the centres are searched about the model (the
// centroid moves by up to about half the stripe's width, a third of the
// conductor's half thickness and more).
inline constexpr int kStripedHalf = 7;
// Each pass sums a column's profile with this many neighbours on either
// side, aligned along the curve.
inline constexpr int kAlongColumns = 4;

// The conductor's width (index into kWidths) from its mean profile: the
// profiles of up to kProfileColumns columns spread over the span, each
// aligned on the model's row there, are summed; in that sum each width's
// strongest contrast within kSearchHalfRows of the model (of the sign the
// strongest of all has) is formed, and the widest width reaching
// kWidthContrastShare of the strongest is taken. A box no wider than the
// conductor, its flanks outside it, answers with the conductor's whole
// contrast; a wider one with the contrast diluted by the background in its
// core. So the widest box that still answers nearly in full spans the
// conductor, not a lit stripe or a shaded underside inside it (which the
// consensus may have followed: `offset` is the rows from the model to that
// box's middle). A conductor that crosses from the sky into a texture as
// dark as it changes its contrast, even its sign, on the way, and along
// the whole span its mean may show a stripe of it or nothing: when one of
// kWidthStretches equal stretches of the span shows a line kStretchOverWhole
// times as strongly as the whole (or the whole shows none), the width is
// read along the stretch that shows it most (one conductor's thickness
// changes little along its span). `fallback` and no offset when no line
// shows.
inline constexpr int kProfileColumns = 256;
inline constexpr int kWidthStretches = 4;
inline constexpr double kStretchOverWhole = 4.0;
inline constexpr double kWidthContrastShare = 0.8;
// A thick conductor with a lit top and a shaded outline answers a thin box
// on that outline more strongly than its whole band, the lit stripe inside
// the band diluting the wide box's contrast: when the width taken above is
// at most a quarter as wide (half core) as a width of kStripedHalf and more
// whose core holds the strongest response's row in its outer half (the
// outline is an edge, not the middle), whose three middle rows stand out
// by kSolidShare of its contrast (a conductor's body) and which answers with
// kEnclosingContrastShare of the strongest, that wider width is taken.
inline constexpr double kEnclosingContrastShare = 0.7;
// A conductor whose lit top and darker body cancel in the full box's signed
// contrast, so that a box one width narrower was taken, is measured by its
// rows' departure from the background either way: the next wider width is
// taken when it departs by kWidthContrastShare of the most any width does,
// kFilledShare of its core's rows depart, and its middle is the
// conductor's body. Only from a width of kDepartureFromHalf core rows
// either side: a thin line blurred over a few rows, or thin lines beside
// it, would fill a wider box as well.
// A conductor whose lit top is brighter than the background and whose body
// is darker (a bright one whose shaded underside is darker) shows as two
// lines of opposite tone, one beside the other: when a wider box (15 core
// rows and more, at most five times the core found) holding the box found
// is filled by one run of rows departing from the background either way,
// its flanks agreeing and its rows of the other tone on the lit side (above
// a dark conductor's middle, below a bright one's), that box is the
// conductor, its middle midway between the outermost departing rows (which
// may reach a little beyond the core, but end before the flanks' middle),
// and `two_toned_rows` the rows between them.
inline constexpr double kFilledShare = 0.8;
inline constexpr int kDepartureFromHalf = 4;
struct ConductorWidthAt {
  int width;               // index into kWidths
  int offset;              // rows, the conductor's middle below the model's row
  int two_toned_rows = 0;  // rows across a conductor of a lit top and a body of opposite tones
};
ConductorWidthAt ConductorWidth(const ImageView& image, const SpanFrame& frame,
                                const Coefficients& model, int fallback);

// The colour of the conductor of width `width` (index into kWidths) along
// `curve`: the mean opponent components over the middle half of its core
// at up to kProfileColumns columns; and whether it is set apart by colour:
// the mean ColourDistance of the rows beside it (the box's flanks) from
// that colour is at least kColourApart, and the columns' own middle colours
// lie within kColourOwnShare of that distance of it on average. One
// conductor is one metal along the span; a band that mixes the background
// in (two conductors and the gap between them taken for one line, a curve
// off the conductor over a stretch) changes colour with the background.
// A conductor of fewer than kColourMinHalf core rows either side is not
// keyed (a thin wire's colour is blurred away by the camera's and the
// JPEG's coarser colour).
inline constexpr int kColourMinHalf = 2;
inline constexpr double kColourApart = 12.0;
inline constexpr double kColourOwnShare = 0.5;
bool ConductorColour(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                     int width, ColourKey* key);

// The centres of every step-th column of the span near `model` (in the
// frame `frame`), within `search` rows, from profiles summed over
// 2 along + 1 columns. With `colour`, a column whose line of brightness is
// missing or weighs less than full is searched again, within
// `colour_search` rows (`search` when negative), in the ColourDistance from
// it, where the conductor is a dark line; the colour's centre is taken
// when brightness found none, or when it weighs kColourOverBrightness times
// as much (a lit top as bright as the sky leaves brightness's centre off
// the middle, with little weight; against a grey sky, or where the JPEG's
// coarser colour blurs the conductor, colour is the less sure of the two).
// With `two_toned_rows` (ConductorWidthAt), a column's edge on the lit
// side is moved out across a lit stripe of the other tone beyond it (a lit
// top brighter than the background), or where no edge of its tone shows
// there, taken at the step into that stripe, when the conductor so bounded
// is about that many rows thick: else its middle would be the body's.
inline constexpr double kColourOverBrightness = 2.0;
std::vector<Point> CollectCentres(const ImageView& image, int xa, int xb, int step,
                                  const SpanFrame& frame, const Coefficients& model, int search,
                                  int along, const LineWidth& width,
                                  const ColourKey* colour = nullptr, int colour_search = -1,
                                  int two_toned_rows = 0);

// Whether a line of the conductor's tone runs between the drawn line and
// the traced conductor (of width index `width`, its curve `curve`): in the
// mean profile of up to kProfileColumns columns aligned on the curve, a
// box no wider than the conductor's, wholly above it and below the drawn
// line, answers with at least kLineAboveShare of the conductor's own
// contrast. Texture averages out along the curve; a conductor parallel to
// it does not. With `above_offset`, the rows from the curve to the
// strongest such line (negative, up) go there.
inline constexpr double kLineAboveShare = 0.35;
bool LineAboveConductor(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                        int width, int* above_offset = nullptr);

// Whether the traced line (of width index `width`, its curve `curve`) is
// the gap between two lines of the opposite tone, as the sky between two
// dark conductors is a bright line: in the mean profile along the curve, a
// box of the opposite tone whose core lies wholly above the traced core
// (and below the drawn line), and one whose core lies wholly below it, each
// answer with at least kGapSideShare of the traced line's own contrast, and
// the traced core stands out from the background above the upper one (that
// box's upper flank) by less than kGapSideShare of that contrast. A
// conductor stands out from its background; a gap is background. A stripe
// of the other tone inside a conductor (a lit top, a shaded underside)
// lies on one side of its middle only. When it is a gap, `upper_offset`
// (if given) receives the rows from the curve to the middle of the line
// above it (negative): the upper of the two conductors.
inline constexpr double kGapSideShare = 0.5;
bool BetweenOppositeLines(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                          int width, int* upper_offset = nullptr);

// Whether the traced conductor (of width index `width`, its curve `curve`)
// is one solid band: in the mean profile along the curve, the three rows
// about its middle stand out from the background (the mean of the box's
// flanks) in the conductor's tone by at least kSolidShare of the box's
// own contrast. A conductor's middle is its body, whatever stripes it
// carries (a lit top, a shaded underside lie off the middle); the gap
// between two conductors that a wide box answers as one line is
// background there.
inline constexpr double kSolidShare = 0.5;
bool SolidMiddle(const ImageView& image, const SpanFrame& frame, const Coefficients& curve,
                 int width);

// Whether the traced conductor (of width index `width`, its curve `curve`)
// shows in columns [first, last] of the frame, where too few of its centres
// were kept to steer the fit (a station between two where it is seen: the
// texture behind it there is rough, or its lit top cancels its body against
// a dark background): in the mean profile along the curve over those
// columns, the strongest response in the conductor's tone of a box no wider
// than the conductor, centred inside its core, is at least kMinContrast and
// kSeenShare of the same response along the whole span, and kSeenOverTexture
// times the strongest such response centred beside the core, within
// kSeenWindowRows of it. Texture averages out along the curve; the conductor
// does not, and it lies where the curve runs.
inline constexpr double kSeenShare = 0.35;
inline constexpr double kSeenOverTexture = 2.0;
inline constexpr int kSeenWindowRows = 8;
bool SeenAlong(const ImageView& image, const SpanFrame& frame, const Coefficients& curve, int width,
               int first, int last);

}  // namespace sarn::precision
