#pragma once

// The working image: the photo at most L pixels wide (L = the limit typed
// into Text5) and, while the cut is on, only the middle half of its height.
//
//  case  cut  limit   k      W2            H2                content
//  A     off  L >= W  -      W             H                 the photo itself
//  B     off  L < W   L/W    round(W k)    round(H k)        scaled to W2 x H2
//  C     on   L >= W  -      W             round(H / 2)      full size, drawn at y = -H2/2
//  D     on   L < W   L/W    round(W k)    round(H k / 2)    scaled to W2 x 2 H2, at y = -H2/2
//
// round: nearest, halves to even, as 16-bit signed. k is L/W stored as a
// 32-bit float; W k and H k are 32-bit products, not rounded before D halves
// them; C halves H in double precision. In C and D the quarter above and the
// quarter below fall outside.
//
// A half-pixel top (-H2/2 with H2 odd) is rounded half to even to a whole
// working row before drawing (DrawTopRow), so every working row is taken from
// whole rows of the (scaled) photo: no half-row blend blurs the conductor's
// edge. The shift is the same for every row, so sags measured as differences
// of rows are unaffected.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "state/failure.h"

namespace sarn {

enum class LoadCase { A, B, C, D };
char LoadCaseLetter(LoadCase c);

// Failure codes shown after "エラーコード=" (Failure::code()). The numbers
// are fixed, so that a user can quote one when reporting a failed photo.
inline constexpr int kErrOverflow = 6;         // a size beyond 16 bits
inline constexpr int kErrOutOfMemory = 7;      // a raster cannot be allocated or is too large
inline constexpr int kErrDivisionByZero = 11;  // empty working image
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPermissionDenied = 70;
inline constexpr int kErrPathFileAccess = 75;    // a FIFO, device or socket, not a file
inline constexpr int kErrInvalidProperty = 380;  // negative working-image size
inline constexpr int kErrInvalidPicture = 481;   // the file yields no image

// The largest photo or working-image side: sizes are 16-bit signed.
inline constexpr int kMaxImageSide = 32767;

// True when a smaller working image may cure `failure` (the recovery lowers
// the limit and retries); false when the file itself yields no usable image.
// Each message of the loading is one or the other.
bool SmallerImageMayCure(const Failure& failure);

struct WorkingImagePlan {
  LoadCase load_case = LoadCase::A;
  float k = 1;             // photo -> working scale (1 in cases A and C)
  int16_t W2 = 0, H2 = 0;  // working image size, pixels
  // The photo is drawn into the working image scaled to draw_width x
  // draw_height with its top-left corner at (0, draw_top); rows outside
  // 0..H2-1 are clipped.
  float draw_width = 0, draw_height = 0, draw_top = 0;
};

// The whole working row at which the photo's top row is drawn: draw_top
// rounded half to even (0 in cases A and B; -750 for H2 = 1500; -834 for
// draw_top = -833.5).
int DrawTopRow(const WorkingImagePlan& plan);

// W, H: the photo's size in pixels; limit: numeric parse of Text5; cut: Check4.
Result<WorkingImagePlan> PlanWorkingImage(int photo_width, int photo_height, double limit,
                                          bool cut);

// Photo position (x, y) -> working-image position, through the plan's scaling
// and cut. Positions are continuous, measured from the image's top-left corner
// (pixel i spans i..i+1), so a pixel centre i + 0.5 maps to the centre of the
// area it is drawn into:
//   wx = x * draw_width / W,  wy = y * draw_height / H + DrawTopRow(plan).
// The working pixel holding photo pixel (x, y) is (floor(wx), floor(wy)) of its
// centre. Rows above 0 or from H2 on fall outside the working image.
void PhotoToWorking(const WorkingImagePlan& plan, int photo_width, int photo_height, double x,
                    double y, double* wx, double* wy);

// The inverse: working-image position -> photo position.
void WorkingToPhoto(const WorkingImagePlan& plan, int photo_width, int photo_height, double wx,
                    double wy, double* x, double* y);

// The overview: the working image scaled across the window.
//   ImgScale = W2 / (inner_width - 5)          (32-bit)
//   Picture1 width  = W2 / ImgScale + 4        window pixels
//   Picture1 height = H2 / ImgScale + 4
// The image fills W2/ImgScale x H2/ImgScale overview units from (0, 0); an
// overview unit is 15.06 twips across and 15 twips down (1.004 x 1 pixels).
// The overview raster is that area in window pixels, its size rounded half to
// even: round(W2/ImgScale * 1.004) x round(H2/ImgScale). Overview pixel column
// px is overview unit px / 1.004 and working column px / 1.004 * ImgScale; a
// row py is unit py and working row py * ImgScale.
struct OverviewPlan {
  float ImgScale = 0;
  float picture_width = 0, picture_height = 0;  // window pixels
  float image_width_units = 0, image_height_units = 0;
};
inline constexpr double kOverviewUnitXPixels = 15.06 / 15.0;
inline constexpr double kOverviewUnitYPixels = 1.0;

// Fails (division by zero, code 11) for an empty working image or an inner
// width of 5 pixels or less.
Result<OverviewPlan> PlanOverview(int16_t W2, int16_t H2, int inner_width);

// Size in window pixels of the overview raster of `plan` (see above).
int OverviewPixelWidth(const OverviewPlan& plan);
int OverviewPixelHeight(const OverviewPlan& plan);

// The overview is bounded like the working image: each side at most 32767
// pixels, its raster at most `max_bytes`. Its height, about (inner width - 5)
// x H2 / W2 pixels, does not depend on the limit, so a photo too narrow for
// its height (8 x 32767 would give 2 million rows, 8 GB) cannot be shown at
// all: failure 7, not curable, found before anything is decoded.
Result<void> CheckOverviewSize(const OverviewPlan& plan, size_t max_bytes);

// The working raster of `plan` (4 bytes a pixel) is bounded by `max_bytes`
// likewise; above it, failure 7, curable (a smaller limit makes it smaller).
Result<void> CheckWorkingRasterSize(const WorkingImagePlan& plan, size_t max_bytes);

// What the recovery does after a curable failure.
enum class RecoveryAction {
  Retry,       // the limit text was lowered by 500; try again
  Ask,         // automatic adjustment is off: ask whether to switch it on and retry
  EndProgram,  // the lowered limit fell below 1000: show the code and end
};
struct RecoveryDecision {
  RecoveryAction action = RecoveryAction::Ask;
  std::string new_limit_text;  // Text5 after the step (when check5 was on)
};
// check5: Check5 is checked. limit_text: Text5's text. New text = integer part
// (rounded down) of (numeric parse - 500), written plainly ("4500", "-500");
// a value beyond 15 digits is written in exponent form ("1E+30").
RecoveryDecision DecideRecovery(bool check5, std::string_view limit_text);

}  // namespace sarn
