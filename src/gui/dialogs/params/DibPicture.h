#pragma once

// A packed DIB as a QImage for painting (4-bit pictures widened to 8 bits by the core),
// sharing nothing with the DIB. Safe on any thread.

#include <QImage>

#include "imaging/Dib.h"

namespace km::gui {

// A null QImage when the picture cannot be converted.
QImage DibPicture(const Dib& dib);

}  // namespace km::gui
