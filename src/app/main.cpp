// sarn: with a subcommand it works headless; otherwise it opens the window.
// Qt is not linked: the window, the decoder for photos other than JPEG and
// the report writers are in the Qt module beside the program, loaded when
// first needed (qt_module.h).

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // linux/mman.h, Linux 5.14
#endif

#include "app/cli.h"
#include "app/qt_module_loader.h"
#include "state/program_folder.h"

namespace {

// A first argument that is no subcommand and no file that exists, and looks
// like a word rather than a path ("mesure"): a mistyped subcommand, not a
// photo to open.
bool LooksLikeMistypedCommand(std::string_view argument) {
  if (argument.empty() || argument[0] == '-')
    return !argument.empty();
  struct stat status {};
  if (::stat(std::string(argument).c_str(), &status) == 0)
    return false;
  return argument.find_first_of("/.\\") == std::string_view::npos;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0')
      return true;
  }
  return false;
}

// A command runs for a fraction of a second, and every fresh page of memory
// costs a page fault when it is first touched (10-20 us on a virtual
// machine; a command touches a few hundred heap pages). So the heap it will
// use is mapped in one call at the start (MADV_POPULATE_WRITE, Linux 5.14;
// a no-op before), and what the command frees is kept for its next
// allocations instead of being given back to the kernel (glibc trims the heap
// top above 128 kB free and maps blocks from 128 kB on afresh). The window,
// which runs for hours, keeps glibc's defaults.
void PrepareHeapForTheCommand() {
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  constexpr size_t kHeap = size_t{2} << 20;
  if (void* block = std::malloc(kHeap)) {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) {
      const auto first = (reinterpret_cast<uintptr_t>(block) + page - 1) / page * page;
      const auto end = (reinterpret_cast<uintptr_t>(block) + kHeap) / page * page;
      if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
    }
    std::free(block);
  }
#endif
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && sarn::IsCliCommand(args[0])) {
    PrepareHeapForTheCommand();
    sarn::CliContext context;
    context.program_folder = sarn::ProgramFolder();
    context.hi_dat_folder = sarn::HiDatFolder(context.program_folder);
    sarn::UseQtModule(context, context.program_folder);
    return sarn::RunCli(args, std::cout, std::cerr, context);
  }
  if (args.size() > 1 || (!args.empty() && LooksLikeMistypedCommand(args[0]))) {
    if (!args.empty() && args[0][0] != '-')
      std::cerr << "sarn: unknown command '" << args[0] << "'\n";
    else if (!args.empty())
      std::cerr << "sarn: unknown option '" << args[0] << "'\n";
    sarn::PrintUsage(std::cerr);
    return sarn::kExitBadInput;
  }
  if (!HasDisplay()) {
    std::cerr << "sarn: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
                 "set).\nThe headless commands work without one, for example:\n"
                 "  sarn measure PHOTO --line X1,Y1,X2,Y2\n";
    sarn::PrintUsage(std::cerr);
    return sarn::kExitBadInput;
  }
  return sarn::QtModule(sarn::ProgramFolder()).run_window(argc, argv);
}
