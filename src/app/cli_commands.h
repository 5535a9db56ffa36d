#pragma once

// The subcommands of `sarn`; `args` start after the subcommand's name and the
// result is the exit status (see cli.h).

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli.h"

namespace sarn {

// The exit-status rule as every help text prints it.
inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 success; 1 the evaluation failed (results printed as far as they go);\n"
    "2 bad arguments, or an input that cannot be read.\n";

int RunDataCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const CliContext& context);
int RunEvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const CliContext& context);
int RunChartCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const CliContext& context);
int RunMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliContext& context);

}  // namespace sarn
