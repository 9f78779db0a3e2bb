// Mosaic: the image is cut into blocks laid from the top-left corner, and every pixel of
// a block takes the block's per-byte average. The rightmost blocks and the bottom block
// row are cut short by the image edges and average over their own pixel count.

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/filters/Filters.h"
#include "imaging/filters/PaddedRows.h"

namespace km {

OpResult MosaicDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                   int blockWidth, int blockHeight) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  // A block needs at least one column and one row; zero would divide by zero.
  if ((bits != 8 && bits != 24) || blockWidth < 1 || blockHeight < 1) {
    return kInvalidArgument;
  }
  filters::ReportOnly(progress, 0);

  const int width = source->width();
  const int height = source->height();
  const int bpp = bits / 8;
  const int bw = std::min(blockWidth, width);
  const int bh = std::min(blockHeight, height);
  const int blocksAcross = (width + bw - 1) / bw;

  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  // One running sum per block and byte lane; 64 bits hold a full 32767 x 32767 block.
  std::vector<std::uint64_t> sums;
  std::vector<std::uint8_t> averages;
  try {
    sums.resize(static_cast<std::size_t>(blocksAcross) * static_cast<std::size_t>(bpp));
    averages.resize(sums.size());
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  const int top = height - 1;
  for (int k = 0; k * bh < height; ++k) {
    const int first = top - k * bh;              // highest stored row of the block row
    const int last = std::max(first - bh + 1, 0);  // lowest, not below row 0
    if (ProgressStep(progress, static_cast<long long>(k) * bh + 1, height)) {
      return kCancelled;
    }
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = last; y <= first; ++y) {
      const std::uint8_t* p = source->row(y);
      std::uint64_t* s = sums.data();
      for (int x0 = 0; x0 < width; x0 += bw, s += bpp) {
        const int columns = std::min(bw, width - x0);
        for (int x = 0; x < columns; ++x, p += bpp) {
          for (int b = 0; b < bpp; ++b) {
            s[b] += p[b];
          }
        }
      }
    }
    const std::uint64_t rows = static_cast<std::uint64_t>(first - last + 1);
    for (int bx = 0; bx < blocksAcross; ++bx) {
      const int columns = std::min(bw, width - bx * bw);
      for (int b = 0; b < bpp; ++b) {
        const std::size_t i = static_cast<std::size_t>(bx) * static_cast<std::size_t>(bpp) +
                              static_cast<std::size_t>(b);
        averages[i] = static_cast<std::uint8_t>(sums[i] / (rows * static_cast<std::uint64_t>(columns)));
      }
    }
    for (int y = last; y <= first; ++y) {
      std::uint8_t* p = out->row(y);
      const std::uint8_t* a = averages.data();
      for (int x0 = 0; x0 < width; x0 += bw, a += bpp) {
        const int columns = std::min(bw, width - x0);
        for (int x = 0; x < columns; ++x, p += bpp) {
          for (int b = 0; b < bpp; ++b) {
            p[b] = a[b];
          }
        }
      }
    }
  }
  filters::ReportOnly(progress, 100);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
