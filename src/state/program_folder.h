#pragma once

#include <string>

namespace sarn {

// The folder the running program lies in (where SetDT.dat is read), without
// a trailing slash.
std::string ProgramFolder();

// The folder hi.dat is written to: the program folder while this user can
// write to it (a by-hand build), otherwise the user's state folder
// $XDG_STATE_HOME/sarn, or ~/.local/state/sarn when XDG_STATE_HOME is unset,
// empty or not an absolute path (an installed program). The state folder is
// created as needed; if it cannot be created its path is still returned and
// the write of hi.dat reports the failure.
std::string HiDatFolder(const std::string& program_folder);

}  // namespace sarn
