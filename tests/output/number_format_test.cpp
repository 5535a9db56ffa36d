#include "output/number_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace sarn {
namespace {

TEST(FormatFixed, ShowsAtLeastOneIntegerDigitAndFixedDecimals) {
  EXPECT_EQ(FormatFixed(2.0, 3), "2.000");
  EXPECT_EQ(FormatFixed(0.0917, 3), "0.092");
  EXPECT_EQ(FormatFixed(100.0, 1), "100.0");
  EXPECT_EQ(FormatFixed(1659.46, 1), "1659.5");
  EXPECT_EQ(FormatFixed(0.09, 2), "0.09");
  EXPECT_EQ(FormatFixed(123456.78, 1), "123456.8");  // no grouping
  EXPECT_EQ(FormatFixed(-3.25, 1), "-3.2");          // nearest (binary 3.25 is exact: even)
  EXPECT_EQ(FormatFixed(-1.26, 1), "-1.3");
}

TEST(FormatFixed, NegativeZeroIsShownWithoutSign) {
  EXPECT_EQ(FormatFixed(-0.0001, 3), "0.000");
  EXPECT_EQ(FormatFixed(-0.0, 1), "0.0");
}

TEST(FormatFixed, NonFiniteValuesGiveEmptyText) {
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 3), "");
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "");
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 2), "");
  EXPECT_EQ(FormatKgf(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(FormatWhole(std::numeric_limits<double>::infinity()), "");
}

TEST(FormatKgf, WholeNumberFollowedByUnit) {
  EXPECT_EQ(FormatKgf(2234.2), "2234kGf");
  EXPECT_EQ(FormatKgf(1620.49), "1620kGf");
  EXPECT_EQ(FormatKgf(0.2), "0kGf");
}

TEST(FormatWhole, RatioHasNoDecimals) {
  EXPECT_EQ(FormatWhole(93), "93");
  EXPECT_EQ(FormatWhole(0), "0");
  EXPECT_EQ(FormatWhole(101), "101");
}

}  // namespace
}  // namespace sarn
