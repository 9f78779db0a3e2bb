#pragma once

// The preview frame of a parameter dialog (control 1019): a black frame whose inside is
// white, with the shown picture centred in it. Pressing and holding a mouse button on
// it shows the picture without the change, so before and after can be compared in place.

#include <QImage>
#include <QWidget>

namespace km::gui {

class PreviewFrame : public QWidget {
  Q_OBJECT

public:
  explicit PreviewFrame(QWidget* parent = nullptr);

  void setPictures(const QImage& shown, const QImage& original);
  bool showingOriginal() const { return holding_; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  QImage shown_;
  QImage original_;
  bool holding_ = false;
};

}  // namespace km::gui
