#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "state/failure.h"
#include "state/messages.h"

namespace sarn {
namespace {

// The placeholders {0}, {1}, ... of a text, sorted.
std::vector<std::string> Placeholders(std::string_view text) {
  std::vector<std::string> found;
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] == '{' && text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] == '}')
      found.emplace_back(text.substr(i, 3));
  }
  std::sort(found.begin(), found.end());
  return found;
}

// A word of two or more Latin letters: a text that has one needs translating.
bool HasEnglishWord(std::string_view text) {
  int run = 0;
  for (char c : text) {
    run = ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) ? run + 1 : 0;
    if (run >= 2)
      return true;
  }
  return false;
}

bool HasJapanese(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Every message exists in both languages with the same values in it, and a
// failure built on a lower one renders the whole chain in one language.
TEST(MessageCatalogueTest, EveryEntryHasJapaneseWithTheSamePlaceholders) {
  const auto catalogue = MessageCatalogue();
  ASSERT_EQ(catalogue.size(), static_cast<size_t>(MessageId::kCount));
  for (const MessageEntry& entry : catalogue) {
    SCOPED_TRACE(std::string(entry.english));
    EXPECT_FALSE(entry.english.empty());
    EXPECT_FALSE(entry.japanese.empty());
    if (HasEnglishWord(entry.english)) {
      EXPECT_TRUE(HasJapanese(entry.japanese)) << "not translated: " << entry.japanese;
    }
    EXPECT_EQ(Placeholders(entry.english), Placeholders(entry.japanese));
  }

  const Failure failure(MessageId::kSourceLine,
                        {"3", Failure(MessageId::kNotFinite, {Failure(MessageId::kTermK1)})});
  EXPECT_EQ(failure.English(), "line 3: K1 is not a finite number");
  EXPECT_EQ(failure.Japanese(), "3 行目: K1 が有限の数値ではありません");
}

}  // namespace
}  // namespace sarn
