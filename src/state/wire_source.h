#pragma once

// The readable text source of a conductor table (see data/conductors.txt and
// the format at the top of wire_source.cpp).

#include <string_view>

#include "state/wire_table.h"

namespace sarn {

// Returns the data, or a failure "line N: reason" with N counted from 1.
WireDataResult ParseWireSource(std::string_view text);

}  // namespace sarn
