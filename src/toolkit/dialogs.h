#pragma once

// The modal dialogs and the program end, behind an interface so that tests
// can answer them. Message boxes carry the program's title and no icon.

#include <optional>
#include <string>

namespace sarn::tk {

// The filter of the photo dialog, as one "label|pattern" entry.
inline constexpr const char* kPhotoFilter =
    "写真画像ファイル (*.JPG *.HEIC *.HEIF)|*.JPG;*.HEIC;*.HEIF";

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A message with an OK button; returns when it is closed.
  virtual void MessageOk(const std::string& text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // The file-open dialog with kPhotoFilter (matched without regard to case),
  // `initial_name` offered first (or, naming a folder, the folder it opens
  // in), and the checks that the path and the file
  // exist. nullopt when cancelled or when the dialog fails.
  virtual std::optional<std::string> OpenPhoto(const std::string& initial_name) = 0;
  // The file-save dialog: `caption`, `suggested_name` offered first, one
  // filter as Qt writes it ("PDF (*.pdf)"). nullopt when cancelled.
  virtual std::optional<std::string> SaveFileName(const std::string& /*caption*/,
                                                  const std::string& /*suggested_name*/,
                                                  const std::string& /*filter*/) {
    return std::nullopt;
  }
  // The file-open dialog for another kind of file: `caption`, `initial_name`
  // offered first, one filter as Qt writes it ("Sarn 測定 (*.sarn.json)"),
  // the checks that the path and the file exist. nullopt when cancelled.
  virtual std::optional<std::string> OpenFileName(const std::string& /*caption*/,
                                                  const std::string& /*initial_name*/,
                                                  const std::string& /*filter*/) {
    return std::nullopt;
  }
  // Ends the program at once (exit status 1). A test double records the call
  // and returns; callers return straight after it.
  virtual void EndProgram() = 0;
};

}  // namespace sarn::tk
