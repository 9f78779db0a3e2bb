#pragma once

// The script editor: the program's main window. It owns the current script, its file
// name and changed flag, the working preview image and its display, and offers the
// catalogue, the script list, the command clipboard, Exec Cmd and Test Script (both on a
// worker thread), the script files and the recent-script list.
//
// Widgets carry object names for tests: "commandList", "addButton", "newImageButton",
// "revertButton", "previewInfo", "previewFrame", "scriptList", "parameterArea",
// "deleteButton", "moveUpButton", "moveDownButton", "editButton", "execButton",
// "testButton", "startButton"; the actions "actionNew", "actionOpen", "actionSave",
// "actionSaveAs", "actionInputPreferences", "actionExit", "actionCut", "actionCopy",
// "actionPaste", "actionHelpTopics", "actionAbout", "actionStopTest"; "toolBar".

#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "common/MessageService.h"
#include "common/Profile.h"
#include "gui/editor/CommandRun.h"
#include "gui/editor/PreviewImage.h"
#include "gui/editor/RecentScripts.h"
#include "batch/BatchRun.h"
#include "gui/batch/BatchSession.h"
#include "script/CommandLine.h"
#include "script/Script.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace km::gui {

class ParameterView;
class PreviewWidget;
class WorkQueue;

class EditorWindow : public QMainWindow {
  Q_OBJECT

public:
  static constexpr int kRecentScriptCount = 4;

  EditorWindow(Profile& profile, MessageService& messages, QWidget* parent = nullptr);
  ~EditorWindow() override;

  // ---- Start-up --------------------------------------------------------------------
  // What the command line asked for (mode 0: nothing).
  void setStartSettings(const StartSettings& settings) { start_ = settings; }
  const StartSettings& startSettings() const { return start_; }
  // Loads the preview and, for a command-line script, the script; for mode 2 it then
  // calls startCommandLineRun() from the event loop.
  void startUp();

  // The screen depth the display is made for (bits per pixel, above 8 counted as 24).
  int screenDepth() const { return screenDepth_; }
  void setScreenDepth(int depth);

  // ---- State -------------------------------------------------------------------------
  CScript& script() { return script_; }
  const CScript& script() const { return script_; }
  bool isChanged() const { return changed_; }
  // The script's path, or "UNTITLED".
  QString scriptName() const;
  bool isBusy() const { return busy_; }
  // A batch run from this window sets it: editing and file commands then do nothing.
  void setBusy(bool busy);
  bool isTesting() const { return testing_; }
  // Image work is queued or running.
  bool isWorking() const;
  const Dib* workingImage() const { return working_.get(); }
  const QImage& displayImage() const;
  const std::string& previewPath() const { return previewPath_; }
  RecentScripts& recentScripts() { return recent_; }
  // The status bar's text: a temporary message, else "Ready".
  QString statusText() const;
  // The selected line of the script list, -1 when none.
  int selectedLine() const;
  void selectLine(int line);

  // ---- Actions (menus, buttons, toolbar) ---------------------------------------------
  void addCommand();
  void deleteCommand();
  void moveUp();
  void moveDown();
  void editCommand();
  void executeCommand();
  void testScript();
  void stopTest();
  void newScript();
  void openScript();
  // Open from step 3 on: the path chosen or remembered. False when loading failed.
  bool openScriptPath(const QString& path);
  void openRecent(int index);
  bool saveScript();
  bool saveScriptAs();
  void cutCommand();
  void copyCommand();
  void pasteCommand();
  void loadPreview();
  void revertPreview();
  void chooseNewPreview();
  void editInputPreferences();
  void showHelpTopics();
  void showAbout();
  // "S&tart...": the input and output dialogs, then the run in the status window.
  void startBatch();

  // ---- Batch runs ----------------------------------------------------------------------
  // The run going on or waiting for OK; null when none.
  BatchSession* batchSession() const { return batch_; }
  // The exit status of the last command-line run: 0 every file converted, 1 some file
  // failed, 2 the run was refused or its list unreadable, 130 the user stopped it.
  int exitStatus() const { return exitStatus_; }
  // The do-not-use-script-settings flag kept between runs.
  bool doNotUseScriptSettings() const { return doNotUseScriptSettings_; }

signals:
  // All queued image work has been answered.
  void workFinished();
  // Test Script has ended (finished, stopped or cancelled).
  void testFinished();
  // A batch run has ended: its status window offers OK.
  void batchFinished();
  // The status window was closed; the editor is idle again.
  void batchClosed(int exitStatus);

protected:
  // The file dialogs, separate so tests can answer them. An empty answer is Cancel.
  virtual QString askOpenPath(const QString& folder);
  virtual QString askSavePath(const QString& current);
  // The parameter dialog of command `index`; true for OK. Until the dialogs exist the
  // command takes the values its dialog would show and is confirmed.
  virtual bool editParameters(int index);
  // Starts the batch run a command line with "-r" asks for, once the script is loaded:
  // refused with a message when the script has no "Set Output Options"; else it runs at
  // once, and the editor closes when its status window does.
  virtual void startCommandLineRun();

  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void buildForm();
  void buildMenus();
  void buildToolBar();
  void setHelpTexts(QWidget* widget, int stringId);
  void fillCatalogue();
  void fillScriptList();
  void updateParameters();
  void updateTitle();
  void updateRecentMenu();
  void updatePreviewInfo();
  void setChanged(bool changed) { changed_ = changed; }
  bool askLoseChanges();
  void setWorking(SharedDib image, const QImage& display);
  void rebuildDisplay();
  void showStatus(int stringId);
  void clearStatus();
  QSize previewRoom() const;
  void runTestLine(int line);
  void finishTest();
  void runBatch(BatchSettings settings, bool deleteList);
  void endBatch();
  // The progress title while minimised during a run, else the normal title.
  void applyTitle();

  Profile& profile_;
  MessageService& messages_;
  RecentScripts recent_;
  StartSettings start_;
  CScript script_;
  QString scriptPath_;  // empty while untitled
  bool changed_ = false;
  bool busy_ = false;
  bool testing_ = false;
  int screenDepth_ = 24;
  std::string previewPath_;
  SharedDib working_;

  // Test Script: the script as it was when the test started, the palette gathered for
  // its first 519, and Escape's request to stop after the running command.
  std::shared_ptr<const CScript> testRun_;
  std::shared_ptr<const OptimumPalette> testPalette_;
  bool stopRequested_ = false;

  std::unique_ptr<WorkQueue> work_;

  QPointer<BatchSession> batch_;
  bool batchFromCommandLine_ = false;
  bool doNotUseScriptSettings_ = false;
  int exitStatus_ = 0;
  QString progressTitle_;

  QListWidget* commandList_ = nullptr;
  QListWidget* scriptList_ = nullptr;
  ParameterView* parameters_ = nullptr;
  PreviewWidget* preview_ = nullptr;
  QLabel* previewInfo_ = nullptr;
  QLabel* readyLabel_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QPushButton* startButton_ = nullptr;
  QMenu* scriptMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QAction* newAction_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* saveAsAction_ = nullptr;
  QAction* preferencesAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  QAction* cutAction_ = nullptr;
  QAction* copyAction_ = nullptr;
  QAction* pasteAction_ = nullptr;
  QAction* helpAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QAction* stopTestAction_ = nullptr;
  std::vector<QAction*> recentActions_;
};

}  // namespace km::gui
