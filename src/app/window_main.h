#pragma once

namespace sarn {

// Opens the window (on the photo named in argv[1], if any) and runs the event
// loop; returns the program's exit status.
int RunWindow(int argc, char** argv);

}  // namespace sarn
