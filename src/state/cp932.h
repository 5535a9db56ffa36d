#pragma once

// Conductor names in code page 932 (the double-byte Japanese code page of
// SetDT.dat's name field), converted to and from UTF-8.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "state/wire_table.h"

namespace sarn {

// 20 name bytes in code page 932 -> UTF-8, padded with spaces to 20
// characters. A double-byte character cut at byte 20, any byte that does not
// decode, and control characters become padding; a NUL byte ends the name
// (the rest of the field is padding, as a C program would have written it).
std::string DecodeWireName(const std::array<uint8_t, kWireNameBytes>& raw);

// UTF-8 -> 20 bytes of code page 932 padded with spaces; fails when the name
// does not encode or is longer than 20 bytes.
Result<std::array<uint8_t, kWireNameBytes>> EncodeWireName(std::string_view utf8);

}  // namespace sarn
