// Batch runs from the editor, driven through its widgets: an interactive run through
// the input and output dialogs whose log and outputs equal the console runner's for the
// same files and script, "Select &All", a script without "Set Output Options", abort
// answered No, "&Save Log...", the minimised title, and command-line runs.

#include <algorithm>
#include <functional>
#include <map>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "common/Settings.h"
#include "dialogs/ModalDriver.h"
#include "editor/EditorKit.h"
#include "fileio/FileTypeTable.h"
#include "fileio/WriteImage.h"
#include "gui/batch/BatchInputDlg.h"
#include "gui/batch/BatchOutputDlg.h"
#include "gui/batch/BatchSession.h"
#include "gui/batch/BatchStatusDialog.h"
#include "script/CommandCodes.h"
#include "script/ScriptFile.h"
#include "StringTable.h"
#include "support/GuiTestEnv.h"

using namespace km;
using namespace km::gui;
using namespace km::guitest;

namespace {

const QStringList kSampleNames = {QStringLiteral("chart.bmp"), QStringLiteral("evening.png"),
                                  QStringLiteral("meadow.jpg"), QStringLiteral("morning.tif"),
                                  QStringLiteral("stripes.pcx")};

// A message service that lets a test act when a message is shown (the run waits for
// the answer meanwhile), then answers as FakeMessageService does.
class HookedMessages final : public MessageService {
public:
  MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    if (onShow) onShow(text);
    return fake.show(text, icon, buttons);
  }
  std::function<void(const std::string&)> onShow;
  FakeMessageService fake;
};

std::map<QString, QByteArray> FilesOf(const QString& folder) {
  std::map<QString, QByteArray> files;
  for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files)) {
    QFile f(info.absoluteFilePath());
    if (f.open(QIODevice::ReadOnly)) files[info.fileName()] = f.readAll();
  }
  return files;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<std::string> Lines(const QByteArray& text, const char* end) {
  std::vector<std::string> lines;
  for (const QByteArray& line : text.split('\n')) {
    if (line.isEmpty()) continue;
    QByteArray l = line;
    if (std::string(end) == "\r\n") {
      if (!l.endsWith('\r')) return {"line without CR: " + l.toStdString()};
      l.chop(1);
    }
    lines.push_back(l.toStdString());
  }
  return lines;
}

// The web thumbnail example with its output folder replaced and no transparency (what
// the output dialog starts from), or without its "Set Output Options" command.
QString MakeScript(const QString& path, const QString& outputFolder, bool withOutputOptions = true) {
  CScript script;
  std::string message;
  if (ReadScriptFile(KILNMARK_SOURCE_DIR "/examples/web-gif.rsq", &script, &message) != 0) return {};
  if (CScriptCommand* output = script.FindCode(kSetOutputOptions)) {
    if (withOutputOptions) {
      output->Text1 = outputFolder.toStdString();
      output->Int5 = 0x0100;
    } else {
      script.RemoveAt(script.IndexOf(output));
    }
  }
  return WriteScriptFile(path.toStdString(), script, &message) == 0 ? path : QString();
}

void Press(QWidget* dialog, const char* name) {
  auto* button = Child<QPushButton>(dialog, name);
  QVERIFY2(button != nullptr, name);
  button->click();
}

void SaveShot(QWidget* widget, const char* name) {
  const QByteArray dir = qgetenv("KILNMARK_SHOT_DIR");
  if (!dir.isEmpty()) widget->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

class BatchRunTest : public QObject {
  Q_OBJECT

private:
  QTemporaryDir root_;
  QString inDir_;

  QString path(const QString& name) const { return root_.filePath(name); }

  // Waits for the editor's run to end; the session is then still open (OK usable).
  // Starts the editor as a command line naming a script would (start mode 2), with the
  // switches `flags` ("e": stop at each error, "n": wait at the end) and a log file.
  static void StartAsCommandLine(TestEditor& editor, const std::string& flags, const QString& script,
                                 const std::string& pattern, const QString& logFile = {}) {
    StartSettings start;
    start.startMode = 2;
    start.runWithoutInterrupting = flags.find('e') == std::string::npos ? 1 : 0;
    start.closeAtEnd = flags.find('n') == std::string::npos ? 1 : 0;
    start.scriptPath = script.toStdString();
    start.filePattern = pattern;
    start.logFile = logFile.toStdString();
    editor.setStartSettings(start);
    editor.show();
    editor.startUp();
  }

  static BatchSession* WaitFinished(TestEditor& editor) {
    if (!QTest::qWaitFor([&] { return editor.batchSession() && editor.batchSession()->isFinished(); }, 120000)) {
      return nullptr;
    }
    return editor.batchSession();
  }

private slots:
  void initTestCase() {
    inDir_ = path(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(inDir_));
    for (const QString& name : kSampleNames) {
      QVERIFY(QFile::copy(QStringLiteral(KILNMARK_SOURCE_DIR "/examples/images/") + name, inDir_ + "/" + name));
    }
  }

  void interactiveRunMatchesTheConsoleRunner() {
    const QString outDir = path(QStringLiteral("out1"));
    const QString script = MakeScript(path(QStringLiteral("web.rsq")), outDir);
    QVERIFY(!script.isEmpty());
    QVERIFY(QDir().mkpath(outDir));
    MemoryProfile profile;
    FakeMessageService messages;
    TestEditor editor(profile, messages);
    editor.show();
    editor.startUp();
    QVERIFY(WaitIdle(editor));
    QVERIFY(editor.openScriptPath(script));
    profile.setString(settings::kBatchDialog, settings::kOpenDir, inDir_.toStdString());

    bool outputShown = false;
    WhenModal<CBatchInputDlg>([&](CBatchInputDlg* d) {
      QCOMPARE(d->directory().absolutePath(), inDir_);
      auto* useScript = Child<QCheckBox>(d, "useScriptCheck");
      QVERIFY(useScript->isEnabled());
      QVERIFY(useScript->isChecked());
      useScript->setChecked(false);  // the output dialog is shown then
      QStringList quoted;
      for (const QString& name : kSampleNames) quoted << QLatin1Char('"') + name + QLatin1Char('"');
      Child<QLineEdit>(d, "fileNameEdit")->setText(quoted.join(QLatin1Char(' ')));
      SaveShot(d, "shot-batch-input.png");
      WhenModal<CBatchOutputDlg>([&](CBatchOutputDlg* o) {
        outputShown = true;
        // The script's type, sub-type and folder are where the dialog starts.
        QCOMPARE(o->format(), int(kOutGIF));
        QCOMPARE(Child<QComboBox>(o, "subTypeCombo")->currentText(), QStringLiteral("Version 89a - Noninterlaced"));
        QCOMPARE(o->shownFolder(), outDir);
        SaveShot(o, "shot-batch-output.png");
        Press(o, "okButton");
      });
      Press(d, "okButton");
    });
    editor.startBatch();
    QVERIFY(outputShown);
    QVERIFY(editor.isBusy());
    QCOMPARE(editor.findChild<QAction*>(QStringLiteral("actionExit"))->isEnabled(), false);

    BatchSession* session = WaitFinished(editor);
    QVERIFY(session != nullptr);
    BatchStatusDialog* status = session->dialog();
    QVERIFY(status->isVisible());
    QCOMPARE(status->windowTitle(), QStringLiteral("Batch Processing Status"));
    QCOMPARE(status->statusLine1(), QStringLiteral("Batch Processing Complete"));
    QCOMPARE(status->statusLine2(), QString());
    QVERIFY(Child<QPushButton>(status, "okButton")->isEnabled());
    QVERIFY(Child<QPushButton>(status, "saveLogButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(status, "abortButton")->isEnabled());
    QCOMPARE(editor.statusText(), QStringLiteral("Batch Process Complete"));
    const std::vector<std::string> guiLog = session->log();
    QCOMPARE(status->logText(), guiLog);
    QCOMPARE(guiLog.back(), std::string("5 File(s) successfully converted."));
    auto* list = Child<QListWidget>(status, "logList");
    QCOMPARE(list->currentRow(), list->count() - 1);
    // CURRENT.LOG holds every line but the closing two.
    const std::vector<std::string> current =
        Lines(ReadAll(QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME")) + "/kilnmark/CURRENT.LOG"), "\r\n");
    QCOMPARE(current, std::vector<std::string>(guiLog.begin(), guiLog.end() - 2));

    // The choices are remembered.
    QCOMPARE(profile.getString(settings::kBatchDialog, settings::kOpenDir, ""), inDir_.toStdString());
    QCOMPARE(profile.getInt(settings::kBatchDialog, settings::kOpenIndex, -1), 1);
    QCOMPARE(profile.getString(settings::kBatchDialog, settings::kOutputDir, ""), outDir.toStdString());
    QCOMPARE(profile.getInt(settings::kBatchDialog, settings::kOutIndex, -1), int(kOutGIF));
    QCOMPARE(profile.getInt(settings::kBatchSubTypes, "GIF", -1), 3);
    QCOMPARE(profile.getInt(settings::kScriptRun, settings::kOutTransType, -1), 1);
    QVERIFY(editor.doNotUseScriptSettings());

    QSignalSpy closed(&editor, &EditorWindow::batchClosed);
    Press(status, "okButton");
    QCOMPARE(closed.count(), 1);
    QVERIFY(!editor.isBusy());
    QCOMPARE(editor.statusText(), QStringLiteral("Ready"));
    QVERIFY(editor.findChild<QAction*>(QStringLiteral("actionExit"))->isEnabled());

    // The console runner over the same files and script.
    const std::map<QString, QByteArray> guiOutputs = FilesOf(outDir);
    QCOMPARE(guiOutputs.size(), std::size_t{5});
    QVERIFY(QDir(outDir).removeRecursively());
    QProcess console;
    console.start(QStringLiteral(KILNMARK_BIN_DIR "/kilnmark-batch"), {script, inDir_ + QStringLiteral("/*.*")});
    QVERIFY(console.waitForFinished(120000));
    QCOMPARE(console.exitCode(), 0);
    QCOMPARE(Lines(console.readAllStandardOutput(), "\n"), guiLog);
    QVERIFY(FilesOf(outDir) == guiOutputs);
  }

  void selectAllWithGifWithoutSetOutputOptions() {
    const QString gifDir = path(QStringLiteral("gifs"));
    QVERIFY(QDir().mkpath(gifDir));
    DibHandle image;
    QCOMPARE(Dib::Create(16, 8, 8, 256, &image), kOk);
    OutputOptions gif;
    gif.format = kOutGIF;
    gif.subType = 3;
    for (const char* name : {"a.gif", "B.GIF", ".hidden.gif"}) {
      const std::string file = (gifDir + QLatin1Char('/') + QLatin1String(name)).toStdString();
      QCOMPARE(int(WriteImageFile(nullptr, gif, file, image.get(), nullptr, 0, -1)), 0);
    }
    QVERIFY(QFile::copy(inDir_ + "/chart.bmp", gifDir + "/c.bmp"));
    const QString outDir = path(QStringLiteral("out2"));
    const QString script = MakeScript(path(QStringLiteral("no544.rsq")), QString(), false);
    QVERIFY(!script.isEmpty());

    MemoryProfile profile;
    profile.setInt(settings::kBatchDialog, settings::kOutIndex, kOutTIF);
    FakeMessageService messages;
    TestEditor editor(profile, messages);
    editor.show();
    editor.startUp();
    QVERIFY(editor.openScriptPath(script));
    profile.setString(settings::kBatchDialog, settings::kOpenDir, gifDir.toStdString());
    const FileTypeTable types;
    int gifIndex = 0;
    for (int n = 1; n <= types.entryCount(); ++n) {
      if (types.entry(n).key == "GIF") gifIndex = n + 1;
    }
    bool outputShown = false;
    WhenModal<CBatchInputDlg>([&](CBatchInputDlg* d) {
      QVERIFY(!Child<QCheckBox>(d, "useScriptCheck")->isEnabled());
      Child<QComboBox>(d, "fileTypeCombo")->setCurrentIndex(gifIndex - 1);
      WhenModal<CBatchOutputDlg>([&](CBatchOutputDlg* o) {
        outputShown = true;
        // "OutIndex" and nothing remembered for TIFF: "LZW Compressed".
        QCOMPARE(o->format(), int(kOutTIF));
        QCOMPARE(Child<QComboBox>(o, "subTypeCombo")->currentText(), QStringLiteral("LZW Compressed"));
        o->setDirectory(outDir);
        Child<QComboBox>(o, "fileTypeCombo")->setCurrentIndex(kOutBMP - 1);
        Press(o, "okButton");
      });
      Press(d, "selectAllButton");
    });
    QVERIFY(QDir().mkpath(outDir));
    editor.startBatch();
    QVERIFY(outputShown);
    BatchSession* session = WaitFinished(editor);
    QVERIFY(session != nullptr);
    std::vector<std::string> read;
    for (const std::string& line : session->log()) {
      if (line.rfind("Reading ", 0) == 0) read.push_back(line);
    }
    const std::string folder = gifDir.toStdString();
    QCOMPARE(read, (std::vector<std::string>{"Reading " + folder + "/B.GIF", "Reading " + folder + "/a.gif"}));
    QVERIFY(QFile::exists(outDir + "/a.bmp"));
    QCOMPARE(profile.getInt(settings::kBatchDialog, settings::kOpenIndex, -1), gifIndex);
    QCOMPARE(profile.getInt(settings::kBatchDialog, settings::kOutIndex, -1), int(kOutBMP));
    QCOMPARE(profile.getInt(settings::kBatchSubTypes, "BMP", -1), 1);
    Press(session->dialog(), "okButton");
    QVERIFY(!editor.isBusy());
  }

  void abortAnsweredNoGoesOnWithTheSameFile() {
    const QString outDir = path(QStringLiteral("out3"));
    const QString script = MakeScript(path(QStringLiteral("abort.rsq")), outDir);
    MemoryProfile profile;
    HookedMessages messages;
    TestEditor editor(profile, messages);
    // "&Abort" is pressed while the failing command's message (shown with "-e") waits;
    // the run asks before the next command and goes on after No.
    messages.onShow = [&](const std::string& text) {
      if (text.rfind("Script Line 2 Error", 0) == 0) Press(editor.batchSession()->dialog(), "abortButton");
    };
    messages.fake.answers = {MessageAnswer::Ok, MessageAnswer::No};
    StartAsCommandLine(editor, "en", script, (inDir_ + "/stripes.pcx").toStdString());
    BatchSession* session = WaitFinished(editor);
    QVERIFY(session != nullptr);
    QCOMPARE(messages.fake.shown.size(), std::size_t{2});
    QCOMPARE(messages.fake.shown[0].icon, MessageIcon::Stop);
    QCOMPARE(messages.fake.shown[1].text, LoadString(2029));
    QCOMPARE(messages.fake.shown[1].buttons, MessageButtons::YesNo);
    const std::string input = (inDir_ + "/stripes.pcx").toStdString();
    const std::string output = (outDir + "/stripes.gif").toStdString();
    const std::vector<std::string>& log = session->log();
    QCOMPARE(log.size(), std::size_t{7});
    QCOMPARE(log[0], "Reading " + input);
    QCOMPARE(log[1], std::string("Executing Script Commands..."));
    QVERIFY(log[2].rfind("Script Line 2 Error", 0) == 0);
    QCOMPARE(log[3], std::string("Script Complete"));
    QCOMPARE(log[4], "Saving " + output);
    QCOMPARE(log[6], std::string("1 File(s) successfully converted."));
    QVERIFY(!session->outcome().aborted);
    QVERIFY(QFile::exists(QString::fromStdString(output)));

    // "-n": the run waits for OK, then the program ends with the console's status.
    QSignalSpy closed(&editor, &EditorWindow::batchClosed);
    Press(session->dialog(), "okButton");
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.first().first().toInt(), 0);
    QVERIFY(QTest::qWaitFor([&] { return !editor.isVisible(); }, 5000));
  }

  void abortAnsweredYesStopsTheRun() {
    const QString outDir = path(QStringLiteral("out4"));
    const QString script = MakeScript(path(QStringLiteral("stop.rsq")), outDir);
    MemoryProfile profile;
    HookedMessages messages;
    TestEditor editor(profile, messages);
    messages.onShow = [&](const std::string& text) {
      if (text.rfind("Script Line 2 Error", 0) == 0) Press(editor.batchSession()->dialog(), "abortButton");
    };
    messages.fake.answers = {MessageAnswer::Ok, MessageAnswer::Yes};
    QSignalSpy closed(&editor, &EditorWindow::batchClosed);
    StartAsCommandLine(editor, "e", script, (inDir_ + "/stripes.pcx").toStdString());
    QVERIFY(closed.wait(120000));
    QCOMPARE(closed.first().first().toInt(), 130);
    QCOMPARE(editor.exitStatus(), 130);
  }

  void commandLineRunEndsByItselfAndSavesTheLog() {
    const QString outDir = path(QStringLiteral("out5"));
    const QString script = MakeScript(path(QStringLiteral("cmd.rsq")), outDir);
    const QString logFile = path(QStringLiteral("cmd.log"));
    MemoryProfile profile;
    FakeMessageService messages;
    TestEditor editor(profile, messages);
    QSignalSpy closed(&editor, &EditorWindow::batchClosed);
    StartAsCommandLine(editor, "", script, (inDir_ + "/*.*").toStdString(), logFile);
    QVERIFY(closed.wait(120000));
    QCOMPARE(closed.first().first().toInt(), 0);
    QVERIFY(QTest::qWaitFor([&] { return !editor.isVisible(); }, 5000));
    QCOMPARE(FilesOf(outDir).size(), std::size_t{5});
    const std::vector<std::string> saved = Lines(ReadAll(logFile), "\r\n");
    QVERIFY(!saved.empty());
    QCOMPARE(saved.back(), std::string("5 File(s) successfully converted."));
    QVERIFY(messages.shown.empty());
    // The run's output options became the stored ones.
    QCOMPARE(profile.getInt(settings::kScriptRun, settings::kOutTransType, -1), 1);
  }

  void commandLineRunRefusesAScriptWithoutSetOutputOptions() {
    const QString script = MakeScript(path(QStringLiteral("refused.rsq")), QString(), false);
    MemoryProfile profile;
    FakeMessageService messages;
    TestEditor editor(profile, messages);
    StartAsCommandLine(editor, "", script, "*.*");
    QVERIFY(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 5000));
    QCOMPARE(messages.last().text, LoadString(2086));
    QCOMPARE(messages.last().icon, MessageIcon::Stop);
    QVERIFY(editor.batchSession() == nullptr);
    QVERIFY(!editor.isBusy());
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.exitStatus(), 2);
  }

  void showErrorsAsksBeforeOverwritingAndShowsReadErrors() {
    const QString folder = path(QStringLiteral("errors"));
    const QString outDir = path(QStringLiteral("out7"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(outDir));
    QVERIFY(QFile::copy(inDir_ + "/chart.bmp", folder + "/chart.bmp"));
    {
      QFile junk(folder + "/junk.bmp");
      QVERIFY(junk.open(QIODevice::WriteOnly));
      junk.write("BM this is no bitmap");
    }
    QVERIFY(QFile::copy(inDir_ + "/chart.bmp", outDir + "/chart.gif"));  // in the way
    const QByteArray before = ReadAll(outDir + "/chart.gif");
    const QString script = MakeScript(path(QStringLiteral("errors.rsq")), outDir);
    MemoryProfile profile;
    FakeMessageService messages;
    messages.answers = {MessageAnswer::No};  // the overwrite question comes first
    TestEditor editor(profile, messages);
    StartAsCommandLine(editor, "en", script, (folder + "/*.*").toStdString());
    BatchSession* session = WaitFinished(editor);
    QVERIFY(session != nullptr);
    QCOMPARE(messages.shown.size(), std::size_t{2});
    QCOMPARE(messages.shown[0].text, FormatString(2024, (outDir + "/chart.gif").toStdString()));
    QCOMPARE(messages.shown[0].icon, MessageIcon::Question);
    QCOMPARE(messages.shown[0].buttons, MessageButtons::YesNo);
    QCOMPARE(messages.shown[1].icon, MessageIcon::Stop);  // the library's message for the bad file
    const std::vector<std::string>& log = session->log();
    QVERIFY(std::find(log.begin(), log.end(), "Output file exists. Not overwriting.") != log.end());
    QVERIFY(std::find(log.begin(), log.end(), "An error occurred. File was not converted.") != log.end());
    QCOMPARE(log.back(), std::string("0 File(s) successfully converted."));
    QCOMPARE(ReadAll(outDir + "/chart.gif"), before);
    Press(session->dialog(), "okButton");
    QCOMPARE(editor.exitStatus(), 1);
  }

  void minimisedTitleAndSaveLog() {
    const QString outDir = path(QStringLiteral("out6"));
    const QString script = MakeScript(path(QStringLiteral("title.rsq")), outDir);
    MemoryProfile profile;
    FakeMessageService messages;
    TestEditor editor(profile, messages);
    editor.show();
    editor.startUp();
    QVERIFY(editor.openScriptPath(script));
    const QString normalTitle = editor.windowTitle();
    profile.setString(settings::kBatchDialog, settings::kOpenDir, inDir_.toStdString());
    WhenModal<CBatchInputDlg>([&](CBatchInputDlg* d) {
      Child<QLineEdit>(d, "fileNameEdit")->setText(QStringLiteral("chart.bmp"));
      Press(d, "okButton");  // the script's settings: no output dialog
    });
    QStringList titles;
    connect(&editor, &QWidget::windowTitleChanged, this, [&titles](const QString& t) { titles << t; });
    editor.showMinimized();
    editor.startBatch();
    BatchSession* session = WaitFinished(editor);
    QVERIFY(session != nullptr);
    QVERIFY(titles.contains(QStringLiteral("title.rsq - Processing File 1 of 1")));
    QCOMPARE(editor.windowTitle(), QStringLiteral("title.rsq - Finished (1 files converted)"));

    // "&Save Log...": CR LF lines, the folder remembered.
    const QString logPath = path(QStringLiteral("logs/saved.log"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("logs"))));
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      QCOMPARE(d->objectName(), QStringLiteral("saveLogDialog"));
      QCOMPARE(d->directory().absolutePath(), QDir::homePath());
      // A whole typed path: the dialog takes it without waiting for its folder model.
      auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name != nullptr);
      name->setText(logPath);
      Press(d, "okButton");
    });
    Press(session->dialog(), "saveLogButton");
    QByteArray expected;
    for (const std::string& line : session->log()) expected += QByteArray::fromStdString(line) + "\r\n";
    QCOMPARE(ReadAll(logPath), expected);
    QCOMPARE(profile.getString(settings::kGeneral, settings::kLogDirectory, ""), path(QStringLiteral("logs")).toStdString());
    // A file error.
    QVERIFY(!session->dialog()->saveLogTo(path(QStringLiteral("missing/folder/x.log"))));
    QVERIFY(messages.last().text.rfind("The log file could not be saved because ", 0) == 0);
    QVERIFY(messages.last().text.size() > std::string("The log file could not be saved because ").size());
    QCOMPARE(messages.last().icon, MessageIcon::Stop);

    Press(session->dialog(), "okButton");
    QCOMPARE(editor.windowTitle(), normalTitle);
    QVERIFY(!editor.isBusy());
  }
};

KM_GUI_TEST_MAIN(BatchRunTest)
#include "BatchRunTest.moc"
