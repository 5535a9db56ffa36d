#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "state/cp932.h"
#include "state/wire_table.h"

namespace sarn {
namespace {

using ::testing::HasSubstr;

std::array<uint8_t, kWireNameBytes> Raw(std::string_view bytes, char fill = ' ') {
  std::array<uint8_t, kWireNameBytes> raw{};
  raw.fill(static_cast<uint8_t>(fill));
  for (size_t i = 0; i < bytes.size() && i < raw.size(); ++i)
    raw[i] = static_cast<uint8_t>(bytes[i]);
  return raw;
}

std::string Spaces(size_t count) {
  return std::string(count, ' ');
}

// Byte values from the code page 932 table: あ 82 A0, い 82 A2, ア 83 41,
// 硬 8D 64, 銅 93 BA, half-width ｱ B1, full-width Ａ 82 60.
struct DecodeCase {
  const char* label;
  std::string bytes;
  char fill;
  std::string expected;
};

class DecodeWireNameTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeWireNameTest, DecodesAndPadsToTwentyCharacters) {
  EXPECT_EQ(DecodeWireName(Raw(GetParam().bytes, GetParam().fill)), GetParam().expected)
      << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DecodeWireNameTest,
    ::testing::Values(
        DecodeCase{"ascii", "HAL 22", ' ', "HAL 22" + Spaces(14)},
        DecodeCase{"all blank", "", ' ', Spaces(20)}, DecodeCase{"all nul", "", '\0', Spaces(20)},
        DecodeCase{"full twenty ascii", "12345678901234567890", ' ', "12345678901234567890"},
        DecodeCase{"kanji", "\x8D\x64\x93\xBA 22", ' ', "硬銅 22" + Spaces(15)},
        DecodeCase{"hiragana katakana", "\x82\xA0\x82\xA2\x83\x41", ' ', "あいア" + Spaces(17)},
        DecodeCase{"half-width katakana", "\xB1 1", ' ', "ｱ 1" + Spaces(17)},
        DecodeCase{"backslash and tilde stay ascii", "a\\b~", ' ', "a\\b~" + Spaces(16)},
        // A double-byte character cut at byte 20: its lead byte becomes padding.
        DecodeCase{"cut at byte 20", "1234567890123456789\x82", ' ', "1234567890123456789 "},
        // A lead byte followed by a byte that cannot follow it.
        DecodeCase{"broken pair", "A\x82 B", ' ', "A  B" + Spaces(16)},
        // Bytes that are no character in code page 932.
        DecodeCase{"undefined single bytes",
                   "A\x80\xA0\xFD\xFE\xFF"
                   "B",
                   ' ', "A     B" + Spaces(13)},
        DecodeCase{"control characters",
                   "A\tB\x1B"
                   "C",
                   ' ', "A B C" + Spaces(15)},
        DecodeCase{"nul ends the name", std::string("AB\0CD", 5), '\0', "AB" + Spaces(18)}),
    [](const ::testing::TestParamInfo<DecodeCase>& param_info) {
      std::string name;
      for (char c : std::string(param_info.param.label))
        name += (c == ' ' || c == '-') ? '_' : c;
      return name;
    });

TEST(DecodeWireName, TenDoubleByteCharactersFillTheField) {
  std::string bytes;
  for (int i = 0; i < 10; ++i)
    bytes += "\x82\xA0";  // あ
  std::string expected;
  for (int i = 0; i < 10; ++i)
    expected += "あ";
  // 10 characters from 20 bytes, then padded to 20 characters.
  EXPECT_EQ(DecodeWireName(Raw(bytes)), expected + Spaces(10));
}

TEST(DecodeWireName, DoubleByteCharacterCutAfterNineWhole) {
  std::string bytes = "A";
  for (int i = 0; i < 9; ++i)
    bytes += "\x93\xBA";  // 銅, bytes 1..18
  bytes += "\x93";        // byte 19: the lead byte of a tenth, cut off
  std::string expected = "A";
  for (int i = 0; i < 9; ++i)
    expected += "銅";
  EXPECT_EQ(DecodeWireName(Raw(bytes)), expected + Spaces(10));
}

// Why `name` does not encode; "" when it does.
std::string WhyNot(std::string_view name) {
  const auto raw = EncodeWireName(name);
  return raw ? std::string() : raw.failure().English();
}

TEST(EncodeWireName, PadsWithSpaces) {
  const auto raw = EncodeWireName("硬銅 22");
  ASSERT_TRUE(raw) << raw.failure().English();
  EXPECT_EQ(*raw, Raw("\x8D\x64\x93\xBA 22"));
}

TEST(EncodeWireName, TwentyBytesFitTwentyOneDoNot) {
  std::string ten;
  for (int i = 0; i < 10; ++i)
    ten += "あ";
  EXPECT_EQ(WhyNot(ten), "");
  EXPECT_THAT(WhyNot(ten + "A"), HasSubstr("21 bytes"));
  EXPECT_EQ(WhyNot("12345678901234567890"), "");
  EXPECT_NE(WhyNot("123456789012345678901"), "");
  // 11 characters, but 23 bytes in code page 932.
  EXPECT_THAT(WhyNot("鋼心アルミより線 240mm2"), HasSubstr("23 bytes"));
}

TEST(EncodeWireName, RefusesWhatCodePage932CannotHold) {
  EXPECT_THAT(WhyNot("Cu \xF0\x9F\x98\x80"), HasSubstr("code page 932"));  // an emoji
  EXPECT_THAT(WhyNot("caf\xC3\xA9"), HasSubstr("code page 932"));          // é
  EXPECT_THAT(WhyNot("A\xFF"), HasSubstr("UTF-8"));
  EXPECT_THAT(WhyNot("A\xE3\x81"), HasSubstr("UTF-8"));  // a cut UTF-8 sequence
  EXPECT_THAT(WhyNot("A\tB"), HasSubstr("control"));
}

TEST(EncodeWireName, DecodesBackToTheSameName) {
  for (const char* name :
       {"硬銅より線 22mm2", "鋼心アルミ 58mm2", "ｺｳﾄﾞｳ 38", "ＡＣＳＲ", "HAL-60"}) {
    const auto raw = EncodeWireName(name);
    ASSERT_TRUE(raw) << raw.failure().English();
    const std::string decoded = DecodeWireName(*raw);
    EXPECT_EQ(TrimmedWireName(decoded), name);
  }
}

TEST(TrimmedWireName, RemovesOnlyTrailingPadding) {
  EXPECT_EQ(TrimmedWireName("  A B   "), "  A B");
  EXPECT_EQ(TrimmedWireName("硬銅 22" + Spaces(15)), "硬銅 22");
  EXPECT_EQ(TrimmedWireName(Spaces(20)), "");
  EXPECT_EQ(TrimmedWireName(""), "");
}

}  // namespace
}  // namespace sarn
