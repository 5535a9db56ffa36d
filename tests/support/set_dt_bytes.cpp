#include "support/set_dt_bytes.h"

#include <cstring>

namespace sarn::test {

namespace {

void PutInt16(std::vector<uint8_t>& out, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  out.push_back(static_cast<uint8_t>(bits & 0xFF));
  out.push_back(static_cast<uint8_t>(bits >> 8));
}

void PutFloat(std::vector<uint8_t>& out, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<uint8_t>((bits >> shift) & 0xFF));
}

}  // namespace

ConductorBytes WorkedConductor(const std::string& name) {
  return {name, 0.7f, 60.0f, 2.5f, 90.0f, 19.0f, 18.0f, 1.0f, 180.0f};
}

std::vector<uint8_t> SetDtBytes(int16_t design_a, int16_t design_low,
                                const std::vector<ConductorBytes>& records) {
  std::vector<uint8_t> out;
  PutInt16(out, static_cast<int16_t>(records.size() - 1));
  PutInt16(out, design_a);
  PutInt16(out, design_low);
  for (const ConductorBytes& r : records) {
    std::string name = r.name;
    name.resize(20, ' ');
    out.insert(out.end(), name.begin(), name.end());
    for (float v : {r.weight, r.break_load, r.safety_factor, r.elasticity, r.expansion, r.diameter,
                    r.wind_factor, r.area})
      PutFloat(out, v);
  }
  return out;
}

std::vector<uint8_t> StandardTable() {
  ConductorBytes no_area = WorkedConductor("NO-AREA");
  no_area.area = 0;
  ConductorBytes heavy = WorkedConductor("HEAVY");
  heavy.weight = 1.4f;
  return SetDtBytes(15, -5, {WorkedConductor("WORKED-A"), no_area, heavy});
}

}  // namespace sarn::test
