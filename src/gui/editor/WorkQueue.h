#pragma once

// One worker thread that runs the editor's image work in the order it was posted and
// hands each result back to the window's thread through a queued call, so the window
// stays live while a command or a script test runs.

#include <functional>
#include <memory>

#include <QObject>
#include <QThread>

namespace km::gui {

class WorkQueue final : public QObject {
  Q_OBJECT

public:
  explicit WorkQueue(QObject* parent = nullptr);
  // Waits for the job that is running; jobs not yet started are dropped.
  ~WorkQueue() override;

  // Runs work() on the worker thread, then done(result) on this object's thread.
  template <typename Result>
  void post(std::function<Result()> work, std::function<void(Result&)> done) {
    auto result = std::make_shared<Result>();
    postRaw([work = std::move(work), result] { *result = work(); },
            [done = std::move(done), result] { done(*result); });
  }

  // Jobs posted and not yet answered.
  int pending() const { return pending_; }

signals:
  // The last pending job has been answered.
  void idle();

private:
  void postRaw(std::function<void()> work, std::function<void()> done);

  QThread thread_;
  QObject* worker_;  // lives in thread_
  int pending_ = 0;
};

}  // namespace km::gui
