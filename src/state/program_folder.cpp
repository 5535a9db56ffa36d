#include "state/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sarn {

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

namespace {

// The base of the user's state folders, following the XDG base directory
// rules: a relative XDG_STATE_HOME is ignored.
std::filesystem::path StateHome() {
  const char* state_home = std::getenv("XDG_STATE_HOME");
  if (state_home && state_home[0] == '/')
    return state_home;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && home[0] ? home : "/") / ".local" / "state";
}

}  // namespace

std::string HiDatFolder(const std::string& program_folder) {
  std::error_code ec;
  if (std::filesystem::is_directory(program_folder, ec) &&
      access(program_folder.c_str(), W_OK | X_OK) == 0)
    return program_folder;
  const std::filesystem::path folder = StateHome() / "sarn";
  std::filesystem::create_directories(folder, ec);
  return folder.string();
}

}  // namespace sarn
