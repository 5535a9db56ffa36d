#pragma once

// The plain-text result put on the clipboard after every evaluation: seven
// lines, each ended by CR LF, taken verbatim from the window.

#include <array>
#include <string>

namespace sarn {

struct ResultTextFields {
  std::string conductor_name;            // Combo1 text, padding kept
  std::string span_text;                 // Text2 as typed
  std::string distance_text;             // Text4(0) as typed
  std::string present_tension;           // Label4(2) caption
  std::array<std::string, 3> estimates;  // Label4(3..5) captions
};

std::string BuildResultText(const ResultTextFields& fields);

}  // namespace sarn
