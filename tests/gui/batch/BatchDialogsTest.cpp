// The batch dialogs on their own: the output types and the remembered sub-types, the
// output dialog's sub-type list and folder line, the three format settings dialogs, the
// "Set Output Options" dialog of the editor, and the input dialog's "Select &All".

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "common/Profile.h"
#include "common/Settings.h"
#include "dialogs/ModalDriver.h"
#include "fileio/FileTypeTable.h"
#include "gui/batch/BatchInputDlg.h"
#include "gui/batch/BatchOutputDlg.h"
#include "gui/batch/BatchStatusDialog.h"
#include "gui/batch/FormatSettingsDlg.h"
#include "gui/batch/OutputOptionsDlg.h"
#include "gui/batch/OutputTypes.h"
#include "gui/dialogs/EditParameters.h"
#include "gui/dialogs/KivColorDialog.h"
#include "imaging/Dib.h"
#include "script/CommandCodes.h"
#include "script/Script.h"
#include "support/FakeMessageService.h"
#include "support/GuiTestEnv.h"

using namespace km;
using namespace km::gui;
using km::guitest::Child;
using km::guitest::WhenModal;

namespace {

// The 1-based filter index of the input type whose key is `key`.
int FilterIndexOf(const FileTypeTable& types, const std::string& key) {
  for (int n = 1; n <= types.entryCount(); ++n) {
    if (types.entry(n).key == key) return n + 1;
  }
  return 0;
}

void Touch(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("x");
}

}  // namespace

class BatchDialogsTest : public QObject {
  Q_OBJECT

private slots:
  void outputTypesSubTypesAndOptionsKinds() {
    QCOMPARE(OutputTypeNames().size(), 27);
    QCOMPARE(OutputTypeNames().first(), QStringLiteral("BMP - OS/2 or Windows Bitmap"));
    QCOMPARE(OutputTypeNames().last(), QStringLiteral("WPG - WordPerfect"));
    QCOMPARE(OutputNameFilters().at(5), QStringLiteral("GIF - CompuServe (*.gif)"));
    QCOMPARE(SubTypeNames(kOutCLP), QStringList{QStringLiteral("None")});
    QCOMPARE(SubTypeNames(kOutTGA).size(), 6);
    QCOMPARE(SubTypeNames(kOutPGM), SubTypeNames(kOutPBM));
    QCOMPARE(OutputTypeOf(kOutJIF).options, OptionsKind::kCompressionDpi);
    QCOMPARE(OutputTypeOf(kOutWPG).options, OptionsKind::kDpi);
    QCOMPARE(OutputTypeOf(kOutPNG).options, OptionsKind::kTransparency);
    QCOMPARE(OutputTypeOf(kOutBMP).options, OptionsKind::kNone);
  }

  void rememberedSubTypesDefaultsLimitsAndSharedKeys() {
    MemoryProfile profile;
    QCOMPARE(RememberedSubType(profile, kOutTIF), 2);  // "LZW Compressed"
    QCOMPARE(RememberedSubType(profile, kOutTGA), 4);
    QCOMPARE(RememberedSubType(profile, kOutBMP), 1);
    QCOMPARE(RememberedSubType(profile, kOutCLP), 0);
    profile.setInt(settings::kBatchSubTypes, "TIFF", 9);
    QCOMPARE(RememberedSubType(profile, kOutTIF), 4);  // past the end: the last entry
    RememberSubType(profile, kOutPGM, 1);
    QCOMPARE(profile.getInt(settings::kBatchSubTypes, "PBM", -1), 1);
    QCOMPARE(RememberedSubType(profile, kOutPBM), 1);
    RememberSubType(profile, kOutJIF, 1);
    QCOMPARE(RememberedSubType(profile, kOutJPG), 1);
    RememberSubType(profile, kOutCLP, 3);  // no key: nothing stored
    QCOMPARE(RememberedSubType(profile, kOutCLP), 0);
  }

  void outputDialogSubTypeListFollowsTheType() {
    MemoryProfile profile;
    profile.setInt(settings::kBatchSubTypes, "TGA", 17);
    QTemporaryDir dir;
    CBatchOutputDlg dialog(profile);
    OutputOptions options;
    dialog.setStart(dir.path(), kOutTIF, options);
    auto* subTypes = Child<QComboBox>(&dialog, "subTypeCombo");
    auto* optionsButton = Child<QPushButton>(&dialog, "optionsButton");
    auto* types = Child<QComboBox>(&dialog, "fileTypeCombo");
    QCOMPARE(dialog.format(), kOutTIF);
    QCOMPARE(subTypes->currentText(), QStringLiteral("LZW Compressed"));
    QCOMPARE(dialog.subType(), 2);
    QVERIFY(optionsButton->isEnabled());
    QCOMPARE(Child<QLabel>(&dialog, "captionLine")->text(), QStringLiteral("TIF - Tagged Image File Format"));

    types->setCurrentIndex(kOutTGA - 1);
    QCOMPARE(dialog.format(), kOutTGA);
    QCOMPARE(subTypes->count(), 6);
    QCOMPARE(subTypes->currentText(), QStringLiteral("24 Bit - Uncompressed"));  // 17 limited to 5
    QVERIFY(!optionsButton->isEnabled());

    types->setCurrentIndex(kOutCUT - 1);
    QCOMPARE(subTypes->count(), 1);
    QCOMPARE(subTypes->currentText(), QStringLiteral("None"));
    QCOMPARE(dialog.subType(), 0);

    types->setCurrentIndex(kOutGIF - 1);
    subTypes->setCurrentIndex(0);  // the user's pick is the 0-based position
    QCOMPARE(dialog.subType(), 0);

    // Texts of the dialog.
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Batch Process Output Options"));
    QCOMPARE(Child<QPushButton>(&dialog, "okButton")->text(), QStringLiteral("Finish"));
    QVERIFY(Child<QWidget>(&dialog, "fileNameEdit")->isHidden());
    QCOMPARE(dialog.folder(), QDir(dir.path()).absolutePath());
  }

  void folderLineIsShortenedCharacterByCharacter() {
    const QFontMetrics metrics(QApplication::font());
    const QString folder = QStringLiteral("/home/someone/pictures/holiday");
    QCOMPARE(TruncatedFolderText(folder, metrics, 10000), folder);
    const int width = metrics.horizontalAdvance(QStringLiteral("/home/some..."));
    const QString shown = TruncatedFolderText(folder, metrics, width);
    QVERIFY(shown.endsWith(QStringLiteral("...")));
    QVERIFY(folder.startsWith(shown.chopped(3)));
    QVERIFY(metrics.horizontalAdvance(shown) <= width);
    // One more character would not fit.
    QVERIFY(metrics.horizontalAdvance(folder.left(shown.size() - 2) + QStringLiteral("...")) > width);
    // Never below three characters.
    QCOMPARE(TruncatedFolderText(folder, metrics, 1), QStringLiteral("/ho..."));
  }

  void formatSettingsDialogsClampToTheirRanges() {
    MemoryProfile profile;
    OutputOptions options;
    options.compression = 15;
    options.dpi = 300;
    WhenModal<CFormatSettingsDlg>([](CFormatSettingsDlg* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Format Settings"));
      QCOMPARE(Child<QSpinBox>(d, "compressionEdit")->value(), 15);
      Child<QSpinBox>(d, "compressionEdit")->setValue(150);
      Child<QSpinBox>(d, "dpiEdit")->setValue(0);
      Child<QPushButton>(d, "okButton")->click();
    });
    QVERIFY(EditFormatSettings(nullptr, profile, OptionsKind::kCompressionDpi, &options));
    QCOMPARE(options.compression, 99);
    QCOMPARE(options.dpi, 1);

    WhenModal<CDpiSettingsDlg>([](CDpiSettingsDlg* d) {
      Child<QSpinBox>(d, "dpiEdit")->setValue(5000);
      Child<QPushButton>(d, "cancelButton")->click();
    });
    QVERIFY(!EditFormatSettings(nullptr, profile, OptionsKind::kDpi, &options));
    QCOMPARE(options.dpi, 1);  // Cancel keeps nothing
    WhenModal<CDpiSettingsDlg>([](CDpiSettingsDlg* d) {
      Child<QSpinBox>(d, "dpiEdit")->setValue(5000);
      Child<QPushButton>(d, "okButton")->click();
    });
    QVERIFY(EditFormatSettings(nullptr, profile, OptionsKind::kDpi, &options));
    QCOMPARE(options.dpi, 2400);
    QVERIFY(!EditFormatSettings(nullptr, profile, OptionsKind::kNone, &options));
  }

  void transparencyColourButtonChoosesTheColourAndRadioTwo() {
    MemoryProfile profile;
    OutputOptions options;
    options.transparencyType = 1;
    options.transparentIndex = 7;
    options.transparentColor = 0x00FFFFFF;
    QString caption;
    WhenModal<CTransparencyDlg>([&caption](CTransparencyDlg* d) {
      QVERIFY(Child<QRadioButton>(d, "transparencyRadio1")->isChecked());
      QCOMPARE(Child<QSpinBox>(d, "paletteEntryEdit")->value(), 7);
      QCOMPARE(Child<QSpinBox>(d, "paletteEntryEdit")->maximum(), 255);
      WhenModal<CKivColorDialog>([&caption](CKivColorDialog* c) {
        caption = c->windowTitle();
        c->setCurrentColor(QColor(0x10, 0x20, 0x30));
        c->accept();
      });
      Child<QPushButton>(d, "colorButton")->click();
      QVERIFY(Child<QRadioButton>(d, "transparencyRadio2")->isChecked());
      Child<QSpinBox>(d, "paletteEntryEdit")->setValue(300);
      Child<QPushButton>(d, "okButton")->click();
    });
    QVERIFY(EditFormatSettings(nullptr, profile, OptionsKind::kTransparency, &options));
    QCOMPARE(caption, QStringLiteral("Select Transparent Color"));
    QCOMPARE(options.transparencyType, 2);
    QCOMPARE(options.transparentColor, 0x00302010u);
    QCOMPARE(options.transparentIndex, 255);
  }

  void setOutputOptionsDialogEditsTheCommand() {
    MemoryProfile profile;
    FakeMessageService messages;
    CScript script;
    auto command = std::make_unique<CScriptCommand>();
    command->Code = kSetOutputOptions;
    command->Int1 = kOutBMP - 1;
    command->Int2 = 0;  // "OS/2", not the remembered default
    command->Int3 = 300;
    command->Int4 = 15;
    command->Int5 = 0x0105;
    command->Color1 = 0x00112233;
    command->Text1 = "/tmp/somewhere";
    script.Append(std::move(command));
    DibHandle preview;
    QCOMPARE(Dib::Create(8, 8, 24, 0, &preview), kOk);

    WhenModal<COutputOptionsDlg>([](COutputOptionsDlg* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Set Output Options"));
      auto* types = Child<QComboBox>(d, "typeCombo");
      auto* subTypes = Child<QComboBox>(d, "subTypeCombo");
      QCOMPARE(types->count(), 27);
      QCOMPARE(types->currentText(), QStringLiteral("BMP - OS/2 or Windows Bitmap"));
      QCOMPARE(subTypes->currentText(), QStringLiteral("OS/2"));
      QVERIFY(!Child<QPushButton>(d, "optionsButton")->isEnabled());
      QCOMPARE(Child<QLineEdit>(d, "folderEdit")->maxLength(), 255);
      types->setCurrentIndex(kOutTIF - 1);
      QCOMPARE(subTypes->currentText(), QStringLiteral("LZW Compressed"));
      QVERIFY(Child<QPushButton>(d, "optionsButton")->isEnabled());
      Child<QLineEdit>(d, "folderEdit")->setText(QStringLiteral("/tmp/elsewhere"));
      Child<QPushButton>(d, "okButton")->click();
    });
    QVERIFY(EditParameters(nullptr, script, 0, preview.get(), profile, messages));
    const CScriptCommand* edited = script.GetAt(0);
    QCOMPARE(edited->Int1, kOutTIF - 1);
    QCOMPARE(edited->Int2, 2);
    QCOMPARE(edited->Int5, 0x0105);  // the format settings were not touched
    QCOMPARE(edited->Color1, 0x00112233u);
    QCOMPARE(edited->Text1, std::string("/tmp/elsewhere"));

    WhenModal<COutputOptionsDlg>([](COutputOptionsDlg* d) {
      Child<QComboBox>(d, "typeCombo")->setCurrentIndex(0);
      Child<QPushButton>(d, "cancelButton")->click();
    });
    QVERIFY(!EditParameters(nullptr, script, 0, preview.get(), profile, messages));
    QCOMPARE(script.GetAt(0)->Int1, kOutTIF - 1);
  }

  void statusWindowButtonsLinesAndEscape() {
    MemoryProfile profile;
    FakeMessageService messages;
    BatchStatusDialog status(profile, messages);
    QSignalSpy escape(&status, &BatchStatusDialog::escapePressed);
    QSignalSpy ok(&status, &BatchStatusDialog::okPressed);
    QSignalSpy abort(&status, &BatchStatusDialog::abortPressed);
    QVERIFY(Child<QPushButton>(&status, "abortButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(&status, "okButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(&status, "saveLogButton")->isEnabled());
    QVERIFY(Child<QLabel>(&status, "statusLine2")->alignment() & Qt::AlignRight);
    for (int i = 0; i < 200; ++i) status.addLogLine("line " + std::to_string(i));
    status.changeLastLogLine("Generating Palette...17 Colors Found");
    auto* list = Child<QListWidget>(&status, "logList");
    QCOMPARE(list->currentRow(), 199);
    QVERIFY(list->item(199)->isSelected());
    QCOMPARE(status.logText().back(), std::string("Generating Palette...17 Colors Found"));
    QCOMPARE(status.logLines().back(), QStringLiteral("Generating Palette...17 Colors Found"));
    Child<QPushButton>(&status, "abortButton")->click();
    QCOMPARE(abort.count(), 1);
    // Escape while running stops the step in hand and leaves the window open.
    QTest::keyClick(&status, Qt::Key_Escape);
    QCOMPARE(escape.count(), 1);
    QCOMPARE(ok.count(), 0);
    status.setRunning(false);
    QVERIFY(!Child<QPushButton>(&status, "abortButton")->isEnabled());
    QVERIFY(Child<QPushButton>(&status, "okButton")->isEnabled());
    QTest::keyClick(&status, Qt::Key_Escape);
    QCOMPARE(ok.count(), 1);
  }

  void selectAllPatternRules() {
    const FileTypeTable types;
    const int gif = FilterIndexOf(types, "GIF");
    QVERIFY(gif > 1);
    QCOMPARE(SelectAllPattern(types, gif, QString()), QStringLiteral("*.GIF"));
    QCOMPARE(SelectAllPattern(types, 1, QString()), QStringLiteral("*.*"));
    QCOMPARE(SelectAllPattern(types, gif, QStringLiteral("img*")), QStringLiteral("img*"));
    // A key shorter than three characters loses its padding blanks.
    for (int n = 1; n <= types.entryCount(); ++n) {
      const std::string& key = types.entry(n).key;
      if (key.back() == ' ') {
        const QString pattern = SelectAllPattern(types, n + 1, QString());
        QVERIFY(!pattern.endsWith(QLatin1Char(' ')));
      }
    }
  }

  void inputDialogSelectAllTakesTheFolderAndPattern() {
    QTemporaryDir dir;
    const FileTypeTable types;
    const int gif = FilterIndexOf(types, "GIF");
    CBatchInputDlg dialog(types);
    dialog.setDirectory(dir.path());
    dialog.setFilterIndex(gif);
    dialog.setScriptSettings(false, false);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Batch Process Input Files"));
    QCOMPARE(Child<QPushButton>(&dialog, "okButton")->text(), QStringLiteral("Next"));
    auto* useScript = Child<QCheckBox>(&dialog, "useScriptCheck");
    QVERIFY(!useScript->isEnabled());
    QVERIFY(useScript->isChecked());
    QVERIFY(!dialog.useScriptSettings());
    QCOMPARE(dialog.filterIndex(), gif);
    dialog.show();
    Child<QPushButton>(&dialog, "selectAllButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.selectAllChosen());
    QCOMPARE(dialog.pattern(), QStringLiteral("*.GIF"));
    QCOMPARE(Child<QLineEdit>(&dialog, "fileNameEdit")->text(), QStringLiteral("All Files"));
    QCOMPARE(dialog.folder(), QDir(dir.path()).absolutePath());
    QVERIFY(dialog.names().isEmpty());

    CBatchInputDlg second(types);
    second.setScriptSettings(true, true);
    QVERIFY(!Child<QCheckBox>(&second, "useScriptCheck")->isChecked());
    QVERIFY(second.doNotUseScriptSettings());
    second.setFilterIndex(0);  // never stored: "All Files"
    QCOMPARE(second.filterIndex(), 1);
  }

  void inputDialogMultipleSelection() {
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("a.bmp")));
    Touch(dir.filePath(QStringLiteral("b.bmp")));
    const FileTypeTable types;
    CBatchInputDlg dialog(types);
    dialog.setDirectory(dir.path());
    dialog.show();
    Child<QLineEdit>(&dialog, "fileNameEdit")->setText(QStringLiteral("\"a.bmp\" \"b.bmp\""));
    Child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.selectAllChosen());
    QCOMPARE(dialog.folder(), QDir(dir.path()).absolutePath());
    QCOMPARE(dialog.names(), (QStringList{QStringLiteral("a.bmp"), QStringLiteral("b.bmp")}));
  }
};

KM_GUI_TEST_MAIN(BatchDialogsTest)
#include "BatchDialogsTest.moc"
