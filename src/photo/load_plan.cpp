#include "photo/load_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "state/numeric.h"

namespace sarn {

namespace {

using enum MessageId;

// Checks W2, H2 in the order the drawing meets them: a negative size is an
// invalid property; an empty image cannot be scaled into the overview.
// `cut_alone`: case C, where only the cut can empty the image (no limit
// cures that).
std::optional<Failure> CheckWorkingSize(int16_t W2, int16_t H2, bool cut_alone = false) {
  const std::vector<Failure::Argument> size = {std::to_string(W2), std::to_string(H2)};
  if (W2 < 0 || H2 < 0)
    return Failure(kWorkingImageNegative, size, kErrInvalidProperty);
  if (W2 == 0 || H2 == 0)
    return Failure(cut_alone ? kWorkingImageEmptyCut : kWorkingImageEmpty, size,
                   kErrDivisionByZero);
  return std::nullopt;
}

}  // namespace

char LoadCaseLetter(LoadCase c) {
  switch (c) {
    case LoadCase::A:
      return 'A';
    case LoadCase::B:
      return 'B';
    case LoadCase::C:
      return 'C';
    case LoadCase::D:
      return 'D';
  }
  return '?';
}

bool SmallerImageMayCure(const Failure& failure) {
  switch (failure.message()) {
    case kWorkingImageNegative:
    case kWorkingImageEmpty:
    case kWorkingImageNone:
    case kWorkingSizeOutOfRange:
    case kWorkingCutHeightOverflow:
    case kOverviewDividesByZero:
    case kWorkingRasterTooLarge:
    case kWorkingRasterNoMemory:
    case kViewsNoMemory:
    case kJpegOutOfMemory:
      return true;
    default:
      return false;
  }
}

Result<WorkingImagePlan> PlanWorkingImage(int photo_width, int photo_height, double limit,
                                          bool cut) {
  if (photo_width > kMaxImageSide || photo_height > kMaxImageSide) {
    // No limit can cure a photo whose own size does not fit 16 bits.
    return Failure(kPhotoSizeExceeds, {std::to_string(photo_width), std::to_string(photo_height)},
                   kErrOverflow);
  }
  if (photo_width <= 0 || photo_height <= 0)
    return Failure(kPhotoNoPixels, {}, kErrInvalidPicture);
  const int W = photo_width;
  const int H = photo_height;

  WorkingImagePlan p;
  const bool within_limit = limit >= W;
  if (!cut && within_limit) {
    p.load_case = LoadCase::A;
    p.W2 = static_cast<int16_t>(W);
    p.H2 = static_cast<int16_t>(H);
    p.draw_width = static_cast<float>(W);
    p.draw_height = static_cast<float>(H);
    p.draw_top = 0;
    return p;
  }
  if (cut && within_limit) {
    p.load_case = LoadCase::C;
    p.W2 = static_cast<int16_t>(W);
    // H / 2 in double precision, rounded half to even: 3001 -> 1500, 3003 -> 1502.
    p.H2 = *RoundToInt16(static_cast<double>(H) / 2.0);
    // Only a photo one pixel high loses every row to the cut; no smaller
    // limit changes that.
    if (auto f = CheckWorkingSize(p.W2, p.H2, true))
      return *f;
    p.draw_width = static_cast<float>(W);
    p.draw_height = static_cast<float>(H);
    p.draw_top = static_cast<float>(-static_cast<double>(p.H2) / 2.0);
    return p;
  }

  // Cases B and D: k = L / W as a 32-bit float; W k and H k are 32-bit
  // products (assigning to float drops any wider intermediate).
  p.load_case = cut ? LoadCase::D : LoadCase::B;
  p.k = static_cast<float>(limit / static_cast<double>(W));
  const float wk = static_cast<float>(W) * p.k;
  const float hk = static_cast<float>(H) * p.k;
  const std::optional<int16_t> W2 = RoundToInt16(wk);
  const std::optional<int16_t> H2 = RoundToInt16(cut ? static_cast<double>(hk) / 2.0 : hk);
  if (!W2 || !H2) {
    return Failure(kWorkingSizeOutOfRange, {std::to_string(limit)}, kErrOverflow);
  }
  p.W2 = *W2;
  p.H2 = *H2;
  if (p.W2 < 0 || p.H2 < 0)
    return *CheckWorkingSize(p.W2, p.H2);
  if (!cut) {
    if (auto f = CheckWorkingSize(p.W2, p.H2))
      return *f;
    p.draw_width = static_cast<float>(p.W2);
    p.draw_height = static_cast<float>(p.H2);
    p.draw_top = 0;
    return p;
  }
  // D: the photo is drawn W2 x (2 H2); 2 H2 is a 16-bit product.
  const int twice = 2 * static_cast<int>(p.H2);
  if (twice > kMaxImageSide) {
    return Failure(kWorkingCutHeightOverflow, {std::to_string(twice)}, kErrOverflow);
  }
  if (auto f = CheckWorkingSize(p.W2, p.H2))
    return *f;
  p.draw_width = static_cast<float>(p.W2);
  p.draw_height = static_cast<float>(twice);
  p.draw_top = static_cast<float>(-static_cast<double>(p.H2) / 2.0);
  return p;
}

int DrawTopRow(const WorkingImagePlan& plan) {
  return static_cast<int>(RoundHalfEven(plan.draw_top));
}

void PhotoToWorking(const WorkingImagePlan& plan, int photo_width, int photo_height, double x,
                    double y, double* wx, double* wy) {
  *wx = x * plan.draw_width / photo_width;
  *wy = y * plan.draw_height / photo_height + DrawTopRow(plan);
}

void WorkingToPhoto(const WorkingImagePlan& plan, int photo_width, int photo_height, double wx,
                    double wy, double* x, double* y) {
  *x = wx * photo_width / plan.draw_width;
  *y = (wy - DrawTopRow(plan)) * photo_height / plan.draw_height;
}

Result<OverviewPlan> PlanOverview(int16_t W2, int16_t H2, int inner_width) {
  if (W2 <= 0 || H2 <= 0 || inner_width - 5 <= 0) {
    return Failure(kOverviewDividesByZero,
                   {std::to_string(W2), std::to_string(H2), std::to_string(inner_width)},
                   kErrDivisionByZero);
  }
  OverviewPlan o;
  // ImgScale = W2 / (inner_width - 5), from W2 as a 32-bit float, stored as one.
  o.ImgScale = static_cast<float>(static_cast<double>(static_cast<float>(W2)) /
                                  static_cast<double>(inner_width - 5));
  const double w_units = static_cast<double>(W2) / static_cast<double>(o.ImgScale);
  const double h_units = static_cast<double>(H2) / static_cast<double>(o.ImgScale);
  o.image_width_units = static_cast<float>(w_units);
  o.image_height_units = static_cast<float>(h_units);
  o.picture_width = static_cast<float>(w_units + 4);
  o.picture_height = static_cast<float>(h_units + 4);
  return o;
}

int OverviewPixelWidth(const OverviewPlan& plan) {
  const double px =
      RoundHalfEven(static_cast<double>(plan.image_width_units) * kOverviewUnitXPixels);
  return px < 1 ? 1 : static_cast<int>(px);
}

int OverviewPixelHeight(const OverviewPlan& plan) {
  const double px =
      RoundHalfEven(static_cast<double>(plan.image_height_units) * kOverviewUnitYPixels);
  return px < 1 ? 1 : static_cast<int>(px);
}

Result<void> CheckOverviewSize(const OverviewPlan& plan, size_t max_bytes) {
  // In double: the sizes of a degenerate plan may not fit an int.
  const double width =
      RoundHalfEven(static_cast<double>(plan.image_width_units) * kOverviewUnitXPixels);
  const double height =
      RoundHalfEven(static_cast<double>(plan.image_height_units) * kOverviewUnitYPixels);
  const double bytes = 4.0 * std::max(width, 1.0) * std::max(height, 1.0);
  if (width <= kMaxImageSide && height <= kMaxImageSide && bytes <= static_cast<double>(max_bytes))
    return Ok();
  char size[64];
  std::snprintf(size, sizeof size, "%.0f x %.0f", width, height);
  return Failure(kOverviewTooLarge, {std::string(size), std::to_string(max_bytes >> 20)},
                 kErrOutOfMemory);
}

Result<void> CheckWorkingRasterSize(const WorkingImagePlan& plan, size_t max_bytes) {
  const double bytes = 4.0 * plan.W2 * plan.H2;
  if (bytes <= static_cast<double>(max_bytes))
    return Ok();
  return Failure(kWorkingRasterTooLarge,
                 {std::to_string(static_cast<long long>(bytes)), std::to_string(max_bytes)},
                 kErrOutOfMemory);
}

RecoveryDecision DecideRecovery(bool check5, std::string_view limit_text) {
  RecoveryDecision d;
  if (!check5) {
    d.action = RecoveryAction::Ask;
    d.new_limit_text = std::string(limit_text);
    return d;
  }
  const double lowered = std::floor(NumericParse(limit_text) - 500.0);
  if (std::fabs(lowered) < 1e15) {
    d.new_limit_text = PlainInteger(static_cast<long long>(lowered));
  } else {
    // Beyond 15 digits the number is written in exponent form, "1E+30".
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15G", lowered);
    d.new_limit_text = buf;
  }
  d.action =
      NumericParse(d.new_limit_text) < 1000.0 ? RecoveryAction::EndProgram : RecoveryAction::Retry;
  return d;
}

}  // namespace sarn
