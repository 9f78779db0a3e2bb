// The "File Input Preferences" sheet: defaults, what OK writes ("WMF_Prompt" = 0
// included), Cancel writing nothing, the range check that keeps the sheet open, and
// the spin arrows' narrower range.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "common/Profile.h"
#include "common/Settings.h"
#include "dialogs/ModalDriver.h"
#include "gui/dialogs/InfoDialogs.h"
#include "gui/dialogs/Preferences.h"
#include "support/GuiTestEnv.h"

using km::gui::CPreferences;
using km::gui::RangeSpinBox;
namespace s = km::settings;

namespace {

void Press(QWidget* dialog, const char* button) {
  auto* b = km::guitest::Child<QPushButton>(dialog, button);
  QVERIFY(b != nullptr);
  b->click();
}

void Type(RangeSpinBox* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, text);
}

}  // namespace

class InputPreferencesTest : public QObject {
  Q_OBJECT

private slots:
  void sheetShowsTheDefaults() {
    km::MemoryProfile profile;
    CPreferences sheet;
    sheet.load(profile);
    QCOMPARE(sheet.windowTitle(), QStringLiteral("File Input Preferences"));
    auto* tabs = km::guitest::Child<QTabWidget>(&sheet, "pages");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Photo CD"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("WMF "));
    QCOMPARE(sheet.photoCdPage()->loadSize(), 2);
    QCOMPARE(km::guitest::Child<QRadioButton>(&sheet, "pcdSize2")->text(), QStringLiteral("&Base"));
    QCOMPARE(sheet.wmfPage()->widthValue(), 100);
    QCOMPARE(sheet.wmfPage()->heightValue(), 100);
    QVERIFY(km::guitest::Child<QPushButton>(&sheet, "applyButton") == nullptr);
  }

  void storedSizeNoButtonStandsForShowsTheDefault() {
    km::MemoryProfile profile;
    profile.setInt(s::kFormat, s::kPCDLoadSize, 9);
    CPreferences sheet;
    sheet.load(profile);
    QCOMPARE(sheet.photoCdPage()->loadSize(), 2);
  }

  void okWritesEveryValueAndClearsThePrompt() {
    km::MemoryProfile profile;
    km::guitest::WhenModal<CPreferences>([](CPreferences* d) {
      km::guitest::Child<QRadioButton>(d, "pcdSize4")->click();
      Type(km::guitest::Child<RangeSpinBox>(d, "wmfWidth"), QStringLiteral("65535"));
      Type(km::guitest::Child<RangeSpinBox>(d, "wmfHeight"), QStringLiteral("2"));
      Press(d, "okButton");
    });
    QVERIFY(km::gui::EditInputPreferences(nullptr, profile));
    QCOMPARE(profile.getInt(s::kFormat, s::kPCDLoadSize, -1), 4);
    QCOMPARE(profile.getInt(s::kFormat, s::kWMFWidth, -1), 65535);
    QCOMPARE(profile.getInt(s::kFormat, s::kWMFHeight, -1), 2);
    QCOMPARE(profile.getInt(s::kFormat, s::kWMFPrompt, -1), 0);
  }

  // The batch runs' count sits below the pages: 0 shows "One per processor", a stored
  // count out of range shows the nearest one, and OK writes "General"/"Jobs".
  void jobsBoxShowsAndStoresTheBatchSetting() {
    km::MemoryProfile profile;
    CPreferences fresh;
    fresh.load(profile);
    QCOMPARE(fresh.jobsBox()->value(), 0);
    QCOMPARE(fresh.jobsBox()->text(), QStringLiteral("One per processor"));
    profile.setInt(s::kGeneral, s::kJobs, 999);
    CPreferences clamped;
    clamped.load(profile);
    QCOMPARE(clamped.jobsBox()->value(), 256);

    km::guitest::WhenModal<CPreferences>([](CPreferences* d) {
      auto* box = km::guitest::Child<QSpinBox>(d, "jobs");
      box->setFocus();
      box->selectAll();
      QTest::keyClicks(box, QStringLiteral("3"));
      if (const QByteArray dir = qgetenv("KILNMARK_SHOT_DIR"); !dir.isEmpty()) {
        d->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/input-preferences.png"));
      }
      Press(d, "okButton");
    });
    QVERIFY(km::gui::EditInputPreferences(nullptr, profile));
    QCOMPARE(profile.getInt(s::kGeneral, s::kJobs, -1), 3);
  }

  void cancelWritesNothing() {
    km::MemoryProfile profile;
    profile.setInt(s::kFormat, s::kWMFPrompt, 1);
    km::guitest::WhenModal<CPreferences>([](CPreferences* d) {
      km::guitest::Child<QRadioButton>(d, "pcdSize0")->click();
      Type(km::guitest::Child<RangeSpinBox>(d, "wmfWidth"), QStringLiteral("640"));
      Press(d, "cancelButton");
    });
    QVERIFY(!km::gui::EditInputPreferences(nullptr, profile));
    QCOMPARE(profile.getInt(s::kFormat, s::kWMFPrompt, -1), 1);
    QVERIFY(!profile.contains(s::kFormat, s::kPCDLoadSize));
    QVERIFY(!profile.contains(s::kFormat, s::kWMFWidth));
    QVERIFY(!profile.contains(s::kFormat, s::kWMFHeight));
  }

  void valueOutOfRangeKeepsTheSheetOpen_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("width 1") << "wmfWidth" << "1";
    QTest::newRow("height 0") << "wmfHeight" << "0";
    QTest::newRow("width 65536") << "wmfWidth" << "65536";
  }
  void valueOutOfRangeKeepsTheSheetOpen() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    km::MemoryProfile profile;
    CPreferences sheet;
    sheet.load(profile);
    sheet.show();
    auto* tabs = km::guitest::Child<QTabWidget>(&sheet, "pages");
    tabs->setCurrentIndex(0);
    auto* edit = km::guitest::Child<RangeSpinBox>(&sheet, box.toLatin1().constData());
    Type(edit, typed);
    Press(&sheet, "okButton");
    QVERIFY(sheet.isVisible());
    QCOMPARE(sheet.result(), int(QDialog::Rejected));
    QCOMPARE(tabs->currentIndex(), 1);
    auto* message = sheet.findChild<QMessageBox*>(QStringLiteral("rangeMessage"));
    QVERIFY(message != nullptr);
    QCOMPARE(message->text(), QStringLiteral("Please enter an integer between 2 and 65535."));
    message->accept();
    // Corrected, the sheet closes.
    Type(edit, QStringLiteral("2"));
    Press(&sheet, "okButton");
    QVERIFY(!sheet.isVisible());
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
  }

  void spinArrowsStayWithinTwoTo32767() {
    km::MemoryProfile profile;
    CPreferences sheet;
    sheet.load(profile);
    auto* width = km::guitest::Child<RangeSpinBox>(&sheet, "wmfWidth");
    width->setValue(32766);
    width->stepBy(5);
    QCOMPARE(width->value(), 32767);
    width->setValue(3);
    width->stepBy(-5);
    QCOMPARE(width->value(), 2);
    // A typed value above the spin range stays as typed.
    Type(width, QStringLiteral("50000"));
    QCOMPARE(sheet.wmfPage()->widthValue(), 50000);
  }
};

KM_GUI_TEST_MAIN(InputPreferencesTest)
#include "InputPreferencesTest.moc"
