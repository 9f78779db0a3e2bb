// The folder chooser: the folder it answers (no trailing separator, "/" for the root),
// Cancel, its "&Select" button and the shortened "Selected folder:" line.

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "dialogs/ModalDriver.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DirDialog.h"
#include "support/GuiTestEnv.h"

using km::gui::CDirDialog;

namespace {

void Press(QDialog* dialog, const char* button) {
  auto* b = km::guitest::Child<QPushButton>(dialog, button);
  QVERIFY(b != nullptr);
  b->click();
}

}  // namespace

class FolderChooserTest : public QObject {
  Q_OBJECT

private slots:
  void trailingSeparatorsGoExceptForTheRoot_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("plain") << "/home/user" << "/home/user";
    QTest::newRow("one separator") << "/tmp/" << "/tmp";
    QTest::newRow("two separators") << "/tmp//" << "/tmp";
    QTest::newRow("empty") << "" << "";
  }
  void trailingSeparatorsGoExceptForTheRoot() {
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(km::gui::FolderWithoutSeparator(path), folder);
  }

  void longFolderIsShortenedAfterTheRoot() {
    const QFontMetrics metrics(QApplication::font());
    const QString folder = QStringLiteral("/home/someone/pictures/holidays/2024/beach");
    QCOMPARE(km::gui::ShortenedFolder(folder, metrics, 10000), folder);
    const int width = metrics.horizontalAdvance(QStringLiteral("/...2024/beach"));
    const QString shortened = km::gui::ShortenedFolder(folder, metrics, width);
    QVERIFY(shortened.startsWith(QStringLiteral("/...")));
    QVERIFY(shortened.endsWith(QStringLiteral("/beach")));
    QVERIFY(metrics.horizontalAdvance(shortened) <= width);
    // The longest tail that fits: one more character would not.
    const QString longer = QStringLiteral("/...") + folder.right(shortened.size() - 3);
    QVERIFY(metrics.horizontalAdvance(longer) > width);
  }

  void okAtOnceAnswersTheStartFolder() {
    const QString start = km::guitest::TestRoot();
    QString okText;
    QString shown;
    km::guitest::WhenModal<CDirDialog>([&](CDirDialog* d) {
      okText = km::guitest::Child<QPushButton>(d, "okButton")->text();
      shown = km::guitest::Child<QLabel>(d, "selectedFolder")->toolTip();
      Press(d, "okButton");
    });
    QCOMPARE(km::gui::ChooseFolder(nullptr, QStringLiteral("Select Folder"), start + QLatin1Char('/')), start);
    QCOMPARE(okText, QStringLiteral("&Select"));
    QCOMPARE(shown, start);
  }

  void rootAnswersSlash() {
    km::guitest::WhenModal<CDirDialog>([&](CDirDialog* d) { Press(d, "okButton"); });
    QCOMPARE(km::gui::ChooseFolder(nullptr, QStringLiteral("Select Folder"), QStringLiteral("/")),
             QStringLiteral("/"));
  }

  void subfolderChosenInTheDialog() {
    QDir root(km::guitest::TestRoot());
    QVERIFY(root.mkpath(QStringLiteral("out/web")));
    km::guitest::WhenModal<CDirDialog>([&](CDirDialog* d) {
      d->setDirectory(root.filePath(QStringLiteral("out/web")));
      Press(d, "okButton");
    });
    QCOMPARE(km::gui::ChooseFolder(nullptr, QStringLiteral("Select Folder"), root.path()),
             root.filePath(QStringLiteral("out/web")));
  }

  void cancelAnswersEmpty() {
    QString title;
    km::guitest::WhenModal<CDirDialog>([&](CDirDialog* d) {
      title = d->windowTitle();
      Press(d, "cancelButton");
    });
    QVERIFY(km::gui::ChooseFolder(nullptr, QStringLiteral("Select Folder"), km::guitest::TestRoot()).isEmpty());
    QCOMPARE(title, QStringLiteral("Select Folder"));
  }
};

KM_GUI_TEST_MAIN(FolderChooserTest)
#include "FolderChooserTest.moc"
