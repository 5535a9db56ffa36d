#include "session/trace_reason.h"

#include <array>
#include <string>
#include <vector>

namespace sarn {
namespace {

using enum MessageId;

constexpr std::array kTraceReasons = {
    kTraceNoPicture,
    kTraceLineTooShort,
    kTraceNoConductorInBand,
    kTraceByChance,
    kTraceTooFewColumns,
    kTraceEndMissing,
    kTraceStationMissing,
    kTraceScatter,
    kTraceFainterLineAbove,
    kTraceBetweenOppositeLines,
    kTraceClearerConductorBelow,
    kTraceSeenMoreBelow,
};

// Matches `text` against `pattern`, a catalogue text whose placeholders
// {0}..{9} each stand for one non-empty value; the values in `values`
// (indexed by placeholder). A value ends at the first place where the rest
// of the pattern's literal text follows: the values are numbers, which
// never contain the words after them.
bool Match(std::string_view pattern, std::string_view text, std::vector<std::string>* values) {
  values->clear();
  size_t p = 0, t = 0;
  while (p < pattern.size()) {
    const bool placeholder = pattern[p] == '{' && p + 2 < pattern.size() && pattern[p + 1] >= '0' &&
                             pattern[p + 1] <= '9' && pattern[p + 2] == '}';
    if (!placeholder) {
      if (t >= text.size() || text[t] != pattern[p])
        return false;
      ++p;
      ++t;
      continue;
    }
    const auto index = static_cast<size_t>(pattern[p + 1] - '0');
    p += 3;
    // The literal text up to the next placeholder (or the end).
    size_t next = p;
    while (next < pattern.size() && pattern[next] != '{')
      ++next;
    const std::string_view literal = pattern.substr(p, next - p);
    size_t end = literal.empty() ? text.size() : text.find(literal, t + 1);
    if (next == pattern.size() && !literal.empty())  // the pattern's end: the text's end
      end = text.size() >= literal.size() && text.ends_with(literal) ? text.size() - literal.size()
                                                                     : std::string_view::npos;
    if (end == std::string_view::npos || end <= t)
      return false;
    if (values->size() <= index)
      values->resize(index + 1);
    (*values)[index] = std::string(text.substr(t, end - t));
    t = end;
  }
  return t == text.size();
}

}  // namespace

Failure TraceReasonFailure(std::string_view reason) {
  const auto catalogue = MessageCatalogue();
  std::vector<std::string> values;
  for (const MessageId id : kTraceReasons) {
    if (Match(catalogue[static_cast<size_t>(id)].english, reason, &values))
      return Failure(id, std::vector<Failure::Argument>(values.begin(), values.end()));
  }
  return Failure(kTraceOther, {std::string(reason)});
}

}  // namespace sarn
