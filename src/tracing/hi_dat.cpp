#include "tracing/hi_dat.h"

#include "state/file_access.h"

namespace sarn {

namespace {

// Appends the 1818 values of one block, station by station (i * 202 + j),
// each as a little-endian 16-bit integer.
void AppendBlock(const std::array<std::array<int16_t, kSamples>, kStations>& block,
                 std::vector<uint8_t>* bytes) {
  for (const std::array<int16_t, kSamples>& station : block) {
    for (int16_t value : station) {
      const auto bits = static_cast<uint16_t>(value);
      bytes->push_back(static_cast<uint8_t>(bits & 0xFFu));
      bytes->push_back(static_cast<uint8_t>(bits >> 8));
    }
  }
}

}  // namespace

std::vector<uint8_t> HiDatBytes(const ScanResult& result) {
  std::vector<uint8_t> bytes;
  bytes.reserve(kHiDatBytes);
  AppendBlock(result.Bright, &bytes);
  AppendBlock(result.Drop, &bytes);
  return bytes;
}

Result<void> WriteHiDat(const std::string& path, const ScanResult& result) {
  // Replaced in one step, so a reader sees the old dump or the whole new one
  // and an older, longer file leaves no tail. The dump is a diagnostic aid,
  // so it is not synced to disk.
  return ReplaceFileAtomically(path, HiDatBytes(result), false);
}

}  // namespace sarn
