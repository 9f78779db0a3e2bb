#pragma once

// A MessageService for work running on a worker thread whose messages a window shows
// on its own thread. show(), called on the worker, hands the message to the poster and
// blocks the worker until answer() is called from any thread, so the work waits for
// the answer exactly as it would for a modal box.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "common/MessageService.h"

namespace km {

class PostedMessageService final : public MessageService {
public:
  struct Message {
    std::uint64_t id = 0;  // answer() names it
    std::string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
  };
  // Called on the worker, inside show(); it must not block (a window queues the
  // message to its UI thread and returns).
  using Poster = std::function<void(const Message&)>;

  explicit PostedMessageService(Poster post) : post_(std::move(post)) {}

  // Worker side: posts the message and waits for its answer. Messages of several
  // workers are shown one at a time.
  MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons) override;

  // Window side, any thread: answers message `id`. An answer to a message that no
  // longer waits is ignored.
  void answer(std::uint64_t id, MessageAnswer answer);

  // From now on every message, including one waiting now, is answered at once with
  // the box's cautious answer: OK, No, or Cancel where the box has one. For a window
  // that is closing; any thread.
  void close();

  // The cautious answer of a box.
  static MessageAnswer CautiousAnswer(MessageButtons buttons);

private:
  Poster post_;
  std::mutex showing_;  // one message at a time
  std::mutex mutex_;
  std::condition_variable answered_;
  std::uint64_t waitingId_ = 0;  // 0: none waits
  std::uint64_t lastId_ = 0;
  std::optional<MessageAnswer> answer_;
  bool closed_ = false;
};

}  // namespace km
