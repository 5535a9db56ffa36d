#pragma once

// A conductor table as text for a terminal: the file's name, its count and
// design temperatures, then one aligned row a conductor with every field in
// the shortest text that reads back as the same 32-bit value.

#include <iosfwd>
#include <string>

#include "state/wire_table.h"

namespace sarn {

void PrintWireTable(const WireData& data, const std::string& path, std::ostream& out);

}  // namespace sarn
