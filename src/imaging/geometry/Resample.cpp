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

// The runs of one destination column (or row): from `start`, the first source pixel
// weighs `first`, whole ones 256, the last what is left of `size`. Rounding can carry
// the window a pixel past the edge: positions stay on the last pixel.
void AppendRun(int start, int first, int size, int last, std::vector<geometry::AreaTap>* taps) {
  int x = start;
  int remaining = size;
  int weight = first;
  while (remaining > weight) {
    taps->push_back({std::min(x, last), weight});
    ++x;
    remaining -= weight;
    weight = 256;
  }
  taps->push_back({std::min(x, last), remaining});
}

template <int Channels, typename Sum>
OpResult ResampleRows(ProgressWindow progress, const Dib& src, Dib& dst, const Kernel& k) {
  const int sw = src.width();
  const int sh = src.height();
  const int dw = dst.width();
  const int dh = dst.height();
  const Sum norm = static_cast<Sum>(k.cx) * static_cast<Sum>(k.cy);

  geometry::ReportStart(progress);
  // Horizontal runs are the same on every row: taps[first[c] .. first[c + 1]).
  std::vector<geometry::AreaTap> across;
  std::vector<int> first;
  std::vector<geometry::AreaTap> down;
  try {
    first.resize(static_cast<std::size_t>(dw) + 1);
    across.reserve(static_cast<std::size_t>(sw) + 2u * static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) {
      const float u = static_cast<float>(i) / k.sx;
      const int start = static_cast<std::int16_t>(static_cast<int>(u));
      const int firstWeight = static_cast<int>(256.5 - (u - static_cast<float>(start)) * 256.0f);
      first[static_cast<std::size_t>(i)] = static_cast<int>(across.size());
      AppendRun(start, firstWeight, k.cx, sw - 1, &across);
    }
    first[static_cast<std::size_t>(dw)] = static_cast<int>(across.size());
    down.reserve(static_cast<std::size_t>(k.cy / 256 + 2));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  const std::uint8_t* sbase = src.row(0);
  const std::size_t stride = src.stride();
  for (int r = 0; r < dh; ++r) {
    if (ProgressStep(progress, r + 1, dh)) {
      return kCancelled;
    }
    const float v = static_cast<float>(r) / k.sy;
    const int startRow = static_cast<int>(v);
    const int firstRowWeight = static_cast<int>(256.5 - (v - static_cast<float>(startRow)) * 256.0f);
    down.clear();
    AppendRun(startRow, firstRowWeight, k.cy, sh - 1, &down);
    std::uint8_t* out = dst.row(r);

    for (int c = 0; c < dw; ++c) {
      Sum sum[Channels] = {};
      const geometry::AreaTap* hb = across.data() + first[static_cast<std::size_t>(c)];
      const geometry::AreaTap* he = across.data() + first[static_cast<std::size_t>(c) + 1];
      for (const geometry::AreaTap& vt : down) {
        const std::uint8_t* line = sbase + static_cast<std::size_t>(vt.src) * stride;
        for (const geometry::AreaTap* ht = hb; ht != he; ++ht) {
          const std::uint8_t* p = line + static_cast<std::size_t>(ht->src) * Channels;
          const Sum w = static_cast<Sum>(vt.weight) * static_cast<Sum>(ht->weight);
          for (int ch = 0; ch < Channels; ++ch) {
            sum[ch] += p[ch] * w;
          }
        }
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
  // Sums reach 255 x cx x cy: 32 bits hold them unless the image shrinks a lot.
  const bool narrow = 255ull * static_cast<unsigned>(k.cx) * static_cast<unsigned>(k.cy) <= 0xFFFFFFFFull;
  OpResult r;
  if (bits == 24) {
    r = narrow ? ResampleRows<3, std::uint32_t>(progress, *source, *out, k)
               : ResampleRows<3, std::uint64_t>(progress, *source, *out, k);
  } else {
    r = narrow ? ResampleRows<1, std::uint32_t>(progress, *source, *out, k)
               : ResampleRows<1, std::uint64_t>(progress, *source, *out, k);
  }
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
