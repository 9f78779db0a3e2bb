// Motion blur: every pixel averaged with the samples along a line through it, in 1/256
// pixel steps, up to the image edge.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "imaging/CpuFeatures.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

struct Step {
  int dx = 0;
  int dy = 0;
};

// The walk per sample in 1/256 pixel: angle 0 runs vertically, 90 horizontally.
Step Direction(int angle) {
  const int a = ((angle % 360) + 360) % 360;
  int w = 450 - a;
  if (w > 360) {
    w = 90 - a;
  }
  if (w > 180) {
    w -= 180;
  }
  const auto scaled = [](double v) { return static_cast<int>(v * 1000) * 256 / 1000; };
  constexpr double kRadians = 0.017453292;
  Step s;
  if (w == 90) {
    s.dy = 256;
  } else if (w == 180) {
    s.dx = -256;
  } else if (w < 90) {
    s.dx = scaled(std::cos(w * kRadians));
    s.dy = scaled(std::sin(w * kRadians));
  } else {
    const int b = 180 - w;
    s.dx = -scaled(std::cos(b * kRadians));
    s.dy = scaled(std::sin(b * kRadians));
  }
  return s;
}

struct Offset {
  int x;
  int y;
};

// One pixel the long way: samples stop at the first one outside the image on each side.
template <int Channels>
void BlurPixel(const std::uint8_t* sbase, std::ptrdiff_t stride, int w, int h, int x, int y,
               const std::vector<Offset>& back, const std::vector<Offset>& front, std::uint8_t* d) {
  const std::uint8_t* here = sbase + y * stride + static_cast<std::ptrdiff_t>(x) * Channels;
  int sum[Channels];
  for (int ch = 0; ch < Channels; ++ch) {
    sum[ch] = here[ch];
  }
  int count = 1;
  for (const std::vector<Offset>* side : {&back, &front}) {
    for (const Offset& o : *side) {
      const int sx = x + o.x;
      const int sy = y + o.y;
      if (sx < 0 || sx >= w || sy < 0 || sy >= h) {
        break;
      }
      const std::uint8_t* p = here + o.y * stride + static_cast<std::ptrdiff_t>(o.x) * Channels;
      for (int ch = 0; ch < Channels; ++ch) {
        sum[ch] += p[ch];
      }
      ++count;
    }
  }
  for (int ch = 0; ch < Channels; ++ch) {
    d[ch] = static_cast<std::uint8_t>(sum[ch] / count);
  }
}

// Where every sample of a pixel lies inside the image, the samples are the same shifted
// copies of rows for the whole run of pixels: each is added to 32-bit lanes in turn.
KM_ALWAYS_INLINE void AddRowBody(const std::uint8_t* __restrict in, std::size_t count,
                                 std::uint32_t* __restrict sums) {
  for (std::size_t k = 0; k < count; ++k) {
    sums[k] += in[k];
  }
}

// floor(sum / n) for sum <= 255 * n < 2^24 and n <= 65536 by one float division: the
// correctly rounded quotient of exact floats cannot reach q + 1 from q + 1 - 1 / n,
// because floats below 256 lie at most 2^-16 <= 1 / n apart.
KM_ALWAYS_INLINE void DivideRowBody(const std::uint32_t* __restrict sums, std::size_t count, float n,
                                    std::uint8_t* __restrict out) {
  for (std::size_t k = 0; k < count; ++k) {
    out[k] = static_cast<std::uint8_t>(
        static_cast<std::int32_t>(static_cast<float>(static_cast<std::int32_t>(sums[k])) / n));
  }
}

void AddRowPlain(const std::uint8_t* in, std::size_t count, std::uint32_t* sums) { AddRowBody(in, count, sums); }
KM_TARGET_AVX2 void AddRowAvx2(const std::uint8_t* in, std::size_t count, std::uint32_t* sums) {
  AddRowBody(in, count, sums);
}
void DivideRowPlain(const std::uint32_t* sums, std::size_t count, float n, std::uint8_t* out) {
  DivideRowBody(sums, count, n, out);
}
KM_TARGET_AVX2 void DivideRowAvx2(const std::uint32_t* sums, std::size_t count, float n, std::uint8_t* out) {
  DivideRowBody(sums, count, n, out);
}

template <int Channels>
OpResult BlurRows(ProgressWindow progress, const Dib& source, Dib& out, const std::vector<Offset>& back,
                  const std::vector<Offset>& front, int spanX, int spanY) {
  const int w = source.width();
  const int h = source.height();
  const std::uint8_t* sbase = source.row(0);
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(source.stride());
  const int samples = 1 + static_cast<int>(back.size() + front.size());
  // The pixels of a row whose samples all lie inside: x in [spanX, w - spanX).
  const int runStart = spanX;
  const int runEnd = std::max(w - spanX, spanX);
  const bool wide = runEnd > runStart && samples <= 65536;
  const std::size_t runBytes = static_cast<std::size_t>(runEnd - runStart) * Channels;
  std::vector<std::uint32_t> sums;
  if (wide) {
    try {
      sums.resize(runBytes);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
  }
  const bool avx2 = cpu::UseAvx2();
  const auto addRow = avx2 ? AddRowAvx2 : AddRowPlain;
  const auto divideRow = avx2 ? DivideRowAvx2 : DivideRowPlain;
  const auto n = static_cast<float>(samples);

  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y + 1, h)) {
      return kCancelled;
    }
    std::uint8_t* line = out.row(y);
    const bool rowInside = y - spanY >= 0 && y + spanY < h;
    if (!rowInside || !wide) {
      for (int x = 0; x < w; ++x) {
        BlurPixel<Channels>(sbase, stride, w, h, x, y, back, front, line + static_cast<std::size_t>(x) * Channels);
      }
      continue;
    }
    for (int x = 0; x < runStart; ++x) {
      BlurPixel<Channels>(sbase, stride, w, h, x, y, back, front, line + static_cast<std::size_t>(x) * Channels);
    }
    const std::uint8_t* here = sbase + y * stride + static_cast<std::ptrdiff_t>(runStart) * Channels;
    std::fill(sums.begin(), sums.end(), 0u);
    addRow(here, runBytes, sums.data());
    for (const std::vector<Offset>* side : {&back, &front}) {
      for (const Offset& o : *side) {
        addRow(here + o.y * stride + static_cast<std::ptrdiff_t>(o.x) * Channels, runBytes, sums.data());
      }
    }
    divideRow(sums.data(), runBytes, n, line + static_cast<std::size_t>(runStart) * Channels);
    for (int x = runEnd; x < w; ++x) {
      BlurPixel<Channels>(sbase, stride, w, h, x, y, back, front, line + static_cast<std::size_t>(x) * Channels);
    }
  }
  return kOk;
}

}  // namespace

OpResult MotionBlurDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int intensity,
                       std::int16_t angle) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if (bits != 8 && bits != 24) {
    return kInvalidArgument;
  }
  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  const int channels = geometry::Channels(bits);
  const int n = std::max(intensity, 0);
  const int behind = n / 2;
  const int ahead = n - behind;
  const Step step = Direction(angle);

  // (256x - k dx) >> 8 is x + ((-k dx) >> 8): the offsets do not depend on the pixel.
  // A walk leaves the image within 2 x 32767 samples, so longer ones are cut there.
  const int reach = 2 * kMaxDibSide;
  std::vector<Offset> back;
  std::vector<Offset> front;
  try {
    back.resize(static_cast<std::size_t>(std::min(behind, reach)));
    front.resize(static_cast<std::size_t>(std::min(ahead, reach)));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  int spanX = 0;
  int spanY = 0;
  for (std::size_t k = 0; k < back.size(); ++k) {
    const int kk = static_cast<int>(k) + 1;
    back[k] = {(-kk * step.dx) >> 8, (-kk * step.dy) >> 8};
    spanX = std::max(spanX, std::abs(back[k].x));
    spanY = std::max(spanY, std::abs(back[k].y));
  }
  for (std::size_t k = 0; k < front.size(); ++k) {
    const int kk = static_cast<int>(k) + 1;
    front[k] = {(kk * step.dx) >> 8, (kk * step.dy) >> 8};
    spanX = std::max(spanX, std::abs(front[k].x));
    spanY = std::max(spanY, std::abs(front[k].y));
  }

  const OpResult r = channels == 3 ? BlurRows<3>(progress, *source, *out, back, front, spanX, spanY)
                                   : BlurRows<1>(progress, *source, *out, back, front, spanX, spanY);
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
