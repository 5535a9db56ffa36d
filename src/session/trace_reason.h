#pragma once

// Precision tracing says why it found no credible conductor in English, as
// one text (the commands print it as it stands). The window says it in
// Japanese: TraceReasonFailure finds the catalogue entry whose English is
// that text, with the values the text names, so that both languages come
// from the catalogue.

#include <string_view>

#include "state/failure.h"

namespace sarn {

// The catalogue's precision-tracing reason whose English is `reason`, its
// values taken from the text (Failure::English() gives `reason` back
// unchanged). A text no entry matches is kTraceOther, carrying the text.
Failure TraceReasonFailure(std::string_view reason);

}  // namespace sarn
