#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "state/wire_table.h"
#include "support/set_dt_bytes.h"
#include "support/temp_folder.h"

namespace sarn {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

CommandRun Data(const std::vector<std::string>& args,
                const std::string& program_folder = "/nonexistent") {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunDataCommand(args, out, err, CliContext{program_folder});
  return CommandRun{status, out.str(), err.str()};
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The bundled table as the test reads it itself: split at "|" and trimmed.
struct SourceRow {
  std::string name;
  std::vector<std::string> values;
};

std::vector<SourceRow> BundledRows() {
  std::vector<SourceRow> rows;
  std::istringstream in(ReadText(SARN_CONDUCTOR_SOURCE));
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#' || line.rfind("design temperatures", 0) == 0)
      continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    std::string field;
    while (std::getline(split, field, '|'))
      fields.push_back(Trim(field));
    if (fields.size() == 9)
      rows.push_back(SourceRow{fields[0], {fields.begin() + 1, fields.end()}});
  }
  return rows;
}

class DataCommandTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
};

TEST_F(DataCommandTest, ListsTheBundledTable) {
  const std::string target = folder_.PathOf("SetDT.dat");
  const CommandRun build = Data({"build", SARN_CONDUCTOR_SOURCE, "-o", target});
  ASSERT_EQ(build.status, 0) << build.err;

  const CommandRun list = Data({"list", target});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.err, IsEmpty());
  EXPECT_THAT(list.out, HasSubstr("class A 15 degC"));
  EXPECT_THAT(list.out, HasSubstr("low-temperature season -5 degC"));

  const std::vector<SourceRow> rows = BundledRows();
  ASSERT_EQ(rows.size(), 8u);
  std::istringstream lines(list.out);
  std::string line;
  size_t index = 0;
  while (std::getline(lines, line) && index < rows.size()) {
    const std::string prefix = std::to_string(index) + "  ";
    if (Trim(line).rfind(prefix + rows[index].name, 0) != 0)
      continue;
    // After the name: the eight values, each the same float as in the source.
    std::istringstream rest(line.substr(line.find(rows[index].name) + rows[index].name.size()));
    std::vector<std::string> cells;
    std::string cell;
    while (rest >> cell)
      cells.push_back(cell);
    ASSERT_EQ(cells.size(), 8u) << line;
    for (size_t k = 0; k < 8; ++k)
      EXPECT_EQ(std::strtof(cells[k].c_str(), nullptr),
                std::strtof(rows[index].values[k].c_str(), nullptr))
          << rows[index].name << " value " << k;
    ++index;
  }
  EXPECT_EQ(index, rows.size()) << "rows missing or out of order in:\n" << list.out;
}

TEST_F(DataCommandTest, ListAlignsTheValueColumns) {
  const std::string target = folder_.PathOf("SetDT.dat");
  ASSERT_EQ(Data({"build", SARN_CONDUCTOR_SOURCE, "-o", target}).status, 0);
  const CommandRun list = Data({"list", target});
  // Every row ends at the same column; wide characters count two columns, so
  // with the code page 932 names the byte count there equals the width.
  std::istringstream lines(list.out);
  std::string line;
  std::vector<size_t> widths;
  int row = 0;
  while (std::getline(lines, line)) {
    if (++row <= 2)
      continue;  // the title lines
    size_t width = 0;
    for (size_t i = 0; i < line.size();) {
      const auto lead = static_cast<unsigned char>(line[i]);
      const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      width += length == 3 ? 2 : 1;  // the names hold only 3-byte (CJK) characters
      i += length;
    }
    widths.push_back(width);
  }
  ASSERT_EQ(widths.size(), 10u);  // head, units, eight conductors
  for (size_t width : widths)
    EXPECT_EQ(width, widths[0]);
}

TEST_F(DataCommandTest, ListReadsSetDTFromTheProgramFolderByDefault) {
  ASSERT_EQ(Data({"build", SARN_CONDUCTOR_SOURCE, "-o", folder_.PathOf("SetDT.dat")}).status, 0);
  const CommandRun list = Data({"list"}, folder_.path());
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, StartsWith(folder_.PathOf("SetDT.dat") + ": 8 conductors"));
}

// A value the evaluation cannot use is listed as it is, and the record marked.
TEST_F(DataCommandTest, ListMarksARecordWithAnImpossibleValue) {
  test::ConductorBytes broken = test::WorkedConductor("BROKEN");
  broken.area = std::numeric_limits<float>::infinity();
  const std::string path =
      folder_.Write("SetDT.dat", test::SetDtBytes(15, -5, {test::WorkedConductor("GOOD"), broken}));
  const CommandRun list = Data({"list", path});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, HasSubstr("inf  unusable: Area is not a finite positive number"));
  EXPECT_EQ(list.out.find("unusable"), list.out.rfind("unusable")) << "GOOD is usable";
}

TEST_F(DataCommandTest, ListReportsAMissingOrBrokenFile) {
  const CommandRun missing = Data({"list"}, folder_.path());
  EXPECT_EQ(missing.status, 2);
  EXPECT_THAT(missing.out, IsEmpty());
  EXPECT_THAT(missing.err, HasSubstr(folder_.PathOf("SetDT.dat") + ": the file does not exist"));

  const std::string short_file = folder_.Write("short.dat", std::vector<uint8_t>{0, 0, 15, 0});
  const CommandRun broken = Data({"list", short_file});
  EXPECT_EQ(broken.status, 2);
  EXPECT_THAT(broken.err, HasSubstr(short_file + ": the file is only 4 bytes long"));
}

TEST_F(DataCommandTest, BuildWritesWhatTheSourceSays) {
  const std::string source =
      folder_.Write("table.txt",
                    "design temperatures | -10 | 40\n"
                    "硬銅 60 | 0.54 | 23 | 2.2 | 117.7 | 16.9 | 10 | 1 | 59.69\n");
  const std::string target = folder_.PathOf("out.dat");
  const CommandRun build = Data({"build", source, "-o", target});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_THAT(build.err, IsEmpty());

  const std::vector<uint8_t> bytes = test::ReadBytes(target);
  ASSERT_EQ(bytes.size(), 58u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 0xF6);  // -10
  EXPECT_EQ(bytes[3], 0xFF);
  EXPECT_EQ(bytes[4], 40);
  // 硬 8D 64, 銅 93 BA, then " 60" and padding.
  const std::vector<uint8_t> name(bytes.begin() + 6, bytes.begin() + 26);
  const std::string expected_name = "\x8D\x64\x93\xBA 60" + std::string(13, ' ');
  EXPECT_EQ(std::string(name.begin(), name.end()), expected_name);

  const WireDataResult read = ReadWireData(target);
  ASSERT_TRUE(read.ok()) << read.failure().English();
  EXPECT_EQ(read->WireTable[0].Weight, 0.54f);
  EXPECT_EQ(read->WireTable[0].Area, 59.69f);
  EXPECT_THAT(folder_.Entries(), ::testing::UnorderedElementsAre("table.txt", "out.dat"));
}

struct BuildRefusal {
  const char* label;
  std::string source;
  const char* message;  // after "<source>: "
};

class BuildRefusalTest : public ::testing::TestWithParam<BuildRefusal> {
 protected:
  test::TempFolder folder_;
};

const std::string kDesign = "design temperatures | 15 | -5\n";
const std::string kGood = "A | 0.198 | 8.71 | 2.2 | 117.7 | 16.9 | 6.0 | 1 | 21.99\n";

TEST_P(BuildRefusalTest, LeavesTheExistingTargetUntouched) {
  const std::string source = folder_.Write("table.txt", GetParam().source);
  const std::string target = folder_.Write("SetDT.dat", std::string_view("previous contents"));
  const CommandRun build = Data({"build", source, "-o", target});
  EXPECT_EQ(build.status, 2);
  EXPECT_THAT(build.err, HasSubstr(source + ": " + GetParam().message));
  EXPECT_EQ(ReadText(target), "previous contents");
  EXPECT_THAT(folder_.Entries(), ::testing::UnorderedElementsAre("table.txt", "SetDT.dat"));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BuildRefusalTest,
    ::testing::Values(
        BuildRefusal{"long_name",
                     kDesign + kGood + "鋼心アルミより線 240mm2 | 1 | 1 | 2 | 1 | 1 | 1 | 1 | 1\n",
                     "line 3: the name takes 23 bytes in code page 932, more than 20"},
        BuildRefusal{"not_a_number", kDesign + "A | 1 | 1 | 2 | 1 | 1x | 1 | 1 | 1\n",
                     "line 2: Expansion is not a number (\"1x\")"},
        BuildRefusal{"field_count", kGood + kDesign + "A | 1 | 1\n",
                     "line 3: a conductor line needs 9 fields"},
        BuildRefusal{"zero_weight", kDesign + "A | 0 | 1 | 2 | 1 | 1 | 1 | 1 | 1\n",
                     "line 2: Weight is not a finite positive number"},
        BuildRefusal{"negative_strength", kDesign + "A | 1 | -8 | 2 | 1 | 1 | 1 | 1 | 1\n",
                     "line 2: BreakLoad is not a finite positive number"},
        BuildRefusal{"zero_safety_factor", kDesign + "A | 1 | 1 | 0 | 1 | 1 | 1 | 1 | 1\n",
                     "line 2: SafetyFactor is not a finite positive number"},
        BuildRefusal{"zero_modulus", kDesign + "\n\nA | 1 | 1 | 2 | 0 | 1 | 1 | 1 | 1\n",
                     "line 4: Elasticity is not a finite positive number"},
        BuildRefusal{"negative_area", kDesign + "A | 1 | 1 | 2 | 1 | 1 | 1 | 1 | -3\n",
                     "line 2: Area is not a finite positive number"},
        BuildRefusal{"no_design_line", kGood, "line 1: the table ends without a design"},
        BuildRefusal{"two_design_lines", kDesign + kDesign + kGood,
                     "line 2: the design temperatures are given a second time"},
        BuildRefusal{"temperature_range", "design temperatures | 15 | 40000\n" + kGood,
                     "line 1: the low-season temperature is outside -32768..32767"},
        BuildRefusal{"no_conductors", kDesign, "line 1: the table ends without any conductor"}),
    [](const ::testing::TestParamInfo<BuildRefusal>& param_info) {
      return param_info.param.label;
    });

TEST_F(DataCommandTest, BuildRefusesBadArguments) {
  const std::string source = folder_.Write("table.txt", kDesign + kGood);
  EXPECT_EQ(Data({"build", source}).status, 2);
  EXPECT_EQ(Data({"build", "-o", folder_.PathOf("x.dat")}).status, 2);
  EXPECT_EQ(Data({"build", source, "-o"}).status, 2);
  EXPECT_EQ(Data({"build", source, "-o", "a", "-o", "b"}).status, 2);
  EXPECT_EQ(Data({"build", source, "extra", "-o", folder_.PathOf("x.dat")}).status, 2);
  EXPECT_EQ(Data({"build", source, "--force", "-o", folder_.PathOf("x.dat")}).status, 2);
  EXPECT_EQ(Data({"list", "a", "b"}).status, 2);
  EXPECT_EQ(Data({"list", "--all"}).status, 2);
  EXPECT_EQ(Data({}).status, 2);
  EXPECT_EQ(Data({"show"}).status, 2);
  EXPECT_THAT(folder_.Entries(), ::testing::UnorderedElementsAre("table.txt"));
}

TEST_F(DataCommandTest, BuildReportsAnUnreadableSourceOrTarget) {
  const CommandRun missing =
      Data({"build", folder_.PathOf("none.txt"), "-o", folder_.PathOf("x.dat")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_THAT(missing.err, HasSubstr(folder_.PathOf("none.txt") + ": the file does not exist"));

  const std::string source = folder_.Write("table.txt", kDesign + kGood);
  const std::string target = folder_.PathOf("no/such/folder/SetDT.dat");
  const CommandRun unwritable = Data({"build", source, "-o", target});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_THAT(unwritable.err, HasSubstr(target + ": "));
}

TEST_F(DataCommandTest, BuildReplacesAnExistingTargetKeepingItsPermissions) {
  const std::string source = folder_.Write("table.txt", kDesign + kGood);
  const std::string target = folder_.Write("SetDT.dat", std::string_view("old"));
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(Data({"build", source, "-o", target}).status, 0);
  EXPECT_EQ(test::ReadBytes(target).size(), 58u);
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_THAT(folder_.Entries(), ::testing::UnorderedElementsAre("table.txt", "SetDT.dat"));
}

TEST(DataCommandHelp, EachCommandHasHelp) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"list", "--help"}, {"build", "--help"}}) {
    const CommandRun help = Data(args);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: sarn data"));
    EXPECT_THAT(help.err, IsEmpty());
  }
}

}  // namespace
}  // namespace sarn
