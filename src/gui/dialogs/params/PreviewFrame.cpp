#include "gui/dialogs/params/PreviewFrame.h"

#include <QMouseEvent>
#include <QPainter>

namespace km::gui {

PreviewFrame::PreviewFrame(QWidget* parent) : QWidget(parent) {}

void PreviewFrame::setPictures(const QImage& shown, const QImage& original) {
  shown_ = shown;
  original_ = original;
  update();
}

void PreviewFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  const QImage& picture = holding_ ? original_ : shown_;
  if (!picture.isNull()) {
    painter.drawImage((width() - picture.width()) / 2, (height() - picture.height()) / 2, picture);
  }
}

void PreviewFrame::mousePressEvent(QMouseEvent* event) {
  holding_ = true;
  update();
  event->accept();
}

void PreviewFrame::mouseReleaseEvent(QMouseEvent* event) {
  holding_ = false;
  update();
  event->accept();
}

}  // namespace km::gui
