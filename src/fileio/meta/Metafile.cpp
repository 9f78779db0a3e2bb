#include "fileio/meta/Metafile.h"

#include <algorithm>
#include <cmath>

namespace km::meta {

void Path::arc(Point c, double rx, double ry, double a0, double a1, bool connect) {
  const Point start{c.x + rx * std::cos(a0), c.y + ry * std::sin(a0)};
  if (connect && !ops_.empty()) {
    lineTo(start);
  } else {
    moveTo(start);
  }
  // At most a quarter turn per curve; the control distance 4/3 tan(t/4) keeps each
  // curve within a fraction of a unit of the true ellipse at picture sizes.
  const double sweep = a1 - a0;
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
  const double step = sweep / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  double a = a0;
  for (int i = 0; i < pieces; ++i) {
    const double b = a + step;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    curveTo({c.x + rx * (ca - k * sa), c.y + ry * (sa + k * ca)},
            {c.x + rx * (cb + k * sb), c.y + ry * (sb - k * cb)},
            {c.x + rx * cb, c.y + ry * sb});
    a = b;
  }
}

void Path::ellipse(const Rect& b) {
  const Point c{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
  arc(c, std::fabs(b.right - b.left) / 2, std::fabs(b.bottom - b.top) / 2, 0, 2 * M_PI, false);
  close();
}

void Path::rectangle(const Rect& b) {
  moveTo({b.left, b.top});
  lineTo({b.right, b.top});
  lineTo({b.right, b.bottom});
  lineTo({b.left, b.bottom});
  close();
}

}  // namespace km::meta
