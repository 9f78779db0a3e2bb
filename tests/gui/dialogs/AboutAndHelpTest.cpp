// The About box (title, version line, the system-information lines of this machine and
// its screen) and the manual: where it is found, its anchors, and the address opened.

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <sys/utsname.h>

#include "dialogs/ModalDriver.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"
#include "gui/dialogs/ShippedFiles.h"
#include "support/GuiTestEnv.h"

using km::gui::CAboutDlg;

class UrlCatcher : public QObject {
  Q_OBJECT

public:
  QList<QUrl> urls;

public slots:
  void open(const QUrl& url) { urls << url; }
};

class AboutAndHelpTest : public QObject {
  Q_OBJECT

private slots:
  void screenFactsComeFromTheScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const km::DisplayFacts facts = km::gui::ScreenFacts(screen);
    QCOMPARE(facts.bitsPerPixel, screen->depth());
    QCOMPARE(facts.paletteSize, screen->depth() <= 8 ? 1 << screen->depth() : 0);
    QCOMPARE(facts.width, qRound(screen->geometry().width() * screen->devicePixelRatio()));
    QCOMPARE(facts.height, qRound(screen->geometry().height() * screen->devicePixelRatio()));
    const km::DisplayFacts none = km::gui::ScreenFacts(nullptr);
    QCOMPARE(none.bitsPerPixel, 0);
    QCOMPARE(none.width, 0);
  }

  void aboutBoxShowsTitleVersionAndSystemLines() {
    QStringList lines;
    QString title;
    QString version;
    km::guitest::WhenModal<CAboutDlg>([&](CAboutDlg* d) {
      title = d->windowTitle();
      version = km::guitest::Child<QLabel>(d, "aboutVersion")->text();
      auto* list = km::guitest::Child<QListWidget>(d, "systemInformation");
      for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
      km::guitest::Child<QPushButton>(d, "okButton")->click();
    });
    km::gui::ShowAboutBox(nullptr);
    QCOMPARE(title, QStringLiteral("About Tavo Kilnmark"));
    QCOMPARE(version, QStringLiteral("Version 1.00"));
    QVERIFY(lines.size() >= 18);
    QCOMPARE(lines[0], QStringLiteral("Tavo Kilnmark Build Information"));
    QCOMPARE(lines[2], QStringLiteral(" Build Mode:\t\tRelease"));
    const int depth = QGuiApplication::primaryScreen()->depth();
    QVERIFY(lines.contains(QStringLiteral(" Bits Per Pixel\t\t%1").arg(depth)));
    QVERIFY(lines.contains(QStringLiteral(" DIB Output\t\t%1BPP").arg(depth > 8 ? 24 : depth)));
    struct utsname u {};
    QCOMPARE(::uname(&u), 0);
    QVERIFY(lines.contains(QStringLiteral(" Operating System\t\t") + QString::fromLatin1(u.sysname)));
    const QSize size = QGuiApplication::primaryScreen()->size() * QGuiApplication::primaryScreen()->devicePixelRatio();
    QVERIFY(lines.contains(QStringLiteral(" Resolution\t\t%1 x %2").arg(size.width()).arg(size.height())));
  }

  void manualIsFoundBesideTheProgram() {
    const QString path = km::gui::ManualPath();
    QVERIFY2(!path.isEmpty(), "share/doc/kilnmark/index.html missing beside the build's bin folder");
    QVERIFY(path.endsWith(QStringLiteral("/share/doc/kilnmark/index.html")));
    QCOMPARE(km::gui::HelpTopicUrl(0), QUrl::fromLocalFile(path));
    QCOMPARE(km::gui::HelpTopicUrl(300).fragment(), QStringLiteral("topic-300"));
  }

  void manualHoldsAnAnchorForEveryTopic() {
    QFile file(km::gui::ManualPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    for (int topic : km::gui::help::kAllTopics) {
      QVERIFY2(html.contains(QStringLiteral("id=\"topic-%1\"").arg(topic)), qPrintable(QString::number(topic)));
    }
  }

  void openHelpTopicHandsTheAnchorToTheDesktop() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QVERIFY(km::gui::OpenHelpTopic(km::gui::help::kSaveScript));
    QVERIFY(km::gui::OpenHelpTopic(km::gui::help::kContents));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls.size(), 2);
    QCOMPARE(catcher.urls[0].fragment(), QStringLiteral("topic-301"));
    QVERIFY(catcher.urls[1].fragment().isEmpty());
  }

  void iconIsFoundBesideTheProgram() {
    const QIcon icon = km::gui::ApplicationIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
  }
};

KM_GUI_TEST_MAIN(AboutAndHelpTest)
#include "AboutAndHelpTest.moc"
