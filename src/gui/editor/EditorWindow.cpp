#include "gui/editor/EditorWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "commands/Describe.h"
#include "gui/dialogs/InfoDialogs.h"
#include "gui/editor/ParameterView.h"
#include "gui/editor/PreviewWidget.h"
#include "gui/editor/WorkQueue.h"
#include "StringTable.h"

namespace km::gui {
namespace {

// String ids of the window's own texts.
enum Text : int {
  kUntitled = 102,
  kAppTitle = 57344,
  kReady = 57345,
  kMenuScript = 2700,
  kMenuNew = 2701,
  kMenuOpen = 2702,
  kMenuSave = 2703,
  kMenuSaveAs = 2704,
  kMenuPreferences = 2705,
  kMenuRecent = 2706,
  kMenuExit = 2707,
  kMenuEdit = 2708,
  kMenuCut = 2709,
  kMenuCopy = 2710,
  kMenuPaste = 2711,
  kMenuHelp = 2712,
  kMenuHelpTopics = 2713,
  kMenuAbout = 2714,
  kGroupCommands = 2715,
  kAddButton = 2716,
  kGroupPreview = 2717,
  kNewImageButton = 2718,
  kRevertButton = 2719,
  kNoPreviewImage = 2720,
  kGroupScript = 2721,
  kParametersLabel = 2722,
  kDeleteButton = 2723,
  kMoveUpButton = 2724,
  kMoveDownButton = 2725,
  kEditButton = 2726,
  kExecButton = 2727,
  kTestButton = 2728,
  kStartButton = 2729,
  kPreviewInfo = 2730,
  kHelpNew = 2740,
  kHelpOpen = 2741,
  kHelpSave = 2742,
  kHelpSaveAs = 2743,
  kHelpPreferences = 2744,
  kHelpRecent = 2745,
  kHelpExit = 2746,
  kHelpCut = 2747,
  kHelpCopy = 2748,
  kHelpPaste = 2749,
  kHelpTopics = 2750,
  kHelpAbout = 2751,
};

// Help strings of the form controls: a long prompt for the status bar, a line break,
// a short tool tip.
enum ControlHelp : int {
  kHelpCommandList = 2500,
  kHelpAddButton = 2501,
  kHelpNewImage = 2502,
  kHelpRevert = 2503,
  kHelpScriptList = 2504,
  kHelpDelete = 2505,
  kHelpMoveUp = 2506,
  kHelpMoveDown = 2507,
  kHelpEdit = 2508,
  kHelpExec = 2509,
  kHelpTest = 2510,
  kHelpStart = 2511,
  kHelpPreviewFrame = 2512,
  kHelpParameters = 2513,
  kHelpPreviewInfo = 2514,
};

QString Text(int id) { return QString::fromStdString(LoadString(id)); }

// The part of a help string before / after its line break.
QString LongHelp(int id) { return Text(id).section(QLatin1Char('\n'), 0, 0); }
QString ShortHelp(int id) { return Text(id).section(QLatin1Char('\n'), 1); }

// A menu text "&New\tCtrl+N" as a Qt action: the text before the tab, the shortcut
// after it.
QAction* MenuAction(QMenu* menu, int textId, int helpId, const char* objectName) {
  const QString text = Text(textId);
  auto* action = menu->addAction(text.section(QLatin1Char('\t'), 0, 0));
  const QString keys = text.section(QLatin1Char('\t'), 1);
  if (!keys.isEmpty()) action->setShortcut(QKeySequence(keys));
  action->setStatusTip(LongHelp(helpId));
  action->setToolTip(ShortHelp(helpId));
  action->setObjectName(QString::fromLatin1(objectName));
  return action;
}

// Toolbar pictures: the desktop theme's, else a standard picture of the style, else a
// small drawing, so a machine without an icon theme still shows every button.
enum class Drawn { None, Cut, Copy, Paste };

QIcon DrawnIcon(Drawn what) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  switch (what) {
    case Drawn::Cut:
      p.drawLine(QPointF(4, 1), QPointF(11, 10));
      p.drawLine(QPointF(12, 1), QPointF(5, 10));
      p.setBrush(QColor(200, 40, 40));
      p.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
      p.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
      break;
    case Drawn::Copy:
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
      break;
    case Drawn::Paste:
      p.setBrush(QColor(190, 150, 90));
      p.drawRect(QRectF(2.5, 2.5, 11, 13));
      p.setBrush(QColor(120, 120, 120));
      p.drawRect(QRectF(5.5, 0.5, 5, 3));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(5.5, 6.5, 7, 8));
      break;
    case Drawn::None: break;
  }
  return QIcon(pixmap);
}

QIcon ToolIcon(const char* themeName, QStyle::StandardPixmap standard, Drawn drawn, QStyle* style) {
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName));
  if (!icon.isNull()) return icon;
  if (drawn != Drawn::None) return DrawnIcon(drawn);
  return style->standardIcon(standard);
}

}  // namespace

EditorWindow::EditorWindow(Profile& profile, MessageService& messages, QWidget* parent)
    : QMainWindow(parent),
      profile_(profile),
      messages_(messages),
      recent_(profile, kRecentScriptCount),
      work_(std::make_unique<WorkQueue>()) {
  setObjectName(QStringLiteral("editorWindow"));
  connect(work_.get(), &WorkQueue::idle, this, &EditorWindow::workFinished);
  buildForm();
  buildMenus();
  buildToolBar();
  readyLabel_ = new QLabel(Text(kReady));
  readyLabel_->setObjectName(QStringLiteral("readyLabel"));
  statusBar()->addWidget(readyLabel_, 1);
  fillCatalogue();
  updateTitle();
  updateRecentMenu();
  updateParameters();
  resize(sizeHint().expandedTo(QSize(860, 0)));
}

EditorWindow::~EditorWindow() {
  // Wait for the running job before the window it answers to goes away.
  work_.reset();
}

// ---- Form ------------------------------------------------------------------------------

void EditorWindow::setHelpTexts(QWidget* widget, int stringId) {
  widget->setStatusTip(LongHelp(stringId));
  widget->setToolTip(ShortHelp(stringId));
}

void EditorWindow::buildForm() {
  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);

  auto makeButton = [this](int textId, int helpId, const char* name) {
    auto* button = new QPushButton(Text(textId));
    button->setObjectName(QString::fromLatin1(name));
    setHelpTexts(button, helpId);
    button->setAutoDefault(false);
    return button;
  };

  // Left: the catalogue and the preview.
  auto* left = new QVBoxLayout;
  auto* commandsGroup = new QGroupBox(Text(kGroupCommands));
  auto* commandsBox = new QVBoxLayout(commandsGroup);
  commandList_ = new QListWidget;
  commandList_->setObjectName(QStringLiteral("commandList"));
  commandList_->setMinimumHeight(14 * commandList_->fontMetrics().height());
  setHelpTexts(commandList_, kHelpCommandList);
  commandsBox->addWidget(commandList_);
  auto* addButton = makeButton(kAddButton, kHelpAddButton, "addButton");
  commandsBox->addWidget(addButton);
  left->addWidget(commandsGroup, 1);

  auto* previewGroup = new QGroupBox(Text(kGroupPreview));
  auto* previewBox = new QVBoxLayout(previewGroup);
  auto* previewButtons = new QHBoxLayout;
  auto* newImageButton = makeButton(kNewImageButton, kHelpNewImage, "newImageButton");
  auto* revertButton = makeButton(kRevertButton, kHelpRevert, "revertButton");
  previewButtons->addWidget(newImageButton);
  previewButtons->addWidget(revertButton);
  previewBox->addLayout(previewButtons);
  previewInfo_ = new QLabel(Text(kNoPreviewImage));
  previewInfo_->setObjectName(QStringLiteral("previewInfo"));
  setHelpTexts(previewInfo_, kHelpPreviewInfo);
  previewBox->addWidget(previewInfo_);
  preview_ = new PreviewWidget;
  preview_->setObjectName(QStringLiteral("previewFrame"));
  setHelpTexts(preview_, kHelpPreviewFrame);
  // Room for the built-in picture at its own size.
  preview_->setFixedSize(kBuiltInPreviewWidth + 2 * PreviewWidget::kInset + 4,
                         kBuiltInPreviewHeight + 2 * PreviewWidget::kInset + 4);
  previewBox->addWidget(preview_, 0, Qt::AlignHCenter);
  left->addWidget(previewGroup, 0);
  columns->addLayout(left, 0);

  // Right: the script, its buttons and the parameter area.
  auto* scriptGroup = new QGroupBox(Text(kGroupScript));
  auto* scriptBox = new QVBoxLayout(scriptGroup);
  auto* scriptRow = new QHBoxLayout;
  scriptList_ = new QListWidget;
  scriptList_->setObjectName(QStringLiteral("scriptList"));
  setHelpTexts(scriptList_, kHelpScriptList);
  scriptRow->addWidget(scriptList_, 1);
  auto* buttons = new QVBoxLayout;
  auto* deleteButton = makeButton(kDeleteButton, kHelpDelete, "deleteButton");
  auto* upButton = makeButton(kMoveUpButton, kHelpMoveUp, "moveUpButton");
  auto* downButton = makeButton(kMoveDownButton, kHelpMoveDown, "moveDownButton");
  editButton_ = makeButton(kEditButton, kHelpEdit, "editButton");
  auto* execButton = makeButton(kExecButton, kHelpExec, "execButton");
  auto* testButton = makeButton(kTestButton, kHelpTest, "testButton");
  startButton_ = makeButton(kStartButton, kHelpStart, "startButton");
  for (QPushButton* b : {deleteButton, upButton, downButton, editButton_}) buttons->addWidget(b);
  buttons->addSpacing(12);
  for (QPushButton* b : {execButton, testButton}) buttons->addWidget(b);
  buttons->addSpacing(12);
  buttons->addWidget(startButton_);
  buttons->addStretch(1);
  scriptRow->addLayout(buttons);
  scriptBox->addLayout(scriptRow, 3);
  scriptBox->addWidget(new QLabel(Text(kParametersLabel)));
  parameters_ = new ParameterView;
  parameters_->setObjectName(QStringLiteral("parameterArea"));
  setHelpTexts(parameters_, kHelpParameters);
  parameters_->setMinimumHeight(8 * 15 + 2 * ParameterView::kInset);
  scriptBox->addWidget(parameters_, 2);
  columns->addWidget(scriptGroup, 1);
  setCentralWidget(central);

  // Batch runs are not started from this window yet.
  startButton_->setEnabled(false);

  connect(addButton, &QPushButton::clicked, this, &EditorWindow::addCommand);
  connect(commandList_, &QListWidget::itemDoubleClicked, this, &EditorWindow::addCommand);
  connect(newImageButton, &QPushButton::clicked, this, &EditorWindow::chooseNewPreview);
  connect(revertButton, &QPushButton::clicked, this, &EditorWindow::revertPreview);
  connect(deleteButton, &QPushButton::clicked, this, &EditorWindow::deleteCommand);
  connect(upButton, &QPushButton::clicked, this, &EditorWindow::moveUp);
  connect(downButton, &QPushButton::clicked, this, &EditorWindow::moveDown);
  connect(editButton_, &QPushButton::clicked, this, &EditorWindow::editCommand);
  connect(scriptList_, &QListWidget::itemDoubleClicked, this, &EditorWindow::editCommand);
  connect(execButton, &QPushButton::clicked, this, &EditorWindow::executeCommand);
  connect(testButton, &QPushButton::clicked, this, &EditorWindow::testScript);
  connect(scriptList_, &QListWidget::itemSelectionChanged, this, &EditorWindow::updateParameters);
}

void EditorWindow::buildMenus() {
  scriptMenu_ = menuBar()->addMenu(Text(kMenuScript));
  newAction_ = MenuAction(scriptMenu_, kMenuNew, kHelpNew, "actionNew");
  openAction_ = MenuAction(scriptMenu_, kMenuOpen, kHelpOpen, "actionOpen");
  saveAction_ = MenuAction(scriptMenu_, kMenuSave, kHelpSave, "actionSave");
  saveAsAction_ = MenuAction(scriptMenu_, kMenuSaveAs, kHelpSaveAs, "actionSaveAs");
  scriptMenu_->addSeparator();
  preferencesAction_ = MenuAction(scriptMenu_, kMenuPreferences, kHelpPreferences, "actionInputPreferences");
  recentSeparator_ = scriptMenu_->addSeparator();
  scriptMenu_->addSeparator();
  exitAction_ = MenuAction(scriptMenu_, kMenuExit, kHelpExit, "actionExit");

  QMenu* edit = menuBar()->addMenu(Text(kMenuEdit));
  cutAction_ = MenuAction(edit, kMenuCut, kHelpCut, "actionCut");
  copyAction_ = MenuAction(edit, kMenuCopy, kHelpCopy, "actionCopy");
  pasteAction_ = MenuAction(edit, kMenuPaste, kHelpPaste, "actionPaste");

  QMenu* help = menuBar()->addMenu(Text(kMenuHelp));
  helpAction_ = MenuAction(help, kMenuHelpTopics, kHelpTopics, "actionHelpTopics");
  help->addSeparator();
  aboutAction_ = MenuAction(help, kMenuAbout, kHelpAbout, "actionAbout");

  // Escape stops a script test after its running command; it means nothing otherwise.
  stopTestAction_ = new QAction(this);
  stopTestAction_->setObjectName(QStringLiteral("actionStopTest"));
  stopTestAction_->setShortcut(QKeySequence(Qt::Key_Escape));
  stopTestAction_->setShortcutContext(Qt::WindowShortcut);
  stopTestAction_->setEnabled(false);
  addAction(stopTestAction_);

  connect(newAction_, &QAction::triggered, this, &EditorWindow::newScript);
  connect(openAction_, &QAction::triggered, this, &EditorWindow::openScript);
  connect(saveAction_, &QAction::triggered, this, &EditorWindow::saveScript);
  connect(saveAsAction_, &QAction::triggered, this, &EditorWindow::saveScriptAs);
  connect(preferencesAction_, &QAction::triggered, this, &EditorWindow::editInputPreferences);
  connect(exitAction_, &QAction::triggered, this, &QWidget::close);
  connect(cutAction_, &QAction::triggered, this, &EditorWindow::cutCommand);
  connect(copyAction_, &QAction::triggered, this, &EditorWindow::copyCommand);
  connect(pasteAction_, &QAction::triggered, this, &EditorWindow::pasteCommand);
  connect(helpAction_, &QAction::triggered, this, &EditorWindow::showHelpTopics);
  connect(aboutAction_, &QAction::triggered, this, &EditorWindow::showAbout);
  connect(stopTestAction_, &QAction::triggered, this, &EditorWindow::stopTest);
}

void EditorWindow::buildToolBar() {
  QToolBar* bar = addToolBar(QString());
  bar->setObjectName(QStringLiteral("toolBar"));
  bar->setMovable(false);
  bar->setIconSize(QSize(16, 16));
  QStyle* s = style();
  newAction_->setIcon(ToolIcon("document-new", QStyle::SP_FileIcon, Drawn::None, s));
  openAction_->setIcon(ToolIcon("document-open", QStyle::SP_DialogOpenButton, Drawn::None, s));
  saveAction_->setIcon(ToolIcon("document-save", QStyle::SP_DialogSaveButton, Drawn::None, s));
  cutAction_->setIcon(ToolIcon("edit-cut", QStyle::SP_CustomBase, Drawn::Cut, s));
  copyAction_->setIcon(ToolIcon("edit-copy", QStyle::SP_CustomBase, Drawn::Copy, s));
  pasteAction_->setIcon(ToolIcon("edit-paste", QStyle::SP_CustomBase, Drawn::Paste, s));
  helpAction_->setIcon(ToolIcon("help-contents", QStyle::SP_DialogHelpButton, Drawn::None, s));
  bar->addAction(newAction_);
  bar->addAction(openAction_);
  bar->addAction(saveAction_);
  bar->addSeparator();
  bar->addAction(cutAction_);
  bar->addAction(copyAction_);
  bar->addAction(pasteAction_);
  bar->addSeparator();
  bar->addAction(helpAction_);
}

void EditorWindow::fillCatalogue() {
  for (int code : CatalogueDisplayOrder()) {
    auto* item = new QListWidgetItem(QString::fromStdString(CommandName(code)), commandList_);
    item->setData(Qt::UserRole, code);
  }
}

// ---- Window state ------------------------------------------------------------------------

QString EditorWindow::scriptName() const { return scriptPath_.isEmpty() ? Text(kUntitled) : scriptPath_; }

void EditorWindow::updateTitle() { setWindowTitle(Text(kAppTitle) + QStringLiteral(" - ") + scriptName()); }

void EditorWindow::setBusy(bool busy) {
  busy_ = busy;
  for (QAction* a : {newAction_, openAction_, preferencesAction_, exitAction_}) a->setEnabled(!busy);
  for (QAction* a : recentActions_) a->setEnabled(!busy);
}

bool EditorWindow::isWorking() const { return work_ && work_->pending() > 0; }

QString EditorWindow::statusText() const {
  const QString message = statusBar()->currentMessage();
  return message.isEmpty() ? readyLabel_->text() : message;
}

void EditorWindow::showStatus(int stringId) {
  statusBar()->showMessage(Text(stringId));
  statusBar()->repaint();
}

void EditorWindow::clearStatus() { statusBar()->clearMessage(); }

int EditorWindow::selectedLine() const {
  const int row = scriptList_->currentRow();
  return row >= 0 && scriptList_->item(row)->isSelected() ? row : -1;
}

void EditorWindow::selectLine(int line) {
  if (line < 0 || line >= scriptList_->count()) {
    scriptList_->setCurrentRow(-1);
    scriptList_->clearSelection();
  } else {
    scriptList_->setCurrentRow(line, QItemSelectionModel::ClearAndSelect);
  }
  updateParameters();
}

void EditorWindow::fillScriptList() {
  scriptList_->clear();
  for (int i = 0; i < script_.GetCount(); ++i) {
    scriptList_->addItem(QString::fromStdString(CommandName(script_.GetAt(i)->Code)));
  }
}

void EditorWindow::updateParameters() {
  std::string text;
  const int line = selectedLine();
  if (line < 0 || !DescribeCommand(script_, line, &text)) text.clear();
  parameters_->setText(QString::fromStdString(text));
}

void EditorWindow::updatePreviewInfo() {
  if (!working_) {
    previewInfo_->setText(Text(kNoPreviewImage));
    return;
  }
  previewInfo_->setText(QString::fromStdString(
      FormatString(kPreviewInfo, working_->width(), working_->height(), working_->bitCount())));
}

void EditorWindow::updateRecentMenu() {
  for (QAction* a : recentActions_) {
    scriptMenu_->removeAction(a);
    delete a;
  }
  recentActions_.clear();
  const auto& entries = recent_.entries();
  if (entries.empty()) {
    auto* placeholder = new QAction(Text(kMenuRecent), scriptMenu_);
    placeholder->setEnabled(false);
    recentActions_.push_back(placeholder);
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const QString path = QString::fromStdString(entries[i]);
    QString shown = path;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), scriptMenu_);
    action->setObjectName(QStringLiteral("actionRecent%1").arg(i + 1));
    action->setStatusTip(Text(kHelpRecent));
    action->setEnabled(!busy_);
    const int index = static_cast<int>(i);
    connect(action, &QAction::triggered, this, [this, index] { openRecent(index); });
    recentActions_.push_back(action);
  }
  // Between the separator after the preferences and the one before Exit.
  const QList<QAction*> all = scriptMenu_->actions();
  const qsizetype at = all.indexOf(recentSeparator_);
  QAction* before = at >= 0 && at + 1 < all.size() ? all[at + 1] : nullptr;
  for (QAction* a : recentActions_) scriptMenu_->insertAction(before, a);
}

// ---- Dialogs of other parts ----------------------------------------------------------------

void EditorWindow::editInputPreferences() {
  if (busy_) return;
  EditInputPreferences(this, profile_);
}

void EditorWindow::showHelpTopics() { OpenHelpTopic(0); }

void EditorWindow::showAbout() { ShowAboutBox(this); }

// ---- Close ---------------------------------------------------------------------------------

void EditorWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  if (changed_) {
    switch (messages_.askYesNoCancel(LoadString(2060), MessageIcon::Question)) {
      case MessageAnswer::Cancel:
        event->ignore();
        return;
      case MessageAnswer::Yes:
        if (!saveScript()) {
          event->ignore();
          return;
        }
        break;
      default: break;
    }
  }
  stopRequested_ = true;  // a running test ends with the window
  event->accept();
}

}  // namespace km::gui
