#include "state/failure.h"

namespace sarn {

std::string Failure::Argument::Render(Language language) const {
  return cause_ ? cause_->Text(language) : text_;
}

std::string Failure::Text(Language language) const {
  std::vector<std::string> values;
  values.reserve(arguments_.size());
  for (const Argument& argument : arguments_)
    values.push_back(argument.Render(language));
  return RenderMessage(message_, language, values);
}

}  // namespace sarn
