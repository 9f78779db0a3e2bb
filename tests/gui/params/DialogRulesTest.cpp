// The rules that tie a dialog's fields together: symmetric borders and blocks, the
// optimised palette's total and Windows colours, the reduction methods of 521 and 522,
// the free angle, and the motion-blur dial with its slider.

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>

#include "gui/dialogs/params/DirectionDial.h"
#include "params/ParamsKit.h"

using namespace km;
using namespace km::guitest;
using km::gui::DirectionDial;

class DialogRulesTest : public QObject {
  Q_OBJECT

  DibHandle picture_ = BuiltInPicture();

  template <typename Act>
  bool Run(CScript& script, FakeMessageService& messages, Act act) {
    return Edit(script, picture_.get(), messages, [act](QDialog* d) { act(d); });
  }

private slots:
  void symmetricBordersCopyTheTopWidth() {
    auto script = OneCommand(509);
    FakeMessageService messages;
    std::array<int, 3> afterNegative{};
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      Ctl<QCheckBox>(d, 100)->setChecked(true);
      Type(Ctl<QSpinBox>(d, 101), QStringLiteral("-3"));
      afterNegative = {Ctl<QSpinBox>(d, 102)->value(), Ctl<QSpinBox>(d, 103)->value(), Ctl<QSpinBox>(d, 104)->value()};
      Type(Ctl<QSpinBox>(d, 101), QStringLiteral("12"));
      Press(d, "okButton");
    }));
    QCOMPARE(afterNegative, (std::array<int, 3>{0, 0, 0}));
    const CScriptCommand& c = *script->GetAt(0);
    QCOMPARE((std::array<int, 5>{c.Int1, c.Int2, c.Int3, c.Int4, c.Int5}), (std::array<int, 5>{12, 12, 12, 12, 1}));
  }

  void bordersWithoutSymmetryStayApartAndAllZeroIsRefused() {
    auto script = OneCommand(509);
    FakeMessageService messages;
    bool open = false;
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      for (int id : {101, 102, 103, 104}) Type(Ctl<QSpinBox>(d, id), QStringLiteral("0"));
      Press(d, "okButton");
      open = d->isVisible();
      Type(Ctl<QSpinBox>(d, 104), QStringLiteral("9"));
      Press(d, "okButton");
    }));
    QVERIFY(open);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.last().text, std::string("You must specify at least one non-zero value"));
    const CScriptCommand& c = *script->GetAt(0);
    QCOMPARE((std::array<int, 4>{c.Int1, c.Int2, c.Int3, c.Int4}), (std::array<int, 4>{0, 9, 0, 0}));
  }

  void mosaicHeightFollowsTheWidth() {
    auto script = OneCommand(556);
    FakeMessageService messages;
    QVERIFY(Run(*script, messages, [](QDialog* d) {
      Type(Ctl<QSpinBox>(d, 101), QStringLiteral("7"));
      Press(d, "okButton");
    }));
    QCOMPARE(script->GetAt(0)->Int2, 7);
    // Unchecked, the two are independent.
    script = OneCommand(556);
    QVERIFY(Run(*script, messages, [](QDialog* d) {
      Ctl<QCheckBox>(d, 121)->setChecked(false);
      Type(Ctl<QSpinBox>(d, 101), QStringLiteral("9"));
      Press(d, "okButton");
    }));
    QCOMPARE(script->GetAt(0)->Int1, 9);
    QCOMPARE(script->GetAt(0)->Int2, 1);
    QCOMPARE(script->GetAt(0)->Int3, 0);
  }

  void octreeRaisesTheTotalToEight() {
    auto script = OneCommand(519);
    FakeMessageService messages;
    int raised = 0;
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("4"));
      Ctl<QRadioButton>(d, 1048)->click();
      raised = Ctl<QSpinBox>(d, 1025)->value();
      // Typed back to 4 with octree chosen: refused on OK.
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("4"));
      Press(d, "okButton");
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("12"));
      Press(d, "okButton");
    }));
    QCOMPARE(raised, 8);
    QCOMPARE(messages.last().text, std::string("Please enter an integer between 8 and 256."));
    QCOMPARE(script->GetAt(0)->Int1, 12);
    QCOMPARE(script->GetAt(0)->Int5, 1);
  }

  void windowsColoursAreCountedInTheTotal() {
    // 256 with Windows colours is stored as 236 and Int2 1; opening shows 256 again.
    auto script = OneCommand(519);
    FakeMessageService messages;
    std::array<bool, 3> enabled{};
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      auto* windows = Ctl<QCheckBox>(d, 1072);
      windows->setChecked(true);
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("19"));
      enabled[0] = windows->isEnabled();
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("20"));
      enabled[1] = windows->isEnabled();
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("256"));
      enabled[2] = windows->isEnabled();
      Press(d, "okButton");
    }));
    QCOMPARE(enabled, (std::array<bool, 3>{false, true, true}));
    QCOMPARE(script->GetAt(0)->Int1, 236);
    QCOMPARE(script->GetAt(0)->Int2, 1);
    QString shown;
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      shown = Ctl<QSpinBox>(d, 1025)->text();
      Type(Ctl<QSpinBox>(d, 1025), QStringLiteral("15"));  // too few for Windows colours
      Press(d, "okButton");
    }));
    QCOMPARE(shown, QStringLiteral("256"));
    QCOMPARE(script->GetAt(0)->Int1, 15);
    QCOMPARE(script->GetAt(0)->Int2, 0);
  }

  void bleedReductionOnlyWithErrorDiffusion() {
    for (int code : {519, 521, 522}) {
      auto script = OneCommand(code);
      FakeMessageService messages;
      std::array<bool, 2> enabled{};
      Run(*script, messages, [&](QDialog* d) {
        Ctl<QRadioButton>(d, 113)->click();
        enabled[0] = Ctl(d, 122)->isEnabled();
        Ctl<QRadioButton>(d, 111)->click();
        enabled[1] = Ctl(d, 122)->isEnabled();
        d->reject();
      });
      QCOMPARE(enabled, (std::array<bool, 2>{true, false}));
    }
  }

  void optimisedPaletteMovesOrderedDitherToNearestColour() {
    CScriptCommand standardOrdered(522);
    standardOrdered.Int1 = 2;
    standardOrdered.Int2 = 1;
    CScript script;
    script.InsertAfter(std::make_unique<CScriptCommand>(standardOrdered), -1);
    FakeMessageService messages;
    std::array<bool, 3> before{};
    std::array<bool, 4> after{};
    QVERIFY(Run(script, messages, [&](QDialog* d) {
      before = {Ctl<QRadioButton>(d, 112)->isChecked(), Ctl(d, 112)->isEnabled(), Ctl(d, 1072)->isEnabled()};
      Ctl<QRadioButton>(d, 1049)->click();
      after = {Ctl<QRadioButton>(d, 111)->isChecked(), Ctl<QRadioButton>(d, 112)->isChecked(),
               Ctl(d, 112)->isEnabled(), Ctl(d, 1072)->isEnabled()};
      Press(d, "okButton");
    }));
    QCOMPARE(before, (std::array<bool, 3>{true, true, false}));
    QCOMPARE(after, (std::array<bool, 4>{true, false, false, true}));
    QCOMPARE(script.GetAt(0)->Int1, 0);
    QCOMPARE(script.GetAt(0)->Int2, 0);
    // 521 the same way, from its Windows' palette to the optimised octree.
    CScriptCommand sixteen(521);
    sixteen.Int1 = 2;
    sixteen.Int2 = 1;
    CScript script16;
    script16.InsertAfter(std::make_unique<CScriptCommand>(sixteen), -1);
    QVERIFY(Run(script16, messages, [](QDialog* d) {
      Ctl<QRadioButton>(d, 1051)->click();
      Press(d, "okButton");
    }));
    QCOMPARE(script16.GetAt(0)->Int1, 1);
    QCOMPARE(script16.GetAt(0)->Int2, 0);
  }

  void choosingFreeSelectsTheAngle() {
    auto script = OneCommand(508);
    FakeMessageService messages;
    bool focused = false;
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      d->activateWindow();
      Ctl<QRadioButton>(d, 114)->click();
      focused = QApplication::focusWidget() == Ctl(d, 115);
      Type(Ctl<QSpinBox>(d, 115), QStringLiteral("45"));
      Ctl<QRadioButton>(d, 102)->click();
      Press(d, "okButton");
    }));
    QVERIFY(focused);
    QCOMPARE(script->GetAt(0)->Int1, 45);
    QCOMPARE(script->GetAt(0)->Int2, 3);
    QCOMPARE(script->GetAt(0)->Int3, 1);
  }

  void dialNeedleAndAngles() {
    // A 100 x 80 dial: centre (50, 40), needle 80 / 2 - 6 = 34 long.
    QCOMPARE(gui::DialNeedleTip(100, 80, 0), QPointF(50, 6));
    const QPointF east = gui::DialNeedleTip(100, 80, 90);
    QCOMPARE(qRound(east.x()), 84);
    QCOMPARE(qRound(east.y()), 40);
    const QPointF south = gui::DialNeedleTip(100, 80, 180);
    QCOMPARE(qRound(south.x()), 50);
    QCOMPARE(qRound(south.y()), 74);
    // atan2 in degrees, rounded, +360 when negative, +90, -360 past 359.
    QCOMPARE(gui::DialAngleAt(10, 0), 90);
    QCOMPARE(gui::DialAngleAt(0, -10), 0);
    QCOMPARE(gui::DialAngleAt(-10, 10), 225);
    QCOMPARE(gui::DialAngleAt(7, -3), 67);  // atan2(-3, 7) = -23.2 -> -23 -> 337 -> 427 -> 67
  }

  void dialClicksSetTheAngleAndTheSliderMirrorsThePixels() {
    auto script = OneCommand(548);
    FakeMessageService messages;
    std::vector<int> angles;
    int needleAfterTyping = 0;
    int sliderAfterTyping = 0;
    int pixelsAfterSlider = 0;
    QVERIFY(Run(*script, messages, [&](QDialog* d) {
      auto* dial = Ctl<DirectionDial>(d, 1140);
      const QPoint c(dial->width() / 2, dial->height() / 2);
      for (const QPoint offset : {QPoint(20, 0), QPoint(0, -20), QPoint(-20, 20), QPoint(7, -3)}) {
        QTest::mouseClick(dial, Qt::LeftButton, {}, c + offset);
        angles.push_back(Ctl<QSpinBox>(d, 1186)->value());
      }
      // A drag keeps turning the needle.
      QTest::mousePress(dial, Qt::LeftButton, {}, c + QPoint(0, 20));
      QMouseEvent move(QEvent::MouseMove, QPointF(c + QPoint(-20, 0)), dial->mapToGlobal(QPointF(c + QPoint(-20, 0))),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(dial, &move);
      QTest::mouseRelease(dial, Qt::LeftButton, {}, c + QPoint(-20, 0));
      angles.push_back(Ctl<QSpinBox>(d, 1186)->value());
      Type(Ctl<QSpinBox>(d, 1186), QStringLiteral("500"));
      needleAfterTyping = dial->angle();
      Type(Ctl<QSpinBox>(d, 1186), QStringLiteral("30"));
      Type(Ctl<QSpinBox>(d, 1224), QStringLiteral("55"));
      sliderAfterTyping = Ctl<QSlider>(d, 1141)->value();
      Ctl<QSlider>(d, 1141)->setValue(12);
      pixelsAfterSlider = Ctl<QSpinBox>(d, 1224)->value();
      Press(d, "okButton");
    }));
    QCOMPARE(angles, (std::vector<int>{90, 0, 225, 67, 270}));
    QCOMPARE(needleAfterTyping, 359);
    QCOMPARE(sliderAfterTyping, 40);
    QCOMPARE(pixelsAfterSlider, 12);
    QCOMPARE(script->GetAt(0)->Int1, 30);
    QCOMPARE(script->GetAt(0)->Int2, 12);
  }
};

KM_GUI_TEST_MAIN(DialogRulesTest)
#include "DialogRulesTest.moc"
