#pragma once

// The common base of the parameter dialogs that show their effect live: the editor's
// preview picture scaled into the preview frame, and the dialog's current values applied
// to that copy through the dispatcher's code (RenderPreview), refreshed once the values
// have been quiet for 250 to 500 ms. The work runs on the thread pool; a newer change
// stops a computation that has become stale, and only the newest result is shown. A
// failing operation is reported through the message service and the picture is shown
// unchanged.

#include <cstdint>
#include <memory>
#include <vector>

#include <QDialog>
#include <QFuture>
#include <QFutureWatcher>
#include <QImage>
#include <QTimer>

#include "commands/PreviewRender.h"
#include "common/MessageService.h"
#include "imaging/Dib.h"
#include "script/Script.h"

namespace km::gui {

class PreviewFrame;

class PreviewDialog : public QDialog {
  Q_OBJECT

public:
  // Timer period and the number of quiet ticks before a refresh.
  static constexpr int kTickMs = 250;
  static constexpr int kTickDelay = 1;

  explicit PreviewDialog(MessageService& messages, QWidget* parent = nullptr);
  ~PreviewDialog() override;

  // Starts the preview of `source` (the editor's picture, not owned; it must outlive the
  // dialog): the frame is shown and the first picture computed at once.
  void setPreviewSource(const Dib* source);
  bool hasPreview() const { return source_ != nullptr; }

  // The preview frame widget (hidden until a source is set); subclasses place it.
  PreviewFrame* previewFrame() const { return frame_; }
  // The picture area of the frame: 80 x 80 dialog units of this dialog's font, less 4.
  FrameSize previewArea() const { return area_; }

  // The source scaled into the frame, and what the frame shows now (the scaled source
  // itself when the values change nothing or the operation failed). Null before the
  // first computation has finished.
  const Dib* scaledSource() const { return scaled_.get(); }
  const Dib* shownPicture() const { return shown_ ? shown_.get() : scaled_.get(); }
  // The code of the last refresh (0 when it succeeded).
  int lastCode() const { return lastCode_; }

signals:
  // A refresh has been shown (also one that failed).
  void previewRefreshed();

protected:
  // The values the preview applies now.
  virtual CScriptCommand previewValues() const = 0;
  // Subclasses call this after every change of a value.
  void valuesChanged();

  MessageService& messages() const { return messages_; }

private:
  struct Outcome;
  class Job;

  void tick();
  void launch();
  void showOutcome();
  void report(int code);

  MessageService& messages_;
  PreviewFrame* frame_;
  FrameSize area_{};
  const Dib* source_ = nullptr;
  std::shared_ptr<const Dib> scaled_;
  std::shared_ptr<const Dib> shown_;
  QImage scaledPicture_;
  int lastCode_ = 0;
  QTimer timer_;
  bool dirty_ = false;
  int ticks_ = 0;
  std::uint64_t generation_ = 0;
  std::vector<std::shared_ptr<Job>> running_;
  QFutureWatcher<std::shared_ptr<Outcome>> watcher_;
};

}  // namespace km::gui
