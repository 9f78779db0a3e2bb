#include "gui/editor/WorkQueue.h"

#include <QMetaObject>
#include <QPointer>

namespace km::gui {

WorkQueue::WorkQueue(QObject* parent) : QObject(parent), worker_(new QObject) {
  thread_.setObjectName(QStringLiteral("kilnmark-editor-work"));
  worker_->moveToThread(&thread_);
  thread_.start();
}

WorkQueue::~WorkQueue() {
  thread_.quit();
  thread_.wait();
  delete worker_;  // the thread has ended; jobs still queued for it go with it
}

void WorkQueue::postRaw(std::function<void()> work, std::function<void()> done) {
  ++pending_;
  QPointer<WorkQueue> self(this);
  QMetaObject::invokeMethod(
      worker_,
      [self, work = std::move(work), done = std::move(done)] {
        work();
        // Queued to the window's thread; dropped when the queue is gone by then.
        QMetaObject::invokeMethod(
            self.data(),
            [self, done] {
              if (!self) return;
              --self->pending_;
              done();
              if (self && self->pending_ == 0) emit self->idle();
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

}  // namespace km::gui
