// The four working-image cases, the overview's scale and the recovery's
// arithmetic, against the numbers worked out by hand for typical photos.

#include "photo/load_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace sarn {
namespace {

struct CaseRow {
  int W, H;
  double limit;
  bool cut;
  LoadCase expected_case;
  double k;  // expected k (1 when not scaled)
  int W2, H2;
  double draw_width, draw_height, draw_top;
  int top_row;
};

class WorkingImageCases : public ::testing::TestWithParam<CaseRow> {};

TEST_P(WorkingImageCases, SizesScaleAndTop) {
  const CaseRow& c = GetParam();
  const Result<WorkingImagePlan> r = PlanWorkingImage(c.W, c.H, c.limit, c.cut);
  ASSERT_TRUE(r.ok()) << r.failure().English();
  const WorkingImagePlan& p = *r;
  EXPECT_EQ(p.load_case, c.expected_case);
  EXPECT_NEAR(p.k, c.k, 5e-8);
  EXPECT_EQ(p.W2, c.W2);
  EXPECT_EQ(p.H2, c.H2);
  EXPECT_FLOAT_EQ(p.draw_width, static_cast<float>(c.draw_width));
  EXPECT_FLOAT_EQ(p.draw_height, static_cast<float>(c.draw_height));
  EXPECT_FLOAT_EQ(p.draw_top, static_cast<float>(c.draw_top));
  EXPECT_EQ(DrawTopRow(p), c.top_row);
}

// k = 5000/6000 = 0.8333333 (float); H k / 2 = 1666.667 -> 1667; 2 H2 = 3334.
// 8000 wide with limit 5000: k = 0.625 exactly, so H k is exact and the
// halves are real halves: 6008 k / 2 = 1877.5 -> 1878, 6024 k / 2 = 1882.5 -> 1882,
// 6004 k = 3752.5 -> 3752, 6012 k = 3757.5 -> 3758.
INSTANTIATE_TEST_SUITE_P(
    Photos, WorkingImageCases,
    ::testing::Values(
        CaseRow{4000, 3000, 5000, false, LoadCase::A, 1, 4000, 3000, 4000, 3000, 0, 0},
        CaseRow{4000, 3000, 5000, true, LoadCase::C, 1, 4000, 1500, 4000, 3000, -750, -750},
        CaseRow{6000, 4000, 5000, true, LoadCase::D, 0.8333333, 5000, 1667, 5000, 3334, -833.5,
                -834},
        CaseRow{6000, 4000, 5000, false, LoadCase::B, 0.8333333, 5000, 3333, 5000, 3333, 0, 0},
        CaseRow{4000, 3001, 5000, true, LoadCase::C, 1, 4000, 1500, 4000, 3001, -750, -750},
        CaseRow{4000, 3003, 5000, true, LoadCase::C, 1, 4000, 1502, 4000, 3003, -751, -751},
        CaseRow{4000, 3002, 5000, true, LoadCase::C, 1, 4000, 1501, 4000, 3002, -750.5, -750},
        // exactly as wide as the limit: not scaled
        CaseRow{5000, 3000, 5000, false, LoadCase::A, 1, 5000, 3000, 5000, 3000, 0, 0},
        CaseRow{5000, 3000, 5000, true, LoadCase::C, 1, 5000, 1500, 5000, 3000, -750, -750},
        CaseRow{8000, 6008, 5000, true, LoadCase::D, 0.625, 5000, 1878, 5000, 3756, -939, -939},
        CaseRow{8000, 6024, 5000, true, LoadCase::D, 0.625, 5000, 1882, 5000, 3764, -941, -941},
        CaseRow{8000, 6004, 5000, false, LoadCase::B, 0.625, 5000, 3752, 5000, 3752, 0, 0},
        CaseRow{8000, 6012, 5000, false, LoadCase::B, 0.625, 5000, 3758, 5000, 3758, 0, 0},
        CaseRow{8000, 6000, 5000, true, LoadCase::D, 0.625, 5000, 1875, 5000, 3750, -937.5, -938}));

TEST(WorkingImagePlan, KIsTheQuotientStoredAsFloat) {
  const Result<WorkingImagePlan> r = PlanWorkingImage(6000, 4000, 5000, true);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->k, static_cast<float>(5000.0 / 6000.0));
  // One pixel narrower than the photo still scales.
  const Result<WorkingImagePlan> s = PlanWorkingImage(5001, 3000, 5000, false);
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s->load_case, LoadCase::B);
  EXPECT_EQ(s->W2, 5000);
  EXPECT_EQ(s->H2, 2999);  // 3000 * 0.9998 = 2999.4
}

struct FailureRow {
  int W, H;
  double limit;
  bool cut;
  int code;
  bool curable;
};

class WorkingImageFailures : public ::testing::TestWithParam<FailureRow> {};

TEST_P(WorkingImageFailures, CodeAndCurability) {
  const FailureRow& f = GetParam();
  const Result<WorkingImagePlan> r = PlanWorkingImage(f.W, f.H, f.limit, f.cut);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().code(), f.code) << r.failure().English();
  EXPECT_EQ(SmallerImageMayCure(r.failure()), f.curable);
  EXPECT_FALSE(r.failure().English().empty());
}

INSTANTIATE_TEST_SUITE_P(Limits, WorkingImageFailures,
                         ::testing::Values(
                             // limit 0 (an empty or non-numeric Text5): an empty working image
                             FailureRow{4000, 3000, 0, false, kErrDivisionByZero, true},
                             FailureRow{4000, 3000, 0, true, kErrDivisionByZero, true},
                             // a negative limit: a negative size
                             FailureRow{4000, 3000, -500, false, kErrInvalidProperty, true},
                             FailureRow{4000, 3000, -500, true, kErrInvalidProperty, true},
                             // a limit so small that the height rounds to nothing
                             FailureRow{4000, 3000, 1, true, kErrDivisionByZero, true},
                             // 2 H2 beyond 16 bits: k rounds to 1.0f, H2 = round(16383.5) = 16384
                             FailureRow{32767, 32767, 32766.9995, true, kErrOverflow, true},
                             // a huge negative limit: the size itself overflows
                             FailureRow{4000, 3000, -1e9, false, kErrOverflow, true},
                             // the photo's own size beyond 16 bits: no limit helps
                             FailureRow{32768, 100, 5000, true, kErrOverflow, false},
                             FailureRow{100, 40000, 5000, false, kErrOverflow, false},
                             // a photo one pixel high loses its only row to the cut
                             FailureRow{100, 1, 5000, true, kErrDivisionByZero, false}));

TEST(PhotoToWorking, CutCaseShiftsRowsByHalfTheWorkingHeight) {
  const WorkingImagePlan p = *PlanWorkingImage(4000, 3000, 5000, true);
  double wx, wy;
  PhotoToWorking(p, 4000, 3000, 100, 750, &wx, &wy);
  EXPECT_DOUBLE_EQ(wx, 100);
  EXPECT_DOUBLE_EQ(wy, 0);  // photo row 750 is working row 0
  PhotoToWorking(p, 4000, 3000, 3999.5, 2249.5, &wx, &wy);
  EXPECT_DOUBLE_EQ(wx, 3999.5);
  EXPECT_DOUBLE_EQ(wy, 1499.5);  // photo row 2249 is the last working row
}

TEST(PhotoToWorking, ScaledCutCase) {
  const WorkingImagePlan p = *PlanWorkingImage(6000, 4000, 5000, true);
  double wx, wy;
  // Drawn 5000 x 3334 from row -834.
  PhotoToWorking(p, 6000, 4000, 6000, 4000, &wx, &wy);
  EXPECT_NEAR(wx, 5000, 1e-9);
  EXPECT_NEAR(wy, 3334 - 834, 1e-9);
  PhotoToWorking(p, 6000, 4000, 3000, 2000, &wx, &wy);
  EXPECT_NEAR(wx, 2500, 1e-9);
  EXPECT_NEAR(wy, 1667 - 834, 1e-9);
  double x, y;
  WorkingToPhoto(p, 6000, 4000, wx, wy, &x, &y);
  EXPECT_NEAR(x, 3000, 1e-9);
  EXPECT_NEAR(y, 2000, 1e-9);
}

TEST(PhotoToWorking, ScaledWithoutCut) {
  const WorkingImagePlan p = *PlanWorkingImage(6000, 4000, 5000, false);
  double wx, wy;
  PhotoToWorking(p, 6000, 4000, 6000, 4000, &wx, &wy);
  EXPECT_NEAR(wx, 5000, 1e-9);
  EXPECT_NEAR(wy, 3333, 1e-9);
}

TEST(Overview, ScaleAndPictureSizeForAWindow1004Wide) {
  const Result<OverviewPlan> o = PlanOverview(4000, 3000, 1004);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->ImgScale, static_cast<float>(4000.0 / 999.0));
  EXPECT_NEAR(o->ImgScale, 4.004004, 1e-6);
  EXPECT_NEAR(o->picture_width, 1003, 1e-3);
  EXPECT_NEAR(o->picture_height, 753.25, 1e-3);
  EXPECT_NEAR(o->image_width_units, 999, 1e-3);
  EXPECT_NEAR(o->image_height_units, 749.25, 1e-3);
  // 999 units of 1.004 pixels across; 749.25 units of 1 pixel down.
  EXPECT_EQ(OverviewPixelWidth(*o), 1003);
  EXPECT_EQ(OverviewPixelHeight(*o), 749);
}

TEST(Overview, CutPhotoIsAbout379High) {
  const Result<OverviewPlan> o = PlanOverview(4000, 1500, 1004);
  ASSERT_TRUE(o);
  EXPECT_NEAR(o->picture_height, 1500 / 4.004004 + 4, 1e-3);
  EXPECT_NEAR(o->picture_height, 378.625, 1e-3);
}

TEST(Overview, EmptyImageOrNarrowWindowDividesByZero) {
  for (auto [w2, h2, inner] : {std::tuple{0, 100, 1004}, {100, 0, 1004}, {100, 100, 5}}) {
    const Result<OverviewPlan> o =
        PlanOverview(static_cast<int16_t>(w2), static_cast<int16_t>(h2), inner);
    ASSERT_FALSE(o.ok());
    EXPECT_EQ(o.failure().code(), kErrDivisionByZero);
    EXPECT_TRUE(SmallerImageMayCure(o.failure()));
  }
}

struct RecoveryRow {
  bool check5;
  std::string text;
  RecoveryAction action;
  std::string new_text;
};

class Recovery : public ::testing::TestWithParam<RecoveryRow> {};

TEST_P(Recovery, LowersByFiveHundred) {
  const RecoveryRow& r = GetParam();
  const RecoveryDecision d = DecideRecovery(r.check5, r.text);
  EXPECT_EQ(d.action, r.action);
  EXPECT_EQ(d.new_limit_text, r.new_text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Recovery,
    ::testing::Values(RecoveryRow{true, "5000", RecoveryAction::Retry, "4500"},
                      RecoveryRow{true, "1500", RecoveryAction::Retry, "1000"},
                      RecoveryRow{true, "1499", RecoveryAction::EndProgram, "999"},
                      RecoveryRow{true, "1000", RecoveryAction::EndProgram, "500"},
                      RecoveryRow{true, "0", RecoveryAction::EndProgram, "-500"},
                      RecoveryRow{true, "", RecoveryAction::EndProgram, "-500"},
                      RecoveryRow{true, "abc", RecoveryAction::EndProgram, "-500"},
                      // integer part rounds down: 4000.7 -> 4000, 700.5 -> 700
                      RecoveryRow{true, "4500.7", RecoveryAction::Retry, "4000"},
                      RecoveryRow{true, "1200.5", RecoveryAction::EndProgram, "700"},
                      RecoveryRow{true, "-0.5", RecoveryAction::EndProgram, "-501"},
                      RecoveryRow{true, "3000px", RecoveryAction::Retry, "2500"},
                      RecoveryRow{true, "1e30", RecoveryAction::Retry, "1E+30"},
                      RecoveryRow{false, "5000", RecoveryAction::Ask, "5000"},
                      RecoveryRow{false, "", RecoveryAction::Ask, ""}));

}  // namespace
}  // namespace sarn
