// Area-averaging resampler: a box filter in fixed point with 256 sub-units per source
// pixel. Every destination pixel is the coverage-weighted mean of the source pixels
// under it.

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

// Sizes in 1/256 of a source pixel.
struct Kernel {
  float sx = 0;
  float sy = 0;
  int cx = 0;
  int cy = 0;
};

template <int Channels>
OpResult ResampleRows(ProgressWindow progress, const Dib& src, Dib& dst, const Kernel& k) {
  const int sw = src.width();
  const int sh = src.height();
  const int dw = dst.width();
  const int dh = dst.height();
  const std::uint64_t norm = static_cast<std::uint64_t>(k.cx) * static_cast<std::uint64_t>(k.cy);

  geometry::ReportStart(progress);
  std::vector<int> startCol;
  std::vector<int> firstWeight;
  try {
    startCol.resize(static_cast<std::size_t>(dw));
    firstWeight.resize(static_cast<std::size_t>(dw));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int i = 0; i < dw; ++i) {
    const float u = static_cast<float>(i) / k.sx;
    const int start = static_cast<std::int16_t>(static_cast<int>(u));
    startCol[static_cast<std::size_t>(i)] = start;
    firstWeight[static_cast<std::size_t>(i)] = static_cast<int>(256.5 - (u - static_cast<float>(start)) * 256.0f);
  }

  for (int r = 0; r < dh; ++r) {
    if (ProgressStep(progress, r + 1, dh)) {
      return kCancelled;
    }
    const float v = static_cast<float>(r) / k.sy;
    const int startRow = static_cast<int>(v);
    const int firstRowWeight = static_cast<int>(256.5 - (v - static_cast<float>(startRow)) * 256.0f);
    std::uint8_t* out = dst.row(r);

    for (int c = 0; c < dw; ++c) {
      std::uint64_t sum[Channels] = {};
      int remainingY = k.cy;
      int rowWeight = firstRowWeight;
      int y = startRow;
      while (remainingY != 0) {
        int wy;
        if (remainingY > rowWeight) {
          wy = rowWeight;
          remainingY -= rowWeight;
          rowWeight = 256;
        } else {
          wy = remainingY;
          remainingY = 0;
        }
        // Rounding can carry the last window a pixel past the edge: stay on the last
        // row and column.
        const std::uint8_t* line = src.row(std::min(y, sh - 1));
        int x = startCol[static_cast<std::size_t>(c)];
        int remainingX = k.cx;
        int wx = firstWeight[static_cast<std::size_t>(c)];
        while (remainingX > wx) {
          const std::uint8_t* p = line + static_cast<std::size_t>(std::min(x, sw - 1)) * Channels;
          const std::uint64_t w = static_cast<std::uint64_t>(wy) * static_cast<std::uint64_t>(wx);
          for (int ch = 0; ch < Channels; ++ch) {
            sum[ch] += p[ch] * w;
          }
          ++x;
          remainingX -= wx;
          wx = 256;
        }
        const std::uint8_t* p = line + static_cast<std::size_t>(std::min(x, sw - 1)) * Channels;
        const std::uint64_t w = static_cast<std::uint64_t>(wy) * static_cast<std::uint64_t>(remainingX);
        for (int ch = 0; ch < Channels; ++ch) {
          sum[ch] += p[ch] * w;
        }
        ++y;
      }
      for (int ch = 0; ch < Channels; ++ch) {
        out[static_cast<std::size_t>(c) * Channels + ch] = static_cast<std::uint8_t>(sum[ch] / norm);
      }
    }
  }
  geometry::ReportDone(progress);
  return kOk;
}

}  // namespace

OpResult ResampleDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int width, int height) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if (bits != 8 && bits != 24) {
    return kInvalidArgument;
  }
  const int dw = width & 0xFFFF;
  const int dh = height & 0xFFFF;
  if (dw == 0 || dh == 0) {
    return kInvalidArgument;
  }
  Kernel k;
  k.sx = static_cast<float>(dw) / static_cast<float>(source->width());
  k.sy = static_cast<float>(dh) / static_cast<float>(source->height());
  k.cx = static_cast<int>(256.0f / k.sx + 0.5);
  k.cy = static_cast<int>(256.0f / k.sy + 0.5);
  // Beyond 512 times magnification a destination pixel is less than half a sub-unit.
  if (k.cx == 0 || k.cy == 0) {
    return kInvalidArgument;
  }

  DibHandle out;
  if (const OpResult r = geometry::NewGreyOrRgb(dw, dh, bits, &out); r != kOk) {
    return r;
  }
  const OpResult r = bits == 24 ? ResampleRows<3>(progress, *source, *out, k)
                                : ResampleRows<1>(progress, *source, *out, k);
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
