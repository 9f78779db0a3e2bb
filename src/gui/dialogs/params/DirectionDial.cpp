#include "gui/dialogs/params/DirectionDial.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>

namespace km::gui {
namespace {

constexpr double kPi = 3.1415927;  // the value the needle has always been drawn with

}  // namespace

QPointF DialNeedleTip(int width, int height, int angle) {
  const double length = std::min(width, height) / 2 - 6;
  const double radians = angle * kPi / 180.0;
  return {width / 2 + length * std::sin(radians), height / 2 - length * std::cos(radians)};
}

int DialAngleAt(int dx, int dy) {
  int angle = static_cast<int>(std::lround(std::atan2(dy, dx) * 180.0 / kPi));
  if (angle < 0) angle += 360;
  angle += 90;
  if (angle > 359) angle -= 360;
  return angle;
}

DirectionDial::DirectionDial(QWidget* parent) : QWidget(parent) {}

void DirectionDial::setAngle(int angle) {
  if (angle == angle_) return;
  angle_ = angle;
  update();
}

void DirectionDial::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int side = std::min(width(), height()) - 2;
  const QPointF centre(width() / 2, height() / 2);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  painter.setBrush(palette().color(QPalette::Base));
  painter.drawEllipse(centre, side / 2.0, side / 2.0);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
  painter.drawLine(centre, DialNeedleTip(width(), height(), angle_));
}

void DirectionDial::pointAt(QPoint position) {
  const int angle = DialAngleAt(position.x() - width() / 2, position.y() - height() / 2);
  setAngle(angle);
  emit angleChosen(angle);
}

void DirectionDial::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
    return;
  }
  dragging_ = true;  // a widget keeps the mouse while a button is down
  pointAt(event->position().toPoint());
}

void DirectionDial::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) pointAt(event->position().toPoint());
}

void DirectionDial::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) dragging_ = false;
}

}  // namespace km::gui
