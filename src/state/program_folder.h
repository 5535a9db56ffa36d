#pragma once

#include <string>

namespace sarn {

// The folder the running program lies in (where SetDT.dat is read and hi.dat
// written), without a trailing slash.
std::string ProgramFolder();

}  // namespace sarn
