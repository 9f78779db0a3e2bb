#include "common/PostedMessages.h"

namespace km {

MessageAnswer PostedMessageService::CautiousAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
  }
  return MessageAnswer::Cancel;
}

MessageAnswer PostedMessageService::show(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  std::lock_guard<std::mutex> one(showing_);
  Message message{0, text, icon, buttons};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
      return CautiousAnswer(buttons);
    }
    message.id = ++lastId_;
    waitingId_ = message.id;
    answer_.reset();
  }
  post_(message);
  std::unique_lock<std::mutex> lock(mutex_);
  answered_.wait(lock, [this] { return answer_.has_value() || closed_; });
  waitingId_ = 0;
  return answer_.has_value() ? *answer_ : CautiousAnswer(buttons);
}

void PostedMessageService::answer(std::uint64_t id, MessageAnswer answer) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id == 0 || id != waitingId_ || answer_.has_value()) {
      return;
    }
    answer_ = answer;
  }
  answered_.notify_all();
}

void PostedMessageService::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  answered_.notify_all();
}

}  // namespace km
