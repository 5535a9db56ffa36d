#include "session/trace_reason.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace sarn {
namespace {

// "%.2f", "%zu", ...: a printf conversion, replaced by "7".
std::string WithSampleValues(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] != ' ') {
      size_t j = i + 1;
      while (j < text.size() && (text[j] == '.' || (text[j] >= '0' && text[j] <= '9') ||
                                 text[j] == 'z' || text[j] == 'l'))
        ++j;
      if (j < text.size() && std::string_view("dufgs").find(text[j]) != std::string_view::npos) {
        out += '7';
        i = j;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// Every reason precision tracing gives, taken from its source: each English
// sentence there (string literals joined as the code joins them, a value
// computed between them standing as "7"). A reason the catalogue does not
// know would reach the window in English.
std::vector<std::string> TracerSentences() {
  std::vector<std::string> sentences;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(SARN_SOURCE_DIR) / "src/tracing")) {
    if (entry.path().extension() != ".cpp")
      continue;
    std::ifstream in(entry.path());
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::string sentence, gap;
    auto finish = [&] {
      if (sentence.size() > 1 && sentence.front() >= 'A' && sentence.front() <= 'Z' &&
          sentence.back() == '.')
        sentences.push_back(WithSampleValues(sentence));
      sentence.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
      if (text.compare(i, 2, "//") == 0) {
        i = text.find('\n', i);
        if (i == std::string::npos)
          break;
      } else if (text[i] == '\'') {  // a character: '"' is not a text
        i = text.find('\'', i + (text[i + 1] == '\\' ? 3 : 2));
        if (i == std::string::npos)
          break;
      } else if (text[i] == '"') {
        // Literals side by side, or with "+ value +" between them, are one text.
        const size_t first = gap.find_first_not_of(" \t\n");
        const size_t last = gap.find_last_not_of(" \t\n");
        const bool joined =
            first == std::string::npos || (gap[first] == '+' && gap[last] == '+' && first != last &&
                                           gap.find(';') == std::string::npos);
        if (!joined)
          finish();
        else if (first != std::string::npos)
          sentence += '7';
        size_t j = i + 1;
        for (; j < text.size() && text[j] != '"'; ++j) {
          if (text[j] == '\\')
            ++j;
          sentence += text[j];
        }
        i = j;
        gap.clear();
      } else {
        gap += text[i];
      }
    }
    finish();
  }
  return sentences;
}

TEST(TraceReason, EveryReasonOfTheTracerHasItsJapanese) {
  const std::vector<std::string> sentences = TracerSentences();
  EXPECT_GE(sentences.size(), 9u);  // the reader found the tracer's reasons
  for (const std::string& reason : sentences) {
    SCOPED_TRACE(reason);
    const Failure failure = TraceReasonFailure(reason);
    EXPECT_NE(failure.message(), MessageId::kTraceOther) << "not in the catalogue";
    EXPECT_EQ(failure.English(), reason);
  }
}

// The values come over into the Japanese; a text no entry knows keeps its
// words rather than being lost.
TEST(TraceReason, ValuesAreCarriedIntoTheJapanese) {
  const struct {
    const char* english;
    const char* japanese;
  } cases[] = {
      {"Only 41 % of the columns between the line's ends agree on one conductor curve; at least "
       "60 % must.",
       "線の両端の間の列のうち、一つの電線の曲線に一致するのは 41 % だけです。60 % "
       "以上が必要です。"},
      {"The conductor's points scatter 2.35 px around the fitted curve; at most 1.5 px is "
       "credible.",
       "電線の点が当てはめた曲線の周りに 2.35 px ばらついています。信頼できるのは 1.5 px "
       "までです。"},
      {"The conductor was not found near station 3.", "測点 3 の近くで電線が見つかりません。"},
      {"The conductor was not found near station .",
       "電線の曲線が信頼できる条件を満たしません (The conductor was not found near station .)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.english);
    const Failure failure = TraceReasonFailure(c.english);
    EXPECT_EQ(failure.English(), c.english);
    EXPECT_EQ(failure.Japanese(), c.japanese);
  }
}

}  // namespace
}  // namespace sarn
