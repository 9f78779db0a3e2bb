#include "gui/dialogs/AboutDlg.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
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

namespace {

constexpr int kTextMargin = 4;
constexpr int kColumnGap = 24;

// The label and the value of a line; a line without a tab is all label.
std::pair<QString, QString> SplitAtTabs(const QString& line) {
  const qsizetype first = line.indexOf(QLatin1Char('\t'));
  if (first < 0) {
    return {line, QString()};
  }
  return {line.left(first), line.mid(line.lastIndexOf(QLatin1Char('\t')) + 1)};
}

}  // namespace

void TabColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const auto [label, value] = SplitAtTabs(opt.text);
  opt.text.clear();
  const QWidget* widget = opt.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  painter->save();
  painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
  const QRect r = opt.rect.adjusted(kTextMargin, 0, 0, 0);
  painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
  if (!value.isEmpty()) {
    painter->drawText(r.adjusted(valueColumn_, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      value);
  }
  painter->restore();
}

QSize TabColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const auto [label, value] = SplitAtTabs(index.data().toString());
  const int width = kTextMargin * 2 + (value.isEmpty() ? option.fontMetrics.horizontalAdvance(label)
                                                        : valueColumn_ + option.fontMetrics.horizontalAdvance(value));
  size.setWidth(width);
  return size;
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
  auto* columns = new TabColumnDelegate(list);
  int labelWidth = 0;
  for (const std::string& line : systemLines) {
    const QString text = QString::fromStdString(line);
    list->addItem(text);
    if (text.contains(QLatin1Char('\t'))) {
      labelWidth = std::max(labelWidth, list->fontMetrics().horizontalAdvance(SplitAtTabs(text).first));
    }
  }
  columns->setValueColumn(labelWidth + kColumnGap);
  list->setItemDelegate(columns);
  list->setMinimumSize(440, 320);

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
