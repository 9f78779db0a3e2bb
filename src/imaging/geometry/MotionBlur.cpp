// Motion blur: every pixel averaged with the samples along a line through it, in 1/256
// pixel steps, up to the image edge.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

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

template <int Channels>
OpResult BlurRows(ProgressWindow progress, const Dib& source, Dib& out, const std::vector<Offset>& back,
                  const std::vector<Offset>& front, int spanX, int spanY) {
  const int w = source.width();
  const int h = source.height();
  const std::uint8_t* sbase = source.row(0);
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(source.stride());
  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y + 1, h)) {
      return kCancelled;
    }
    std::uint8_t* line = out.row(y);
    const bool rowInside = y - spanY >= 0 && y + spanY < h;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* here = sbase + y * stride + static_cast<std::ptrdiff_t>(x) * Channels;
      int sum[Channels];
      for (int ch = 0; ch < Channels; ++ch) {
        sum[ch] = here[ch];
      }
      int count = 1;
      const bool inside = rowInside && x - spanX >= 0 && x + spanX < w;
      for (const std::vector<Offset>* side : {&back, &front}) {
        for (const Offset& o : *side) {
          if (!inside) {
            const int sx = x + o.x;
            const int sy = y + o.y;
            if (sx < 0 || sx >= w || sy < 0 || sy >= h) {
              break;
            }
          }
          const std::uint8_t* p = here + o.y * stride + static_cast<std::ptrdiff_t>(o.x) * Channels;
          for (int ch = 0; ch < Channels; ++ch) {
            sum[ch] += p[ch];
          }
          ++count;
        }
      }
      std::uint8_t* d = line + static_cast<std::size_t>(x) * Channels;
      for (int ch = 0; ch < Channels; ++ch) {
        d[ch] = static_cast<std::uint8_t>(sum[ch] / count);
      }
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
