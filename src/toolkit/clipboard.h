#pragma once

#include <string>

namespace sarn::tk {

// The clipboard, behind an interface so that tests can read what was put on it.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void Clear() = 0;
  // Plain text (UTF-8).
  virtual void SetText(const std::string& text) = 0;
};

}  // namespace sarn::tk
