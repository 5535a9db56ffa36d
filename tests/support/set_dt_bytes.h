#pragma once

// SetDT.dat images written byte by byte (little-endian), independently of the
// program's own writer, for the tests that start from a conductor table.

#include <cstdint>
#include <string>
#include <vector>

namespace sarn::test {

// One conductor record as written into SetDT.dat.
struct ConductorBytes {
  std::string name;  // ASCII, padded with spaces to 20 bytes
  float weight, break_load, safety_factor, elasticity, expansion, diameter, wind_factor, area;
};

// The worked-example conductor: Weight 0.7, BreakLoad 60, SafetyFactor 2.5,
// Elasticity 90, Expansion 19, Diameter 18, WindFactor 1, Area 180. With span
// 40 m, air 20 degC and design temperatures 15 / -5 its class-A allowable
// tension is 2234 kgf and its class-B one 1620 kgf.
ConductorBytes WorkedConductor(const std::string& name);

// The little-endian file image: WireLast, DesignTemp(0..1), the records.
std::vector<uint8_t> SetDtBytes(int16_t design_a, int16_t design_low,
                                const std::vector<ConductorBytes>& records);

// The test table: "WORKED-A" (the worked example), "NO-AREA" (Area 0, so every
// evaluation fails), "HEAVY" (the worked example with Weight 1.4); design
// temperatures 15 and -5.
std::vector<uint8_t> StandardTable();

}  // namespace sarn::test
