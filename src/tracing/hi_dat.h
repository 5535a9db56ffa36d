#pragma once

// hi.dat: the brightness profiles of the last scan, 7272 bytes:
//   0     1818 int16 LE  Bright, element (j, i) at position i * 202 + j
//   3636  1818 int16 LE  Drop, same order

#include <cstdint>
#include <string>
#include <vector>

#include "state/failure.h"
#include "tracing/scan.h"

namespace sarn {

inline constexpr int kHiDatBytes = 2 * 2 * kStations * kSamples;  // 7272

std::vector<uint8_t> HiDatBytes(const ScanResult& result);

// Replaces the file whole: written to a temporary file beside it and renamed,
// so that no reader sees a torn or stale-tailed file. Fails when the folder
// is not writable.
Result<void> WriteHiDat(const std::string& path, const ScanResult& result);

}  // namespace sarn
