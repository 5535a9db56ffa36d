#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "toolkit/dialogs.h"

namespace sarn::tk {

// The dialogs on Qt: QMessageBox without icon, Qt's own file dialog (so that
// the pattern is matched without regard to case on every platform).
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(std::string title, QWidget* parent = nullptr)
      : title_(std::move(title)), parent_(parent) {}

  void SetParent(QWidget* parent) { parent_ = parent; }

  void MessageOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> OpenPhoto(const std::string& initial_name) override;
  std::optional<std::string> SaveFileName(const std::string& caption,
                                          const std::string& suggested_name,
                                          const std::string& filter) override;
  std::optional<std::string> OpenFileName(const std::string& caption,
                                          const std::string& initial_name,
                                          const std::string& filter) override;
  void EndProgram() override;

 private:
  std::string title_;
  QPointer<QWidget> parent_;
};

}  // namespace sarn::tk
