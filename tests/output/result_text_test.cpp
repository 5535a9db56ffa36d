#include "output/result_text.h"

#include <gtest/gtest.h>

namespace sarn {
namespace {

TEST(ResultText, SevenLinesEachEndedByCrLf) {
  ResultTextFields fields;
  fields.conductor_name = "A                   ";  // one letter padded to 20
  fields.span_text = "40";
  fields.distance_text = "60";
  fields.present_tension = "1234.5";
  fields.estimates = {"1200.0", "1250.0", "1253.5"};
  EXPECT_EQ(BuildResultText(fields),
            "A                   \r\n40\r\n60\r\n1234.5\r\n1200.0\r\n1250.0\r\n1253.5\r\n");
}

TEST(ResultText, EmptySourcesGiveEmptyLines) {
  ResultTextFields fields;
  fields.span_text = "40";
  EXPECT_EQ(BuildResultText(fields), "\r\n40\r\n\r\n\r\n\r\n\r\n\r\n");
}

}  // namespace
}  // namespace sarn
