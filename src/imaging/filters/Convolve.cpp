// Fixed-kernel convolutions on 8-bit and 24-bit images.
//
// A kernel row i meets stored row r + i - c of the image (c = 1 for 3 x 3, 2 for 5 x 5);
// stored rows run bottom-up, so the first kernel row lies on the row beneath the pixel.
// Each kernel has its own row loop with the coefficients built in; a row is summed in
// int16 or int32 lanes, divided (truncating toward zero), biased and clamped.

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "imaging/CpuFeatures.h"
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

// Whether every partial sum of a kernel over bytes stays within 16 bits: the positive
// and the negative coefficients each times 255. Then the row loop sums in int16 lanes,
// twice as many per vector as int32 ones, with the same values.
constexpr bool SumsFit16(const Kernel& k) {
  int positive = 0;
  int negative = 0;
  for (int t = 0; t < k.size * k.size; ++t) {
    const int v = k.coefficients[static_cast<std::size_t>(t)];
    (v > 0 ? positive : negative) += v;
  }
  return positive * 255 <= 32767 && negative * 255 >= -32768;
}

// One output row of kernel I: for every byte, the N x N products summed, divided by the
// divisor (truncating toward zero), biased and clamped. The coefficients are constants,
// so zero taps vanish, +-1 taps are additions and the division is a multiply; the loop
// over the bytes has no branch and the compiler widens it to whole vectors.
template <int I, int Bpp>
KM_ALWAYS_INLINE void ConvolveRowBody(const std::uint8_t* const* rows, std::size_t count,
                                      std::uint8_t* __restrict out) {
  constexpr Kernel kK = kKernels[I];
  constexpr int kN = kK.size;
  using Sum = std::conditional_t<SumsFit16(kK), std::int16_t, std::int32_t>;
  const std::uint8_t* in[kN];
  for (int i = 0; i < kN; ++i) {
    in[i] = rows[i];
  }
  for (std::size_t k = 0; k < count; ++k) {
    Sum sum = 0;
    [&]<std::size_t... T>(std::index_sequence<T...>) {
      ((sum = static_cast<Sum>(
            sum + kK.coefficients[T] * in[T / kN][k + (T % kN) * static_cast<std::size_t>(Bpp)])),
       ...);
    }(std::make_index_sequence<static_cast<std::size_t>(kN * kN)>{});
    const int v = sum / kK.divisor + kK.bias;
    out[k] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

using ConvolveRowFn = void (*)(const std::uint8_t* const*, std::size_t, std::uint8_t*);

template <int I, int Bpp>
void ConvolveRowPlain(const std::uint8_t* const* rows, std::size_t count, std::uint8_t* out) {
  ConvolveRowBody<I, Bpp>(rows, count, out);
}

template <int I, int Bpp>
KM_TARGET_AVX2 void ConvolveRowAvx2(const std::uint8_t* const* rows, std::size_t count,
                                    std::uint8_t* out) {
  ConvolveRowBody<I, Bpp>(rows, count, out);
}

template <std::size_t... I>
ConvolveRowFn PickRow(int index, int bpp, bool avx2, std::index_sequence<I...>) {
  constexpr ConvolveRowFn kPlain1[] = {ConvolveRowPlain<I, 1>...};
  constexpr ConvolveRowFn kPlain3[] = {ConvolveRowPlain<I, 3>...};
  constexpr ConvolveRowFn kAvx1[] = {ConvolveRowAvx2<I, 1>...};
  constexpr ConvolveRowFn kAvx3[] = {ConvolveRowAvx2<I, 3>...};
  const auto i = static_cast<std::size_t>(index);
  if (avx2) {
    return bpp == 3 ? kAvx3[i] : kAvx1[i];
  }
  return bpp == 3 ? kPlain3[i] : kPlain1[i];
}

// The one worker for both depths: bpp is 1 (grey level or index) or 3 (blue, green, red),
// and every channel is an independent byte lane of the padded row buffers.
OpResult ConvolveRows(ProgressWindow progress, const Dib& source, Dib& out, const Kernel& kernel,
                      int bpp) {
  const int width = source.width();
  const int height = source.height();
  const int size = kernel.size;
  const int c = size / 2;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp);
  const std::size_t padded = static_cast<std::size_t>(width + 2 * c) * static_cast<std::size_t>(bpp);

  std::vector<std::uint8_t> rowStore;
  try {
    rowStore.resize(padded * static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  // rows[i] holds stored row r + i - c; moving up one row rotates the buffers and loads
  // only the new top one.
  std::array<std::uint8_t*, 5> rows{};
  for (int i = 0; i < size; ++i) {
    rows[static_cast<std::size_t>(i)] = rowStore.data() + padded * static_cast<std::size_t>(i);
  }

  const ConvolveRowFn convolveRow =
      PickRow(static_cast<int>(&kernel - kKernels), bpp, cpu::UseAvx2(),
              std::make_index_sequence<std::size(kKernels)>{});

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

    convolveRow(rows.data(), rowBytes, out.row(r));
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
