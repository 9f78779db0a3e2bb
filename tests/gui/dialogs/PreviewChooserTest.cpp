// The preview chooser: its type list (the preview bitmap first, every readable type,
// all files last), "&Default", a chosen file, and Cancel.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dialogs/ModalDriver.h"
#include "fileio/FileTypeTable.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/NewPreviewDlg.h"
#include "support/GuiTestEnv.h"

using km::gui::CNewPreviewDlg;

namespace {

void Press(QDialog* dialog, const char* button) {
  auto* b = km::guitest::Child<QPushButton>(dialog, button);
  QVERIFY(b != nullptr);
  b->click();
}

QString MakeFile(const QString& name) {
  const QString path = km::guitest::TestRoot() + QLatin1Char('/') + name;
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write("BM");
  return path;
}

}  // namespace

class PreviewChooserTest : public QObject {
  Q_OBJECT

private slots:
  void typeListHasBitmapFirstThenEveryReadableType() {
    km::FileTypeTable table;
    QVERIFY(table.addEntry("WEBP - EXT: WebP Image|*.WEBP|", km::kTypeFirstFilter + 8));  // an import filter
    const QStringList filters = km::gui::PreviewNameFilters(table);
    QCOMPARE(filters.size(), table.entryCount() + 2);
    QCOMPARE(filters.first(), QStringLiteral("Preview Bitmap File (*.bmp)"));
    QCOMPARE(filters.last(), QStringLiteral("All Files (*.*)"));
    QVERIFY(filters.contains(QStringLiteral("GIF - CompuServe (*.gif)")));
    QVERIFY(filters.contains(QStringLiteral("PCD - Kodak Photo CD (*.pcd)")));
    QVERIFY(filters.contains(QStringLiteral("WEBP - EXT: WebP Image (*.webp)")));
  }

  void internalPreviewIsComparedWithoutCase() {
    QVERIFY(km::gui::IsInternalPreview(QString()));
    QVERIFY(km::gui::IsInternalPreview(QStringLiteral("INTERNAL preview")));
    QVERIFY(!km::gui::IsInternalPreview(QStringLiteral("/tmp/Internal Preview.bmp")));
  }

  void defaultChoosesTheBuiltInPicture() {
    const QString current = MakeFile(QStringLiteral("current.bmp"));
    QString title;
    QString nameBox;
    km::guitest::WhenModal<CNewPreviewDlg>([&](CNewPreviewDlg* d) {
      title = d->windowTitle();
      Press(d, "defaultButton");
      nameBox = km::guitest::Child<QLineEdit>(d, "fileNameEdit")->text();
    });
    QString path = current;
    QVERIFY(km::gui::ChoosePreviewFile(nullptr, current, km::FileTypeTable{}, &path));
    QCOMPARE(path, QStringLiteral("Internal Preview"));
    QCOMPARE(nameBox, QStringLiteral("Internal Preview"));
    QCOMPARE(title, QStringLiteral("Open Preview Image"));
  }

  void okAtOnceAnswersTheCurrentFile() {
    const QString current = MakeFile(QStringLiteral("photo.jpg"));
    km::guitest::WhenModal<CNewPreviewDlg>([&](CNewPreviewDlg* d) { Press(d, "okButton"); });
    QString path;
    QVERIFY(km::gui::ChoosePreviewFile(nullptr, current, km::FileTypeTable{}, &path));
    QCOMPARE(path, current);
  }

  void typedInternalPreviewNamesNoFile() {
    km::guitest::WhenModal<CNewPreviewDlg>([&](CNewPreviewDlg* d) {
      km::guitest::Child<QLineEdit>(d, "fileNameEdit")->setText(QStringLiteral("internal PREVIEW"));
      Press(d, "okButton");
    });
    QString path;
    QVERIFY(km::gui::ChoosePreviewFile(nullptr, QString(), km::FileTypeTable{}, &path));
    QCOMPARE(path, QStringLiteral("Internal Preview"));
  }

  void cancelLeavesThePathAlone() {
    km::guitest::WhenModal<CNewPreviewDlg>([&](CNewPreviewDlg* d) { Press(d, "cancelButton"); });
    QString path = QStringLiteral("/somewhere/else.bmp");
    QVERIFY(!km::gui::ChoosePreviewFile(nullptr, QStringLiteral("Internal Preview"), km::FileTypeTable{}, &path));
    QCOMPARE(path, QStringLiteral("/somewhere/else.bmp"));
  }
};

KM_GUI_TEST_MAIN(PreviewChooserTest)
#include "PreviewChooserTest.moc"
