#pragma once

// One batch run started from the editor: the run on a worker thread, its status window
// on the UI thread, and the questions the run asks shown there while it waits.
//
// The run gets its own copy of the script and of the settings it reads (the input
// preferences and output options); the prompt flag it writes goes back to the
// editor's settings when it ends. Every report of the run arrives on the worker and is
// queued to this object's thread; a question is shown through the editor's message
// service and answered from there, and the status window gets the focus back.
//
// Lifecycle: start() shows the window and starts the run; finished() once the run has
// ended (OK and "&Save Log..." usable); closed() once OK was pressed, or at once at the
// end of a command-line run that ends by itself. The owner deletes the session after
// closed(); deleting it earlier stops the run without asking and waits for it.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>

#include "batch/BatchRun.h"
#include "batch/BatchThread.h"
#include "common/PostedMessages.h"
#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "gui/batch/BatchStatusDialog.h"
#include "script/Script.h"

class QWidget;

namespace km::gui {

// The exit status of a command-line run as the console runner gives it: 0 every file
// converted, 1 some file failed, 2 the list could not be read, 130 the user stopped it.
int BatchExitStatus(const BatchOutcome& outcome);

class BatchSession : public QObject, private BatchObserver {
  Q_OBJECT

public:
  // `owner` is the editor: the status window belongs to it. `messages` shows the
  // run's questions on this thread; `profile` is the editor's settings.
  BatchSession(std::shared_ptr<const CScript> script, BatchSettings settings, Profile& profile,
               MessageService& messages, QWidget* owner);
  ~BatchSession() override;

  // The list file is deleted once the run has ended (an interactive run's list).
  void setDeleteListAtEnd(bool on) { deleteList_ = on; }

  void start();

  BatchStatusDialog* dialog() const { return dialog_; }
  bool isFinished() const { return finished_; }
  // After finished().
  const BatchOutcome& outcome() const { return outcome_; }
  const std::vector<std::string>& log() const { return log_; }
  int exitStatus() const { return BatchExitStatus(outcome_); }

  // "&Abort".
  void requestAbort();
  // OK: closes the window once the run has ended.
  void close();

signals:
  // The title the editor shows while minimised; empty: its normal title.
  void titleChanged(const QString& title);
  // The editor's status-bar text; empty: the idle text.
  void mainStatusChanged(const QString& text);
  // Script line `index` is about to run.
  void lineStarting(int index);
  void finished();
  void closed();

private:
  // BatchObserver, called on the run's thread.
  void statusLine1(const std::string& text) override;
  void statusLine2(const std::string& text) override;
  void logLineAdded(const std::string& line) override;
  void logLineChanged(const std::string& line) override;
  void title(const std::string& text) override;
  void mainStatus(const std::string& text) override;
  void commandStarting(int index) override;
  ProgressWindow progress() override { return &escape_; }
  void runFinished(const BatchOutcome& outcome) override;

  void showMessage(const PostedMessageService::Message& message);
  void endRun();

  // Escape in the status window stops the step in hand, once.
  class EscapeSink final : public ProgressSink {
  public:
    void press() { pressed_.store(true); }
    void report(int) override {}
    bool cancelled() override { return pressed_.exchange(false); }

  private:
    std::atomic<bool> pressed_{false};
  };

  std::shared_ptr<const CScript> script_;
  BatchSettings settings_;
  Profile& profile_;
  MessageService& messages_;
  MemoryProfile runProfile_;
  FileTypeTable types_;
  EscapeSink escape_;
  PostedMessageService posted_;
  std::unique_ptr<BatchRun> run_;
  BatchThread thread_;
  QPointer<BatchStatusDialog> dialog_;
  BatchOutcome outcome_;
  std::vector<std::string> log_;
  bool deleteList_ = false;
  bool finished_ = false;
  bool closed_ = false;
};

}  // namespace km::gui
