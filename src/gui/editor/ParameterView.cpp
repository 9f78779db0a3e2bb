#include "gui/editor/ParameterView.h"

#include <QFontMetrics>
#include <QPainter>

namespace km::gui {

ParameterView::ParameterView(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Sunken);
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  setFont(font);
}

void ParameterView::setText(const QString& text) {
  lines_ = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  update();
}

void ParameterView::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect area = rect().adjusted(kInset, kInset, -kInset, -kInset);
  painter.fillRect(area, palette().color(QPalette::Window));
  painter.setClipRect(area);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics(font());
  int y = area.top() + metrics.ascent();
  for (const QString& line : lines_) {
    painter.drawText(QPoint(area.left(), y), line);  // plain text: no "&" mnemonics
    y += metrics.height();
  }
}

}  // namespace km::gui
