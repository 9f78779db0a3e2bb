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

// The 3 x 3 window around every byte of a row, seen as three sorted columns. Each padded
// column (below, middle, above) is sorted once into lo <= mid <= hi and shared by the
// three windows that contain it. Over the columns at k, k + bpp and k + 2 * bpp:
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

  std::uint8_t minimum(std::size_t k) const { return Min3(lo[k], lo[k + bpp], lo[k + 2 * bpp]); }
  std::uint8_t maximum(std::size_t k) const { return Max3(hi[k], hi[k + bpp], hi[k + 2 * bpp]); }
  std::uint8_t median(std::size_t k) const {
    return Med3(Max3(lo[k], lo[k + bpp], lo[k + 2 * bpp]), Med3(mid[k], mid[k + bpp], mid[k + 2 * bpp]),
                Min3(hi[k], hi[k + bpp], hi[k + 2 * bpp]));
  }
  std::uint8_t centre(std::size_t k) const { return middle[k + bpp]; }
  int neighbourSum(std::size_t k) const {
    return below[k] + below[k + bpp] + below[k + 2 * bpp] + middle[k] + middle[k + 2 * bpp] +
           above[k] + above[k + bpp] + above[k + 2 * bpp];
  }
};

void SortColumns(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, std::size_t n,
                 std::uint8_t* lo, std::uint8_t* mid, std::uint8_t* hi) {
  for (std::size_t k = 0; k < n; ++k) {
    lo[k] = Min3(a[k], b[k], c[k]);
    mid[k] = Med3(a[k], b[k], c[k]);
    hi[k] = Max3(a[k], b[k], c[k]);
  }
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
      return Filter3x3(progress, source, result,
                       [](const Window& w, std::size_t n, std::uint8_t* out) {
                         for (std::size_t k = 0; k < n; ++k) {
                           out[k] = w.minimum(k);
                         }
                       });
    case kRankMedian:
      return Filter3x3(progress, source, result,
                       [](const Window& w, std::size_t n, std::uint8_t* out) {
                         for (std::size_t k = 0; k < n; ++k) {
                           out[k] = w.median(k);
                         }
                       });
    case kRankDilate:
      return Filter3x3(progress, source, result,
                       [](const Window& w, std::size_t n, std::uint8_t* out) {
                         for (std::size_t k = 0; k < n; ++k) {
                           out[k] = w.maximum(k);
                         }
                       });
    default:
      if (result != nullptr) {
        result->reset();
      }
      return kInvalidArgument;
  }
}

OpResult DespeckleDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  // A byte is a speck when the mean of its eight neighbours (rounded down) lies more
  // than this far from it.
  static constexpr int kSpeckDistance = 48;
  return Filter3x3(progress, source, result,
                   [](const Window& w, std::size_t n, std::uint8_t* out) {
                     for (std::size_t k = 0; k < n; ++k) {
                       const int mean = w.neighbourSum(k) >> 3;
                       if (std::abs(mean - w.centre(k)) > kSpeckDistance) {
                         out[k] = w.median(k);
                       }
                     }
                   });
}

}  // namespace km
