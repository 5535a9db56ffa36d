#include "app/window_main.h"

#include <iostream>

namespace sarn {

int RunWindow(int, char**) {
  std::cerr << "sarn: the window is not available in this build\n";
  return 1;
}

}  // namespace sarn
