#pragma once

// A clipboard that keeps the last text and counts the calls.

#include <string>

#include "toolkit/clipboard.h"

namespace sarn::test {

class FakeClipboard : public tk::Clipboard {
 public:
  void Clear() override {
    text.clear();
    ++clears;
  }
  void SetText(const std::string& now) override {
    text = now;
    ++sets;
  }
  std::string text;
  int clears = 0;
  int sets = 0;
};

}  // namespace sarn::test
