// The live preview: each previewing dialog, fed a change, shows after 250 to 500 ms of
// quiet exactly what DoCommand makes of the same scaled picture; the values that change
// nothing skip the operation; a refused operation is reported and the picture shown
// unchanged; holding the mouse on the frame shows the picture without the change.

#include <cstdlib>

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QSignalSpy>

#include "commands/Dispatcher.h"
#include "commands/PreviewRender.h"
#include "gui/dialogs/params/ParameterDialog.h"
#include "gui/dialogs/params/PreviewFrame.h"
#include "params/ParamsKit.h"

using namespace km;
using namespace km::guitest;
using km::gui::ParameterDialog;

namespace {

struct Change {
  int code;
  int id;
  QString typed;
};

const Change kChanges[] = {
    {502, 101, QStringLiteral("20")},  {503, 101, QStringLiteral("30")},   {504, 111, QStringLiteral("-40")},
    {505, 111, QStringLiteral("70")},  {511, 1073, QStringLiteral("2.5")}, {516, 101, QStringLiteral("3")},
    {517, 101, QStringLiteral("100")}, {524, 101, QStringLiteral("120")},  {525, 101, QStringLiteral("-40")},
    {526, 101, QStringLiteral("50")},  {527, 101, QStringLiteral("60")},   {528, 101, QStringLiteral("60")},
    {529, 101, QStringLiteral("60")},  {530, 101, QStringLiteral("60")},   {543, 111, QStringLiteral("3")},
    {547, 101, QStringLiteral("8")},   {548, 1224, QStringLiteral("10")},  {549, 101, QStringLiteral("20")},
    {550, 111, QStringLiteral("30")},  {556, 101, QStringLiteral("5")},
};

bool SamePixels(const Dib* a, const Dib* b) {
  return a != nullptr && b != nullptr && a->size() == b->size() && std::memcmp(a->data(), b->data(), a->size()) == 0;
}

// What the dispatcher makes of `scaled` with `values`, fitted back into the frame.
DibHandle Expected(const Dib* scaled, const CScriptCommand& values, FrameSize area) {
  CScript one;
  one.InsertAfter(std::make_unique<CScriptCommand>(values), -1);
  DibHandle out;
  if (DoCommand(one, 0, scaled, &out, nullptr, nullptr, 0) != 0 || !out) return nullptr;
  if (out->width() > area.width || out->height() > area.height) {
    DibHandle fitted;
    if (ScaleToFrame(out.get(), area, &fitted) != 0) return nullptr;
    return fitted;
  }
  return out;
}

// Waits for the first picture of a dialog that has just opened.
bool FirstPicture(ParameterDialog* d, QSignalSpy& spy) {
  return d->scaledSource() != nullptr || spy.wait(5000);
}

}  // namespace

class LivePreviewTest : public QObject {
  Q_OBJECT

  DibHandle picture_ = BuiltInPicture();

private slots:
  void everyPreviewFollowsAChangeLikeTheDispatcher() {
    int tested = 0;
    for (const Change& change : kChanges) {
      const QString name = QString::number(change.code);
      auto script = OneCommand(change.code);
      FakeMessageService messages;
      qint64 quiet = 0;
      bool same = false;
      bool refreshed = false;
      Edit(*script, picture_.get(), messages, [&](QDialog* dialog) {
        auto* d = qobject_cast<ParameterDialog*>(dialog);
        QVERIFY(d != nullptr);
        QSignalSpy spy(d, &ParameterDialog::previewRefreshed);
        QVERIFY(FirstPicture(d, spy));
        spy.clear();
        std::srand(7);  // the noise of 550 draws from the C library's generator
        QElapsedTimer clock;
        clock.start();
        Type(Ctl<QAbstractSpinBox>(d, change.id), change.typed);
        refreshed = spy.wait(5000);
        quiet = clock.elapsed();
        std::srand(7);
        const DibHandle want = Expected(d->scaledSource(), d->values(), d->previewArea());
        same = SamePixels(d->shownPicture(), want.get()) && d->shownPicture() != d->scaledSource();
        d->reject();
      });
      QVERIFY2(refreshed, qPrintable(name));
      QVERIFY2(quiet >= 250 && quiet < 2000, qPrintable(name + QStringLiteral(": ") + QString::number(quiet)));
      QVERIFY2(same, qPrintable(name));
      QVERIFY2(messages.shown.empty(), qPrintable(name));
      ++tested;
    }
    QCOMPARE(tested, 20);
  }

  void pictureIsScaledIntoTheFrame() {
    auto script = OneCommand(502);
    FakeMessageService messages;
    FrameSize area;
    int width = 0;
    int height = 0;
    QSize frame;
    Edit(*script, picture_.get(), messages, [&](QDialog* dialog) {
      auto* d = qobject_cast<ParameterDialog*>(dialog);
      QSignalSpy spy(d, &ParameterDialog::previewRefreshed);
      QVERIFY(FirstPicture(d, spy));
      area = d->previewArea();
      width = d->scaledSource()->width();
      height = d->scaledSource()->height();
      frame = Ctl(d, 1019)->size();
      d->reject();
    });
    // 276 x 187 fitted by width: height = 187 * area.width / 276, or by height when taller.
    const FrameSize fit = FitToFrame(276, 187, area);
    QCOMPARE(width, fit.width);
    QCOMPARE(height, fit.height);
    QVERIFY(width == area.width || height == area.height);
    QCOMPARE(frame, QSize(area.width + 4, area.height + 4));
  }

  void unchangedValuesSkipTheOperation() {
    // Brightness and contrast both 0 at opening: the frame shows the scaled source.
    auto script = OneCommand(502);
    FakeMessageService messages;
    bool skipped = false;
    bool appliedAfterChange = false;
    bool skippedAgain = false;
    Edit(*script, picture_.get(), messages, [&](QDialog* dialog) {
      auto* d = qobject_cast<ParameterDialog*>(dialog);
      QSignalSpy spy(d, &ParameterDialog::previewRefreshed);
      QVERIFY(FirstPicture(d, spy));
      skipped = d->shownPicture() == d->scaledSource();
      Type(Ctl<QAbstractSpinBox>(d, 111), QStringLiteral("10"));
      QVERIFY(spy.wait(5000));
      appliedAfterChange = d->shownPicture() != d->scaledSource();
      Type(Ctl<QAbstractSpinBox>(d, 111), QStringLiteral("0"));
      QVERIFY(spy.wait(5000));
      skippedAgain = d->shownPicture() == d->scaledSource();
      d->reject();
    });
    QVERIFY(skipped);
    QVERIFY(appliedAfterChange);
    QVERIFY(skippedAgain);
  }

  void aRefusedOperationIsReportedAndThePictureShownUnchanged() {
    // A 256-colour picture is neither true colour nor greyscale: the perspective refuses.
    const DibHandle palette = Pattern(90, 60, 8);
    auto script = OneCommand(525);
    FakeMessageService messages;
    bool unchanged = false;
    int code = 0;
    Edit(*script, palette.get(), messages, [&](QDialog* dialog) {
      auto* d = qobject_cast<ParameterDialog*>(dialog);
      QSignalSpy spy(d, &ParameterDialog::previewRefreshed);
      QVERIFY(FirstPicture(d, spy));
      unchanged = d->shownPicture() == d->scaledSource();
      code = d->lastCode();
      d->reject();
    });
    QVERIFY(unchanged);
    QCOMPARE(code, -5004);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.last().text, std::string("A True Color or Greyscale image is required for this function"));
    QVERIFY(messages.last().icon == MessageIcon::Stop);
  }

  void holdingTheMouseShowsTheOriginal() {
    auto script = OneCommand(516);
    FakeMessageService messages;
    std::array<bool, 3> holding{};
    Edit(*script, picture_.get(), messages, [&](QDialog* dialog) {
      auto* d = qobject_cast<ParameterDialog*>(dialog);
      auto* frame = Ctl<gui::PreviewFrame>(d, 1019);
      holding[0] = frame->showingOriginal();
      QTest::mousePress(frame, Qt::LeftButton);
      holding[1] = frame->showingOriginal();
      QTest::mouseRelease(frame, Qt::LeftButton);
      holding[2] = frame->showingOriginal();
      d->reject();
    });
    QCOMPARE(holding, (std::array<bool, 3>{false, true, false}));
  }

  void aBurstOfChangesShowsOnlyTheLast() {
    auto script = OneCommand(556);
    FakeMessageService messages;
    bool same = false;
    int refreshes = 0;
    Edit(*script, picture_.get(), messages, [&](QDialog* dialog) {
      auto* d = qobject_cast<ParameterDialog*>(dialog);
      QSignalSpy spy(d, &ParameterDialog::previewRefreshed);
      QVERIFY(FirstPicture(d, spy));
      spy.clear();
      for (const char* width : {"2", "3", "4", "6", "8"}) {
        Type(Ctl<QAbstractSpinBox>(d, 101), QString::fromLatin1(width));
        QTest::qWait(100);
      }
      QVERIFY(spy.wait(5000));
      QTest::qWait(800);  // nothing further arrives
      refreshes = static_cast<int>(spy.count());
      const DibHandle want = Expected(d->scaledSource(), d->values(), d->previewArea());
      same = SamePixels(d->shownPicture(), want.get());
      d->reject();
    });
    QCOMPARE(refreshes, 1);
    QVERIFY(same);
  }
};

KM_GUI_TEST_MAIN(LivePreviewTest)
#include "LivePreviewTest.moc"
