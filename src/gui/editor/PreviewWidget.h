#pragma once

// The preview frame: paints the display image at its own size, centred in the frame
// (the widget shrunk by 2 pixels on each side), with white strips around it; a white
// frame when there is no display image.

#include <QFrame>
#include <QImage>

namespace km::gui {

class PreviewWidget final : public QFrame {
  Q_OBJECT

public:
  static constexpr int kInset = 2;

  explicit PreviewWidget(QWidget* parent = nullptr);

  // The room the display image is fitted into.
  QSize frameRoom() const;

  void setDisplayImage(const QImage& image);
  const QImage& displayImage() const { return image_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QImage image_;
};

}  // namespace km::gui
