#include "output/display_width.h"

#include <clocale>
#include <cstdint>
#include <cwchar>

#include <locale.h>

namespace sarn {
namespace {

// The code points of a UTF-8 text; a malformed byte stands for itself.
std::wstring Decode(std::string_view utf8) {
  std::wstring out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    size_t length = 1;
    uint32_t code = lead;
    if (lead >= 0xF0) {
      length = 4;
      code = lead & 0x07u;
    } else if (lead >= 0xE0) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xC0) {
      length = 2;
      code = lead & 0x1Fu;
    }
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3Fu);
    out.push_back(static_cast<wchar_t>(code));
    i += length;
  }
  return out;
}

// A UTF-8 character-type locale for this thread only, for as long as the
// object lives (wcwidth answers -1 for every wide character in the C locale).
class Utf8Widths {
 public:
  Utf8Widths() : locale_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))) {
    if (locale_ != static_cast<locale_t>(nullptr))
      previous_ = ::uselocale(locale_);
  }
  ~Utf8Widths() {
    if (locale_ != static_cast<locale_t>(nullptr)) {
      ::uselocale(previous_);
      ::freelocale(locale_);
    }
  }
  Utf8Widths(const Utf8Widths&) = delete;
  Utf8Widths& operator=(const Utf8Widths&) = delete;

 private:
  locale_t locale_;
  locale_t previous_ = static_cast<locale_t>(nullptr);
};

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
  const Utf8Widths widths;
  size_t columns = 0;
  for (wchar_t c : Decode(utf8)) {
    const int w = ::wcwidth(c);
    columns += w < 0 ? 1 : static_cast<size_t>(w);
  }
  return columns;
}

void PadRight(std::string& line, std::string_view text, size_t width) {
  line += text;
  const size_t used = DisplayWidth(text);
  if (used < width)
    line.append(width - used, ' ');
}

void PadLeft(std::string& line, std::string_view text, size_t width) {
  const size_t used = DisplayWidth(text);
  if (used < width)
    line.append(width - used, ' ');
  line += text;
}

}  // namespace sarn
