// sarn: with a subcommand it works headless; otherwise it opens the window.

#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/window_main.h"
#include "state/program_folder.h"
#include "toolkit/raster_image.h"

int main(int argc, char** argv) {
  if (argc > 1 && sarn::IsCliCommand(argv[1])) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sarn::CliContext context;
    context.program_folder = sarn::ProgramFolder();
    context.fallback_decoder = sarn::tk::DecodeImageWithQt;
    return sarn::RunCli(args, std::cout, std::cerr, context);
  }
  return sarn::RunWindow(argc, argv);
}
