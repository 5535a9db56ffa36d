#pragma once

// The headless side of `sarn`: `sarn data ...`, `sarn evaluate ...` and
// `sarn measure ...` drive the same measurement session as the window.
//
// Exit status, the same rule in every command:
//   0  success
//   1  the evaluation failed (the results are printed as far as they go)
//   2  bad arguments, or an input that cannot be read (or a file that cannot
//      be written)

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/report_writer.h"
#include "photo/photo_file.h"

namespace sarn {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitEvaluationFailed = 1;
inline constexpr int kExitBadInput = 2;

struct CliContext {
  CliContext() = default;
  explicit CliContext(std::string folder) : program_folder(std::move(folder)) {}
  std::string program_folder;  // where SetDT.dat is read by default
  std::string hi_dat_folder;   // where hi.dat is written ("": the program folder)
  // Decoder for photo formats other than JPEG (the program installs Qt's).
  FallbackDecoder fallback_decoder;
  // Writers that paint with Qt (the program installs them; without them
  // --report and --annotated are refused).
  std::function<Result<void>(const ReportContent&, const ReportImages&, const std::string&)>
      write_report;
  std::function<Result<void>(const Raster&, const ReportOverlay&, const std::string&)>
      write_annotated;
};

// The words that name a subcommand (or ask for help) as the first argument.
bool IsCliCommand(std::string_view first_argument);

// The usage of the whole program: the window and every subcommand.
void PrintUsage(std::ostream& out);

// args: the arguments after the program name, the subcommand first.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context);

}  // namespace sarn
