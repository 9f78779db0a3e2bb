#include "gui/batch/BatchSession.h"

#include <cstdio>

#include <QMetaObject>
#include <QWidget>

#include "fileio/IoSettings.h"
#include "fileio/filters/ImportFilters.h"
#include "gui/batch/BatchStatusDialog.h"

namespace km::gui {

int BatchExitStatus(const BatchOutcome& outcome) {
  if (!outcome.listOpened) return 2;
  if (outcome.aborted) return 130;
  return outcome.converted == outcome.total ? 0 : 1;
}

BatchSession::BatchSession(std::shared_ptr<const CScript> script, BatchSettings settings, Profile& profile,
                           MessageService& messages, QWidget* owner)
    : script_(std::move(script)),
      settings_(std::move(settings)),
      profile_(profile),
      messages_(messages),
      posted_([this](const PostedMessageService::Message& message) {
        QMetaObject::invokeMethod(this, [this, message] { showMessage(message); }, Qt::QueuedConnection);
      }) {
  // The run reads the settings as they are now and writes only the prompt flag.
  SaveInputPreferences(runProfile_, LoadInputPreferences(profile_));
  SaveOutputOptions(runProfile_, LoadOutputOptions(profile_));
  // The same import filters as the input dialog's, so its entry numbers name the same types.
  types_ = LoadFileTypeTable(profile_);
  dialog_ = new BatchStatusDialog(profile_, messages_, owner);
  dialog_->setAttribute(Qt::WA_DeleteOnClose, false);
  connect(dialog_, &BatchStatusDialog::abortPressed, this, &BatchSession::requestAbort);
  connect(dialog_, &BatchStatusDialog::escapePressed, this, [this] { escape_.press(); });
  connect(dialog_, &BatchStatusDialog::okPressed, this, &BatchSession::close);
  BatchObserver& observer = *this;
  run_ = std::make_unique<BatchRun>(*script_, settings_, runProfile_, observer, posted_, types_);
}

BatchSession::~BatchSession() {
  if (thread_.started()) {
    run_->StopWithoutAsking();
    posted_.close();
    thread_.Join();
  }
  delete dialog_.data();
}

void BatchSession::start() {
  dialog_->show();
  dialog_->raise();
  thread_.Start(*run_);
}

void BatchSession::requestAbort() {
  if (!finished_) run_->RequestAbort();
}

void BatchSession::close() {
  if (!finished_ || closed_) return;
  closed_ = true;
  dialog_->hide();
  emit titleChanged(QString());
  emit mainStatusChanged(QString());
  emit closed();
}

// ---- Reports of the run, forwarded to this thread -------------------------------------

void BatchSession::statusLine1(const std::string& text) {
  QMetaObject::invokeMethod(this, [this, text] { dialog_->setStatusLine1(QString::fromStdString(text)); },
                            Qt::QueuedConnection);
}

void BatchSession::statusLine2(const std::string& text) {
  QMetaObject::invokeMethod(this, [this, text] { dialog_->setStatusLine2(QString::fromStdString(text)); },
                            Qt::QueuedConnection);
}

void BatchSession::logLineAdded(const std::string& line) {
  QMetaObject::invokeMethod(this, [this, line] { dialog_->addLogLine(line); }, Qt::QueuedConnection);
}

void BatchSession::logLineChanged(const std::string& line) {
  QMetaObject::invokeMethod(this, [this, line] { dialog_->changeLastLogLine(line); }, Qt::QueuedConnection);
}

void BatchSession::title(const std::string& text) {
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        // The run restores the title as it returns; the window keeps "Finished (...)"
        // until OK.
        if (!finished_) emit titleChanged(QString::fromStdString(text));
      },
      Qt::QueuedConnection);
}

void BatchSession::mainStatus(const std::string& text) {
  QMetaObject::invokeMethod(this, [this, text] { emit mainStatusChanged(QString::fromStdString(text)); },
                            Qt::QueuedConnection);
}

void BatchSession::commandStarting(int index) {
  QMetaObject::invokeMethod(this, [this, index] { emit lineStarting(index); }, Qt::QueuedConnection);
}

void BatchSession::runFinished(const BatchOutcome&) {
  QMetaObject::invokeMethod(this, [this] { endRun(); }, Qt::QueuedConnection);
}

void BatchSession::showMessage(const PostedMessageService::Message& message) {
  const MessageAnswer answer = messages_.show(message.text, message.icon, message.buttons);
  posted_.answer(message.id, answer);
  if (dialog_ && dialog_->isVisible()) dialog_->activateWindow();
}

void BatchSession::endRun() {
  // RunBatch returns right after its last report.
  thread_.Join();
  outcome_ = run_->outcome();
  log_ = run_->log();
  SaveMetafilePrompt(profile_, LoadInputPreferences(runProfile_).metafilePrompt);
  if (deleteList_) std::remove(settings_.listFile.c_str());
  finished_ = true;
  dialog_->setRunning(false);
  emit finished();
  if (settings_.commandLineRun && settings_.closeAtEnd) close();
}

}  // namespace km::gui
