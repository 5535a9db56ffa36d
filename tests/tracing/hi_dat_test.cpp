#include "tracing/hi_dat.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tracing/raster_fixtures.h"

namespace sarn {
namespace {

// True when `written` succeeded; otherwise its English message in `why`.
bool Written(const Result<void>& written, std::string* why) {
  if (!written.ok())
    *why = written.failure().English();
  return written.ok();
}

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "sarn_hi_dat_XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int16_t LittleEndianAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Every element distinct, negative drops to show the two's complement bytes.
ScanResult NumberedResult() {
  ScanResult result;
  for (size_t i = 0; i < kStations; ++i) {
    for (size_t j = 0; j < kSamples; ++j) {
      result.Bright[i][j] = static_cast<int16_t>(i * 1000 + j);
      result.Drop[i][j] = static_cast<int16_t>(-static_cast<int>(i * 202 + j) - 1);
    }
  }
  return result;
}

TEST(HiDatBytesTest, LayoutIsBrightThenDropStationByStation) {
  const std::vector<uint8_t> bytes = HiDatBytes(NumberedResult());
  ASSERT_EQ(bytes.size(), 7272u);
  // Station 0's first brightness, 0, then 1, 2, ...
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[3], 0);
  // Element (j = 5, i = 3) at position 3 * 202 + 5 = 611: 3005 = 0x0BBD.
  EXPECT_EQ(bytes[2 * 611], 0xBD);
  EXPECT_EQ(bytes[2 * 611 + 1], 0x0B);
  // The drop block starts at byte 3636: -1 = FF FF, then -2 = FE FF.
  EXPECT_EQ(bytes[3636], 0xFF);
  EXPECT_EQ(bytes[3637], 0xFF);
  EXPECT_EQ(bytes[3638], 0xFE);
  EXPECT_EQ(bytes[3639], 0xFF);
  for (size_t i = 0; i < kStations; ++i) {
    for (size_t j = 0; j < kSamples; ++j) {
      const size_t position = i * 202 + j;
      ASSERT_EQ(LittleEndianAt(bytes, 2 * position), static_cast<int>(i * 1000 + j));
      ASSERT_EQ(LittleEndianAt(bytes, 3636 + 2 * position), -static_cast<int>(position) - 1);
    }
  }
  // The last drop, station 8 sample 201: -(1817 + 1) = -1818 = 0xF8E6.
  EXPECT_EQ(bytes[7270], 0xE6);
  EXPECT_EQ(bytes[7271], 0xF8);
}

TEST(HiDatBytesTest, ScanDumpHasZeroDropsAtBothEnds) {
  // Bright rows above row 99, dark from there: Drop(201) would be 700 if set.
  fixtures::VectorRaster raster(20, 400, 0);
  std::vector<int> rows(400, 0);
  for (size_t y = 0; y < 99; ++y)
    rows[y] = 700;
  raster.SetRowBrightness(rows);
  const ScanResult result =
      RunScan({2, 99 - 201, 18, 99 - 201}, 1.0f, raster, Criterion::ChangeValue, 40);
  const std::vector<uint8_t> bytes = HiDatBytes(result);
  for (size_t i = 0; i < kStations; ++i) {
    EXPECT_EQ(LittleEndianAt(bytes, 2 * (i * 202)), 765);  // row -102 is outside
    EXPECT_EQ(LittleEndianAt(bytes, 2 * (i * 202 + 200)), 700);
    EXPECT_EQ(LittleEndianAt(bytes, 2 * (i * 202 + 201)), 0);
    EXPECT_EQ(LittleEndianAt(bytes, 3636 + 2 * (i * 202)), 0);
    EXPECT_EQ(LittleEndianAt(bytes, 3636 + 2 * (i * 202 + 201)), 0);
  }
}

TEST(WriteHiDatTest, ReplacesALongerFileWholeAndLeavesNothingElse) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const fs::path path = folder.path() / "hi.dat";
  {
    std::ofstream old(path, std::ios::binary);
    const std::string tail(10000, '\xAB');
    old.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  }
  const ScanResult result = NumberedResult();
  std::string error;
  ASSERT_TRUE(Written(WriteHiDat(path.string(), result), &error)) << error;
  EXPECT_EQ(fs::file_size(path), 7272u);
  EXPECT_EQ(ReadAll(path), HiDatBytes(result));
  // No temporary file is left beside it.
  int entries = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
    ++entries;
    EXPECT_EQ(entry.path().filename(), "hi.dat");
  }
  EXPECT_EQ(entries, 1);

  // A second scan replaces the first.
  ScanResult second;
  second.Bright[8][201] = 42;
  ASSERT_TRUE(Written(WriteHiDat(path.string(), second), &error)) << error;
  const std::vector<uint8_t> bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 7272u);
  EXPECT_EQ(LittleEndianAt(bytes, 3634), 42);
  EXPECT_EQ(LittleEndianAt(bytes, 0), 0);
}

TEST(WriteHiDatTest, NewFileIsReadableAndReplacementKeepsPermissions) {
  TempFolder folder;
  const fs::path path = folder.path() / "hi.dat";
  std::string error;
  ASSERT_TRUE(Written(WriteHiDat(path.string(), ScanResult{}), &error)) << error;
  const fs::perms rw_r_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                           fs::perms::others_read;
  EXPECT_EQ(fs::status(path).permissions(), rw_r_r);

  const fs::perms private_file = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path, private_file);
  ASSERT_TRUE(Written(WriteHiDat(path.string(), NumberedResult()), &error)) << error;
  EXPECT_EQ(fs::status(path).permissions(), private_file);
  EXPECT_EQ(ReadAll(path), HiDatBytes(NumberedResult()));

  // A hi.dat that is a link to a folder is replaced by a new file, which
  // does not take the folder's mode (0755).
  const fs::path linked = folder.path() / "linked";
  fs::create_directory(folder.path() / "folder");
  fs::permissions(folder.path() / "folder", fs::perms::owner_all | fs::perms::group_read |
                                                fs::perms::group_exec | fs::perms::others_read |
                                                fs::perms::others_exec);
  fs::create_directory_symlink(folder.path() / "folder", linked);
  ASSERT_TRUE(Written(WriteHiDat(linked.string(), NumberedResult()), &error)) << error;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(linked)));
  EXPECT_EQ(fs::status(linked).permissions(), rw_r_r);
}

TEST(WriteHiDatTest, FolderThatIsAFileFailsWithAReason) {
  TempFolder folder;
  const fs::path not_a_folder = folder.path() / "plain_file";
  std::ofstream(not_a_folder) << "x";
  std::string error;
  const std::string path = (not_a_folder / "hi.dat").string();
  EXPECT_FALSE(Written(WriteHiDat(path, ScanResult{}), &error));
  // The path once, then what went wrong.
  EXPECT_EQ(error.find(path + ": cannot create a file beside it ("), 0u) << error;
  EXPECT_EQ(error.find(path, 1), std::string::npos) << error;
  EXPECT_FALSE(
      Written(WriteHiDat((folder.path() / "missing" / "hi.dat").string(), ScanResult{}), &error));
  EXPECT_FALSE(error.empty());
}

TEST(WriteHiDatTest, ReadOnlyFolderFailsAndKeepsTheOldFile) {
  TempFolder folder;
  const fs::path path = folder.path() / "hi.dat";
  std::ofstream(path) << "old";
  fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
  // The super-user writes regardless of permissions; then there is nothing to check.
  if (::access(folder.path().c_str(), W_OK) == 0)
    GTEST_SKIP() << "permissions are not enforced for this user";
  std::string error;
  EXPECT_FALSE(Written(WriteHiDat(path.string(), NumberedResult()), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(fs::file_size(path), 3u);
}

}  // namespace
}  // namespace sarn
