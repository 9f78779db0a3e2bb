// 3 x 3 rank filters (erode, median, dilate) and despeckle.
//
// Three padded row buffers hold stored rows r - 1, r and r + 1 of the unchanged source,
// with the edge rows and edge pixels repeated beyond the image. Every byte lane (one for
// 8 bits, blue, green and red for 24 bits) is filtered on its own through fixed
// compare-exchange networks, with no sorting loop.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "imaging/filters/Filters.h"
#include "imaging/filters/PaddedRows.h"

namespace km {

namespace {

inline std::uint8_t Min3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return std::min(std::min(a, b), c);
}
inline std::uint8_t Max3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return std::max(std::max(a, b), c);
}
inline std::uint8_t Med3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Runs f(k) for k = 0 .. n - 1 in chunks of a fixed 16, a shape the optimiser turns into
// vector code, then the remainder one by one. The row functions below stay out of line so
// that their __restrict parameters survive and the chunks need no aliasing checks.
template <class F>
inline void ForEachByte(std::size_t n, F f) {
  std::size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    for (std::size_t t = 0; t < 16; ++t) {
      f(k + t);
    }
  }
  for (; k < n; ++k) {
    f(k);
  }
}

// The 3 x 3 windows of a row, seen as three sorted columns. Each padded column (below,
// middle, above) is sorted once into lo <= mid <= hi and shared by the three windows that
// contain it. Over the columns at k, k + bpp and k + 2 * bpp:
//   minimum = min of the lows, maximum = max of the highs,
//   median  = med3(max of the lows, med3 of the middles, min of the highs),
// the classic compare-exchange network for the fifth of nine values.
struct Window {
  const std::uint8_t* below;
  const std::uint8_t* middle;
  const std::uint8_t* above;
  const std::uint8_t* lo;
  const std::uint8_t* mid;
  const std::uint8_t* hi;
  std::size_t bpp;
};

[[gnu::noinline]] void SortColumns(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                 const std::uint8_t* __restrict c, std::size_t n, std::uint8_t* __restrict lo,
                 std::uint8_t* __restrict mid, std::uint8_t* __restrict hi) {
  ForEachByte(n, [&](std::size_t k) {
    lo[k] = Min3(a[k], b[k], c[k]);
    mid[k] = Med3(a[k], b[k], c[k]);
    hi[k] = Max3(a[k], b[k], c[k]);
  });
}

[[gnu::noinline]] void MinimumRow(const std::uint8_t* __restrict lo, std::size_t bpp, std::size_t n,
                std::uint8_t* __restrict out) {
  ForEachByte(n, [&](std::size_t k) { out[k] = Min3(lo[k], lo[k + bpp], lo[k + 2 * bpp]); });
}

[[gnu::noinline]] void MaximumRow(const std::uint8_t* __restrict hi, std::size_t bpp, std::size_t n,
                std::uint8_t* __restrict out) {
  ForEachByte(n, [&](std::size_t k) { out[k] = Max3(hi[k], hi[k + bpp], hi[k + 2 * bpp]); });
}

inline std::uint8_t MedianAt(const std::uint8_t* __restrict lo, const std::uint8_t* __restrict mid,
                             const std::uint8_t* __restrict hi, std::size_t bpp, std::size_t k) {
  return Med3(Max3(lo[k], lo[k + bpp], lo[k + 2 * bpp]), Med3(mid[k], mid[k + bpp], mid[k + 2 * bpp]),
              Min3(hi[k], hi[k + bpp], hi[k + 2 * bpp]));
}

[[gnu::noinline]] void MedianRow(const std::uint8_t* __restrict lo, const std::uint8_t* __restrict mid,
               const std::uint8_t* __restrict hi, std::size_t bpp, std::size_t n,
               std::uint8_t* __restrict out) {
  ForEachByte(n, [&](std::size_t k) { out[k] = MedianAt(lo, mid, hi, bpp, k); });
}

// A byte is a speck when the mean of its eight neighbours (sum >> 3, rounding down) lies
// more than this far from it; a speck takes the median of its window.
constexpr int kSpeckDistance = 48;

[[gnu::noinline]] void DespeckleRow(const Window& w, std::size_t n, std::uint8_t* __restrict out) {
  const std::uint8_t* __restrict below = w.below;
  const std::uint8_t* __restrict middle = w.middle;
  const std::uint8_t* __restrict above = w.above;
  const std::uint8_t* __restrict lo = w.lo;
  const std::uint8_t* __restrict mid = w.mid;
  const std::uint8_t* __restrict hi = w.hi;
  const std::size_t bpp = w.bpp;
  ForEachByte(n, [&](std::size_t k) {
    const int sum = below[k] + below[k + bpp] + below[k + 2 * bpp] + middle[k] + middle[k + 2 * bpp] +
                    above[k] + above[k + bpp] + above[k + 2 * bpp];
    const int centre = middle[k + bpp];
    const int d = (sum >> 3) - centre;
    const std::uint8_t median = MedianAt(lo, mid, hi, bpp, k);
    out[k] = d > kSpeckDistance || d < -kSpeckDistance ? median : static_cast<std::uint8_t>(centre);
  });
}

// Runs `filterRow(window, rowBytes, outRow)` for every stored row from the bottom up on a
// copy of the source. Checks depth and height, reports 0, (row + 1) * 100 / height before
// each row, and 100 at the end.
template <class FilterRow>
OpResult Filter3x3(ProgressWindow progress, const Dib* source, DibHandle* result,
                   FilterRow filterRow) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if ((bits != 8 && bits != 24) || source->height() < 3) {
    return kInvalidArgument;
  }
  filters::ReportOnly(progress, 0);

  const int width = source->width();
  const int height = source->height();
  const int bpp = bits / 8;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp);
  const std::size_t padded = rowBytes + 2 * static_cast<std::size_t>(bpp);

  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  std::vector<std::uint8_t> store;
  try {
    store.resize(6 * padded);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  std::array<std::uint8_t*, 3> rows = {store.data(), store.data() + padded,
                                       store.data() + 2 * padded};

  for (int r = 0; r < height; ++r) {
    if (ProgressStep(progress, r + 1, height)) {
      return kCancelled;
    }
    if (r == 0) {
      for (int i = 0; i < 3; ++i) {
        filters::LoadPaddedRow(source->row(filters::ClampRow(i - 1, height)), width, bpp, 1,
                               rows[static_cast<std::size_t>(i)]);
      }
    } else {
      std::rotate(rows.begin(), rows.begin() + 1, rows.end());
      filters::LoadPaddedRow(source->row(filters::ClampRow(r + 1, height)), width, bpp, 1,
                             rows[2]);
    }
    std::uint8_t* lo = store.data() + 3 * padded;
    std::uint8_t* mid = lo + padded;
    std::uint8_t* hi = mid + padded;
    SortColumns(rows[0], rows[1], rows[2], padded, lo, mid, hi);
    filterRow(Window{rows[0], rows[1], rows[2], lo, mid, hi, static_cast<std::size_t>(bpp)}, rowBytes,
              out->row(r));
  }
  filters::ReportOnly(progress, 100);
  *result = std::move(out);
  return kOk;
}

}  // namespace

OpResult RankFilterDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int mode) {
  switch (mode) {
    case kRankErode:
      return Filter3x3(progress, source, result, [](const Window& w, std::size_t n, std::uint8_t* out) {
        MinimumRow(w.lo, w.bpp, n, out);
      });
    case kRankMedian:
      return Filter3x3(progress, source, result, [](const Window& w, std::size_t n, std::uint8_t* out) {
        MedianRow(w.lo, w.mid, w.hi, w.bpp, n, out);
      });
    case kRankDilate:
      return Filter3x3(progress, source, result, [](const Window& w, std::size_t n, std::uint8_t* out) {
        MaximumRow(w.hi, w.bpp, n, out);
      });
    default:
      if (result != nullptr) {
        result->reset();
      }
      return kInvalidArgument;
  }
}

OpResult DespeckleDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  return Filter3x3(progress, source, result, DespeckleRow);
}

}  // namespace km
