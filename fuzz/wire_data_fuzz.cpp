// Fuzz entry for the two readers of outside conductor data: the binary file
// SetDT.dat (ParseWireData) and its text source (ParseWireSource). Besides
// "no crash, no sanitizer report" it checks what the rest of the program
// relies on, and aborts when that does not hold:
//   - a result is either a table or an error message, never both or neither;
//   - a table holds exactly WireLast + 1 records, each name 20 characters;
//   - writing a table back gives the bytes it was read from;
//   - a table built from a text source reads back from its file unchanged.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "state/cp932.h"
#include "state/wire_source.h"
#include "state/wire_table.h"

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

size_t CountCodePoints(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8)
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80)
      ++count;
  return count;
}

void CheckTable(const sarn::WireData& data) {
  Require(data.WireLast >= 0);
  Require(data.WireTable.size() == static_cast<size_t>(data.WireLast) + 1);
  for (const sarn::WireRecord& record : data.WireTable) {
    Require(CountCodePoints(record.Name) == sarn::kWireNameBytes);
    Require(record.Name == sarn::DecodeWireName(record.RawName));
  }
}

bool SameBits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckSameTable(const sarn::WireData& a, const sarn::WireData& b) {
  Require(a.WireLast == b.WireLast && a.DesignTemp == b.DesignTemp);
  Require(a.WireTable.size() == b.WireTable.size());
  for (size_t i = 0; i < a.WireTable.size(); ++i) {
    const sarn::WireRecord& x = a.WireTable[i];
    const sarn::WireRecord& y = b.WireTable[i];
    Require(x.Name == y.Name && x.RawName == y.RawName);
    Require(SameBits(x.Weight, y.Weight) && SameBits(x.BreakLoad, y.BreakLoad) &&
            SameBits(x.SafetyFactor, y.SafetyFactor) && SameBits(x.Elasticity, y.Elasticity) &&
            SameBits(x.Expansion, y.Expansion) && SameBits(x.Diameter, y.Diameter) &&
            SameBits(x.WindFactor, y.WindFactor) && SameBits(x.Area, y.Area));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);

  const sarn::WireDataResult file = sarn::ParseWireData(bytes, "fuzz.dat");
  Require(file.ok() != !file.ok());
  if (file.ok()) {
    CheckTable(*file);
    const std::vector<uint8_t> written = sarn::SerializeWireData(*file);
    Require(written.size() <= bytes.size());
    Require(std::equal(written.begin(), written.end(), bytes.begin()));
  } else {
    Require(file.failure().English().rfind("fuzz.dat: ", 0) == 0);
  }

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sarn::WireDataResult source = sarn::ParseWireSource(text);
  Require(source.ok() != !source.ok());
  if (source.ok()) {
    CheckTable(*source);
    for (const sarn::WireRecord& record : source->WireTable)
      Require(!sarn::WireRecordProblem(record));
    const sarn::WireDataResult again =
        sarn::ParseWireData(sarn::SerializeWireData(*source), "fuzz.dat");
    Require(again.ok());
    CheckSameTable(*source, *again);
  } else {
    Require(source.failure().English().rfind("line ", 0) == 0);
  }
  return 0;
}
