// The editor's preview and the commands tried on it: loading and reverting the preview,
// choosing a new one, Exec Cmd and Test Script. The image work runs on the window's
// worker thread; results come back to this thread and replace the working image whole.

#include <QApplication>
#include <QListWidget>

#include "commands/ErrorText.h"
#include "common/Settings.h"
#include "fileio/IoSettings.h"
#include "fileio/filters/ImportFilters.h"
#include "gui/dialogs/Choosers.h"
#include "gui/editor/EditorWindow.h"
#include "gui/editor/PreviewWidget.h"
#include "gui/editor/WorkQueue.h"
#include "StringTable.h"

namespace km::gui {
namespace {

enum Text : int {
  kExecuting = 2051,
  kSimulating = 2052,
  kInternalPreview = 2731,
};

constexpr int kStopped = 100;  // the result a test line gets when Escape was pressed

struct PreviewLoad {
  SharedDib image;
  QImage display;
  std::shared_ptr<const OptimumPalette> palette;
};

}  // namespace

QSize EditorWindow::previewRoom() const { return preview_->frameRoom(); }

const QImage& EditorWindow::displayImage() const { return preview_->displayImage(); }

void EditorWindow::setWorking(SharedDib image, const QImage& display) {
  working_ = std::move(image);
  preview_->setDisplayImage(display);
  updatePreviewInfo();
}

void EditorWindow::setScreenDepth(int depth) {
  screenDepth_ = depth;
  rebuildDisplay();
}

void EditorWindow::rebuildDisplay() {
  if (!working_) return;
  const SharedDib image = working_;
  const QSize room = previewRoom();
  const int depth = screenDepth_;
  work_->post<QImage>([image, room, depth] { return BuildDisplayImage(image.get(), room.width(), room.height(), depth); },
                      [this, image](QImage& display) {
                        if (working_ == image) preview_->setDisplayImage(display);
                      });
}

void EditorWindow::loadPreview() {
  previewPath_ = profile_.getString(settings::kGeneral, settings::kPreviewImage, std::string());
  const std::string path = previewPath_;
  const InputPreferences preferences = LoadInputPreferences(profile_);
  const auto types = std::make_shared<const FileTypeTable>(LoadFileTypeTable(profile_));
  const QSize room = previewRoom();
  const int depth = screenDepth_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  work_->post<PreviewLoad>(
      [path, types, preferences, room, depth] {
        PreviewLoad load;
        load.image = SharedDib(LoadPreviewImage(path, *types, preferences));
        load.display = BuildDisplayImage(load.image.get(), room.width(), room.height(), depth);
        return load;
      },
      [this](PreviewLoad& load) {
        QApplication::restoreOverrideCursor();
        setWorking(load.image, load.display);
      });
}

void EditorWindow::revertPreview() {
  if (testing_) return;
  loadPreview();
}

void EditorWindow::chooseNewPreview() {
  if (busy_ || testing_ || isWorking()) return;
  QString chosen;
  if (!ChoosePreviewFile(this, QString::fromStdString(previewPath_), LoadFileTypeTable(profile_), &chosen)) return;
  const std::string stored =
      chosen.isEmpty() ? LoadString(kInternalPreview) : chosen.toStdString();
  profile_.setString(settings::kGeneral, settings::kPreviewImage, stored);
  loadPreview();
}

// ---- Exec Cmd ------------------------------------------------------------------------------

void EditorWindow::executeCommand() {
  if (busy_ || testing_ || isWorking()) return;
  const int line = selectedLine();
  if (line < 0 || !working_) return;
  showStatus(kExecuting);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::shared_ptr<const CScript> run = SnapshotScript(script_);
  const SharedDib image = working_;
  const QSize room = previewRoom();
  const int depth = screenDepth_;
  work_->post<CommandOutcome>(
      [run, line, image, room, depth] {
        OptimumPalette palette;
        const CScriptCommand* command = run->GetAt(line);
        if (command->Code == kApplyOptimizedPalette) palette = GatherOptimumPalette(*command, image.get());
        return RunCommandOnPreview(*run, line, image.get(), palette, room.width(), room.height(), depth);
      },
      [this, line](CommandOutcome& outcome) {
        QApplication::restoreOverrideCursor();
        if (outcome.code != 0) {
          messages_.show(ScriptLineErrorText(line + 1, outcome.code), MessageIcon::Stop, MessageButtons::Ok);
        } else if (outcome.image) {
          setWorking(outcome.image, outcome.display);
        }
        clearStatus();
      });
}

// ---- Test Script -----------------------------------------------------------------------------

void EditorWindow::testScript() {
  if (busy_ || testing_ || isWorking()) return;
  testing_ = true;
  stopRequested_ = false;
  stopTestAction_->setEnabled(true);
  setCursor(Qt::WaitCursor);
  showStatus(kSimulating);
  testRun_ = SnapshotScript(script_);
  previewPath_ = profile_.getString(settings::kGeneral, settings::kPreviewImage, std::string());
  const std::string path = previewPath_;
  const InputPreferences preferences = LoadInputPreferences(profile_);
  const auto types = std::make_shared<const FileTypeTable>(LoadFileTypeTable(profile_));
  const std::shared_ptr<const CScript> run = testRun_;
  const QSize room = previewRoom();
  const int depth = screenDepth_;
  // The test starts from the picture as loaded, and the first 519 of the script gathers
  // its palette from it before anything runs.
  work_->post<PreviewLoad>(
      [path, types, preferences, run, room, depth] {
        PreviewLoad load;
        load.image = SharedDib(LoadPreviewImage(path, *types, preferences));
        load.display = BuildDisplayImage(load.image.get(), room.width(), room.height(), depth);
        auto palette = std::make_shared<OptimumPalette>();
        if (const CScriptCommand* optimum = run->FindCode(kApplyOptimizedPalette)) {
          *palette = GatherOptimumPalette(*optimum, load.image.get());
        }
        load.palette = std::move(palette);
        return load;
      },
      [this](PreviewLoad& load) {
        setWorking(load.image, load.display);
        testPalette_ = load.palette;
        runTestLine(0);
      });
}

void EditorWindow::runTestLine(int line) {
  if (line >= testRun_->GetCount() || stopRequested_) {
    finishTest();
    return;
  }
  selectLine(line);
  const std::shared_ptr<const CScript> run = testRun_;
  const std::shared_ptr<const OptimumPalette> palette = testPalette_;
  const SharedDib image = working_;
  const QSize room = previewRoom();
  const int depth = screenDepth_;
  work_->post<CommandOutcome>(
      [run, line, palette, image, room, depth] {
        return RunCommandOnPreview(*run, line, image.get(), *palette, room.width(), room.height(), depth);
      },
      [this, line](CommandOutcome& outcome) {
        // Escape pressed while the command ran: its result counts as a stop.
        const int code = stopRequested_ ? kStopped : outcome.code;
        if (code == kStopped) {
          finishTest();
          return;
        }
        if (code != 0) {
          const MessageAnswer answer = messages_.show(ScriptLineErrorText(line + 1, code), MessageIcon::Stop,
                                                      MessageButtons::OkCancel);
          if (answer == MessageAnswer::Cancel) {
            finishTest();
            return;
          }
        } else if (outcome.image) {
          setWorking(outcome.image, outcome.display);
        }
        runTestLine(line + 1);
      });
}

void EditorWindow::stopTest() {
  if (testing_) stopRequested_ = true;
}

void EditorWindow::finishTest() {
  clearStatus();
  testing_ = false;
  stopRequested_ = false;
  stopTestAction_->setEnabled(false);
  testRun_.reset();
  testPalette_.reset();
  unsetCursor();
  emit testFinished();
}

}  // namespace km::gui
