#pragma once

// "Batch Processing Status": the modeless window of a batch run. Status line 1, status
// line 2 (right-aligned), the log list, which selects and shows each new line, and the
// buttons "&Abort", "OK" and "&Save Log...". While the run goes on only "&Abort" is
// usable; once it has ended, only OK and "&Save Log...".
//
// Object names: "batchStatusDialog", "statusLine1", "statusLine2", "logList",
// "abortButton", "okButton", "saveLogButton".

#include <string>
#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace km {
class MessageService;
class Profile;
}  // namespace km

namespace km::gui {

class BatchStatusDialog : public QDialog {
  Q_OBJECT

public:
  BatchStatusDialog(Profile& profile, MessageService& messages, QWidget* parent = nullptr);

  void setStatusLine1(const QString& text);
  void setStatusLine2(const QString& text);
  QString statusLine1() const;
  QString statusLine2() const;
  // Appends a log line and selects it, so the list scrolls to it.
  void addLogLine(const std::string& line);
  // Replaces the last log line.
  void changeLastLogLine(const std::string& line);
  QStringList logLines() const;
  // The lines as the run wrote them (what "&Save Log..." writes).
  const std::vector<std::string>& logText() const { return lines_; }

  // Running: "&Abort" usable, OK and "&Save Log..." not; ended: the reverse.
  void setRunning(bool running);
  bool isRunning() const { return running_; }

  // "&Save Log...": a save dialog over "*.log" files starting in the "LogDirectory"
  // folder; OK remembers the folder and writes the log there.
  void saveLog();
  // Writes every log line followed by CR LF; a file error shows "The log file could not
  // be saved because %s" with a stop icon. True when written.
  bool saveLogTo(const QString& path);

signals:
  void abortPressed();
  // Escape while the run goes on: the step in hand stops ("User pressed ESC").
  void escapePressed();
  void okPressed();

protected:
  // The path chosen in the save dialog, empty for Cancel. Tests answer it.
  virtual QString askLogPath(const QString& folder);
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

private:
  Profile& profile_;
  MessageService& messages_;
  QLabel* line1_ = nullptr;
  QLabel* line2_ = nullptr;
  QListWidget* log_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* save_ = nullptr;
  std::vector<std::string> lines_;
  bool running_ = true;
};

}  // namespace km::gui
