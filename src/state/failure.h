#pragma once

// The core's one way to fail. A step that can fail returns a Result<T>: the
// value, or a Failure. A Failure is an entry of the message catalogue
// (messages.h) with the values it names (a path, a number, a field), and a
// code where the program specifies one (a photo's "エラーコード=" number;
// 0 elsewhere). A face renders it in its own language: the commands in
// English, the window in Japanese. No exception leaves a core library.

#include <cassert>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "state/messages.h"

namespace sarn {

class Failure {
 public:
  // One value a message names: a text used as it stands (a path, a number,
  // a field name), or the failure of a lower step that this one words in
  // context (rendered in the same language).
  class Argument {
   public:
    Argument(std::string text) : text_(std::move(text)) {}  // NOLINT: implicit on purpose
    Argument(const char* text) : text_(text) {}             // NOLINT
    Argument(Failure cause)
        : cause_(std::make_shared<const Failure>(std::move(cause))) {}  // NOLINT
    std::string Render(Language language) const;

   private:
    std::string text_;
    std::shared_ptr<const Failure> cause_;
  };

  explicit Failure(MessageId message, std::vector<Argument> arguments = {}, int code = 0)
      : message_(message), arguments_(std::move(arguments)), code_(code) {}

  MessageId message() const { return message_; }
  // The photo's failure code (6, 7, 11, 53, 70, 75, 380, 481); 0 where none
  // is specified.
  int code() const { return code_; }
  // The same failure with `code`.
  Failure WithCode(int code) const {
    Failure f = *this;
    f.code_ = code;
    return f;
  }

  std::string Text(Language language) const;
  std::string English() const { return Text(Language::kEnglish); }
  std::string Japanese() const { return Text(Language::kJapanese); }

 private:
  MessageId message_;
  std::vector<Argument> arguments_;
  int code_ = 0;
};

// A value of T, or the Failure that stopped the step. Result<void> is the
// form for a step that yields nothing.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}            // NOLINT: implicit on purpose
  Result(Failure failure) : state_(std::move(failure)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() {
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const {
    assert(ok());
    return std::get<0>(state_);
  }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const Failure& failure() const {
    assert(!ok());
    return std::get<1>(state_);
  }

 private:
  std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit on purpose

  bool ok() const { return !failure_; }
  explicit operator bool() const { return ok(); }
  const Failure& failure() const {
    assert(!ok());
    return *failure_;
  }

 private:
  std::optional<Failure> failure_;
};

// Success of a step with no value.
inline Result<void> Ok() {
  return {};
}

}  // namespace sarn
