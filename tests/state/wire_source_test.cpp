#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "state/wire_source.h"
#include "state/wire_table.h"

namespace sarn {
namespace {

using ::testing::HasSubstr;

const std::string kDesign = "design temperatures | 15 | -5\n";
const std::string kGood = "HAL 22 | 0.198 | 8.71 | 2.2 | 117.7 | 16.9 | 6.0 | 1 | 21.99\n";

TEST(ParseWireSource, ReadsTheTable) {
  const WireDataResult result = ParseWireSource(
      "# a comment\n"
      "\n" +
      kDesign + kGood + "  硬銅より線 38mm2 |0.334|14.51|2.2|117.7|16.9|7.8|1|37.16  \n");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  const WireData& data = *result;
  EXPECT_EQ(data.WireLast, 1);
  EXPECT_EQ(data.DesignTemp[0], 15);
  EXPECT_EQ(data.DesignTemp[1], -5);
  ASSERT_EQ(data.WireTable.size(), 2u);
  EXPECT_EQ(data.WireTable[0].Name, "HAL 22              ");
  EXPECT_EQ(TrimmedWireName(data.WireTable[1].Name), "硬銅より線 38mm2");
  const WireRecord& r = data.WireTable[1];
  // Each value is the float nearest to the decimal text.
  EXPECT_THAT((std::array{r.Weight, r.BreakLoad, r.SafetyFactor, r.Elasticity, r.Expansion,
                          r.Diameter, r.WindFactor, r.Area}),
              ::testing::ElementsAre(0.334f, 14.51f, 2.2f, 117.7f, 16.9f, 7.8f, 1.0f, 37.16f));
  // "硬銅より線 " is 6 characters and 11 bytes; "38mm2" 5 bytes.
  EXPECT_EQ(r.RawName[0], 0x8D);
  EXPECT_EQ(r.RawName[16], ' ');
}

TEST(ParseWireSource, AcceptsCrLfLineEndsAByteOrderMarkAndNoFinalNewline) {
  const WireDataResult result = ParseWireSource(
      "\xEF\xBB\xBF"
      "design temperatures|20|-10\r\nA|1|2|3|4|5|6|7|8");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->DesignTemp[0], 20);
  EXPECT_EQ(result->DesignTemp[1], -10);
  EXPECT_EQ(result->WireTable[0].Area, 8.0f);
}

TEST(ParseWireSource, DesignLineMayFollowTheConductors) {
  const WireDataResult result = ParseWireSource(kGood + kDesign);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->DesignTemp[1], -5);
}

TEST(ParseWireSource, NumberForms) {
  const WireDataResult result =
      ParseWireSource(kDesign + "A | +0.5 | 1e2 | 2. | .5 | -0 | 6 | 0 | 1E-3\n");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  const WireRecord& r = result->WireTable[0];
  EXPECT_EQ(r.Weight, 0.5f);
  EXPECT_EQ(r.BreakLoad, 100.0f);
  EXPECT_EQ(r.SafetyFactor, 2.0f);
  EXPECT_EQ(r.Elasticity, 0.5f);
  EXPECT_EQ(r.Expansion, 0.0f);  // -0 is not negative
  EXPECT_EQ(r.Diameter, 6.0f);
  EXPECT_EQ(r.WindFactor, 0.0f);
  EXPECT_EQ(r.Area, 0.001f);
}

struct RefusalCase {
  const char* label;
  std::string source;
  int line;
  const char* reason;  // a part of the reason
};

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, NamesTheLineAndTheReason) {
  const WireDataResult result = ParseWireSource(GetParam().source);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(),
              ::testing::StartsWith("line " + std::to_string(GetParam().line) + ": "));
  EXPECT_THAT(result.failure().English(), HasSubstr(GetParam().reason));
}

std::string Line(const std::string& name, const std::string& values) {
  return name + " | " + values + "\n";
}
const std::string kValues = "0.198 | 8.71 | 2.2 | 117.7 | 16.9 | 6.0 | 1 | 21.99";

INSTANTIATE_TEST_SUITE_P(
    Sources, RefusalTest,
    ::testing::Values(
        RefusalCase{"name over 20 bytes",
                    kDesign + kGood + Line("鋼心アルミより線 240mm2", kValues), 3, "23 bytes"},
        RefusalCase{"name of 21 ascii", kDesign + Line("123456789012345678901", kValues), 2,
                    "21 bytes"},
        RefusalCase{"name not in code page", kDesign + Line("caf\xC3\xA9", kValues), 2,
                    "code page 932"},
        RefusalCase{"empty name", kDesign + Line("", kValues), 2, "name is empty"},
        RefusalCase{"value not a number",
                    kDesign + "# c\n" + Line("A", "0.198 | 8.71 | 2.2 | x | 16.9 | 6 | 1 | 21"), 3,
                    "Elasticity is not a number (\"x\")"},
        RefusalCase{"value with a unit",
                    kDesign + Line("A", "0.198kg | 8.71 | 2.2 | 1 | 1 | 1 | 1 | 1"), 2,
                    "Weight is not a number"},
        RefusalCase{"empty value", kDesign + Line("A", "0.198 | | 2.2 | 1 | 1 | 1 | 1 | 1"), 2,
                    "BreakLoad is not a number"},
        RefusalCase{"infinity", kDesign + Line("A", "inf | 1 | 2.2 | 1 | 1 | 1 | 1 | 1"), 2,
                    "Weight is not a number"},
        RefusalCase{"nan", kDesign + Line("A", "1 | 1 | 2.2 | 1 | nan | 1 | 1 | 1"), 2,
                    "Expansion is not a number"},
        RefusalCase{"beyond float", kDesign + Line("A", "1 | 1e39 | 2.2 | 1 | 1 | 1 | 1 | 1"), 2,
                    "BreakLoad is out of the range"},
        RefusalCase{"too few fields", kDesign + "A | 1 | 2 | 3 | 4 | 5 | 6 | 7\n", 2, "found 8"},
        RefusalCase{"too many fields", kDesign + "A | 1 | 2 | 3 | 4 | 5 | 6 | 7 | 8 | 9\n", 2,
                    "found 10"},
        RefusalCase{"zero weight", kDesign + Line("A", "0 | 1 | 2.2 | 1 | 1 | 1 | 1 | 1"), 2,
                    "Weight is not a finite positive number (0)"},
        RefusalCase{"negative break load", kDesign + Line("A", "1 | -1 | 2.2 | 1 | 1 | 1 | 1 | 1"),
                    2, "BreakLoad is not a finite positive number (-1)"},
        RefusalCase{"zero safety factor", kDesign + Line("A", "1 | 1 | 0 | 1 | 1 | 1 | 1 | 1"), 2,
                    "SafetyFactor is not a finite positive number (0)"},
        RefusalCase{"negative elasticity", kDesign + Line("A", "1 | 1 | 2 | -82 | 1 | 1 | 1 | 1"),
                    2, "Elasticity is not a finite positive number (-82)"},
        RefusalCase{"zero area", kDesign + Line("A", "1 | 1 | 2 | 82 | 1 | 1 | 1 | 0.0"), 2,
                    "Area is not a finite positive number (0)"},
        RefusalCase{"negative diameter", kDesign + Line("A", "1 | 1 | 2 | 82 | 1 | -1 | 1 | 1"), 2,
                    "Diameter is not a finite positive number (-1)"},
        RefusalCase{"zero diameter", kDesign + Line("A", "1 | 1 | 2 | 82 | 1 | 0 | 1 | 1"), 2,
                    "Diameter is not a finite positive number (0)"},
        RefusalCase{"negative expansion", kDesign + Line("A", "1 | 1 | 2 | 82 | -1 | 1 | 1 | 1"), 2,
                    "Expansion is not a finite number of 0 or more (-1)"},
        RefusalCase{"negative wind factor", kDesign + Line("A", "1 | 1 | 2 | 82 | 1 | 1 | -1 | 1"),
                    2, "WindFactor is not a finite number of 0 or more (-1)"},
        RefusalCase{"missing design line", "# t\n" + kGood + kGood + "\n", 4,
                    "without a design-temperatures line"},
        RefusalCase{"duplicated design line", kDesign + kGood + "\n" + kDesign, 4,
                    "second time (first on line 1)"},
        RefusalCase{"design line field count", "design temperatures | 15\n" + kGood, 1,
                    "needs 3 fields"},
        RefusalCase{"design temperature above int16", "design temperatures | 32768 | -5\n" + kGood,
                    1, "class-A temperature is outside -32768..32767"},
        RefusalCase{"design temperature below int16", "design temperatures | 15 | -32769\n" + kGood,
                    1, "low-season temperature is outside"},
        RefusalCase{"design temperature not whole", "design temperatures | 15.5 | -5\n" + kGood, 1,
                    "not a whole number"},
        RefusalCase{"design temperature text", "design temperatures | warm | -5\n" + kGood, 1,
                    "not a number"},
        RefusalCase{"no conductors", "# only comments\n" + kDesign + "\n", 3,
                    "without any conductor"},
        RefusalCase{"empty source", "", 1, "design-temperatures"}),
    [](const ::testing::TestParamInfo<RefusalCase>& param_info) {
      std::string name;
      for (char c : std::string(param_info.param.label))
        name += (c == ' ' || c == '-') ? '_' : c;
      return name;
    });

TEST(ParseWireSource, DesignTemperatureLimitsAreAccepted) {
  const WireDataResult result = ParseWireSource("design temperatures | 32767 | -32768\n" + kGood);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->DesignTemp[0], 32767);
  EXPECT_EQ(result->DesignTemp[1], -32768);
}

// The builder takes as many conductors as the file's 16-bit highest index
// can announce (32768, WireLast 32767), and the reader reads them all back.
TEST(ParseWireSource, AtMost32768ConductorsAsTheReaderReads) {
  std::string source = kDesign;
  for (int i = 0; i < 32768; ++i)
    source += kGood;
  const WireDataResult full = ParseWireSource(source);
  ASSERT_TRUE(full.ok()) << full.failure().English();
  EXPECT_EQ(full->WireLast, 32767);
  const WireDataResult read = ParseWireData(SerializeWireData(*full), "SetDT.dat");
  ASSERT_TRUE(read.ok()) << read.failure().English();
  EXPECT_EQ(read->WireTable.size(), 32768u);

  source += kGood;  // the 32769th conductor, on line 32770
  const WireDataResult over = ParseWireSource(source);
  EXPECT_FALSE(over.ok());
  EXPECT_EQ(over.failure().English(), "line 32770: more than 32768 conductors");
}

TEST(ParseWireSource, BuildsAFileThatReadsBack) {
  const WireDataResult source = ParseWireSource(kDesign + kGood + Line("硬銅 60", kValues));
  ASSERT_TRUE(source.ok()) << source.failure().English();
  const std::vector<uint8_t> bytes = SerializeWireData(*source);
  ASSERT_EQ(bytes.size(), 6u + 2 * 52);
  const WireDataResult file = ParseWireData(bytes, "SetDT.dat");
  ASSERT_TRUE(file.ok()) << file.failure().English();
  EXPECT_EQ(file->DesignTemp, source->DesignTemp);
  ASSERT_EQ(file->WireTable.size(), 2u);
  EXPECT_EQ(file->WireTable[1].Name, "硬銅 60" + std::string(15, ' '));
  EXPECT_EQ(file->WireTable[1].Weight, 0.198f);
  EXPECT_EQ(file->WireTable[1].Area, 21.99f);
}

}  // namespace
}  // namespace sarn
