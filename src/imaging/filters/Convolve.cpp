// Fixed-kernel convolutions on 8-bit and 24-bit images.
//
// A kernel row i meets stored row r + i - c of the image (c = 1 for 3 x 3, 2 for 5 x 5);
// stored rows run bottom-up, so the first kernel row lies on the row beneath the pixel.
// Products come from one 256-entry table per coefficient; each output row is summed in
// an int32 accumulator, divided (truncating toward zero), biased and clamped.

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/filters/Filters.h"
#include "imaging/filters/PaddedRows.h"

namespace km {

namespace {

struct Kernel {
  int code;
  int size;
  std::int16_t divisor;
  std::uint8_t bias;
  std::array<std::int16_t, 25> coefficients;  // row i = 0 first; size * size used
};

// clang-format off
constexpr Kernel kKernels[] = {
    {kKernelEdgeEnhance, 3, -1, 0, {0, 1, 0,  1, -5, 1,  0, 1, 0}},
    {kKernelEdgeEnhanceMore, 3, 1, 0, {-1, -1, -1,  -1, 9, -1,  -1, -1, -1}},
    {kKernelFindEdges, 3, 1, 0, {-1, -1, -1,  -1, 8, -1,  -1, -1, -1}},
    {kKernelFindHorizontalEdges, 3, 1, 0, {-1, -1, -1,  0, 0, 0,  1, 1, 1}},
    {kKernelFindVerticalEdges, 3, 1, 0, {-1, 0, 1,  -1, 0, 1,  -1, 0, 1}},
    {kKernelTraceContour, 3, 1, 255, {-1, -1, -1,  -1, 9, -1,  -1, -1, -1}},
    {kKernelBlur, 5, 44, 0, {1, 1, 2, 1, 1,  1, 2, 2, 2, 1,  2, 2, 8, 2, 2,  1, 2, 2, 2, 1,
                             1, 1, 2, 1, 1}},
    {kKernelBlurMore, 5, 25, 0, {1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,
                                 1, 1, 1, 1, 1}},
    {kKernelSoften, 3, 97, 0, {6, 12, 6,  12, 25, 12,  6, 12, 6}},
    {kKernelSoftenMore, 3, 9, 0, {1, 1, 1,  1, 1, 1,  1, 1, 1}},
    {kKernelSharpen, 3, 6, 0, {0, -1, 0,  -1, 10, -1,  0, -1, 0}},
    {kKernelSharpenMore, 5, 32, 0, {-1, -1, -1, -1, -1,  -1, -2, -2, -2, -1,  -1, -2, 64, -2, -1,
                                    -1, -2, -2, -2, -1,  -1, -1, -1, -1, -1}},
    {kKernelEmboss, 3, 1, 128, {-1, 0, 0,  0, 0, 0,  0, 0, 1}},
};
// clang-format on

const Kernel* FindKernel(int code) {
  for (const Kernel& k : kKernels) {
    if (k.code == code) {
      return &k;
    }
  }
  return nullptr;
}

// value = sum / D truncated toward zero, + bias, clamped. A constant divisor lets the
// compiler replace the division by a multiply; the table's divisors are all listed.
template <int D>
void FinishRowBy(const std::int32_t* sums, std::size_t count, int bias, std::uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k) {
    out[k] = filters::ClampByte(sums[k] / D + bias);
  }
}

void FinishRow(int divisor, const std::int32_t* sums, std::size_t count, int bias,
               std::uint8_t* out) {
  switch (divisor) {
    case 1: FinishRowBy<1>(sums, count, bias, out); return;
    case -1: FinishRowBy<-1>(sums, count, bias, out); return;
    case 6: FinishRowBy<6>(sums, count, bias, out); return;
    case 9: FinishRowBy<9>(sums, count, bias, out); return;
    case 25: FinishRowBy<25>(sums, count, bias, out); return;
    case 32: FinishRowBy<32>(sums, count, bias, out); return;
    case 44: FinishRowBy<44>(sums, count, bias, out); return;
    case 97: FinishRowBy<97>(sums, count, bias, out); return;
    default:
      for (std::size_t k = 0; k < count; ++k) {
        out[k] = filters::ClampByte(sums[k] / divisor + bias);
      }
  }
}

// Sums the N x N table reads for every byte of a row. rows[i] is kernel row i's padded
// buffer; column j of the window starts j pixels (j * bpp bytes) to the right.
template <int N, std::size_t Bpp>
void SumRow(std::uint8_t* const* rows, const std::int32_t* tables, std::size_t count,
            std::int32_t* sums) {
  for (std::size_t k = 0; k < count; ++k) {
    std::int32_t sum = 0;
    for (int i = 0; i < N; ++i) {
      const std::uint8_t* in = rows[i] + k;
      for (int j = 0; j < N; ++j) {
        sum += tables[(i * N + j) * 256 + in[static_cast<std::size_t>(j) * Bpp]];
      }
    }
    sums[k] = sum;
  }
}

// The one worker for both depths: bpp is 1 (grey level or index) or 3 (blue, green, red),
// and every channel is an independent byte lane of the padded row buffers.
OpResult ConvolveRows(ProgressWindow progress, const Dib& source, Dib& out, const Kernel& kernel,
                      int bpp) {
  const int width = source.width();
  const int height = source.height();
  const int size = kernel.size;
  const int c = size / 2;
  const int taps = size * size;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp);
  const std::size_t padded = static_cast<std::size_t>(width + 2 * c) * static_cast<std::size_t>(bpp);

  std::vector<std::int32_t> tables;
  std::vector<std::uint8_t> rowStore;
  std::vector<std::int32_t> sums;
  try {
    tables.resize(static_cast<std::size_t>(taps) * 256);
    rowStore.resize(padded * static_cast<std::size_t>(size));
    sums.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int t = 0; t < taps; ++t) {
    for (int v = 0; v < 256; ++v) {
      tables[static_cast<std::size_t>(t) * 256 + static_cast<std::size_t>(v)] =
          static_cast<std::int32_t>(kernel.coefficients[static_cast<std::size_t>(t)]) * v;
    }
  }

  // rows[i] holds stored row r + i - c; moving up one row rotates the buffers and loads
  // only the new top one.
  std::array<std::uint8_t*, 5> rows{};
  for (int i = 0; i < size; ++i) {
    rows[static_cast<std::size_t>(i)] = rowStore.data() + padded * static_cast<std::size_t>(i);
  }

  using SumRowFn = void (*)(std::uint8_t* const*, const std::int32_t*, std::size_t, std::int32_t*);
  const SumRowFn sumRow = size == 3 ? (bpp == 3 ? SumRow<3, 3> : SumRow<3, 1>)
                                    : (bpp == 3 ? SumRow<5, 3> : SumRow<5, 1>);

  for (int r = 0; r < height; ++r) {
    if (ProgressStep(progress, r + 1, height)) {
      return kCancelled;
    }
    if (r == 0) {
      for (int i = 0; i < size; ++i) {
        filters::LoadPaddedRow(source.row(filters::ClampRow(i - c, height)), width, bpp, c,
                               rows[static_cast<std::size_t>(i)]);
      }
    } else {
      std::rotate(rows.begin(), rows.begin() + 1, rows.begin() + size);
      filters::LoadPaddedRow(source.row(filters::ClampRow(r + c, height)), width, bpp, c,
                             rows[static_cast<std::size_t>(size - 1)]);
    }

    sumRow(rows.data(), tables.data(), rowBytes, sums.data());
    FinishRow(kernel.divisor, sums.data(), rowBytes, kernel.bias, out.row(r));
  }
  return kOk;
}

}  // namespace

OpResult ConvolveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int bits,
                     int kernelCode) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const Kernel* kernel = FindKernel(kernelCode);
  if (kernel == nullptr) {
    return kInvalidArgument;
  }
  // `bits` picks the worker; the image itself must have that layout.
  const int bpp = bits == 24 ? 3 : 1;
  if (source->bitCount() != bpp * 8 || source->height() < kernel->size) {
    return kInvalidArgument;
  }
  filters::ReportOnly(progress, 0);

  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  if (const OpResult r = ConvolveRows(progress, *source, *out, *kernel, bpp); r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
