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

  int Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunEvaluateCommand(args, out, err, CliContext(folder_.path()));
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

TEST_F(EvaluateCommand, DefaultsReadSetDtBesideTheProgram) {
  ASSERT_EQ(Run({}), 0) << err_;
  EXPECT_TRUE(OutHas("EXAMPLE 180\n")) << out_;
  EXPECT_TRUE(OutHas("0.0 kgf")) << out_;  // no estimate ticked
  EXPECT_TRUE(OutHas("甲=2234kGf  乙=1620kGf")) << out_;
  EXPECT_TRUE(OutHas(" 0 % on yellow")) << out_;
  EXPECT_TRUE(OutHas("0.09 m")) << out_;  // 40^2 * 0.7 / 8 / 1620.5 = 0.086
  EXPECT_EQ(err_, "");
}

TEST_F(EvaluateCommand, WorkedExamplePlain) {
  ASSERT_EQ(Run(kWorkedExampleArgs), 0) << err_;
  EXPECT_TRUE(OutHas("1500.0 kgf")) << out_;
  EXPECT_TRUE(OutHas("甲=2234kGf  乙=1620kGf")) << out_;
  EXPECT_TRUE(OutHas(" 93 % on yellow")) << out_;
  EXPECT_TRUE(OutHas(" 0.09 m")) << out_;
}

TEST_F(EvaluateCommand, WorkedExampleJson) {
  std::vector<std::string> args = kWorkedExampleArgs;
  args.push_back("--json");
  ASSERT_EQ(Run(args), 0) << err_;
  // One object on one line.
  ASSERT_FALSE(out_.empty());
  EXPECT_EQ(out_.front(), '{');
  EXPECT_EQ(out_.find('\n'), out_.size() - 1);
  for (const char* part :
       {"\"wire\":\"EXAMPLE 180\"", "\"present_tension\":1500,", "\"allowable_a\":2234.",
        "\"allowable_bc\":1620.", "\"bc_class\":\"B\"", "\"governing\":1620.", "\"ratio\":93,",
        "\"specified_sag\":0.086", "\"shown\":{\"present_tension\":\"1500.0\"",
        "\"allowable_a\":\"甲=2234kGf\"", "\"allowable_bc\":\"乙=1620kGf\"", "\"ratio\":\"93\"",
        "\"specified_sag\":\"0.09\"", "\"ratio_colour\":\"yellow\"}", "\"error\":null}"}) {
    EXPECT_TRUE(OutHas(part)) << part << " in " << out_;
  }
}

TEST_F(EvaluateCommand, ClassCOnlyHasNoClassA) {
  std::vector<std::string> args = kWorkedExampleArgs;
  args[7] = "C";
  args.push_back("--json");
  ASSERT_EQ(Run(args), 0) << err_;
  EXPECT_TRUE(OutHas("\"allowable_a\":null")) << out_;
  EXPECT_TRUE(OutHas("\"allowable_a\":\"\"")) << out_;
  EXPECT_TRUE(OutHas("\"allowable_bc\":\"丙=")) << out_;
  EXPECT_TRUE(OutHas("\"bc_class\":\"C\"")) << out_;
  EXPECT_TRUE(OutHas("\"ratio\":90,")) << out_;  // 1500 / 1659.5
}

TEST_F(EvaluateCommand, RatioAbove100IsRed) {
  ASSERT_EQ(Run({"--estimates", "2000,0,0", "--ticks", "1,0,0"}), 0) << err_;
  EXPECT_TRUE(OutHas(" 123 % on red")) << out_;  // 2000 / 1620.5 = 123.4 %
}

TEST_F(EvaluateCommand, TextsAreReadAsTheWindowReadsThem) {
  ASSERT_EQ(
      Run({"--span", "40m", "--air-temp", "2 0", "--estimates", "1500,0,0", "--ticks", "1,0,0"}), 0)
      << err_;
  EXPECT_TRUE(OutHas(" 93 % on yellow")) << out_;
  // Design temperatures round half to even: 14.5 -> 14, so class A changes.
  ASSERT_EQ(Run({"--design-temps", "14.5,-5"}), 0) << err_;
  EXPECT_FALSE(OutHas("甲=2234kGf")) << out_;
  ASSERT_EQ(Run({"--design-temps", "15.5,-5"}), 0) << err_;
  EXPECT_FALSE(OutHas("甲=2234kGf")) << out_;
  ASSERT_EQ(Run({"--design-temps", "15,-5.4"}), 0) << err_;
  EXPECT_TRUE(OutHas("甲=2234kGf  乙=1620kGf")) << out_;
}

TEST_F(EvaluateCommand, DesignTempsOverrideTheFile) {
  const std::string other =
      Write("other.dat", test::SetDtBytes(0, 0, {test::WorkedConductor("EXAMPLE 180")}));
  ASSERT_EQ(Run({"--data", other}), 0) << err_;
  EXPECT_FALSE(OutHas("甲=2234kGf  乙=1620kGf")) << out_;
  ASSERT_EQ(Run({"--data", other, "--design-temps", "15,-5"}), 0) << err_;
  EXPECT_TRUE(OutHas("甲=2234kGf  乙=1620kGf")) << out_;
}

TEST_F(EvaluateCommand, FailedEvaluationExitsOneAndClearsTheRest) {
  ASSERT_EQ(Run({"--wire", "1", "--estimates", "1500,0,0", "--ticks", "1,0,0", "--json"}), 1);
  EXPECT_NE(err_.find("Area is not a finite positive number"), std::string::npos) << err_;
  for (const char* part :
       {"\"wire\":\"BROKEN\"", "\"present_tension\":1500,", "\"allowable_a\":null",
        "\"allowable_bc\":null", "\"governing\":null", "\"ratio\":null", "\"specified_sag\":null",
        "\"shown\":{\"present_tension\":\"1500.0\",\"allowable_a\":null,\"allowable_bc\":null,"
        "\"ratio\":null,\"specified_sag\":null,\"ratio_colour\":\"yellow\"}",
        "\"error\":\"conductor BROKEN: Area is not a finite positive number (0)\"}"}) {
    EXPECT_TRUE(OutHas(part)) << part << " in " << out_;
  }
}

TEST_F(EvaluateCommand, WireOutsideTheTableFails) {
  for (const char* wire : {"-1", "2", "32767"}) {
    ASSERT_EQ(Run({"--wire", wire, "--json"}), 1) << wire;
    EXPECT_TRUE(OutHas("\"wire\":null")) << out_;
    EXPECT_TRUE(OutHas("\"present_tension\":0,")) << out_;
    EXPECT_TRUE(OutHas("outside the conductor table")) << out_;
    EXPECT_TRUE(OutHas("\"ratio\":null")) << out_;
  }
  ASSERT_EQ(Run({"--wire", "2"}), 1);
  EXPECT_TRUE(OutHas("error: ")) << out_;
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

TEST_F(EvaluateCommand, EqualsFormAndHelp) {
  ASSERT_EQ(Run({"--estimates=1500,1500,1500", "--ticks=1,1,1", "--classes=A+B"}), 0) << err_;
  EXPECT_TRUE(OutHas(" 93 % on yellow")) << out_;
  ASSERT_EQ(Run({"--help"}), 0);
  EXPECT_TRUE(OutHas("Usage: sarn evaluate")) << out_;
}

}  // namespace
}  // namespace sarn
