// The session's own nesting: the wind-load class rules that both the window
// and the commands run, and the values it hands back to a face.

#include "session/measurement_session.h"

#include <gtest/gtest.h>

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
  void ResultCopied(const std::string& text) override { copied.push_back(text); }
  std::vector<std::pair<int, int>> changes;
  std::vector<std::string> copied;
};

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
