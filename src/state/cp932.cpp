// Conductor names in code page 932 (Shift-JIS with its vendor extensions), converted
// with glibc's iconv. Code page 932 is stateless, so one converter is used
// character by character and a byte that does not decode can be replaced
// without disturbing the characters around it.

#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "state/cp932.h"

namespace sarn {

namespace {

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok())
      iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input`; nullopt when any of it does not convert.
  std::optional<std::string> Convert(std::string_view input) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    std::string in(input);
    std::string out(input.size() * 4 + 16, '\0');
    char* in_ptr = in.data();
    size_t in_left = in.size();
    char* out_ptr = out.data();
    size_t out_left = out.size();
    if (iconv(handle_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1) ||
        in_left != 0)
      return std::nullopt;
    if (iconv(handle_, nullptr, nullptr, &out_ptr, &out_left) == static_cast<size_t>(-1))
      return std::nullopt;
    out.resize(out.size() - out_left);
    return out;
  }

 private:
  iconv_t handle_;
};

// Lead bytes of the double-byte characters of code page 932.
bool IsLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Second bytes of the double-byte characters.
bool IsTrailByte(uint8_t byte) {
  return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// Control characters never belong in a name: they would upset the list and
// the terminal, so they are shown as padding.
bool IsControl(uint8_t byte) {
  return byte < 0x20 || byte == 0x7F;
}

// Length in bytes of the well-formed UTF-8 character at the start of `text`,
// 0 when it is not well formed (overlong forms and surrogates included).
size_t Utf8CharacterLength(std::string_view text) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length)
    return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(k) & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (overlong || surrogate || code > 0x10FFFF)
    return 0;
  return length;
}

// Number of code points in a UTF-8 text.
int CountCodePoints(std::string_view utf8) {
  int count = 0;
  for (char c : utf8)
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80)
      ++count;
  return count;
}

}  // namespace

std::string DecodeWireName(const std::array<uint8_t, kWireNameBytes>& raw) {
  Converter converter("UTF-8", "CP932");
  std::string name;
  int characters = 0;
  size_t i = 0;
  while (i < raw.size()) {
    const uint8_t byte = raw[i];
    if (byte == 0)
      break;  // a C-style terminator: the rest of the field is padding
    if (IsLeadByte(byte)) {
      if (i + 1 >= raw.size())
        break;  // the character is cut at byte 20: its lead byte becomes padding
      if (IsTrailByte(raw[i + 1])) {
        const char pair[2] = {static_cast<char>(byte), static_cast<char>(raw[i + 1])};
        std::optional<std::string> decoded;
        if (converter.ok())
          decoded = converter.Convert(std::string_view(pair, 2));
        if (decoded && CountCodePoints(*decoded) == 1) {
          name += *decoded;
        } else {
          name += "  ";  // an unassigned code: both bytes become padding
          ++characters;
        }
        ++characters;
        i += 2;
        continue;
      }
      // A lead byte without a valid second byte: the lead byte becomes padding
      // and the next byte is read on its own.
      name += ' ';
      ++characters;
      ++i;
      continue;
    }
    std::optional<std::string> decoded;
    if (byte < 0x80) {
      // ASCII is the same in code page 932 (0x5C is the backslash, 0x7E the tilde).
      if (!IsControl(byte))
        decoded = std::string(1, static_cast<char>(byte));
    } else if (converter.ok()) {
      decoded = converter.Convert(std::string_view(reinterpret_cast<const char*>(&raw[i]), 1));
    }
    name += decoded && CountCodePoints(*decoded) == 1 ? *decoded : std::string(" ");
    ++characters;
    ++i;
  }
  if (characters < kWireNameBytes)
    name.append(static_cast<size_t>(kWireNameBytes - characters), ' ');
  return name;
}

Result<std::array<uint8_t, kWireNameBytes>> EncodeWireName(std::string_view utf8) {
  using enum MessageId;
  for (char c : utf8)
    if (IsControl(static_cast<uint8_t>(c)))
      return Failure(kNameControlCharacter);
  Converter converter("CP932", "UTF-8");
  if (!converter.ok())
    return Failure(kNameNoConverter);
  std::string encoded;
  // Character by character, so that the message can show the one that fails.
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t length = Utf8CharacterLength(utf8.substr(i));
    if (length == 0)
      return Failure(kNameNotUtf8);
    const std::string_view character = utf8.substr(i, length);
    std::optional<std::string> bytes = converter.Convert(character);
    if (!bytes) {
      return Failure(kNameCharacterNotInCp932, {std::string(character)});
    }
    encoded += *bytes;
    i += length;
  }
  if (encoded.size() > static_cast<size_t>(kWireNameBytes))
    return Failure(kNameTooLong, {std::to_string(encoded.size())});
  std::array<uint8_t, kWireNameBytes> raw{};
  raw.fill(' ');
  for (size_t k = 0; k < encoded.size(); ++k)
    raw[k] = static_cast<uint8_t>(encoded[k]);
  return raw;
}

}  // namespace sarn
