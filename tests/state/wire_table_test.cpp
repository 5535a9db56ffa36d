#include "state/wire_table.h"

#include <gmock/gmock.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace sarn {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// A record as the test writes it, byte by byte, independently of the writer.
struct TestRecord {
  std::string name_bytes;  // up to 20 bytes, the rest filled with `fill`
  char fill = ' ';
  float values[8] = {0.198f, 8.71f, 2.2f, 117.7f, 16.9f, 6.0f, 1.0f, 21.99f};
};

void PutInt16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutFloat(std::vector<uint8_t>& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  out.push_back(static_cast<uint8_t>(bits));
  out.push_back(static_cast<uint8_t>(bits >> 8));
  out.push_back(static_cast<uint8_t>(bits >> 16));
  out.push_back(static_cast<uint8_t>(bits >> 24));
}

std::vector<uint8_t> FileImage(int wire_last, int temp0, int temp1,
                               const std::vector<TestRecord>& records) {
  std::vector<uint8_t> out;
  PutInt16(out, wire_last);
  PutInt16(out, temp0);
  PutInt16(out, temp1);
  for (const TestRecord& record : records) {
    for (size_t i = 0; i < 20; ++i)
      out.push_back(
          static_cast<uint8_t>(i < record.name_bytes.size() ? record.name_bytes[i] : record.fill));
    for (float value : record.values)
      PutFloat(out, value);
  }
  return out;
}

std::string Padded(const std::string& visible, size_t characters) {
  return visible + std::string(20 - characters, ' ');
}

TEST(ParseWireData, OneRecordFileOf58Bytes) {
  const std::vector<uint8_t> bytes = FileImage(0, 15, -5, {TestRecord{"HAL 22", ' '}});
  ASSERT_EQ(bytes.size(), 58u);
  const WireDataResult result = ParseWireData(bytes, "SetDT.dat");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_TRUE(result.ok());
  const WireData& data = *result;
  EXPECT_EQ(data.WireLast, 0);
  ASSERT_EQ(data.WireTable.size(), 1u);
  const WireRecord& record = data.WireTable[0];
  EXPECT_EQ(record.Name, Padded("HAL 22", 6));
  // Each value as written, from byte 20 on in this order.
  EXPECT_THAT((std::array{record.Weight, record.BreakLoad, record.SafetyFactor, record.Elasticity,
                          record.Expansion, record.Diameter, record.WindFactor, record.Area}),
              ::testing::ElementsAre(0.198f, 8.71f, 2.2f, 117.7f, 16.9f, 6.0f, 1.0f, 21.99f));
}

TEST(ParseWireData, ThreeRecordsIn162BytesInFileOrder) {
  TestRecord first{"first"}, second{"second"}, third{"third"};
  first.values[0] = 1.5f;
  second.values[0] = 2.5f;
  third.values[0] = 3.5f;
  const std::vector<uint8_t> bytes = FileImage(2, 15, -5, {first, second, third});
  ASSERT_EQ(bytes.size(), 162u);
  const WireDataResult result = ParseWireData(bytes, "SetDT.dat");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  ASSERT_EQ(result->WireTable.size(), 3u);
  EXPECT_EQ(result->WireLast, 2);
  EXPECT_EQ(TrimmedWireName(result->WireTable[0].Name), "first");
  EXPECT_EQ(TrimmedWireName(result->WireTable[1].Name), "second");
  EXPECT_EQ(TrimmedWireName(result->WireTable[2].Name), "third");
  EXPECT_EQ(result->WireTable[0].Weight, 1.5f);
  EXPECT_EQ(result->WireTable[1].Weight, 2.5f);
  EXPECT_EQ(result->WireTable[2].Weight, 3.5f);
}

TEST(ParseWireData, NegativeDesignTemperatures) {
  const WireDataResult result = ParseWireData(FileImage(0, -10, -5, {TestRecord{"A"}}), "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->DesignTemp[0], -10);
  EXPECT_EQ(result->DesignTemp[1], -5);
}

TEST(ParseWireData, PaddingIsKeptAndRawBytesKept) {
  const WireDataResult result = ParseWireData(FileImage(0, 0, 0, {TestRecord{"ACSR 58"}}), "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  const WireRecord& record = result->WireTable[0];
  EXPECT_EQ(record.Name, "ACSR 58             ");
  EXPECT_EQ(record.Name.size(), 20u);
  EXPECT_EQ(std::string(record.RawName.begin(), record.RawName.end()), "ACSR 58             ");
}

TEST(ParseWireData, NulPaddingReadsAsSpaces) {
  const WireDataResult result =
      ParseWireData(FileImage(0, 0, 0, {TestRecord{"ACSR 58", '\0'}}), "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->WireTable[0].Name, "ACSR 58             ");
  EXPECT_EQ(result->WireTable[0].RawName[7], 0);  // kept as stored, for the writer
}

TEST(ParseWireData, JapaneseNameIsDecodedAndPaddedToTwentyCharacters) {
  // "硬銅" in code page 932 is 8D 64 93 BA; then " 22" in ASCII.
  const WireDataResult result =
      ParseWireData(FileImage(0, 0, 0, {TestRecord{"\x8D\x64\x93\xBA 22"}}), "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  // 7 bytes hold 5 characters; padding makes the name 20 characters long.
  EXPECT_EQ(result->WireTable[0].Name, Padded("硬銅 22", 5));
}

TEST(ParseWireData, BytesAfterTheLastRecordAreIgnored) {
  std::vector<uint8_t> bytes = FileImage(0, 1, 2, {TestRecord{"A"}});
  bytes.insert(bytes.end(), {0xFF, 0xFE, 0x00, 0x41, 0x42});
  const WireDataResult result = ParseWireData(bytes, "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->WireTable.size(), 1u);
}

TEST(ParseWireData, LittleEndianInt16ForTheCount) {
  // WireLast 0x0102 = 258: 259 records.
  const std::vector<TestRecord> records(259, TestRecord{"X"});
  const std::vector<uint8_t> bytes = FileImage(258, 0, 0, records);
  ASSERT_EQ(bytes[0], 0x02);
  ASSERT_EQ(bytes[1], 0x01);
  const WireDataResult result = ParseWireData(bytes, "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->WireTable.size(), 259u);
}

struct BrokenCase {
  const char* label;
  std::vector<uint8_t> bytes;
  const char* expected;  // a part of the message after "SetDT.dat: "
};

class BrokenFileTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFileTest, IsRefusedWithAMessageNamingTheFile) {
  const WireDataResult result = ParseWireData(GetParam().bytes, "SetDT.dat");
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith("SetDT.dat: "));
  EXPECT_THAT(result.failure().English(), HasSubstr(GetParam().expected));
}

std::vector<uint8_t> Header(int wire_last) {
  return FileImage(wire_last, 15, -5, {});
}

std::vector<uint8_t> CutTo(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFileTest,
    ::testing::Values(
        BrokenCase{"empty", {}, "empty"}, BrokenCase{"one byte", {0}, "1 byte long"},
        BrokenCase{"five bytes", {0, 0, 15, 0, 251}, "5 bytes long"},
        BrokenCase{"header only", Header(0), "holds 0 conductors' worth of bytes (6 bytes)"},
        BrokenCase{"record cut", CutTo(FileImage(0, 0, 0, {TestRecord{"A"}}), 57),
                   "(57 bytes) but says it holds 1 (58 bytes needed)"},
        BrokenCase{"says five holds three",
                   FileImage(4, 15, -5, {TestRecord{"A"}, TestRecord{"B"}, TestRecord{"C"}}),
                   "the file holds 3 conductors' worth of bytes (162 bytes) but says it holds 5 "
                   "(266 bytes needed)"},
        BrokenCase{"huge count", FileImage(32767, 0, 0, {TestRecord{"A"}}),
                   "but says it holds 32768 (1703942 bytes needed)"},
        BrokenCase{"minus one", FileImage(-1, 0, 0, {TestRecord{"A"}}), "negative"},
        BrokenCase{"most negative", FileImage(-32768, 0, 0, {TestRecord{"A"}}), "negative"}),
    [](const ::testing::TestParamInfo<BrokenCase>& param_info) {
      std::string name;
      for (char c : std::string(param_info.param.label))
        name += (c == ' ') ? '_' : c;
      return name;
    });

TEST(SerializeWireData, WritesTheBytesOfTheLayout) {
  TestRecord record{"HAL 22"};
  const std::vector<uint8_t> expected = FileImage(0, -10, 20, {record});
  WireData data;
  data.DesignTemp = {-10, 20};
  WireRecord wire;
  std::fill(wire.RawName.begin(), wire.RawName.end(), uint8_t{' '});
  std::copy_n("HAL 22", 6, wire.RawName.begin());
  wire.Weight = record.values[0];
  wire.BreakLoad = record.values[1];
  wire.SafetyFactor = record.values[2];
  wire.Elasticity = record.values[3];
  wire.Expansion = record.values[4];
  wire.Diameter = record.values[5];
  wire.WindFactor = record.values[6];
  wire.Area = record.values[7];
  data.WireTable.push_back(wire);
  EXPECT_EQ(SerializeWireData(data), expected);
}

TEST(SerializeWireData, TakesTheCountFromTheTable) {
  WireData data;
  data.WireLast = 7;  // stale: the table holds two
  data.WireTable.resize(2);
  const std::vector<uint8_t> bytes = SerializeWireData(data);
  EXPECT_EQ(bytes.size(), 6u + 2 * 52);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 0);
}

TEST(SerializeWireData, ReadsBackUnchanged) {
  std::vector<TestRecord> records = {TestRecord{"\x8D\x64\x93\xBA 22"}, TestRecord{"B", '\0'},
                                     TestRecord{"12345678901234567890"}};
  records[1].values[4] = -0.5f;
  records[2].values[7] = 1e-30f;
  const std::vector<uint8_t> bytes = FileImage(2, 32767, -32768, records);
  const WireDataResult result = ParseWireData(bytes, "f");
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(SerializeWireData(*result), bytes);
}

class ReadWireDataTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
};

TEST_F(ReadWireDataTest, ReadsAFileFromDisk) {
  const std::string path = folder_.Write("SetDT.dat", FileImage(0, 15, -5, {TestRecord{"A"}}));
  const WireDataResult result = ReadWireData(path);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->DesignTemp[0], 15);
}

TEST_F(ReadWireDataTest, MissingFile) {
  const std::string path = folder_.PathOf("SetDT.dat");
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.failure().English(), path + ": the file does not exist.");
}

TEST_F(ReadWireDataTest, EmptyFile) {
  const std::string path = folder_.Write("SetDT.dat", std::vector<uint8_t>{});
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith(path + ": "));
  EXPECT_THAT(result.failure().English(), HasSubstr("empty"));
}

TEST_F(ReadWireDataTest, ShortFile) {
  const std::string path =
      folder_.Write("SetDT.dat", FileImage(4, 15, -5, {TestRecord{"A"}, TestRecord{"B"}}));
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(),
              StartsWith(path + ": the file holds 2 conductors' worth"));
}

TEST_F(ReadWireDataTest, NegativeCount) {
  const std::string path = folder_.Write("SetDT.dat", FileImage(-3, 15, -5, {TestRecord{"A"}}));
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith(path + ": "));
  EXPECT_THAT(result.failure().English(), HasSubstr("negative"));
}

TEST_F(ReadWireDataTest, FolderInsteadOfFile) {
  const std::string path = folder_.PathOf("SetDT.dat");
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith(path + ": "));
  EXPECT_THAT(result.failure().English(), HasSubstr("folder"));
}

TEST_F(ReadWireDataTest, UnreadableFile) {
  const std::string path = folder_.Write("SetDT.dat", FileImage(0, 15, -5, {TestRecord{"A"}}));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  if (::access(path.c_str(), R_OK) == 0)
    GTEST_SKIP() << "running with rights that read any file (root)";
  const WireDataResult result = ReadWireData(path);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith(path + ": the file cannot be read"));
}

TEST_F(ReadWireDataTest, FileThatOpensButFailsToRead) {
  // /proc/self/mem opens, but reading at offset 0 (an unmapped address) fails.
  if (::access("/proc/self/mem", R_OK) != 0)
    GTEST_SKIP() << "no /proc/self/mem";
  const WireDataResult result = ReadWireData("/proc/self/mem");
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.failure().English(), StartsWith("/proc/self/mem: the file cannot be read"));
}

TEST_F(ReadWireDataTest, ReadsOnlyWhatTheLargestTableNeeds) {
  // A sparse 1 GB file of zeros: the reader stops after the largest possible
  // table and finds a one-record file of zeros.
  const std::string path = folder_.PathOf("huge.dat");
  { std::ofstream create(path); }
  ASSERT_EQ(::truncate(path.c_str(), 1L << 30), 0);
  const WireDataResult result = ReadWireData(path);
  ASSERT_TRUE(result.ok()) << result.failure().English();
  EXPECT_EQ(result->WireTable.size(), 1u);
  EXPECT_EQ(result->WireTable[0].Name, std::string(20, ' '));
}

// Opening a FIFO for reading waits for a writer, and a device may never end:
// anything but a regular file is refused before it is read.
TEST_F(ReadWireDataTest, RefusesWhatIsNotARegularFile) {
  const std::string fifo = folder_.PathOf("fifo.dat");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    const WireDataResult result = ReadWireData(path);
    EXPECT_FALSE(result.ok()) << path;
    EXPECT_THAT(result.failure().English(), HasSubstr("not a regular file")) << path;
  }
}

}  // namespace
}  // namespace sarn
