#pragma once

// The About box: the program's icon and title, "About Tavo Kilnmark" as caption, the
// version line and the "System information:" list.

#include <string>
#include <vector>

#include <QDialog>
#include <QStyledItemDelegate>

#include "app/AboutInfo.h"

class QScreen;

namespace km::gui {

// The display facts of `screen` in device pixels: depth, palette size (2^depth for a
// depth of 8 or less, else none) and resolution.
DisplayFacts ScreenFacts(const QScreen* screen);

// Draws a "label<TAB>...<TAB>value" line in two columns: the label at the left, the
// value (the text after the last tab) at a column shared by every line of the list, so
// the values line up whatever the font.
class TabColumnDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setValueColumn(int x) { valueColumn_ = x; }
  int valueColumn() const { return valueColumn_; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
  int valueColumn_ = 0;
};

class CAboutDlg : public QDialog {
  Q_OBJECT

public:
  CAboutDlg(const std::vector<std::string>& systemLines, QWidget* parent = nullptr);
};

}  // namespace km::gui
