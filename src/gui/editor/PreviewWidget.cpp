#include "gui/editor/PreviewWidget.h"

#include <algorithm>

#include <QPainter>

namespace km::gui {

PreviewWidget::PreviewWidget(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Sunken);
  setLineWidth(1);
}

QSize PreviewWidget::frameRoom() const {
  return QSize(std::max(width() - 2 * kInset, 1), std::max(height() - 2 * kInset, 1));
}

void PreviewWidget::setDisplayImage(const QImage& image) {
  image_ = image;
  update();
}

void PreviewWidget::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect room(kInset, kInset, frameRoom().width(), frameRoom().height());
  painter.fillRect(room, Qt::white);
  if (image_.isNull()) {
    return;
  }
  const int x = room.left() + (room.width() - image_.width()) / 2;
  const int y = room.top() + (room.height() - image_.height()) / 2;
  painter.setClipRect(room);
  painter.drawImage(QPoint(x, y), image_);
}

}  // namespace km::gui
