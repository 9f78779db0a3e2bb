#include "gui/QtMessageService.h"

#include <QMessageBox>
#include <QString>

#include "StringTable.h"

namespace km::gui {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok: break;
  }
  return QMessageBox::Ok;
}

}  // namespace

MessageAnswer QtMessageService::show(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(LoadString(57344)), QString::fromStdString(text),
                  BoxButtons(buttons), parent_);
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: break;
  }
  // A box closed with Escape or the window's close button counts as its safe answer.
  if (buttons == MessageButtons::OkCancel || buttons == MessageButtons::YesNoCancel) {
    return MessageAnswer::Cancel;
  }
  return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

}  // namespace km::gui
