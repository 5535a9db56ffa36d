// Where hi.dat goes: beside the program while its folder can be written,
// otherwise into the user's XDG state folder, created on the way.

#include "state/program_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_folder.h"

namespace sarn {
namespace {

// Sets (or unsets, for nullopt) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct FolderCase {
  const char* name;
  bool program_folder_usable;                 // false: a folder that does not exist
  std::optional<std::string> xdg_state_home;  // relative to the temporary folder if not absolute
  bool xdg_absolute;
  const char* expected;  // relative to the temporary folder
};

TEST(HiDatFolder, ProgramFolderElseTheUsersStateFolder) {
  const FolderCase cases[] = {
      {"writable program folder", true, "state", true, "program"},
      {"XDG_STATE_HOME", false, "state", true, "state/sarn"},
      {"XDG_STATE_HOME unset", false, std::nullopt, false, "home/.local/state/sarn"},
      {"XDG_STATE_HOME empty", false, "", false, "home/.local/state/sarn"},
      {"XDG_STATE_HOME relative", false, "state", false, "home/.local/state/sarn"},
  };
  for (const FolderCase& c : cases) {
    test::TempFolder temp;
    std::filesystem::create_directory(temp.PathOf("program"));
    std::optional<std::string> xdg = c.xdg_state_home;
    if (xdg && c.xdg_absolute)
      xdg = temp.PathOf(*xdg);
    const ScopedEnv state_home("XDG_STATE_HOME", xdg);
    const ScopedEnv home("HOME", temp.PathOf("home"));
    const std::string program =
        c.program_folder_usable ? temp.PathOf("program") : temp.PathOf("no/such/folder");

    const std::string folder = HiDatFolder(program);
    EXPECT_EQ(folder, temp.PathOf(c.expected)) << c.name;
    EXPECT_TRUE(std::filesystem::is_directory(folder)) << c.name << ": created as needed";
  }
}

}  // namespace
}  // namespace sarn
