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

// Orders a pair so that a <= b.
inline void Sort2(std::uint8_t& a, std::uint8_t& b) {
  const std::uint8_t lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

// The fifth smallest of nine: a 19-exchange network.
inline std::uint8_t Median9(std::array<std::uint8_t, 9> p) {
  Sort2(p[1], p[2]); Sort2(p[4], p[5]); Sort2(p[7], p[8]);
  Sort2(p[0], p[1]); Sort2(p[3], p[4]); Sort2(p[6], p[7]);
  Sort2(p[1], p[2]); Sort2(p[4], p[5]); Sort2(p[7], p[8]);
  Sort2(p[0], p[3]); Sort2(p[5], p[8]); Sort2(p[4], p[7]);
  Sort2(p[3], p[6]); Sort2(p[1], p[4]); Sort2(p[2], p[5]);
  Sort2(p[4], p[7]); Sort2(p[4], p[2]); Sort2(p[6], p[4]);
  Sort2(p[4], p[2]);
  return p[4];
}

// The nine values around byte k of the middle row: below, middle and above, each left,
// centre, right. p[4] is the centre.
struct Window {
  const std::uint8_t* below;
  const std::uint8_t* middle;
  const std::uint8_t* above;
  std::size_t bpp;

  std::array<std::uint8_t, 9> at(std::size_t k) const {
    return {below[k], below[k + bpp], below[k + 2 * bpp],
            middle[k], middle[k + bpp], middle[k + 2 * bpp],
            above[k], above[k + bpp], above[k + 2 * bpp]};
  }
};

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
    store.resize(3 * padded);
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
    filterRow(Window{rows[0], rows[1], rows[2], static_cast<std::size_t>(bpp)}, rowBytes,
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
                           const auto p = w.at(k);
                           out[k] = std::min({p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]});
                         }
                       });
    case kRankMedian:
      return Filter3x3(progress, source, result,
                       [](const Window& w, std::size_t n, std::uint8_t* out) {
                         for (std::size_t k = 0; k < n; ++k) {
                           out[k] = Median9(w.at(k));
                         }
                       });
    case kRankDilate:
      return Filter3x3(progress, source, result,
                       [](const Window& w, std::size_t n, std::uint8_t* out) {
                         for (std::size_t k = 0; k < n; ++k) {
                           const auto p = w.at(k);
                           out[k] = std::max({p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]});
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
                       const auto p = w.at(k);
                       const int sum = p[0] + p[1] + p[2] + p[3] + p[5] + p[6] + p[7] + p[8];
                       const int mean = sum >> 3;
                       if (std::abs(mean - p[4]) > kSpeckDistance) {
                         out[k] = Median9(p);
                       }
                     }
                   });
}

}  // namespace km
