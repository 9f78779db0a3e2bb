// The editor's batch runs: "S&tart..." with the input and output dialogs, the start a
// command line with "-r" asks for, and the editor's side of a run (busy flag, status
// text, script line shown, progress title while minimised).

#include <algorithm>

#include <QEvent>
#include <QStatusBar>
#include <QTimer>

#include "app/CommandLineRun.h"
#include "batch/ListFile.h"
#include "common/Settings.h"
#include "fileio/FileTypeTable.h"
#include "fileio/filters/ImportFilters.h"
#include "fileio/IoSettings.h"
#include "gui/batch/BatchInputDlg.h"
#include "gui/batch/BatchOutputDlg.h"
#include "gui/batch/BatchSession.h"
#include "gui/batch/OutputTypes.h"
#include "gui/editor/EditorWindow.h"
#include "script/CommandCodes.h"

namespace km::gui {
namespace {

constexpr int kExitRefused = 2;

// The format settings an interactive run starts from when the script's own are not
// used: 300 DPI, compression 15, no transparency, palette entry 0, white.
OutputOptions InteractiveDefaults() {
  OutputOptions o;
  o.dpi = settings::kOutDPIDefault;
  o.compression = settings::kOutCompressionDefault;
  o.transparencyType = 1;
  o.transparentIndex = 0;
  o.transparentColor = 0x00FFFFFF;
  return o;
}

}  // namespace

void EditorWindow::startBatch() {
  if (busy_ || testing_) return;
  const FileTypeTable types = LoadFileTypeTable(profile_);
  const CScriptCommand* scriptOutput = script_.FindCode(kSetOutputOptions);

  CBatchInputDlg input(types, this);
  input.setDirectory(QString::fromStdString(
      profile_.getString(settings::kBatchDialog, settings::kOpenDir, settings::DefaultFolder())));
  input.setFilterIndex(profile_.getInt(settings::kBatchDialog, settings::kOpenIndex, settings::kOpenIndexDefault));
  input.setInterrupt(
      profile_.getInt(settings::kBatchDialog, settings::kInterruptOnErr, settings::kInterruptOnErrDefault) != 0);
  input.setScriptSettings(scriptOutput != nullptr, doNotUseScriptSettings_);
  if (input.exec() != QDialog::Accepted && !input.selectAllChosen()) return;
  const QString inputFolder = input.folder();
  const QStringList names = input.names();
  const bool useScript = input.useScriptSettings();

  OutputOptions options = InteractiveDefaults();
  QString outputFolder;
  if (scriptOutput != nullptr) {
    const OutputOptions stored = OutputOptionsFromCommand(*scriptOutput);
    if (useScript) options = stored;
    options.format = stored.format;
    options.subType = stored.subType;
    outputFolder = QString::fromStdString(scriptOutput->Text1);
  } else {
    options.format = std::max(1, profile_.getInt(settings::kBatchDialog, settings::kOutIndex, settings::kOutIndexDefault));
    options.subType = RememberedSubType(profile_, options.format);
    outputFolder = QString::fromStdString(
        profile_.getString(settings::kBatchDialog, settings::kOutputDir, settings::DefaultFolder()));
  }

  if (!useScript) {
    CBatchOutputDlg output(profile_, this);
    output.setStart(outputFolder, options.format, options);
    if (output.exec() != QDialog::Accepted) return;
    options = output.options();
    options.format = output.format();
    options.subType = output.subType();
    outputFolder = output.folder();
  }

  doNotUseScriptSettings_ = input.doNotUseScriptSettings();
  profile_.setInt(settings::kBatchDialog, settings::kInterruptOnErr, input.interrupt() ? 1 : 0);
  profile_.setString(settings::kBatchDialog, settings::kOpenDir, inputFolder.toStdString());
  profile_.setInt(settings::kBatchDialog, settings::kOpenIndex, input.filterIndex());
  profile_.setString(settings::kBatchDialog, settings::kOutputDir, outputFolder.toStdString());
  profile_.setInt(settings::kBatchDialog, settings::kOutIndex, options.format);
  RememberSubType(profile_, options.format, options.subType);

  // The list: the chosen names, or every file matching the pattern of "Select &All"
  // (a pattern without wildcards lists every file).
  std::string nameLines;
  for (const QString& name : names) nameLines += name.toStdString() + "\n";
  std::string pattern = input.pattern().toStdString();
  if (pattern.find_first_of("*?") == std::string::npos) pattern = "*.*";
  BatchSettings run;
  if (!BuildFileList(&run.listFile, pattern, inputFolder.toStdString(), nameLines, messages_)) return;

  run.inputFolder = inputFolder.toStdString();
  run.outputFolder = outputFolder.toStdString();
  run.fullPathLines = false;
  run.inputTypeIndex = input.filterIndex() - 1;
  run.outputFormat = options.format;
  run.subType = options.subType;
  run.showErrors = input.interrupt();
  run.scriptPath = scriptName().toStdString();
  SaveOutputOptions(profile_, options);
  runBatch(std::move(run), true);
}

void EditorWindow::startCommandLineRun() {
  if (busy_) return;
  CommandLineInput input;
  input.scriptPath = start_.scriptPath;
  input.filePattern = start_.listFile.empty() ? start_.filePattern : std::string();
  input.listFile = start_.listFile;
  input.logFile = start_.logFile;
  input.showErrors = start_.runWithoutInterrupting == 0;
  input.minimise = start_.minimise != 0;
  input.keepOpen = start_.closeAtEnd == 0;
  BatchSettings run;
  if (PrepareCommandLineRun(script_, input, profile_, messages_, &run) != 0) {
    exitStatus_ = kExitRefused;
    return;
  }
  if (start_.minimise != 0) showMinimized();
  runBatch(std::move(run), false);
}

void EditorWindow::runBatch(BatchSettings settings, bool deleteList) {
  batchFromCommandLine_ = settings.commandLineRun;
  const bool restoreAtEnd = settings.commandLineRun && !settings.closeAtEnd;
  // The run reports its progress title always; the window shows it only while
  // minimised.
  settings.minimise = true;
  settings.jobs = profile_.getInt(settings::kGeneral, settings::kJobs, settings::kJobsDefault);
  setBusy(true);
  batch_ = new BatchSession(SnapshotScript(script_), std::move(settings), profile_, messages_, this);
  batch_->setDeleteListAtEnd(deleteList);
  connect(batch_, &BatchSession::titleChanged, this, [this](const QString& title) {
    progressTitle_ = title;
    applyTitle();
  });
  connect(batch_, &BatchSession::mainStatusChanged, this, [this](const QString& text) {
    if (text.isEmpty()) {
      clearStatus();
    } else {
      statusBar()->showMessage(text);
    }
  });
  connect(batch_, &BatchSession::lineStarting, this, [this](int line) { selectLine(line); });
  connect(batch_, &BatchSession::finished, this, [this, restoreAtEnd] {
    if (restoreAtEnd) showNormal();
    emit batchFinished();
  });
  connect(batch_, &BatchSession::closed, this, &EditorWindow::endBatch);
  batch_->start();
}

void EditorWindow::endBatch() {
  exitStatus_ = batch_->exitStatus();
  batch_->deleteLater();
  batch_ = nullptr;
  setBusy(false);
  progressTitle_.clear();
  applyTitle();
  clearStatus();
  emit batchClosed(exitStatus_);
  // A command-line run ends the program once its status window has closed.
  if (batchFromCommandLine_) QTimer::singleShot(0, this, &QWidget::close);
}

void EditorWindow::applyTitle() {
  if (!progressTitle_.isEmpty() && isMinimized()) {
    setWindowTitle(progressTitle_);
  } else {
    updateTitle();
  }
}

void EditorWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && busy_) applyTitle();
}

}  // namespace km::gui
