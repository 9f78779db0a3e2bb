#include "gui/dialogs/params/PreviewDialog.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include <QFontMetrics>
#include <QtConcurrent/QtConcurrentRun>

#include "commands/ErrorText.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/params/DibPicture.h"
#include "gui/dialogs/params/PreviewFrame.h"
#include "gui/dialogs/params/TemplateLayouts.h"

namespace km::gui {

// What one computation produced.
struct PreviewDialog::Outcome {
  std::uint64_t generation = 0;
  int code = 0;
  std::shared_ptr<const Dib> scaled;
  std::shared_ptr<const Dib> shown;  // null: the scaled source unchanged
  QImage scaledPicture;
  QImage shownPicture;
};

// One computation on the pool. It stands in as the operation's progress window only so
// that a newer change can stop it; nothing is reported.
class PreviewDialog::Job final : public ProgressSink {
public:
  void report(int) override {}
  bool cancelled() override { return stop.load(std::memory_order_relaxed); }

  std::atomic<bool> stop{false};
  QFuture<std::shared_ptr<Outcome>> future;
};

PreviewDialog::PreviewDialog(MessageService& messages, QWidget* parent)
    : QDialog(parent), messages_(messages), frame_(new PreviewFrame(this)) {
  frame_->setObjectName(QStringLiteral("ctl%1").arg(ctl::kPreviewFrame));
  frame_->setToolTip(DialogString(ptext::kHoldForOriginal));
  frame_->hide();
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &PreviewDialog::tick);
  connect(&watcher_, &QFutureWatcher<std::shared_ptr<Outcome>>::finished, this, &PreviewDialog::showOutcome);
}

PreviewDialog::~PreviewDialog() {
  timer_.stop();
  watcher_.disconnect(this);
  for (const auto& job : running_) job->stop = true;
  for (const auto& job : running_) job->future.waitForFinished();
}

void PreviewDialog::setPreviewSource(const Dib* source) {
  if (ValidateDib(source) != kOk) {
    return;
  }
  source_ = source;
  // A dialog unit: a quarter of the average width of the alphabet, an eighth of the
  // font's height.
  const QFontMetrics metrics(font());
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int averageWidth = (metrics.horizontalAdvance(alphabet) + 26) / 52;
  area_ = PreviewArea(averageWidth, metrics.height());
  frame_->setFixedSize(area_.width + 4, area_.height + 4);
  frame_->show();
  launch();
  timer_.start();
}

void PreviewDialog::valuesChanged() {
  dirty_ = true;
  ticks_ = 0;
}

void PreviewDialog::tick() {
  if (++ticks_ <= kTickDelay || !dirty_) {
    return;
  }
  dirty_ = false;
  launch();
}

void PreviewDialog::launch() {
  if (source_ == nullptr) {
    return;
  }
  for (const auto& job : running_) job->stop = true;
  std::erase_if(running_, [](const std::shared_ptr<Job>& job) { return job->future.isFinished(); });

  auto job = std::make_shared<Job>();
  const std::uint64_t generation = ++generation_;
  const CScriptCommand values = previewValues();
  const Dib* source = source_;
  const FrameSize area = area_;
  std::shared_ptr<const Dib> scaled = scaled_;
  job->future = QtConcurrent::run([job, generation, values, source, area, scaled]() mutable {
    auto out = std::make_shared<Outcome>();
    out->generation = generation;
    if (!scaled) {
      DibHandle made;
      out->code = ScaleToFrame(source, area, &made);
      if (out->code != 0) {
        return out;
      }
      scaled = std::shared_ptr<const Dib>(std::move(made));
      out->scaledPicture = DibPicture(*scaled);
    }
    out->scaled = scaled;
    DibHandle shown;
    out->code = RenderPreview(scaled.get(), values, area, source->width(), source->height(), job.get(), &shown);
    if (out->code == 0 && shown) {
      out->shownPicture = DibPicture(*shown);
      out->shown = std::shared_ptr<const Dib>(std::move(shown));
    }
    return out;
  });
  running_.push_back(job);
  watcher_.setFuture(job->future);
}

void PreviewDialog::showOutcome() {
  const std::shared_ptr<Outcome> out = watcher_.result();
  if (!out || out->generation != generation_) {
    return;
  }
  if (out->scaled && !scaled_) {
    scaled_ = out->scaled;
    scaledPicture_ = out->scaledPicture;
  }
  lastCode_ = out->code;
  shown_ = out->code == 0 ? out->shown : nullptr;
  frame_->setPictures(shown_ ? out->shownPicture : scaledPicture_, scaledPicture_);
  if (out->code != 0) {
    report(out->code);
  }
  emit previewRefreshed();
}

void PreviewDialog::report(int code) {
  // No refresh starts while the message is up.
  timer_.stop();
  if (code < 0) {
    messages_.message(ErrorText(code), MessageIcon::Stop);  // the dispatcher's own refusal
  } else {
    ShowLibraryError(code, messages_);
  }
  timer_.start();
}

}  // namespace km::gui
