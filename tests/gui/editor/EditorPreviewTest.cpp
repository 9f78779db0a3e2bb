// The preview and the commands tried on it: the fit rule, the built-in picture, the
// palette screen, Exec Cmd, Revert and Test Script, all through the real window.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "EditorKit.h"
#include "commands/Dispatcher.h"
#include "gui/editor/PreviewImage.h"
#include "gui/editor/PreviewWidget.h"
#include "StringTable.h"
#include "support/GuiTestEnv.h"

using namespace km;
using namespace km::guitest;

class EditorPreviewTest : public QObject {
  Q_OBJECT

private:
  MemoryProfile* profile_ = nullptr;
  FakeMessageService* messages_ = nullptr;
  TestEditor* editor_ = nullptr;
  QTemporaryDir dir_;

  void startWithPreview(const std::string& path) {
    profile_->setString("General", "PreviewImage", path);
    editor_->startUp();
    QVERIFY(WaitIdle(*editor_));
  }

  QString infoLine() { return editor_->findChild<QLabel*>(QStringLiteral("previewInfo"))->text(); }

  // The result of running `codes` (with the values Add gives them) straight through
  // the dispatcher on `image`, skipping failing commands.
  static DibHandle Expected(const Dib* image, const CScript& script) {
    DibHandle current;
    CopyDIB(image, &current);
    for (int i = 0; i < script.GetCount(); ++i) {
      DibHandle next;
      if (DoCommand(script, i, current.get(), &next, nullptr, nullptr, 0) == 0 && next) current = std::move(next);
    }
    return current;
  }

  static bool SamePixels(const Dib* a, const Dib* b) {
    return a && b && a->size() == b->size() && std::memcmp(a->data(), b->data(), a->size()) == 0;
  }

private slots:
  void init() {
    profile_ = new MemoryProfile;
    messages_ = new FakeMessageService;
    editor_ = new TestEditor(*profile_, *messages_);
    editor_->show();
  }

  void cleanup() {
    QVERIFY(WaitIdle(*editor_));
    delete editor_;
    delete messages_;
    delete profile_;
  }

  void fitRule() {
    const gui::PreviewSize wide = gui::FitPreview(1000, 500, 250, 250);
    QCOMPARE(wide.width, 250);
    QCOMPARE(wide.height, 125);
    const gui::PreviewSize small = gui::FitPreview(100, 50, 250, 250);  // never enlarged
    QCOMPARE(small.width, 100);
    QCOMPARE(small.height, 50);
    const gui::PreviewSize tall = gui::FitPreview(300, 900, 250, 250);  // 250 x 750, then 83 x 250
    QCOMPARE(tall.width, 83);
    QCOMPARE(tall.height, 250);
    const gui::PreviewSize line = gui::FitPreview(5000, 3, 250, 250);  // 250 x 0 held at 1
    QCOMPARE(line.width, 250);
    QCOMPARE(line.height, 1);
  }

  void wideImageIsCentredBetweenWhiteStrips() {
    editor_->hide();
    const std::string path = (dir_.path() + QStringLiteral("/wide.bmp")).toStdString();
    WriteSolidBmp(path, 1000, 500, 200, 0, 0);
    DibHandle wide = gui::LoadPreviewImage(path, FileTypeTable{}, InputPreferences{});
    QVERIFY(wide);
    QCOMPARE(wide->width(), 1000);

    gui::PreviewWidget frame;
    frame.setFixedSize(254, 254);  // a 250 x 250 frame inside the 2-pixel inset
    const QSize room = frame.frameRoom();
    QCOMPARE(room, QSize(250, 250));
    const QImage display = gui::BuildDisplayImage(wide.get(), room.width(), room.height(), 24);
    QCOMPARE(display.size(), QSize(250, 125));
    frame.setDisplayImage(display);
    const QImage shot = frame.grab().toImage();
    // Rows 2 + 62 .. 2 + 62 + 124 hold the picture; white above and below.
    QCOMPARE(shot.pixelColor(127, 2 + 61), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(127, 2 + 62), QColor(200, 0, 0));
    QCOMPARE(shot.pixelColor(127, 2 + 62 + 124), QColor(200, 0, 0));
    QCOMPARE(shot.pixelColor(127, 2 + 62 + 125), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(2, 127), QColor(200, 0, 0));

    // In the window the info line gives the working image, not the display.
    startWithPreview(path);
    QCOMPARE(infoLine(), QStringLiteral("Image: 1000 x 500 x 24bpp"));
  }

  // A type only an import filter reads (the WebP filter installed with the program)
  // makes a preview as it makes a batch run's input.
  void previewOfAFilterTypeIsReadThroughTheFilter() {
    startWithPreview(std::string(KILNMARK_TEST_DATA) + "/../../examples/filters/evening.webp");
    QCOMPARE(infoLine(), QStringLiteral("Image: 320 x 240 x 24bpp"));
  }

  void builtInPictureStandsInForEveryUnusablePath() {
    const std::string bad = (dir_.path() + QStringLiteral("/not-an-image.bmp")).toStdString();
    std::ofstream(bad) << "text";
    for (const std::string& path : {std::string(), std::string("internal PREVIEW"), std::string("/no/such.bmp"), bad}) {
      startWithPreview(path);
      QVERIFY(editor_->workingImage());
      QCOMPARE(infoLine(), QStringLiteral("Image: 276 x 187 x 24bpp"));
      // The built-in picture fits the frame at its own size.
      QCOMPARE(editor_->displayImage().size(), QSize(276, 187));
    }
  }

  void paletteScreenGetsAnOrderedDitherReduction() {
    DibHandle picture = gui::BuiltInPreview();
    QVERIFY(picture);
    DibHandle display;
    QImage image = gui::BuildDisplayImage(picture.get(), 300, 300, 8, &display);
    QVERIFY(display);
    QCOMPARE(display->bitCount(), 8);
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QCOMPARE(image.size(), QSize(276, 187));
    image = gui::BuildDisplayImage(picture.get(), 300, 300, 4, &display);
    QCOMPARE(display->bitCount(), 4);
    QCOMPARE(image.format(), QImage::Format_Indexed8);  // shown through an 8-bit view
    // A true-colour screen uses no palette.
    image = gui::BuildDisplayImage(picture.get(), 300, 300, 24, &display);
    QCOMPARE(display->bitCount(), 24);

    // The window rebuilds its display for a forced depth.
    startWithPreview("");
    editor_->setScreenDepth(8);
    QVERIFY(WaitIdle(*editor_));
    QCOMPARE(editor_->displayImage().format(), QImage::Format_Indexed8);
    QCOMPARE(editor_->workingImage()->bitCount(), 24);
  }

  void execTwiceThenRevert() {
    const std::string path = (dir_.path() + QStringLiteral("/grey.bmp")).toStdString();
    WriteSolidBmp(path, 8, 4, 100, 100, 100);
    startWithPreview(path);
    AddFromCatalogue(*editor_, kBrightnessContrast);
    editor_->script().GetAt(0)->Int1 = 10;
    editor_->selectLine(0);
    DibHandle original;
    CopyDIB(editor_->workingImage(), &original);

    QTest::mouseClick(editor_->findChild<QPushButton*>(QStringLiteral("execButton")), Qt::LeftButton);
    QVERIFY(WaitIdle(*editor_));
    const std::vector<int> once = FirstPixel(editor_->workingImage());
    editor_->executeCommand();
    QVERIFY(WaitIdle(*editor_));
    const std::vector<int> twice = FirstPixel(editor_->workingImage());
    QVERIFY(once[0] > 100);
    QVERIFY(twice[0] > once[0]);
    CScript two;
    two.Append(std::make_unique<CScriptCommand>(*editor_->script().GetAt(0)));
    two.Append(std::make_unique<CScriptCommand>(*editor_->script().GetAt(0)));
    QVERIFY(SamePixels(editor_->workingImage(), Expected(original.get(), two).get()));
    QCOMPARE(editor_->statusText(), QStringLiteral("Ready"));
    QVERIFY(messages_->shown.empty());

    QTest::mouseClick(editor_->findChild<QPushButton*>(QStringLiteral("revertButton")), Qt::LeftButton);
    QVERIFY(WaitIdle(*editor_));
    QVERIFY(SamePixels(editor_->workingImage(), original.get()));
  }

  void execReportsAFailureAndKeepsTheImage() {
    startWithPreview("");
    AddFromCatalogue(*editor_, kBlur);
    AddFromCatalogue(*editor_, kEnlargeCanvas);
    editor_->script().GetAt(1)->Int1 = 100;  // a canvas smaller than the 276 x 187 picture
    editor_->script().GetAt(1)->Int2 = 100;
    editor_->selectLine(1);
    const Dib* before = editor_->workingImage();
    editor_->executeCommand();
    QVERIFY(WaitIdle(*editor_));
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->last().text, "Script Line 2 Error: " + LoadString(5003));
    QCOMPARE(messages_->last().icon, MessageIcon::Stop);
    QCOMPARE(messages_->last().buttons, MessageButtons::Ok);
    QCOMPARE(editor_->workingImage(), before);
  }

  void execOptimizedPaletteGathersFromThePreview() {
    startWithPreview("");
    AddFromCatalogue(*editor_, kApplyOptimizedPalette);
    editor_->script().GetAt(0)->Int1 = 16;
    editor_->selectLine(0);
    editor_->executeCommand();
    QVERIFY(WaitIdle(*editor_));
    QVERIFY(messages_->shown.empty());
    QCOMPARE(editor_->workingImage()->bitCount(), 8);
    QCOMPARE(infoLine(), QStringLiteral("Image: 276 x 187 x 8bpp"));
  }

  void testStopsAtAFailingLineWithOkAndCancel() {
    const std::string path = (dir_.path() + QStringLiteral("/grey2.bmp")).toStdString();
    WriteSolidBmp(path, 8, 4, 100, 100, 100);
    startWithPreview(path);
    AddFromCatalogue(*editor_, kBrightnessContrast);
    editor_->script().GetAt(0)->Int1 = 10;
    AddFromCatalogue(*editor_, kEnlargeCanvas);
    editor_->script().GetAt(1)->Int2 = 2;  // a canvas narrower than the image: fails
    AddFromCatalogue(*editor_, kNegativeImage);
    DibHandle original;
    CopyDIB(editor_->workingImage(), &original);

    // A command executed first is undone: the test starts from the file.
    editor_->selectLine(2);
    editor_->executeCommand();
    QVERIFY(WaitIdle(*editor_));

    // OK: the third command runs on the first one's result.
    messages_->answers.push_back(MessageAnswer::Ok);
    QTest::mouseClick(editor_->findChild<QPushButton*>(QStringLiteral("testButton")), Qt::LeftButton);
    QVERIFY(editor_->isTesting());
    QCOMPARE(editor_->statusText(), QStringLiteral("Simulating Script"));
    QVERIFY(WaitIdle(*editor_));
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->last().text, "Script Line 2 Error: " + LoadString(5003));
    QCOMPARE(messages_->last().buttons, MessageButtons::OkCancel);
    QVERIFY(SamePixels(editor_->workingImage(), Expected(original.get(), editor_->script()).get()));
    QCOMPARE(editor_->selectedLine(), 2);
    QCOMPARE(editor_->statusText(), QStringLiteral("Ready"));

    // Cancel: the first command's result stays, the third never runs.
    messages_->answers.push_back(MessageAnswer::Cancel);
    editor_->testScript();
    QVERIFY(WaitIdle(*editor_));
    QCOMPARE(messages_->shown.size(), std::size_t{2});
    QCOMPARE(editor_->selectedLine(), 1);
    CScript first;
    first.Append(std::make_unique<CScriptCommand>(*editor_->script().GetAt(0)));
    QVERIFY(SamePixels(editor_->workingImage(), Expected(original.get(), first).get()));
  }

  void escapeStopsTheTestSilently() {
    startWithPreview("");
    AddFromCatalogue(*editor_, kNegativeImage);
    AddFromCatalogue(*editor_, kFlipImage);
    DibHandle original;
    CopyDIB(editor_->workingImage(), &original);
    editor_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor_));
    editor_->testScript();
    // Escape arrives while the picture is being reloaded: nothing more runs.
    QTest::keyClick(editor_, Qt::Key_Escape);
    QVERIFY(WaitIdle(*editor_));
    QVERIFY(messages_->shown.empty());
    QVERIFY(!editor_->isTesting());
    QVERIFY(SamePixels(editor_->workingImage(), original.get()));
    // Without a test running Escape does nothing.
    QTest::keyClick(editor_, Qt::Key_Escape);
    QVERIFY(!editor_->isTesting());
  }
};

KM_GUI_TEST_MAIN(EditorPreviewTest)
#include "EditorPreviewTest.moc"
