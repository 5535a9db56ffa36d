#pragma once

#include <QGroupBox>
#include <string>

namespace sarn::tk {

// A framed group with a caption; its option buttons form their own group.
class GroupFrame : public QGroupBox {
 public:
  GroupFrame(const std::string& caption, QWidget* parent)
      : QGroupBox(QString::fromStdString(caption), parent) {}
};

}  // namespace sarn::tk
