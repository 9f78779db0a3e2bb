#pragma once

// A MessageService for tests: records every message and answers from a queue (or with
// the first button of the box when the queue is empty).

#include <deque>
#include <string>
#include <vector>

#include "common/MessageService.h"

namespace km {

class FakeMessageService final : public MessageService {
public:
  struct Shown {
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
  };

  MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    shown.push_back({text, icon, buttons});
    if (!answers.empty()) {
      MessageAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? MessageAnswer::Ok
                                                                                : MessageAnswer::Yes;
  }

  const Shown& last() const { return shown.back(); }

  std::vector<Shown> shown;
  std::deque<MessageAnswer> answers;
};

}  // namespace km
