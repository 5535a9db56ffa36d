// `sarn evaluate` run in-process on conductor data files written here.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "support/set_dt_bytes.h"
#include "support/temp_folder.h"

namespace sarn {
namespace {

// The worked-example conductor with Area 0: every evaluation of it fails.
test::ConductorBytes ZeroArea() {
  test::ConductorBytes broken = test::WorkedConductor("BROKEN");
  broken.area = 0;
  return broken;
}

class EvaluateCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("SetDT.dat",
          test::SetDtBytes(15, -5, {test::WorkedConductor("EXAMPLE 180"), ZeroArea()}));
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    return folder_.Write(name, bytes);
  }

  int Run(const std::vector<std::string>& args,
          int (*command)(const std::vector<std::string>&, std::ostream&, std::ostream&,
                         const CliContext&) = RunEvaluateCommand) {
    std::ostringstream out, err;
    const int status = command(args, out, err, CliContext(folder_.path()));
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  bool OutHas(const std::string& text) const { return out_.find(text) != std::string::npos; }

  test::TempFolder folder_;
  std::string out_, err_;
};

// The worked example: span 40, air 20, 15 / -5 degC, estimates 1500 ticked.
const std::vector<std::string> kWorkedExampleArgs = {
    "--span", "40",          "--air-temp",     "20",      "--design-temps", "15,-5", "--classes",
    "A+B",    "--estimates", "1500,1500,1500", "--ticks", "1,1,1"};

// Plain results, one run a row: what the output holds and what it lacks.
TEST_F(EvaluateCommand, PlainResults) {
  const std::string other =
      Write("other.dat", test::SetDtBytes(0, 0, {test::WorkedConductor("EXAMPLE 180")}));
  const std::string both_allowable = "甲=2234kGf  乙=1620kGf";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> has, lacks;
  };
  const Case cases[] = {
      // The defaults read SetDT.dat beside the program; no estimate ticked.
      // Specified sag 40^2 * 0.7 / 8 / 1620.5 = 0.086.
      {{}, {"EXAMPLE 180\n", "0.0 kgf", both_allowable, " 0 % on yellow", "0.09 m"}, {}},
      {kWorkedExampleArgs, {"1500.0 kgf", both_allowable, " 93 % on yellow", " 0.09 m"}, {}},
      // 2000 / 1620.5 = 123.4 %.
      {{"--estimates", "2000,0,0", "--ticks", "1,0,0"}, {" 123 % on red"}, {}},
      // Texts are read as the window reads them.
      {{"--span", "40m", "--air-temp", "2 0", "--estimates", "1500,0,0", "--ticks", "1,0,0"},
       {" 93 % on yellow"},
       {}},
      // Design temperatures round half to even: 14.5 -> 14, so class A changes.
      {{"--design-temps", "14.5,-5"}, {}, {"甲=2234kGf"}},
      {{"--design-temps", "15.5,-5"}, {}, {"甲=2234kGf"}},
      {{"--design-temps", "15,-5.4"}, {both_allowable}, {}},
      // --design-temps overrides the data file's.
      {{"--data", other}, {}, {both_allowable}},
      {{"--data", other, "--design-temps", "15,-5"}, {both_allowable}, {}},
      // The --name=VALUE form.
      {{"--estimates=1500,1500,1500", "--ticks=1,1,1", "--classes=A+B"}, {" 93 % on yellow"}, {}},
  };
  for (const Case& c : cases) {
    const std::string args = ::testing::PrintToString(c.args);
    ASSERT_EQ(Run(c.args), 0) << args << ": " << err_;
    EXPECT_EQ(err_, "") << args;
    for (const std::string& text : c.has)
      EXPECT_TRUE(OutHas(text)) << args << " lacks " << text << ": " << out_;
    for (const std::string& text : c.lacks)
      EXPECT_FALSE(OutHas(text)) << args << " has " << text << ": " << out_;
  }
  ASSERT_EQ(Run({"--help"}), 0);
  EXPECT_TRUE(OutHas("Usage: sarn evaluate")) << out_;
}

// --json, one run a row: one object on one line, with the parts listed; a
// failed evaluation exits 1 with its fields null.
TEST_F(EvaluateCommand, JsonResults) {
  std::vector<std::string> class_c = kWorkedExampleArgs;
  class_c[7] = "C";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> parts;
    std::string err_part;  // in the message on standard error
  };
  std::vector<Case> cases = {
      {kWorkedExampleArgs,
       0,
       {"\"wire\":\"EXAMPLE 180\"", "\"present_tension\":1500,", "\"allowable_a\":2234.",
        "\"allowable_bc\":1620.", "\"bc_class\":\"B\"", "\"governing\":1620.", "\"ratio\":93,",
        "\"specified_sag\":0.086", "\"shown\":{\"present_tension\":\"1500.0\"",
        "\"allowable_a\":\"甲=2234kGf\"", "\"allowable_bc\":\"乙=1620kGf\"", "\"ratio\":\"93\"",
        "\"specified_sag\":\"0.09\"", "\"ratio_colour\":\"yellow\"}", "\"error\":null}"},
       ""},
      // Class C only has no class A; 1500 / 1659.5 = 90 %.
      {class_c,
       0,
       {"\"allowable_a\":null", "\"allowable_a\":\"\"",
        "\"allowable_bc\":\"丙=", "\"bc_class\":\"C\"", "\"ratio\":90,"},
       ""},
      // A conductor with Area 0: the evaluation fails and clears the rest.
      {{"--wire", "1", "--estimates", "1500,0,0", "--ticks", "1,0,0"},
       1,
       {"\"wire\":\"BROKEN\"", "\"present_tension\":1500,", "\"allowable_a\":null",
        "\"allowable_bc\":null", "\"governing\":null", "\"ratio\":null", "\"specified_sag\":null",
        "\"shown\":{\"present_tension\":\"1500.0\",\"allowable_a\":null,\"allowable_bc\":null,"
        "\"ratio\":null,\"specified_sag\":null,\"ratio_colour\":\"yellow\"}",
        "\"error\":\"conductor BROKEN: Area is not a finite positive number (0)\"}"},
       "Area is not a finite positive number"},
  };
  // A conductor index outside the table fails.
  for (const char* wire : {"-1", "2", "32767"}) {
    cases.push_back({{"--wire", wire},
                     1,
                     {"\"wire\":null", "\"present_tension\":0,", "outside the conductor table",
                      "\"ratio\":null"},
                     "outside the conductor table"});
  }
  for (Case& c : cases) {
    c.args.push_back("--json");
    const std::string args = ::testing::PrintToString(c.args);
    ASSERT_EQ(Run(c.args), c.status) << args << ": " << err_;
    ASSERT_FALSE(out_.empty()) << args;
    EXPECT_EQ(out_.front(), '{') << args;
    EXPECT_EQ(out_.find('\n'), out_.size() - 1) << args;
    for (const std::string& part : c.parts)
      EXPECT_TRUE(OutHas(part)) << part << " in " << out_;
    if (c.status == 0)
      EXPECT_TRUE(err_.empty()) << args << ": " << err_;
    else
      EXPECT_NE(err_.find(c.err_part), std::string::npos) << args << ": " << err_;
  }
  ASSERT_EQ(Run({"--wire", "2"}), 1);
  EXPECT_TRUE(OutHas("error: ")) << out_;
}

// `sarn chart` of the worked example at 1500 kgf: the table, CSV and JSON,
// each whole and nothing on standard error; no solution exits 1.
TEST_F(EvaluateCommand, ChartPrintsTheTableCsvAndJson) {
  const std::vector<std::string> worked = {"--present-tension", "1500", "--span",         "40",
                                           "--air-temp",        "20",   "--design-temps", "15,-5"};
  struct Case {
    std::string format;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"",
       {"張力・弛度表\t電線 EXAMPLE 180\t径間 40.00 m\t撮影時気温 20.0 ℃\t現在張力 1500.0 "
        "kgf\t現在弛度 0.093 m\t許容張力 2449.0 kgf\n温度(℃)\t張力(kgf)\t弛度(m)\n-20\t",
        "\n20\t1500.0\t0.093\n",
        "\n\n荷重条件\t温度(℃)\t荷重比\t張力(kgf)\t許容張力比(%)\n甲種\t15\t2.759\t",
        "\n乙種\t-5\t2.663\t"}},
      {"--csv",
       {"conductor,span_m,air_temp_C,present_tension_kgf,present_sag_m,allowable_tension_kgf\r\n"
        "\"EXAMPLE "
        "180\",40.00,20.0,1500.0,0.093,2449.0\r\n\r\ntemperature_C,tension_kgf,sag_m\r\n-20,",
        "\r\n20,1500.0,0.093\r\n", "\r\nA,15,2.759,", "\r\nC,-5,"}},
      {"--json",
       {"{\"allowable_tension\":2448.97",
        ",\"rows\":[{\"temperature\":-20,\"tension\":", "{\"temperature\":20,\"tension\":1500",
        "\"conditions\":[{\"class\":\"A\",\"temperature\":15,", "\"error\":null}\n"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = worked;
    if (!c.format.empty())
      args.push_back(c.format);
    ASSERT_EQ(Run(args, RunChartCommand), 0) << c.format << ": " << err_;
    EXPECT_TRUE(err_.empty()) << c.format << ": " << err_;
    for (const std::string& part : c.parts)
      EXPECT_TRUE(OutHas(part)) << part << " in " << out_;
  }
  EXPECT_EQ(Run({"--present-tension", "0", "--json"}, RunChartCommand), 1);
  EXPECT_TRUE(OutHas("\"rows\":[],\"conditions\":[],\"error\":\"")) << out_;
  EXPECT_NE(err_.find("sarn chart: no chart: "), std::string::npos) << err_;
}

TEST_F(EvaluateCommand, BadArgumentsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--classes", "B"},
      {"--classes", "a+b"},
      {"--wire", "x"},
      {"--wire", "40000"},
      {"--wire", "1.5x"},
      {"--ticks", "1,2,0"},
      {"--ticks", "1,1"},
      {"--estimates", "1,2"},
      {"--estimates", "1,2,abc"},
      {"--estimates", "1e39,0,0"},
      {"--design-temps", "40000,0"},
      {"--design-temps", "15"},
      {"--span", "1e39"},
      {"--air-temp", "-1e39"},
      {"--span"},
      {"--data", ""},
      {"--frobnicate"},
      {"extra"},
      {"--json=yes", "--wire"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), 2) << args[0];
    EXPECT_FALSE(err_.empty()) << args[0];
    EXPECT_EQ(out_, "") << args[0];
  }
}

TEST_F(EvaluateCommand, UnreadableDataFileExitsTwo) {
  EXPECT_EQ(Run({"--data", folder_.PathOf("missing.dat")}), 2);
  EXPECT_NE(err_.find("missing.dat"), std::string::npos) << err_;
  const std::string short_file = Write("short.dat", {2, 0, 15, 0});
  EXPECT_EQ(Run({"--data", short_file}), 2);
  EXPECT_NE(err_.find("short.dat"), std::string::npos) << err_;
  EXPECT_EQ(out_, "");
}

}  // namespace
}  // namespace sarn
