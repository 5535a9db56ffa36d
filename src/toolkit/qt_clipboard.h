#pragma once

#include "toolkit/clipboard.h"

namespace sarn::tk {

class QtClipboard : public Clipboard {
 public:
  void Clear() override;
  void SetText(const std::string& text) override;
};

}  // namespace sarn::tk
