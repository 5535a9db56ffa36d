#pragma once

// Dialogs that a test scripts: the chosen file, the Yes/No answers; it
// records every message, question and initial file name, and the program end.

#include <QGuiApplication>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/dialogs.h"

namespace sarn::test {

class FakeDialogs : public tk::Dialogs {
 public:
  void MessageOk(const std::string& text) override {
    messages.push_back(text);
    busy_at_prompt.push_back(QGuiApplication::overrideCursor() != nullptr);
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    busy_at_prompt.push_back(QGuiApplication::overrideCursor() != nullptr);
    if (answers.empty())
      return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> OpenPhoto(const std::string& initial_name) override {
    initial_names.push_back(initial_name);
    return open_result;
  }
  std::optional<std::string> SaveFileName(const std::string& caption,
                                          const std::string& suggested_name,
                                          const std::string&) override {
    save_captions.push_back(caption);
    save_suggested.push_back(suggested_name);
    return save_result;
  }
  std::optional<std::string> OpenFileName(const std::string& caption, const std::string& initial,
                                          const std::string&) override {
    open_captions.push_back(caption);
    open_initial.push_back(initial);
    return open_file_result;
  }
  void EndProgram() override { ++end_program_calls; }
  std::vector<std::string> open_captions;
  std::vector<std::string> open_initial;
  std::optional<std::string> open_file_result;  // nullopt: the user cancels
  std::vector<std::string> save_captions;
  std::vector<std::string> save_suggested;
  std::optional<std::string> save_result;  // nullopt: the user cancels

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;  // Yes/No answers to give, in order
  std::vector<std::string> initial_names;
  std::optional<std::string> open_result;  // nullopt: the user cancels
  int end_program_calls = 0;
  std::vector<bool> busy_at_prompt;  // the busy pointer was on when a box was shown
};

}  // namespace sarn::test
