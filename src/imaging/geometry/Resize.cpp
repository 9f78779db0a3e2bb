// Nearest-neighbour scaling for every depth; the colour table is kept as it is.

#include <cstdint>
#include <new>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

OpResult ResizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, std::int16_t width,
                   std::int16_t height) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  if (width <= 0 || height <= 0) {
    return kInvalidArgument;
  }
  const int sw = source->width();
  const int sh = source->height();
  const int dw = width;
  const int dh = height;
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, dw, dh, &out); r != kOk) {
    return r;
  }
  std::vector<int> srcX;
  try {
    srcX.resize(static_cast<std::size_t>(dw));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  // Destination pixel i takes the source pixel under its left (or lower) edge.
  for (int i = 0; i < dw; ++i) {
    srcX[static_cast<std::size_t>(i)] = static_cast<int>(static_cast<long long>(i) * sw / dw);
  }
  const OpResult r = geometry::WithDepth(source->bitCount(), [&](auto depth) -> OpResult {
    using P = geometry::Px<decltype(depth)::value>;
    for (int y = 0; y < dh; ++y) {
      if (ProgressStep(progress, y, dh)) {
        return kCancelled;
      }
      const std::uint8_t* in = source->row(static_cast<int>(static_cast<long long>(y) * sh / dh));
      std::uint8_t* line = out->row(y);
      for (int x = 0; x < dw; ++x) {
        P::Set(line, x, P::Get(in, srcX[static_cast<std::size_t>(x)]));
      }
    }
    return kOk;
  });
  if (r != kOk) {
    return r;
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
