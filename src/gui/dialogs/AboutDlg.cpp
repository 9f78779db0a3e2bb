#include "gui/dialogs/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/InfoDialogs.h"
#include "gui/dialogs/ShippedFiles.h"
#include "script/CommandLine.h"

namespace km::gui {

DisplayFacts ScreenFacts(const QScreen* screen) {
  DisplayFacts facts;
  if (screen == nullptr) {
    return facts;
  }
  facts.bitsPerPixel = screen->depth();
  facts.paletteSize = facts.bitsPerPixel > 0 && facts.bitsPerPixel <= 8 ? 1 << facts.bitsPerPixel : 0;
  const QSize size = screen->geometry().size() * screen->devicePixelRatio();
  facts.width = size.width();
  facts.height = size.height();
  return facts;
}

CAboutDlg::CAboutDlg(const std::vector<std::string>& systemLines, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutBox"));
  setWindowTitle(QString::fromStdString(AboutTitle()));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(ApplicationIcon().pixmap(48, 48));
  auto* title = new QLabel(DialogString(text::kApplicationTitle), this);
  title->setObjectName(QStringLiteral("aboutTitle"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  auto* version = new QLabel(QString::fromStdString(AboutVersionLine()), this);
  version->setObjectName(QStringLiteral("aboutVersion"));

  auto* listLabel = new QLabel(DialogString(text::kSystemInformation), this);
  auto* list = new QListWidget(this);
  list->setObjectName(QStringLiteral("systemInformation"));
  listLabel->setBuddy(list);
  for (const std::string& line : systemLines) {
    list->addItem(QString::fromStdString(line));
  }
  list->setMinimumSize(420, 300);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(title, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(listLabel, 2, 0, 1, 2);
  grid->addWidget(list, 3, 0, 1, 2);
  grid->addWidget(buttons, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);
}

void ShowAboutBox(QWidget* parent) {
  const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  const DisplayFacts display = ScreenFacts(screen);
  const SystemFacts facts = CollectSystemFacts(display, DisplayDepth(display.bitsPerPixel));
  CAboutDlg dialog(AboutBoxLines(facts), parent);
  dialog.exec();
}

}  // namespace km::gui
