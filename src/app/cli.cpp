#include "app/cli.h"

#include <ostream>

#include "app/cli_commands.h"

namespace sarn {

bool IsCliCommand(std::string_view first_argument) {
  return first_argument == "data" || first_argument == "evaluate" || first_argument == "measure" ||
         first_argument == "chart" || first_argument == "help" || first_argument == "--help" ||
         first_argument == "-h";
}

void PrintUsage(std::ostream& out) {
  out << "usage: sarn [PHOTO]                 open the window (optionally on a photo)\n"
         "       sarn data list [FILE]        print a conductor data file\n"
         "       sarn data build SOURCE -o FILE\n"
         "                                    write a conductor data file from a text table\n"
         "       sarn evaluate [options]      evaluate the allowable-tension ratio\n"
         "       sarn measure PHOTO --line X1,Y1,X2,Y2 [options]\n"
         "                                    measure sag and tension on a photo\n"
         "       sarn measure --from FILE.sarn.json [options]\n"
         "                                    measure a saved measurement again\n"
         "       sarn measure --batch LINES.csv|FOLDER [options]\n"
         "                                    measure every photo,x1,y1,x2,y2 row of a CSV, or\n"
         "                                    every saved measurement of a folder\n"
         "       sarn chart --present-tension KGF [options]\n"
         "                                    sag and tension of the span over temperature\n"
         "Run a subcommand with --help for its options.\n"
         "hi.dat (the brightness profiles of the last scan) is written beside sarn when that\n"
         "folder is writable, else to $XDG_STATE_HOME/sarn/ (default ~/.local/state/sarn/).\n"
      << kExitStatusHelp;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context) {
  if (args.empty()) {
    PrintUsage(err);
    return kExitBadInput;
  }
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    PrintUsage(out);
    return kExitSuccess;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "data")
    return RunDataCommand(rest, out, err, context);
  if (args[0] == "evaluate")
    return RunEvaluateCommand(rest, out, err, context);
  if (args[0] == "measure")
    return RunMeasureCommand(rest, out, err, context);
  if (args[0] == "chart")
    return RunChartCommand(rest, out, err, context);
  err << "sarn: unknown command '" << args[0] << "'\n";
  PrintUsage(err);
  return kExitBadInput;
}

}  // namespace sarn
