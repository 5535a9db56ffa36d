#pragma once

// Runs `sarn measure` in-process against a program folder of the test's own:
// SetDT.dat built there from the bundled conductor table, hi.dat written there.

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli.h"
#include "state/wire_source.h"
#include "state/wire_table.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"

namespace sarn::test {

struct CliRun {
  int status = -1;
  std::string out, err;
};

class MeasureFixture {
 public:
  MeasureFixture() {
    std::ifstream source(std::string(SARN_SOURCE_DIR) + "/data/conductors.txt");
    const std::string text((std::istreambuf_iterator<char>(source)),
                           std::istreambuf_iterator<char>());
    WireDataResult parsed = ParseWireSource(text);
    EXPECT_TRUE(parsed.ok()) << parsed.failure().English();
    if (parsed.ok())
      folder_.Write("SetDT.dat", SerializeWireData(*parsed));
  }

  const TempFolder& folder() const { return folder_; }

  CliRun Run(std::vector<std::string> args) const {
    CliRun run;
    std::ostringstream out, err;
    CliContext context;
    context.program_folder = folder_.path();
    run.status = RunCli(args, out, err, context);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

 private:
  TempFolder folder_;
};

// The --line text a user's drag gives: from pole to pole, `inset` px inside
// each attachment and 20 px above the conductor's top edge there (whole
// rows), optionally drawn right to left.
std::string LineArgument(const SpanScene& scene, bool right_to_left = false, double inset = 14);

// The first number after `"key":` (or `"key":[`) in a JSON text; NaN when absent or null.
double JsonNumber(const std::string& json, const std::string& key, int index = 0);

}  // namespace sarn::test
