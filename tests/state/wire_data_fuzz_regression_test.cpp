// Runs the fuzz entry of the conductor data readers over a few thousand
// inputs derived from a valid file and a valid text source by fixed
// mutations: every truncation, single bit flips, counts near the limits,
// and seeded random byte changes. The entry aborts when a reader breaks one
// of its promises; the sanitizers catch memory and arithmetic faults.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "state/wire_source.h"
#include "state/wire_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace sarn {
namespace {

int Feed(const std::vector<uint8_t>& input) {
  return LLVMFuzzerTestOneInput(input.data(), input.size());
}

const char kSource[] =
    "# table\n"
    "design temperatures | 15 | -5\n"
    "硬銅より線 22mm2 | 0.198 | 8.71 | 2.2 | 117.7 | 16.9 | 6.0 | 1 | 21.99\n"
    "鋼心アルミ 58mm2 | 0.2331 | 19.4 | 2.5 | 82.4 | 18.9 | 10.5 | 1 | 67.35\n"
    "HAL 100 | 0.913 | 38.5 | 2.2 | 117.7 | 16.9 | 13.0 | 1 | 100.9\n";

std::vector<uint8_t> ValidFile() {
  const WireDataResult source = ParseWireSource(kSource);
  EXPECT_TRUE(source.ok()) << source.failure().English();
  return source.ok() ? SerializeWireData(*source) : std::vector<uint8_t>{};
}

TEST(WireDataFuzzRegression, TheSeedsAreValid) {
  const std::vector<uint8_t> file = ValidFile();
  ASSERT_EQ(file.size(), 6u + 3 * 52);
  EXPECT_TRUE(ParseWireData(file, "seed").ok());
}

TEST(WireDataFuzzRegression, EveryTruncationOfTheFile) {
  const std::vector<uint8_t> file = ValidFile();
  size_t accepted = 0;
  for (size_t size = 0; size <= file.size(); ++size) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(size));
    EXPECT_EQ(Feed(cut), 0);
    accepted += ParseWireData(cut, "cut").ok() ? 1 : 0;
  }
  EXPECT_EQ(accepted, 1u);  // only the whole file holds all three records it announces
}

TEST(WireDataFuzzRegression, EverySingleBitFlipOfTheFile) {
  const std::vector<uint8_t> file = ValidFile();
  for (size_t bit = 0; bit < file.size() * 8; ++bit) {
    std::vector<uint8_t> flipped = file;
    flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_EQ(Feed(flipped), 0);
  }
}

TEST(WireDataFuzzRegression, CountsNearTheLimits) {
  std::vector<uint8_t> file = ValidFile();
  for (int wire_last : {-32768, -2, -1, 0, 1, 2, 3, 4, 255, 256, 32766, 32767}) {
    std::vector<uint8_t> changed = file;
    changed[0] = static_cast<uint8_t>(wire_last & 0xFF);
    changed[1] = static_cast<uint8_t>((wire_last >> 8) & 0xFF);
    EXPECT_EQ(Feed(changed), 0);
    const bool whole = wire_last >= 0 && wire_last <= 2;
    EXPECT_EQ(ParseWireData(changed, "f").ok(), whole) << wire_last;
  }
}

TEST(WireDataFuzzRegression, SeededRandomChangesOfFileAndSource) {
  std::mt19937 random(20121221);
  const std::vector<uint8_t> file = ValidFile();
  const std::string text = kSource;
  const std::vector<uint8_t> source(text.begin(), text.end());
  for (int round = 0; round < 1500; ++round) {
    std::vector<uint8_t> input = (round % 2 == 0) ? file : source;
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int c = 0; c < changes && !input.empty(); ++c) {
      const size_t at = random() % input.size();
      switch (random() % 5) {
        case 0:
          input[at] = static_cast<uint8_t>(random());
          break;
        case 1:
          input.erase(input.begin() + static_cast<long>(at));
          break;
        case 2:
          input.insert(input.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
          break;
        case 3: {  // a byte that matters to one of the formats
          static constexpr uint8_t kSpecial[] = {'|', '\n', '#', '-', '.', 'e', 0x00, 0x82, 0xFF};
          input[at] = kSpecial[random() % sizeof kSpecial];
          break;
        }
        default:
          input.resize(at);
          break;
      }
    }
    EXPECT_EQ(Feed(input), 0);
  }
}

TEST(WireDataFuzzRegression, SourceLinesCutAnywhere) {
  const std::string text = kSource;
  for (size_t size = 0; size <= text.size(); ++size)
    EXPECT_EQ(Feed(std::vector<uint8_t>(text.begin(), text.begin() + static_cast<long>(size))), 0);
}

}  // namespace
}  // namespace sarn
