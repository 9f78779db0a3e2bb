#include "gui/batch/BatchStatusDialog.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "batch/LogFile.h"
#include "common/MessageService.h"
#include "common/Profile.h"
#include "common/Settings.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/DirDialog.h"

namespace km::gui {
namespace {

enum Text : int {
  kLogFilter = 1537,
  kLogNotSaved = 2065,
  kCaption = 23000,
  kAbort = 23001,
  kOk = 23002,
  kSaveLog = 23003,
};

// "Log - TAVO Log File|*.log||" as a name filter.
QString LogNameFilter() {
  const QStringList parts = DialogString(kLogFilter).split(QLatin1Char('|'));
  return parts.value(0) + QStringLiteral(" (") + parts.value(1) + QLatin1Char(')');
}

}  // namespace

BatchStatusDialog::BatchStatusDialog(Profile& profile, MessageService& messages, QWidget* parent)
    : QDialog(parent), profile_(profile), messages_(messages) {
  setObjectName(QStringLiteral("batchStatusDialog"));
  setWindowTitle(DialogString(kCaption));
  setModal(false);
  auto* box = new QVBoxLayout(this);
  line1_ = new QLabel;
  line1_->setObjectName(QStringLiteral("statusLine1"));
  line2_ = new QLabel;
  line2_->setObjectName(QStringLiteral("statusLine2"));
  line2_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* lines = new QHBoxLayout;
  lines->addWidget(line1_, 1);
  lines->addWidget(line2_, 1);
  box->addLayout(lines);
  log_ = new QListWidget;
  log_->setObjectName(QStringLiteral("logList"));
  log_->setUniformItemSizes(true);
  log_->setMinimumSize(560, 260);
  box->addWidget(log_, 1);

  auto* buttons = new QHBoxLayout;
  abort_ = new QPushButton(DialogString(kAbort));
  abort_->setObjectName(QStringLiteral("abortButton"));
  ok_ = new QPushButton(DialogString(kOk));
  ok_->setObjectName(QStringLiteral("okButton"));
  save_ = new QPushButton(DialogString(kSaveLog));
  save_->setObjectName(QStringLiteral("saveLogButton"));
  for (QPushButton* b : {abort_, ok_, save_}) b->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(abort_);
  buttons->addWidget(ok_);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  box->addLayout(buttons);

  connect(abort_, &QPushButton::clicked, this, &BatchStatusDialog::abortPressed);
  connect(ok_, &QPushButton::clicked, this, &BatchStatusDialog::okPressed);
  connect(save_, &QPushButton::clicked, this, &BatchStatusDialog::saveLog);
  setRunning(true);
}

void BatchStatusDialog::setStatusLine1(const QString& text) { line1_->setText(text); }
void BatchStatusDialog::setStatusLine2(const QString& text) { line2_->setText(text); }
QString BatchStatusDialog::statusLine1() const { return line1_->text(); }
QString BatchStatusDialog::statusLine2() const { return line2_->text(); }

void BatchStatusDialog::addLogLine(const std::string& line) {
  lines_.push_back(line);
  log_->addItem(QString::fromStdString(line));
  log_->setCurrentRow(log_->count() - 1, QItemSelectionModel::ClearAndSelect);
  log_->scrollToItem(log_->item(log_->count() - 1));
}

void BatchStatusDialog::changeLastLogLine(const std::string& line) {
  if (lines_.empty()) {
    addLogLine(line);
    return;
  }
  lines_.back() = line;
  log_->item(log_->count() - 1)->setText(QString::fromStdString(line));
}

QStringList BatchStatusDialog::logLines() const {
  QStringList lines;
  for (int i = 0; i < log_->count(); ++i) lines << log_->item(i)->text();
  return lines;
}

void BatchStatusDialog::setRunning(bool running) {
  running_ = running;
  abort_->setEnabled(running);
  ok_->setEnabled(!running);
  save_->setEnabled(!running);
  if (!running) ok_->setDefault(true);
}

QString BatchStatusDialog::askLogPath(const QString& folder) {
  QFileDialog dialog(this, QString(), folder, LogNameFilter());
  dialog.setObjectName(QStringLiteral("saveLogDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("LOG"));
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Save)) ok->setObjectName(QStringLiteral("okButton"));
  }
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

void BatchStatusDialog::saveLog() {
  if (running_) return;
  const QString folder = QString::fromStdString(
      profile_.getString(settings::kGeneral, settings::kLogDirectory, settings::DefaultFolder()));
  const QString path = askLogPath(folder);
  if (path.isEmpty()) return;
  profile_.setString(settings::kGeneral, settings::kLogDirectory,
                     FolderWithoutSeparator(QFileInfo(path).absolutePath()).toStdString());
  saveLogTo(path);
}

bool BatchStatusDialog::saveLogTo(const QString& path) {
  std::string reason;
  if (SaveLogFile(path.toStdString(), lines_, &reason)) return true;
  messages_.show(FormatString(kLogNotSaved, reason), MessageIcon::Stop, MessageButtons::Ok);
  return false;
}

void BatchStatusDialog::reject() {
  // Escape: while running it stops the step in hand; afterwards it is OK.
  if (running_) {
    emit escapePressed();
  } else {
    emit okPressed();
  }
}

void BatchStatusDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (!running_) emit okPressed();
}

}  // namespace km::gui
