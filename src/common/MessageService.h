#pragma once

// Message boxes and questions, behind an interface so the core can ask without a
// window: the GUI shows real boxes, the console runner writes to its log or answers
// from its switches, tests install FakeMessageService (tests/support).
//
// Icon rules: a stop icon for command failures and file errors, an exclamation icon
// for resource problems (temporary files, memory), a question icon for questions that
// ask for confirmation, none for plain notices.

#include <string>

namespace km {

enum class MessageIcon { None, Stop, Exclamation, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class MessageService {
public:
  virtual ~MessageService() = default;

  // Shows `text` and waits for the answer. The caption is the application's title.
  virtual MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons) = 0;

  // A message with an OK button.
  void message(const std::string& text, MessageIcon icon = MessageIcon::None) {
    show(text, icon, MessageButtons::Ok);
  }
  // True when the user answers Yes.
  bool askYesNo(const std::string& text, MessageIcon icon = MessageIcon::None) {
    return show(text, icon, MessageButtons::YesNo) == MessageAnswer::Yes;
  }
  // Yes, No or Cancel.
  MessageAnswer askYesNoCancel(const std::string& text, MessageIcon icon = MessageIcon::None) {
    return show(text, icon, MessageButtons::YesNoCancel);
  }
  // True when the user answers OK (false for Cancel).
  bool askOkCancel(const std::string& text, MessageIcon icon = MessageIcon::None) {
    return show(text, icon, MessageButtons::OkCancel) == MessageAnswer::Ok;
  }
};

// Shows nothing; answers OK to a notice and Yes to a question. For headless callers
// that report failures through result codes instead.
class SilentMessageService final : public MessageService {
public:
  MessageAnswer show(const std::string&, MessageIcon, MessageButtons buttons) override {
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? MessageAnswer::Ok
                                                                                : MessageAnswer::Yes;
  }
};

}  // namespace km
