// Reading and writing the conductor data file SetDT.dat (layout in
// wire_table.h). The reader checks what the bare layout cannot promise: that
// the file exists, can be read, holds a header and a non-negative count, and
// is long enough for every record it announces. It never hands out a partly
// read table.

#include "state/wire_table.h"

#include "state/cp932.h"
#include "state/file_access.h"
#include "state/numeric.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace sarn {

namespace {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "the file stores IEEE-754 32-bit floats");

// The largest file the reader needs: WireLast = 32767, kMostWireRecords
// records. Anything after that is never read, so a huge file costs no more.
constexpr size_t kLargestWireFileBytes =
    kWireHeaderBytes + static_cast<size_t>(kWireRecordBytes) * kMostWireRecords;
static_assert(kMostWireRecords - 1 == std::numeric_limits<int16_t>::max());

int16_t ReadInt16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

float ReadFloat(const uint8_t* p) {
  const uint32_t bits = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                        (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return std::bit_cast<float>(bits);
}

void WriteInt16(std::vector<uint8_t>& out, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  out.push_back(static_cast<uint8_t>(bits & 0xFF));
  out.push_back(static_cast<uint8_t>(bits >> 8));
}

void WriteFloat(std::vector<uint8_t>& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<uint8_t>((bits >> shift) & 0xFF));
}

}  // namespace

WireDataResult ParseWireData(const std::vector<uint8_t>& bytes, const std::string& file_name) {
  using enum MessageId;
  if (bytes.empty())
    return Failure(kWireFileEmpty, {file_name});
  if (bytes.size() == 1)
    return Failure(kWireFileOneByte, {file_name});
  if (bytes.size() < static_cast<size_t>(kWireHeaderBytes))
    return Failure(kWireFileShort, {file_name, std::to_string(bytes.size())});
  WireData data;
  data.WireLast = ReadInt16(&bytes[0]);
  data.DesignTemp[0] = ReadInt16(&bytes[2]);
  data.DesignTemp[1] = ReadInt16(&bytes[4]);
  if (data.WireLast < 0)
    return Failure(kWireCountNegative, {file_name, std::to_string(data.WireLast)});
  const size_t count = static_cast<size_t>(data.WireLast) + 1;
  const size_t needed = kWireHeaderBytes + count * kWireRecordBytes;
  if (bytes.size() < needed) {
    const size_t whole = (bytes.size() - kWireHeaderBytes) / kWireRecordBytes;
    return Failure(kWireFileTruncated,
                   {file_name, std::to_string(whole), std::to_string(bytes.size()),
                    std::to_string(count), std::to_string(needed)});
  }
  data.WireTable.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &bytes[kWireHeaderBytes + i * kWireRecordBytes];
    WireRecord record;
    std::memcpy(record.RawName.data(), p, kWireNameBytes);
    record.Name = DecodeWireName(record.RawName);
    const uint8_t* value = p + kWireNameBytes;
    for (const WireField& field : kWireFields) {
      record.*field.member = ReadFloat(value);
      value += sizeof(float);
    }
    data.WireTable.push_back(std::move(record));
  }
  return data;
}

WireDataResult ReadWireData(const std::string& path) {
  Result<std::vector<uint8_t>> read = ReadFileStart(path, kLargestWireFileBytes);
  if (!read)
    return Failure(MessageId::kWireFileUnreadable, {read.failure()});
  return ParseWireData(*read, path);
}

std::vector<uint8_t> SerializeWireData(const WireData& data) {
  // The count comes from the table itself, so the file always holds what it
  // announces; at most kMostWireRecords fit a 16-bit highest index.
  const size_t count = std::min<size_t>(data.WireTable.size(), kMostWireRecords);
  std::vector<uint8_t> out;
  out.reserve(kWireHeaderBytes + count * kWireRecordBytes);
  WriteInt16(out, static_cast<int16_t>(static_cast<int>(count) - 1));
  WriteInt16(out, data.DesignTemp[0]);
  WriteInt16(out, data.DesignTemp[1]);
  for (size_t i = 0; i < count; ++i) {
    const WireRecord& record = data.WireTable[i];
    out.insert(out.end(), record.RawName.begin(), record.RawName.end());
    for (const WireField& field : kWireFields)
      WriteFloat(out, record.*field.member);
  }
  return out;
}

std::optional<Failure> WireRecordProblem(const WireRecord& record) {
  for (const WireField& field : kWireFields) {
    const float value = record.*field.member;
    const bool usable = std::isfinite(value) && (field.may_be_zero ? value >= 0.0f : value > 0.0f);
    if (usable)
      continue;
    return Failure(
        field.may_be_zero ? MessageId::kWireFieldNegative : MessageId::kWireFieldNotPositive,
        {field.name, ShortestText(value)});
  }
  return std::nullopt;
}

std::string TrimmedWireName(std::string_view name) {
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == ' ' || name[end - 1] == '\0'))
    --end;
  return std::string(name.substr(0, end));
}

}  // namespace sarn
