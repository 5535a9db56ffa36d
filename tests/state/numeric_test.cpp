#include "state/numeric.h"

#include <gtest/gtest.h>

#include <string>

namespace sarn {
namespace {

struct ParseCase {
  const char* text;
  double expected;
};

class NumericParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(NumericParseTest, ReadsLongestLeadingNumber) {
  EXPECT_DOUBLE_EQ(NumericParse(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    TypedTexts, NumericParseTest,
    ::testing::Values(ParseCase{"40", 40}, ParseCase{"40m", 40}, ParseCase{"m40", 0},
                      ParseCase{"", 0}, ParseCase{"abc", 0}, ParseCase{"4 5", 45},
                      ParseCase{"-3.5", -3.5}, ParseCase{"  12.25  ", 12.25}, ParseCase{"+7", 7},
                      ParseCase{".5", 0.5}, ParseCase{"-.5", -0.5}, ParseCase{"5.", 5},
                      ParseCase{"1e3", 1000}, ParseCase{"1E-2", 0.01}, ParseCase{"2D2", 200},
                      ParseCase{"1e", 1}, ParseCase{"1e+", 1}, ParseCase{"-", 0}, ParseCase{".", 0},
                      ParseCase{"1.2.3", 1.2}, ParseCase{"\t7\t", 7}, ParseCase{"&H10", 16},
                      ParseCase{"&hff", 255}, ParseCase{"&HFFFF", -1}, ParseCase{"&O17", 15},
                      ParseCase{"&", 0}, ParseCase{"&Hxyz", 0}, ParseCase{"1 2 . 5", 12.5},
                      ParseCase{"- 4", -4}));

TEST(StrictNumber, AcceptsOnlyAWholeNumber) {
  EXPECT_EQ(StrictNumber("12"), 12.0);
  EXPECT_EQ(StrictNumber(" 12 "), 12.0);
  EXPECT_EQ(StrictNumber("-7.5"), -7.5);
  EXPECT_EQ(StrictNumber("&H10"), 16.0);
  EXPECT_FALSE(StrictNumber(""));
  EXPECT_FALSE(StrictNumber("   "));
  EXPECT_FALSE(StrictNumber("12a"));
  EXPECT_FALSE(StrictNumber("abc"));
  EXPECT_FALSE(StrictNumber("-"));
  EXPECT_FALSE(StrictNumber("1e999"));  // overflows to infinity
}

TEST(RoundHalfEven, TiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(12.5), 12);
  EXPECT_EQ(RoundHalfEven(13.5), 14);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
}

TEST(StrictInteger16, RoundsAndChecksRange) {
  EXPECT_EQ(StrictInteger16("60"), int16_t{60});
  EXPECT_EQ(StrictInteger16("7.5"), int16_t{8});
  EXPECT_EQ(StrictInteger16("6.5"), int16_t{6});
  EXPECT_EQ(StrictInteger16("-32768"), int16_t{-32768});
  EXPECT_EQ(StrictInteger16("32767"), int16_t{32767});
  EXPECT_EQ(StrictInteger16("32767.4"), int16_t{32767});
  EXPECT_FALSE(StrictInteger16("32767.5"));  // rounds to 32768
  EXPECT_FALSE(StrictInteger16("32768"));
  EXPECT_FALSE(StrictInteger16("-32769"));
  EXPECT_FALSE(StrictInteger16(""));
  EXPECT_FALSE(StrictInteger16("10m"));
}

TEST(RoundToInt, RefusesValuesThatDoNotFit) {
  EXPECT_EQ(RoundToInt16(12.5), int16_t{12});
  EXPECT_EQ(RoundToInt16(13.5), int16_t{14});
  EXPECT_FALSE(RoundToInt16(40000));
  EXPECT_FALSE(RoundToInt16(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(RoundToInt32(100.5), 100);
  EXPECT_EQ(RoundToInt32(101.5), 102);
  EXPECT_FALSE(RoundToInt32(3e9));
  EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::infinity()));
}

TEST(PlainInteger, HasNoSignForPositivesAndNoPadding) {
  EXPECT_EQ(PlainInteger(-5), "-5");
  EXPECT_EQ(PlainInteger(4500), "4500");
  EXPECT_EQ(PlainInteger(0), "0");
}

}  // namespace
}  // namespace sarn
