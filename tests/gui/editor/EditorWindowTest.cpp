// The editor window driven through its widgets: the form, the script list edits, the
// command clipboard, the script files and closing.

#include <QAction>
#include <QFile>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "EditorKit.h"
#include "gui/editor/CommandClipboard.h"
#include "gui/editor/ParameterView.h"
#include "script/ClipboardBlock.h"
#include "script/ScriptFile.h"
#include "StringTable.h"
#include "support/GuiTestEnv.h"

using namespace km;
using namespace km::guitest;

class EditorWindowTest : public QObject {
  Q_OBJECT

private:
  MemoryProfile* profile_ = nullptr;
  FakeMessageService* messages_ = nullptr;
  TestEditor* editor_ = nullptr;
  QTemporaryDir dir_;

  QListWidget* scriptList() { return editor_->findChild<QListWidget*>(QStringLiteral("scriptList")); }

  // A script of `codes`, unchanged, nothing selected.
  void setScript(std::initializer_list<int> codes) {
    for (int code : codes) AddFromCatalogue(*editor_, code);
    editor_->selectLine(-1);
    // Saving clears the changed flag.
    editor_->saveAnswers.push_back(dir_.filePath(QStringLiteral("start.rsq")));
    QVERIFY(editor_->saveScriptAs());
    QVERIFY(!editor_->isChanged());
  }

  std::vector<int> codes() {
    std::vector<int> out;
    for (int i = 0; i < editor_->script().GetCount(); ++i) out.push_back(editor_->script().GetAt(i)->Code);
    return out;
  }

private slots:
  void init() {
    profile_ = new MemoryProfile;
    messages_ = new FakeMessageService;
    editor_ = new TestEditor(*profile_, *messages_);
    editor_->show();
    editor_->startUp();
    QVERIFY(WaitIdle(*editor_));
  }

  void cleanup() {
    delete editor_;
    delete messages_;
    delete profile_;
  }

  void formTitleMenusAndHelpTexts() {
    QCOMPARE(editor_->windowTitle(), QStringLiteral("Tavo Kilnmark - UNTITLED"));
    QCOMPARE(editor_->statusText(), QStringLiteral("Ready"));

    auto* catalogue = editor_->findChild<QListWidget*>(QStringLiteral("commandList"));
    QCOMPARE(catalogue->count(), 56);
    for (int i = 1; i < catalogue->count(); ++i) {
      QVERIFY2(catalogue->item(i - 1)->text().compare(catalogue->item(i)->text(), Qt::CaseInsensitive) < 0,
               qPrintable(catalogue->item(i)->text()));
    }

    const std::pair<const char*, const char*> shortcuts[] = {
        {"actionNew", "Ctrl+N"},  {"actionOpen", "Ctrl+O"}, {"actionSave", "Ctrl+S"}, {"actionSaveAs", "F12"},
        {"actionCut", "Ctrl+X"},  {"actionCopy", "Ctrl+C"}, {"actionPaste", "Ctrl+V"}};
    for (const auto& [name, keys] : shortcuts) {
      auto* action = editor_->findChild<QAction*>(QString::fromLatin1(name));
      QVERIFY2(action, name);
      QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(keys)));
    }

    // New, Open, Save | Cut, Copy, Paste | Help Topics.
    auto* bar = editor_->findChild<QToolBar*>(QStringLiteral("toolBar"));
    QStringList order;
    for (QAction* a : bar->actions()) order << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    QCOMPARE(order, QStringList({"actionNew", "actionOpen", "actionSave", "|", "actionCut", "actionCopy",
                                 "actionPaste", "|", "actionHelpTopics"}));

    // Tool tip = the short part of the help string, status tip = the long part.
    const std::pair<const char*, int> help[] = {
        {"commandList", 2500}, {"addButton", 2501},      {"newImageButton", 2502}, {"revertButton", 2503},
        {"scriptList", 2504},  {"deleteButton", 2505},   {"moveUpButton", 2506},   {"moveDownButton", 2507},
        {"editButton", 2508},  {"execButton", 2509},     {"testButton", 2510},     {"startButton", 2511},
        {"previewFrame", 2512}, {"parameterArea", 2513}, {"previewInfo", 2514}};
    for (const auto& [name, id] : help) {
      auto* w = editor_->findChild<QWidget*>(QString::fromLatin1(name));
      QVERIFY2(w, name);
      const QString text = QString::fromStdString(LoadString(id));
      QCOMPARE(w->toolTip(), text.section(QLatin1Char('\n'), 1));
      QCOMPARE(w->statusTip(), text.section(QLatin1Char('\n'), 0, 0));
    }
    // Hovering shows the long text; leaving brings "Ready" back.
    auto* deleteButton = editor_->findChild<QWidget*>(QStringLiteral("deleteButton"));
    editor_->statusBar()->showMessage(deleteButton->statusTip());
    QCOMPARE(editor_->statusText(), QStringLiteral("Deletes the selected command from the script"));
    editor_->statusBar()->clearMessage();
    QCOMPARE(editor_->statusText(), QStringLiteral("Ready"));

    QVERIFY(editor_->findChild<QPushButton*>(QStringLiteral("startButton"))->isEnabled());
  }

  void addPlacesAfterTheSelection() {
    // Nothing selected in the catalogue: nothing happens.
    editor_->findChild<QListWidget*>(QStringLiteral("commandList"))->clearSelection();
    editor_->addCommand();
    QCOMPARE(editor_->script().GetCount(), 0);
    QVERIFY(!editor_->isChanged());

    setScript({kBlur, kSharpen});
    // Nothing selected in the script: the new command becomes line 1.
    AddFromCatalogue(*editor_, kHighlightMidtoneShadow);
    QCOMPARE(codes(), (std::vector<int>{kHighlightMidtoneShadow, kBlur, kSharpen}));
    QCOMPARE(editor_->selectedLine(), 0);
    QVERIFY(editor_->isChanged());
    // Added with the values its dialog shows, and described line by line.
    auto* params = editor_->findChild<gui::ParameterView*>(QStringLiteral("parameterArea"));
    QCOMPARE(params->lines(), QStringList({"Highlight: 100", "Midtone: 50", "Shadow: 0"}));

    // The last line selected: appended.
    editor_->selectLine(2);
    AddFromCatalogue(*editor_, kFlipImage);
    QCOMPARE(codes(), (std::vector<int>{kHighlightMidtoneShadow, kBlur, kSharpen, kFlipImage}));
    QCOMPARE(editor_->selectedLine(), 3);
    QCOMPARE(scriptList()->item(3)->text(), QStringLiteral("Flip Image"));
    QCOMPARE(params->lines(), QStringList({"None"}));
  }

  void secondSetOutputOptionsIsRefused() {
    setScript({kBlur, kSetOutputOptions, kSharpen});
    editor_->selectLine(2);
    AddFromCatalogue(*editor_, kSetOutputOptions);
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->last().text, LoadString(2022));
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSetOutputOptions, kSharpen}));
    QCOMPARE(editor_->selectedLine(), 1);
    QVERIFY(!editor_->isChanged());
  }

  void deleteSelectsTheNextOrTheNewLast() {
    setScript({kBlur, kSharpen, kEmboss});
    editor_->deleteCommand();  // nothing selected
    QCOMPARE(editor_->script().GetCount(), 3);
    QVERIFY(!editor_->isChanged());

    editor_->selectLine(2);
    editor_->deleteCommand();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSharpen}));
    QCOMPARE(editor_->selectedLine(), 1);
    QVERIFY(editor_->isChanged());

    editor_->selectLine(0);
    editor_->deleteCommand();
    QCOMPARE(codes(), (std::vector<int>{kSharpen}));
    QCOMPARE(editor_->selectedLine(), 0);

    editor_->deleteCommand();  // the only line
    QCOMPARE(editor_->script().GetCount(), 0);
    QCOMPARE(scriptList()->count(), 0);
    QCOMPARE(editor_->selectedLine(), -1);
    QVERIFY(editor_->findChild<gui::ParameterView*>(QStringLiteral("parameterArea"))->lines().isEmpty());
  }

  void moveAtTheEndsChangesNothing() {
    setScript({kBlur, kSharpen, kEmboss});
    editor_->selectLine(0);
    editor_->moveUp();
    editor_->selectLine(2);
    editor_->moveDown();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSharpen, kEmboss}));
    QVERIFY(!editor_->isChanged());

    editor_->selectLine(0);
    QTest::mouseClick(editor_->findChild<QPushButton*>(QStringLiteral("moveDownButton")), Qt::LeftButton);
    QCOMPARE(codes(), (std::vector<int>{kSharpen, kBlur, kEmboss}));
    QCOMPARE(editor_->selectedLine(), 1);
    QVERIFY(editor_->isChanged());
    QTest::mouseClick(editor_->findChild<QPushButton*>(QStringLiteral("moveUpButton")), Qt::LeftButton);
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSharpen, kEmboss}));
    QCOMPARE(editor_->selectedLine(), 0);
  }

  void copyPutsTheExactBlockOnTheClipboard() {
    setScript({kBlur});
    CScriptCommand* command = editor_->script().GetAt(0);
    command->Text1 = "/tmp/a.pal";
    command->Color1 = 0x00FF8000;
    editor_->selectLine(0);
    editor_->copyCommand();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(gui::CommandMimeType(), QStringLiteral("application/x-zvk-script-command"));
    const QByteArray block = data->data(gui::CommandMimeType());
    const std::vector<std::uint8_t> expected = EncodeClipboardBlock(*command);
    QCOMPARE(block.size(), qsizetype(10 + 46));
    QCOMPARE(std::vector<std::uint8_t>(block.begin(), block.end()), expected);
    QVERIFY(!editor_->isChanged());
    QVERIFY(messages_->shown.empty());
  }

  void cutSelectsTheSamePositionOrTheNewLast() {
    setScript({kBlur, kSharpen, kEmboss});
    editor_->selectLine(2);
    editor_->cutCommand();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSharpen}));
    QCOMPARE(editor_->selectedLine(), 1);
    QVERIFY(editor_->isChanged());

    editor_->selectLine(0);
    editor_->cutCommand();
    QCOMPARE(codes(), (std::vector<int>{kSharpen}));
    QCOMPARE(editor_->selectedLine(), 0);

    // The last cut is on the clipboard: paste with nothing selected puts it first.
    editor_->selectLine(-1);
    editor_->pasteCommand();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSharpen}));
    QCOMPARE(editor_->selectedLine(), 0);

    // Nothing selected: Cut does nothing.
    editor_->selectLine(-1);
    editor_->cutCommand();
    QCOMPARE(editor_->script().GetCount(), 2);
  }

  void pasteRules() {
    setScript({kBlur, kSetOutputOptions});
    // Text on the clipboard: nothing happens, nothing is shown.
    QGuiApplication::clipboard()->setText(QStringLiteral("Filter: Blur"));
    editor_->pasteCommand();
    QCOMPARE(editor_->script().GetCount(), 2);
    QVERIFY(!editor_->isChanged());

    // A block too short for its numbers, or with an unterminated text: nothing.
    for (const QByteArray& bad : {QByteArray(39, '\1'), QByteArray(44, '\1')}) {
      auto* data = new QMimeData;
      data->setData(gui::CommandMimeType(), bad);
      QGuiApplication::clipboard()->setMimeData(data);
      editor_->pasteCommand();
      QCOMPARE(editor_->script().GetCount(), 2);
    }
    QVERIFY(messages_->shown.empty());

    // A second 544 is pasted even though the script has one; after the last line.
    editor_->selectLine(1);
    editor_->copyCommand();
    editor_->pasteCommand();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSetOutputOptions, kSetOutputOptions}));
    QCOMPARE(editor_->selectedLine(), 2);
    // With the first line selected it goes second.
    editor_->selectLine(0);
    editor_->pasteCommand();
    QCOMPARE(codes(), (std::vector<int>{kBlur, kSetOutputOptions, kSetOutputOptions, kSetOutputOptions}));
    QCOMPARE(editor_->selectedLine(), 1);
    QVERIFY(messages_->shown.empty());
  }

  void saveOpenAndRecentList() {
    AddFromCatalogue(*editor_, kBlur);
    AddFromCatalogue(*editor_, kEmboss);
    // Save on an untitled script asks for a name.
    const QString path = dir_.filePath(QStringLiteral("two.rsq"));
    editor_->saveAnswers.push_back(path);
    QVERIFY(editor_->saveScript());
    QCOMPARE(editor_->saveAsked, 1);
    QVERIFY(!editor_->isChanged());
    QCOMPARE(editor_->windowTitle(), QStringLiteral("Tavo Kilnmark - ") + path);
    QCOMPARE(editor_->recentScripts().entries().front(), path.toStdString());
    QCOMPARE(profile_->getString("General", "ScriptDir", ""), dir_.path().toStdString());

    editor_->newScript();
    QCOMPARE(editor_->script().GetCount(), 0);
    QCOMPARE(editor_->windowTitle(), QStringLiteral("Tavo Kilnmark - UNTITLED"));

    editor_->openRecent(0);
    QCOMPARE(codes(), (std::vector<int>{kBlur, kEmboss}));
    QCOMPARE(editor_->selectedLine(), 0);
    QCOMPARE(editor_->windowTitle(), QStringLiteral("Tavo Kilnmark - ") + path);

    // A changed script: New asks 200, and No keeps it.
    AddFromCatalogue(*editor_, kSharpen);
    messages_->answers.push_back(MessageAnswer::No);
    editor_->newScript();
    QCOMPARE(messages_->last().text, LoadString(200));
    QCOMPARE(editor_->script().GetCount(), 3);

    // A recent entry whose file is gone: the loader's message, and the entry goes.
    messages_->answers.push_back(MessageAnswer::Yes);
    QVERIFY(QFile::remove(path));
    editor_->openRecent(0);
    QVERIFY(messages_->last().text.rfind("The script could not be loaded because ", 0) == 0);
    QVERIFY(editor_->recentScripts().entries().empty());
    QCOMPARE(editor_->script().GetCount(), 0);
    QVERIFY(WaitIdle(*editor_));
  }

  void openThroughTheDialog() {
    CScript stored;
    stored.Append(std::make_unique<CScriptCommand>(kMirrorImage));
    const QString path = dir_.filePath(QStringLiteral("mirror.rsq"));
    QVERIFY(SaveScript(path.toStdString(), stored, *messages_));
    editor_->openAnswers.push_back(QString());  // Cancel
    editor_->openScript();
    QCOMPARE(editor_->script().GetCount(), 0);
    editor_->openAnswers.push_back(path);
    editor_->openScript();
    QCOMPARE(codes(), (std::vector<int>{kMirrorImage}));
    QCOMPARE(editor_->recentScripts().entries().size(), std::size_t{1});
    QVERIFY(WaitIdle(*editor_));
  }

  void recentListKeepsFourNewestFirst() {
    gui::RecentScripts recent(*profile_, 4);
    for (const char* p : {"/s/1.rsq", "/s/2.rsq", "/s/3.rsq", "/s/4.rsq", "/s/5.rsq", "/s/3.rsq"}) recent.add(p);
    QCOMPARE(recent.entries(), (std::vector<std::string>{"/s/3.rsq", "/s/5.rsq", "/s/4.rsq", "/s/2.rsq"}));
    recent.remove(1);
    // Read back from the settings by a new list, as at the next start.
    gui::RecentScripts again(*profile_, 4);
    QCOMPARE(again.entries(), (std::vector<std::string>{"/s/3.rsq", "/s/4.rsq", "/s/2.rsq"}));
    QCOMPARE(profile_->getString("Recent File List", "File4", "x"), std::string());
  }

  void closeAsksAndCancelKeepsTheWindow() {
    AddFromCatalogue(*editor_, kBlur);
    messages_->answers.push_back(MessageAnswer::Cancel);
    QVERIFY(!editor_->close());
    QCOMPARE(messages_->last().text, LoadString(2060));
    QCOMPARE(messages_->last().buttons, MessageButtons::YesNoCancel);
    QVERIFY(editor_->isVisible());

    // Yes on an untitled script asks for a name; cancelling that keeps the window.
    messages_->answers.push_back(MessageAnswer::Yes);
    QVERIFY(!editor_->close());
    QCOMPARE(editor_->saveAsked, 1);
    QVERIFY(editor_->isVisible());

    // While busy nothing happens at all.
    editor_->setBusy(true);
    const std::size_t asked = messages_->shown.size();
    QVERIFY(!editor_->close());
    QCOMPARE(messages_->shown.size(), asked);
    QVERIFY(!editor_->findChild<QAction*>(QStringLiteral("actionNew"))->isEnabled());
    editor_->deleteCommand();
    QCOMPARE(editor_->script().GetCount(), 1);
    editor_->setBusy(false);

    messages_->answers.push_back(MessageAnswer::No);
    QVERIFY(editor_->close());
  }
};

KM_GUI_TEST_MAIN(EditorWindowTest)
#include "EditorWindowTest.moc"
