#pragma once

// The direction dial of "Deform: Motion Blur" (control 1140): a circle with a needle
// from its centre. 0 degrees points up and angles grow clockwise. A click or a drag
// (the mouse stays captured) sets the angle to the direction from the centre to the
// mouse.

#include <QPoint>
#include <QPointF>
#include <QWidget>

namespace km::gui {

// The needle's tip for `angle` degrees on a dial of width x height: the length is half
// the smaller side less 6 pixels, the tip at (cx + len sin a, cy - len cos a) with
// (cx, cy) the dial's centre.
QPointF DialNeedleTip(int width, int height, int angle);

// The angle the mouse at (dx, dy) from the centre (y growing downwards) points to:
// atan2(dy, dx) in degrees rounded to the nearest whole degree, plus 360 when negative,
// plus 90, less 360 when above 359.
int DialAngleAt(int dx, int dy);

class DirectionDial : public QWidget {
  Q_OBJECT

public:
  explicit DirectionDial(QWidget* parent = nullptr);

  int angle() const { return angle_; }
  // Turns the needle (no signal).
  void setAngle(int angle);

signals:
  // The user clicked or dragged to a new direction.
  void angleChosen(int angle);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void pointAt(QPoint position);

  int angle_ = 0;
  bool dragging_ = false;
};

}  // namespace km::gui
