#include "gui/dialogs/params/DibPicture.h"

#include <QList>

#include "imaging/palette/Palette.h"

namespace km::gui {

QImage DibPicture(const Dib& source) {
  const Dib* dib = &source;
  DibHandle widened;
  if (dib->bitCount() == 4) {
    if (IncreaseDIBDepth(nullptr, dib, &widened, 8) != kOk || !widened) {
      return {};
    }
    dib = widened.get();
  }
  QImage::Format format = QImage::Format_Invalid;
  switch (dib->bitCount()) {
    case 1: format = QImage::Format_Mono; break;
    case 8: format = QImage::Format_Indexed8; break;
    case 24: format = QImage::Format_BGR888; break;
    default: return {};
  }
  // Rows are stored bottom-up: a view of the buffer is upside down; mirroring it makes
  // an image of its own.
  const QImage view(dib->pixels(), dib->width(), dib->height(), static_cast<qsizetype>(dib->stride()), format);
  QImage image = view.mirrored(false, true);
  if (format != QImage::Format_BGR888) {
    QList<QRgb> table;
    const int count = dib->colorCount();
    const int needed = 1 << dib->bitCount();
    table.reserve(needed);
    for (int i = 0; i < count; ++i) {
      const RgbQuad& q = dib->colors()[i];
      table.append(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
    // Indices past a short table show black instead of reading beyond it.
    while (table.size() < needed) table.append(qRgb(0, 0, 0));
    image.setColorTable(table);
  }
  return image;
}

}  // namespace km::gui
