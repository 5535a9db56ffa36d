#pragma once

// The headless side of `sarn`: `sarn data ...`, `sarn evaluate ...` and
// `sarn measure ...` run the same core as the window, without a window.

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "photo/photo_loader.h"

namespace sarn {

struct CliContext {
  CliContext() = default;
  explicit CliContext(std::string folder) : program_folder(std::move(folder)) {}

  std::string program_folder;  // where SetDT.dat is read and hi.dat written by default
  // Decoder for photo formats other than JPEG (the program installs Qt's).
  FallbackDecoder fallback_decoder;
};

// True when `first_argument` names a subcommand.
bool IsCliCommand(std::string_view first_argument);

// args: the arguments after the program name, the subcommand first. Returns
// the exit status: 0 on success, 1 when the work itself failed (a data file
// that cannot be read, a failed evaluation reported with --json aside), 2 for
// bad arguments or an unreadable input.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context);

// The subcommands; args start after the subcommand's name.
int RunDataCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const CliContext& context);
int RunEvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const CliContext& context);
int RunMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliContext& context);

}  // namespace sarn
