#pragma once

// The conductor table and the two design temperatures, as stored in the
// binary file SetDT.dat (little-endian, no header):
//   offset 0  int16  WireLast       highest record index
//   offset 2  int16  DesignTemp(0)  class-A temperature, deg C
//   offset 4  int16  DesignTemp(1)  low-temperature-season temperature, deg C
//   offset 6  WireLast + 1 records of 52 bytes each:
//     0  20 bytes  Name (code page 932, padded with spaces)
//     20 float32   Weight        kg/m
//     24 float32   BreakLoad     kN
//     28 float32   SafetyFactor  -
//     32 float32   Elasticity    kN/mm2
//     36 float32   Expansion     1e-6 per deg C
//     40 float32   Diameter      mm
//     44 float32   WindFactor    -
//     48 float32   Area          mm2
// Bytes after the last record are ignored.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/failure.h"

namespace sarn {

inline constexpr int kWireNameBytes = 20;
inline constexpr int kWireRecordBytes = 52;
inline constexpr int kWireHeaderBytes = 6;
// The most records a table holds: WireLast, a 16-bit signed highest index, is
// at most 32767. The reader, the writer and the text source agree on it.
inline constexpr int kMostWireRecords = 32768;

struct WireRecord {
  // The name as listed: decoded to UTF-8 and padded with spaces to 20
  // characters, the padding kept (it shows in the list and the result text).
  std::string Name;
  std::array<uint8_t, kWireNameBytes> RawName{};  // the bytes as stored
  float Weight = 0;                               // kg/m
  float BreakLoad = 0;                            // kN
  float SafetyFactor = 0;                         // -
  float Elasticity = 0;                           // kN/mm2
  float Expansion = 0;                            // 1e-6 per deg C
  float Diameter = 0;                             // mm
  float WindFactor = 0;                           // -
  float Area = 0;                                 // mm2
};

// The eight values of a record in file order (from byte 20, four bytes each),
// with the name messages give them. `may_be_zero`: 0 is a usable value
// (Expansion, WindFactor); the others must be greater than 0.
struct WireField {
  const char* name;
  float WireRecord::*member;
  bool may_be_zero;
};
inline constexpr std::array<WireField, 8> kWireFields = {{
    {"Weight", &WireRecord::Weight, false},
    {"BreakLoad", &WireRecord::BreakLoad, false},
    {"SafetyFactor", &WireRecord::SafetyFactor, false},
    {"Elasticity", &WireRecord::Elasticity, false},
    {"Expansion", &WireRecord::Expansion, true},
    {"Diameter", &WireRecord::Diameter, false},
    {"WindFactor", &WireRecord::WindFactor, true},
    {"Area", &WireRecord::Area, false},
}};

struct WireData {
  int16_t WireLast = 0;
  std::array<int16_t, 2> DesignTemp{};
  std::vector<WireRecord> WireTable;  // WireLast + 1 records
};

// Either the data, or a failure naming the file and what is wrong with it.
using WireDataResult = Result<WireData>;

// What makes a record unusable for the tension evaluation, naming the first
// such field in file order, e.g. "Area is not a finite positive number (inf)";
// nullopt for a usable record. Weight, BreakLoad, SafetyFactor, Elasticity,
// Diameter and Area must be finite and greater than 0 (they divide, or scale
// the loads); Expansion and WindFactor finite and not negative (a negative
// one turns the thermal or the wind load around).
std::optional<Failure> WireRecordProblem(const WireRecord& record);

// Decodes a whole SetDT.dat image. `file_name` is used in messages only.
// Refuses (with a message) an empty or short file and a negative WireLast, so
// that nothing ever works with a partly read table.
WireDataResult ParseWireData(const std::vector<uint8_t>& bytes, const std::string& file_name);

// Reads and decodes the file; a missing or unreadable file is an error too.
// Messages start with `path`. At most the largest possible table is read.
WireDataResult ReadWireData(const std::string& path);

// The file image of `data` (the inverse of ParseWireData; names from RawName).
// WireLast is written from the size of WireTable, so the file always holds the
// records it announces; the table must hold 1..kMostWireRecords records (more
// are cut).
std::vector<uint8_t> SerializeWireData(const WireData& data);

// The name without its trailing padding.
std::string TrimmedWireName(std::string_view name);

}  // namespace sarn
