// The colour chooser: the 0x00BBGGRR colour values, the 64-byte custom colour value,
// OK and Cancel, and the custom colours surviving a restart of the program.

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "app/SettingsProfile.h"
#include "common/Profile.h"
#include "common/Settings.h"
#include "dialogs/ModalDriver.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/KivColorDialog.h"
#include "support/GuiTestEnv.h"

using km::gui::CKivColorDialog;
using km::gui::CustomColours;

namespace {

void Press(QDialog* dialog, const char* button) {
  auto* b = km::guitest::Child<QPushButton>(dialog, button);
  QVERIFY(b != nullptr);
  b->click();
}

CustomColours Ramp(std::uint32_t base) {
  CustomColours c{};
  for (std::size_t i = 0; i < c.size(); ++i) c[i] = base + static_cast<std::uint32_t>(i) * 0x010203;
  return c;
}

}  // namespace

class ColourChooserTest : public QObject {
  Q_OBJECT

private slots:
  void colourValuesAreRedGreenBlueFromTheLowByte() {
    const QColor c = km::gui::ColourFromRef(0x00336699);
    QCOMPARE(c.red(), 0x99);
    QCOMPARE(c.green(), 0x66);
    QCOMPARE(c.blue(), 0x33);
    QCOMPARE(km::gui::RefFromColour(QColor(0x12, 0x34, 0x56)), 0x00563412u);
  }

  void customColoursAreSixtyFourLittleEndianBytes() {
    CustomColours c{};
    c[0] = 0x00563412;
    c[15] = 0x00FFEEDD;
    const std::vector<std::uint8_t> bytes = km::gui::ColourRefBytes(c);
    QCOMPARE(bytes.size(), std::size_t{64});
    QCOMPARE(bytes[0], std::uint8_t{0x12});
    QCOMPARE(bytes[1], std::uint8_t{0x34});
    QCOMPARE(bytes[2], std::uint8_t{0x56});
    QCOMPARE(bytes[3], std::uint8_t{0x00});
    QCOMPARE(bytes[60], std::uint8_t{0xDD});
    QCOMPARE(bytes[62], std::uint8_t{0xFF});
  }

  void shortOrLongStoredValueCopiesAtMostSixtyFourBytes() {
    const CustomColours base = Ramp(0x00101010);
    // Six bytes: colour 0 whole, the two low bytes of colour 1.
    const CustomColours merged = km::gui::MergeStoredColours(base, {1, 2, 3, 0, 0xAA, 0xBB});
    QCOMPARE(merged[0], 0x00030201u);
    QCOMPARE(merged[1], (base[1] & 0xFFFF0000u) | 0xBBAAu);
    QCOMPARE(merged[2], base[2]);
    std::vector<std::uint8_t> tooLong(80, 0x7F);
    const CustomColours all = km::gui::MergeStoredColours(base, tooLong);
    QCOMPARE(all[15], 0x7F7F7F7Fu);
    QCOMPARE(km::gui::MergeStoredColours(base, {}), base);
  }

  void okStoresColourAndCustomColours() {
    km::MemoryProfile profile;
    std::uint32_t colour = 0x000000FF;
    QString title;
    QColor shownAtStart;
    km::guitest::WhenModal<CKivColorDialog>([&](CKivColorDialog* d) {
      title = d->windowTitle();
      shownAtStart = d->currentColor();
      d->setCurrentColor(QColor(0x10, 0x20, 0x30));
      QColorDialog::setCustomColor(3, QColor(0xAB, 0xCD, 0xEF));
      Press(d, "okButton");
    });
    QVERIFY(km::gui::ChooseColour(nullptr, profile, &colour, 2517));
    QCOMPARE(title, QStringLiteral("Select Background Color"));
    QCOMPARE(shownAtStart, QColor(0xFF, 0, 0));
    QCOMPARE(colour, 0x00302010u);
    const auto stored = profile.getBinary(km::settings::kCustomColors, km::settings::kColorRefs);
    QCOMPARE(stored.size(), std::size_t{64});
    QCOMPARE(stored[12], std::uint8_t{0xAB});
    QCOMPARE(stored[13], std::uint8_t{0xCD});
    QCOMPARE(stored[14], std::uint8_t{0xEF});
    QCOMPARE(stored[15], std::uint8_t{0x00});
  }

  void cancelChangesNeitherColourNorCustomColours() {
    km::MemoryProfile profile;
    const std::vector<std::uint8_t> before = km::gui::ColourRefBytes(Ramp(0x00050505));
    profile.setBinary(km::settings::kCustomColors, km::settings::kColorRefs, before);
    const CustomColours processBefore = km::gui::CurrentCustomColours();
    std::uint32_t colour = 0x00123456;
    CustomColours shown{};
    km::guitest::WhenModal<CKivColorDialog>([&](CKivColorDialog* d) {
      shown = km::gui::CurrentCustomColours();
      d->setCurrentColor(Qt::green);
      QColorDialog::setCustomColor(0, Qt::white);
      Press(d, "cancelButton");
    });
    QVERIFY(!km::gui::ChooseColour(nullptr, profile, &colour, 2516));
    QCOMPARE(shown, Ramp(0x00050505));  // the stored colours were offered
    QCOMPARE(colour, 0x00123456u);
    QCOMPARE(profile.getBinary(km::settings::kCustomColors, km::settings::kColorRefs), before);
    QCOMPARE(km::gui::CurrentCustomColours(), processBefore);
  }

  void customColoursSurviveARestart() {
    const QString ini = km::guitest::TestRoot() + QStringLiteral("/restart.ini");
    {
      km::SettingsProfile first(ini.toStdString());
      std::uint32_t colour = 0;
      km::guitest::WhenModal<CKivColorDialog>([&](CKivColorDialog* d) {
        QColorDialog::setCustomColor(7, QColor(1, 2, 3));
        Press(d, "okButton");
      });
      QVERIFY(km::gui::ChooseColour(nullptr, first, &colour, 2518));
    }
    // The next program start begins with other colours in the dialog.
    km::gui::SetCustomColours(Ramp(0x00202020));
    km::SettingsProfile second(ini.toStdString());
    std::uint32_t colour = 0;
    QColor seventh;
    km::guitest::WhenModal<CKivColorDialog>([&](CKivColorDialog* d) {
      seventh = QColorDialog::customColor(7);
      Press(d, "cancelButton");
    });
    QVERIFY(!km::gui::ChooseColour(nullptr, second, &colour, 2518));
    QCOMPARE(seventh, QColor(1, 2, 3));
  }

  void dialogHasHelpButtonAndNoCaptionForMinusOne() {
    CKivColorDialog d(0x00FFFFFF, QString());
    QVERIFY(km::guitest::Child<QPushButton>(&d, "helpButton") != nullptr);
    QCOMPARE(d.chosenRef(), 0x00FFFFFFu);
  }
};

KM_GUI_TEST_MAIN(ColourChooserTest)
#include "ColourChooserTest.moc"
