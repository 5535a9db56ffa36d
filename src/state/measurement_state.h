#pragma once

// The shared state of one measurement: the values typed into the window and
// the conductor table, read by every computation. Exactly one instance exists
// in the program, owned by the window (or by a headless run) and passed
// explicitly to the computations that read it.

#include <array>
#include <cstdint>
#include <vector>

#include "state/wire_table.h"

namespace sarn {

struct MeasurementState {
  float SpanLength = 0;                 // m, from Text2
  float AirTemp = 0;                    // deg C at the photograph, from Text3
  int16_t WireIndex = 0;                // selected conductor; -1 when none
  int16_t ApproxDistance = 0;           // m, camera to line (Text4(0))
  int16_t ApproxHeight = 0;             // m, conductor above camera (Text4(1))
  std::array<int16_t, 2> DesignTemp{};  // deg C: (0) class A, (1) low-temperature season
  int16_t WireLast = 0;
  std::vector<WireRecord> WireTable;

  // The selected record, or nullptr when WireIndex lies outside the table.
  const WireRecord* SelectedWire() const {
    if (WireIndex < 0 || static_cast<size_t>(WireIndex) >= WireTable.size())
      return nullptr;
    return &WireTable[static_cast<size_t>(WireIndex)];
  }
};

}  // namespace sarn
