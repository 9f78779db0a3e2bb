#pragma once

// The "Selected Command Parameters:" area: the selected command's description drawn
// from the top left of the frame shrunk by 4 pixels, one line per line break, in a
// small sans-serif font of fixed pixel size, without wrapping or "&" processing, on the
// menu colour.

#include <QFrame>
#include <QString>
#include <QStringList>

namespace km::gui {

class ParameterView final : public QFrame {
  Q_OBJECT

public:
  static constexpr int kInset = 4;

  explicit ParameterView(QWidget* parent = nullptr);

  // The description; empty when no command is selected.
  void setText(const QString& text);
  QString text() const { return lines_.join(QLatin1Char('\n')); }
  const QStringList& lines() const { return lines_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QStringList lines_;
};

}  // namespace km::gui
