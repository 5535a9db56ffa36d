// The session's own nesting: the wind-load class rules that both the window
// and the commands run, and the values it hands back to a face.

#include "session/measurement_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "session/session_json.h"
#include "state/wire_table.h"
#include "support/set_dt_bytes.h"

namespace sarn {
namespace {

using Boxes = std::array<int, 3>;

// Records what the session reports, as a window would show it.
class RecordingFace : public SessionEvents {
 public:
  void WindClassChanged(int index, int value) override { changes.push_back({index, value}); }
  void TickChanged(int index, int value) override { ticks.push_back({index, value}); }
  void ResultCopied(const std::string& text) override { copied.push_back(text); }
  void MeasurementFailed(const Failure& why) override { failures.push_back(why.English()); }
  std::vector<std::pair<int, int>> changes, ticks;
  std::vector<std::string> copied, failures;
};

// A 400 x 300 working image, white, with a conductor 4 px thick hanging from
// row 100 at columns 20 and 380 to row 130 in the middle; `crown` adds a
// dark crown (rows 70..90, columns 185..215) above it at the middle station.
// Overview units are working pixels (ImgScale 1).
LoadedPhoto SpanPicture(bool conductor, bool crown) {
  constexpr int kWidth = 400, kHeight = 300;
  LoadedPhoto photo;
  photo.plan.W2 = kWidth;
  photo.plan.H2 = kHeight;
  photo.photo_width = kWidth;
  photo.photo_height = kHeight;
  photo.working.width = kWidth;
  photo.working.height = kHeight;
  photo.working.pixels = PixelBuffer(size_t{kWidth} * kHeight, 0xFFFFFFFFu);
  auto dark = [&](int x, int y) {
    photo.working.pixels[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] = 0xFF202020u;
  };
  for (int x = 20; conductor && x <= 380; ++x) {
    const double u = (x - 200) / 180.0;
    const int top = static_cast<int>(std::lround(130 - 30 * u * u));
    for (int y = top; y < top + 4; ++y)
      dark(x, y);
  }
  for (int y = 70; crown && y <= 90; ++y) {
    for (int x = 185; x <= 215; ++x)
      dark(x, y);
  }
  photo.overview_plan.ImgScale = 1;
  return photo;
}

const ScanLine kPictureLine{20, 50, 380, 50};

WireData Worked() {
  return *ParseWireData(test::SetDtBytes(15, -5, {test::WorkedConductor("WORKED")}), "t");
}

struct Transition {
  WindCombination from;
  int click;
  WindCombination to;
  int evaluations;
};

class WindClassClick : public ::testing::TestWithParam<Transition> {};

// A user's click toggles one box; the rules change the others, each change
// re-evaluating at once and being reported to the face as it happens.
TEST_P(WindClassClick, ReachesTheCombinationWithItsEvaluationCount) {
  const Transition t = GetParam();
  MeasurementSession session;
  session.SetWireData(Worked(), "40", "20");
  session.SetWindCombination(t.from);
  RecordingFace face;
  session.SetEvents(&face);
  const int before = session.EvaluationCount();
  Boxes boxes = session.WindClasses();
  const size_t clicked = static_cast<size_t>(t.click);
  session.SetWindClass(t.click, boxes[clicked] != 0 ? 0 : 1);
  EXPECT_EQ(session.WindClasses(), CombinationBoxes(t.to));
  EXPECT_EQ(session.EvaluationCount() - before, t.evaluations);
  // The reported changes, applied in order to the clicked boxes, give what
  // the session holds.
  boxes[clicked] = boxes[clicked] != 0 ? 0 : 1;
  for (const auto& [index, value] : face.changes)
    boxes[static_cast<size_t>(index)] = value;
  EXPECT_EQ(boxes, session.WindClasses());
  // A box handing back the value the session set changes nothing.
  for (const auto& [index, value] : face.changes)
    session.SetWindClass(index, value);
  EXPECT_EQ(session.EvaluationCount() - before, t.evaluations);
}

// From A+B: 甲種 -> C, 乙種 -> A+C, 丙種 -> A+C (3, 2, 2 runs);
// from A+C: A+C -> C, A+B, A+B (1, 2, 2); from C: A+C, A+B, A+B (1, 3, 3).
INSTANTIATE_TEST_SUITE_P(
    AllClicks, WindClassClick,
    ::testing::Values(Transition{WindCombination::AB, 0, WindCombination::C, 3},
                      Transition{WindCombination::AB, 1, WindCombination::AC, 2},
                      Transition{WindCombination::AB, 2, WindCombination::AC, 2},
                      Transition{WindCombination::AC, 0, WindCombination::C, 1},
                      Transition{WindCombination::AC, 1, WindCombination::AB, 2},
                      Transition{WindCombination::AC, 2, WindCombination::AB, 2},
                      Transition{WindCombination::C, 0, WindCombination::AC, 1},
                      Transition{WindCombination::C, 1, WindCombination::AB, 3},
                      Transition{WindCombination::C, 2, WindCombination::AB, 3}));

TEST(MeasurementSession, RandomClassClicksStayAllowed) {
  MeasurementSession session;
  session.SetWireData(Worked(), "40", "20");
  std::mt19937 random(20121221);
  std::uniform_int_distribution<int> box(0, 2);
  for (int i = 0; i < 500; ++i) {
    const int click = box(random);
    const Boxes boxes = session.WindClasses();
    session.SetWindClass(click, boxes[static_cast<size_t>(click)] != 0 ? 0 : 1);
    const Boxes after = session.WindClasses();
    ASSERT_TRUE(CombinationOf(after).has_value()) << "after click " << i;
    EXPECT_EQ(after[1] + after[2], 1);  // exactly one of B and C; B implies A
    EXPECT_TRUE(after[1] == 0 || after[0] == 1);
  }
}

// The worked example through the session: the evaluation with two ticked
// estimates, its shown texts, and the result text copied once.
TEST(MeasurementSession, EvaluatesAndCopiesTheWorkedExample) {
  MeasurementSession session;
  session.SetWireData(Worked(), "40", "20");
  RecordingFace face;
  session.SetEvents(&face);
  session.SetEstimates({1500, 1500, 0}, {1, 1, 0});
  EXPECT_EQ(session.Shown().allow_a, "甲=2234kGf");
  EXPECT_EQ(session.Shown().allow_bc, "乙=1620kGf");
  EXPECT_EQ(session.Shown().ratio, "93");
  EXPECT_FALSE(session.Shown().ratio_red);
  ASSERT_EQ(face.copied.size(), 1u);
  EXPECT_EQ(face.copied.back(), session.ResultText());
}

// Precision tracing that finds no credible conductor leaves no result: every
// label cleared (not reached, not a number), every estimate box unticked and
// reported so, the failure reported once and nothing copied.
TEST(MeasurementSession, NonCredibleTraceClearsTheResultsAndSaysWhy) {
  MeasurementSession session;
  session.SetWireData(Worked(), "40", "20");
  session.SetEstimates({1500, 1500, 0}, {1, 1, 0});
  ASSERT_TRUE(session.Shown().ratio.has_value());
  session.SetPhoto(SpanPicture(false, false), "blank", 400);
  session.SetPrecision(true);
  RecordingFace face;
  session.SetEvents(&face);
  session.SetLine(kPictureLine);
  ASSERT_EQ(face.failures.size(), 1u);
  EXPECT_NE(face.failures[0].find("precision tracing found no credible conductor"),
            std::string::npos)
      << face.failures[0];
  ASSERT_TRUE(session.MeasurementFailure().has_value());
  EXPECT_EQ(session.MeasurementFailure()->English(), face.failures[0]);
  ASSERT_TRUE(session.Tension().failure.has_value());
  EXPECT_EQ(session.Tension().failure->English(), face.failures[0]);
  const ShownResults& shown = session.Shown();
  for (const ShownText& text :
       {shown.present_sag, shown.estimates[0], shown.estimates[1], shown.estimates[2],
        shown.present_tension, shown.allow_a, shown.allow_bc, shown.ratio, shown.specified_sag})
    EXPECT_FALSE(text.has_value()) << *text;
  EXPECT_FALSE(shown.ratio_red);
  EXPECT_EQ(session.Ticks(), (Boxes{0, 0, 0}));
  EXPECT_EQ(face.ticks, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}}));
  EXPECT_TRUE(face.copied.empty());
  // An input changed later keeps the labels empty until a scan gives a result.
  session.SetSpanText("50");
  EXPECT_FALSE(session.Shown().present_sag.has_value());
  EXPECT_TRUE(face.copied.empty());
}

// In the default mode a station the scan put on something other than the
// conductor precision tracing finds (a crown above the conductor at the
// middle station) is a warning; the others are not.
TEST(MeasurementSession, WarnsOfAStationOffTheTracedConductor) {
  for (const bool crown : {false, true}) {
    MeasurementSession session;
    session.SetWireData(Worked(), "40", "20");
    session.SetPhoto(SpanPicture(true, crown), "span", 400);
    session.SetLine(kPictureLine);
    const std::vector<std::string>& warnings = session.Warnings();
    if (!crown) {
      EXPECT_TRUE(warnings.empty()) << warnings[0];
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("station 4: the scan found row ", 0), 0u) << warnings[0];
    EXPECT_NE(warnings[0].find("px from the traced conductor (row 13"), std::string::npos)
        << warnings[0];
    // Made once per scan.
    EXPECT_EQ(&session.Warnings(), &warnings);
  }
}

TEST(SessionJson, NumbersUseTheirShortestText) {
  EXPECT_EQ(JsonText(Json::array({JsonNumber(2234.208f), JsonNumber(0.1f), JsonNumber(1500.0f),
                                  JsonNumber(0.1), JsonNumber(std::nanf("")),
                                  JsonNumber(std::optional<double>())})),
            "[2234.208,0.1,1500,0.1,null,null]");
  // A file name that is not UTF-8 is kept readable rather than refused.
  EXPECT_EQ(JsonText(Json("a\xff")), "\"a\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace sarn
