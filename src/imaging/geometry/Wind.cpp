// Wind: each row smeared along the wind by a running value that keeps a share of the
// pixels already passed.

#include <cstdint>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

OpResult WindDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int strength, int fromRight) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if (bits != 8 && bits != 24) {
    return kInvalidArgument;
  }
  // Out-of-range settings fall back to no strength and wind from the left.
  if (strength < 0) {
    strength = 0;
  }
  if (fromRight != 1) {
    fromRight = 0;
  }
  const int carried = strength <= 20 ? strength + 78 : 78;  // percent kept from upwind
  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  const int w = source->width();
  const int h = source->height();
  const int channels = geometry::Channels(bits);
  const int first = fromRight ? w - 1 : 0;
  const int step = fromRight ? -1 : 1;
  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y, h)) {
      return kCancelled;
    }
    const std::uint8_t* in = source->row(y);
    std::uint8_t* line = out->row(y);
    for (int ch = 0; ch < channels; ++ch) {
      int u = in[first * channels + ch];
      for (int x = first, n = 0; n < w; ++n, x += step) {
        const int v = in[x * channels + ch];
        u = v + carried * (u - v) / 100;
        if (u > 255) {
          u = 255;
        }
        line[x * channels + ch] = static_cast<std::uint8_t>(u);
      }
    }
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
