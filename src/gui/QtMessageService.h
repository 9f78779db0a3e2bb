#pragma once

// MessageService shown as Qt message boxes, captioned with the application's title
// (string 57344), modal to a parent window when one is set.

#include <QPointer>
#include <QWidget>

#include "common/MessageService.h"

namespace km::gui {

class QtMessageService final : public MessageService {
public:
  explicit QtMessageService(QWidget* parent = nullptr) : parent_(parent) {}

  void setParent(QWidget* parent) { parent_ = parent; }

  MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons) override;

private:
  QPointer<QWidget> parent_;
};

}  // namespace km::gui
