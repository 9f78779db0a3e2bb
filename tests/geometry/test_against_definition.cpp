// Enlarging resample, free rotation and motion blur on random images of many shapes,
// each against a pixel-by-pixel evaluation of its definition, on both loop kinds. The
// operations split rows into runs (edges, inside) and sum in other orders; every byte
// must still be the definition's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "support/DibTestUtil.h"
#include "support/LoopKinds.h"

namespace km {
namespace {

int Channels(const Dib& d) { return d.bitCount() / 8; }

DibHandle RandomImage(int w, int h, int bits, std::uint32_t seed) {
  DibHandle d = bits == 24 ? test::MakeRgb(w, h, 0, 0, 0) : test::MakeGrey(w, h);
  test::FillRandom(*d, seed);
  return d;
}

void ExpectSameBytes(const Dib& got, const Dib& want) {
  ASSERT_EQ(got.width(), want.width());
  ASSERT_EQ(got.height(), want.height());
  const int n = want.width() * Channels(want);
  for (int y = 0; y < want.height(); ++y) {
    for (int b = 0; b < n; ++b) {
      ASSERT_EQ(got.row(y)[b], want.row(y)[b]) << "stored row " << y << " byte " << b;
    }
  }
}

// ---- Resample: each destination pixel is the coverage-weighted mean of the source
// pixels under it, coverage in 1/256 pixel, sums truncated.

struct Run {
  int src;
  int weight;
};

// The runs along one axis: destination i starts at i / scale, its first source pixel
// covers what is left of it (rounded), whole pixels 256, the last the rest of `size`.
std::vector<std::vector<Run>> Runs(int count, float scale, int size, int last, bool cutStart) {
  std::vector<std::vector<Run>> runs(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const float u = static_cast<float>(i) / scale;
    const int start = cutStart ? static_cast<std::int16_t>(static_cast<int>(u)) : static_cast<int>(u);
    int weight = static_cast<int>(256.5 - (u - static_cast<float>(start)) * 256.0f);
    int remaining = size;
    int x = start;
    while (remaining > weight) {
      runs[static_cast<std::size_t>(i)].push_back({std::min(x, last), weight});
      ++x;
      remaining -= weight;
      weight = 256;
    }
    runs[static_cast<std::size_t>(i)].push_back({std::min(x, last), remaining});
  }
  return runs;
}

DibHandle ResampleByDefinition(const Dib& src, int dw, int dh) {
  const int ch = Channels(src);
  const float sx = static_cast<float>(dw) / static_cast<float>(src.width());
  const float sy = static_cast<float>(dh) / static_cast<float>(src.height());
  const int cx = static_cast<int>(256.0f / sx + 0.5);
  const int cy = static_cast<int>(256.0f / sy + 0.5);
  const auto across = Runs(dw, sx, cx, src.width() - 1, true);
  const auto down = Runs(dh, sy, cy, src.height() - 1, false);
  DibHandle out = ch == 3 ? test::MakeRgb(dw, dh, 0, 0, 0) : test::MakeGrey(dw, dh);
  for (int r = 0; r < dh; ++r) {
    for (int c = 0; c < dw; ++c) {
      for (int k = 0; k < ch; ++k) {
        std::uint64_t sum = 0;
        for (const Run& v : down[static_cast<std::size_t>(r)]) {
          for (const Run& h : across[static_cast<std::size_t>(c)]) {
            sum += std::uint64_t{src.row(v.src)[h.src * ch + k]} * static_cast<std::uint64_t>(v.weight * h.weight);
          }
        }
        out->row(r)[c * ch + k] = static_cast<std::uint8_t>(sum / static_cast<std::uint64_t>(cx * cy));
      }
    }
  }
  return out;
}

// ResampleDIB of src to dw x dh, by both loop kinds, gives ResampleByDefinition's bytes.
void ExpectResampleByDefinition(const Dib& src, int dw, int dh) {
  const DibHandle want = ResampleByDefinition(src, dw, dh);
  test::ForBothLoopKinds([&](bool wide) {
    SCOPED_TRACE(std::to_string(src.width()) + "x" + std::to_string(src.height()) + " -> " + std::to_string(dw) +
                 "x" + std::to_string(dh) + " bits " + std::to_string(src.bitCount()) + " " +
                 test::LoopKindName(wide));
    DibHandle out;
    ASSERT_EQ(ResampleDIB(nullptr, &src, &out, dw, dh), kOk);
    ExpectSameBytes(*out, *want);
  });
}

TEST(ResampleDefinition, EnlargingAndSameSizeMatchTheWeightedMean) {
  using Case = std::tuple<int, int, int, int>;
  for (const auto& [sw, sh, dw, dh] :
       {Case{40, 30, 80, 60}, Case{41, 29, 97, 44}, Case{7, 5, 8, 6}, Case{5, 3, 13, 7}, Case{33, 17, 33, 17},
        Case{1, 1, 512, 3}, Case{3, 1, 700, 2}, Case{255, 2, 256, 3}, Case{50, 40, 51, 120}, Case{2, 9, 5, 9}}) {
    for (int bits : {8, 24}) {
      const DibHandle src = RandomImage(sw, sh, bits, static_cast<std::uint32_t>(sw * 131 + dw + bits));
      ExpectResampleByDefinition(*src, dw, dh);
    }
  }
}

// At the same size every pixel covers exactly one source pixel, with the largest
// divisor (256 x 256) the enlarging loops take.
TEST(ResampleDefinition, SameSizeGivesTheSourceBack) {
  const DibHandle src = RandomImage(61, 23, 24, 5);
  test::ForBothLoopKinds([&](bool wide) {
    SCOPED_TRACE(test::LoopKindName(wide));
    DibHandle out;
    ASSERT_EQ(ResampleDIB(nullptr, src.get(), &out, 61, 23), kOk);
    ExpectSameBytes(*out, *src);
  });
}

// Whole factors take one source pixel per destination pixel, other factors blend two;
// widths whose rows have no padding put the last pixel against the end of the image.
TEST(ResampleDefinition, RandomEnlargementsMatchTheWeightedMean) {
  std::mt19937 pick(2024);
  const auto draw = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(pick); };
  for (int n = 0; n < 60; ++n) {
    const int sw = n % 4 == 0 ? 4 * draw(1, 12) : draw(1, 48);
    const int sh = draw(1, 10);
    const bool whole = n % 2 == 0;
    const int dw = whole ? sw * draw(1, 4) : draw(sw, 4 * sw + 3);
    const int dh = whole ? sh * draw(1, 4) : draw(sh, 4 * sh + 3);
    for (int bits : {8, 24}) {
      const DibHandle src = RandomImage(sw, sh, bits, static_cast<std::uint32_t>(n * 7 + bits));
      ExpectResampleByDefinition(*src, dw, dh);
    }
  }
}

// ---- Free rotation: bilinear samples in 1/1024 pixel, neighbours outside reading the
// background and pixels with all four outside being the background.

DibHandle RotateByDefinition(const Dib& src, int clockwiseAngle, const std::uint8_t back[3]) {
  const int ch = Channels(src);
  const int w = src.width();
  const int h = src.height();
  const double theta = clockwiseAngle * 0.005555555555555556 * 3.14;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const int dw = static_cast<int>(std::fabs(s) * h + std::fabs(c) * w);
  const int dh = static_cast<int>(h * std::fabs(c) + w * std::fabs(s));
  DibHandle out = ch == 3 ? test::MakeRgb(dw, dh, 0, 0, 0) : test::MakeGrey(dw, dh);
  const auto at = [&](int ix, int iy, int k) -> int {
    if (ix < 0 || ix >= w || iy < 0 || iy >= h) {
      return back[k];
    }
    return src.row(iy)[ix * ch + k];
  };
  for (int j = 0; j < dh; ++j) {
    const int dy = j - dh / 2;
    for (int i = 0; i < dw; ++i) {
      const int dx = i - dw / 2;
      const int x = static_cast<int>(c * dx * 1024) - static_cast<int>(s * dy * 1024) + (w / 2) * 1024;
      const int y = static_cast<int>(s * dx * 1024) + static_cast<int>(c * dy * 1024) + (h / 2) * 1024;
      const int ix = x >> 10;
      const int iy = y >> 10;
      const int fx = x - ix * 1024;
      const int fy = y - iy * 1024;
      const bool outside = ix < -1 || ix >= w || iy < -1 || iy >= h;
      for (int k = 0; k < ch; ++k) {
        int v = back[k];
        if (!outside) {
          const int top = at(ix, iy, k) + (((at(ix + 1, iy, k) - at(ix, iy, k)) * fx) >> 10);
          const int bottom = at(ix, iy + 1, k) + (((at(ix + 1, iy + 1, k) - at(ix, iy + 1, k)) * fx) >> 10);
          v = top + (((bottom - top) * fy) >> 10);
        }
        out->row(j)[i * ch + k] = static_cast<std::uint8_t>(v);
      }
    }
  }
  return out;
}

TEST(RotateDefinition, FreeAnglesMatchTheBilinearSamples) {
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{37, 23}, std::pair{300, 9}, std::pair{6, 150}}) {
    for (int bits : {8, 24}) {
      const DibHandle src = RandomImage(w, h, bits, static_cast<std::uint32_t>(w * 17 + h + bits));
      for (int angle : {1, 30, 45, 89, 91, 150, 181, 269, 300, 359}) {
        // 8-bit images take their background from the blue byte.
        const std::uint8_t back[3] = {0x33, 0x22, 0x11};
        const DibHandle want = RotateByDefinition(*src, angle, back);
        test::ForBothLoopKinds([&](bool wide) {
          SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " bits " + std::to_string(bits) + " angle " +
                       std::to_string(angle) + " " + test::LoopKindName(wide));
          DibHandle out;
          ASSERT_EQ(RotateDIB(nullptr, src.get(), &out, angle, 1, 0x11, 0x22, 0x33), kOk);
          ExpectSameBytes(*out, *want);
        });
      }
    }
  }
}

// ---- Motion blur: each pixel is the mean of itself and the samples k = 1, 2, ... of a
// walk of (dx, dy) / 256 pixel per sample on either side, each side stopping at its
// first sample outside the image.

struct Walk {
  int angle;
  int dx;  // 1/256 pixel per sample, worked out from the angle
  int dy;
};

DibHandle MotionBlurByDefinition(const Dib& src, int intensity, const Walk& walk) {
  const int ch = Channels(src);
  const int w = src.width();
  const int h = src.height();
  const int behind = intensity / 2;
  const int ahead = intensity - behind;
  DibHandle out = ch == 3 ? test::MakeRgb(w, h, 0, 0, 0) : test::MakeGrey(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int k = 0; k < ch; ++k) {
        int sum = src.row(y)[x * ch + k];
        int count = 1;
        for (const auto& [samples, sign] : {std::pair{behind, -1}, std::pair{ahead, 1}}) {
          for (int n = 1; n <= samples; ++n) {
            const int sx = x + ((sign * n * walk.dx) >> 8);
            const int sy = y + ((sign * n * walk.dy) >> 8);
            if (sx < 0 || sx >= w || sy < 0 || sy >= h) {
              break;
            }
            sum += src.row(sy)[sx * ch + k];
            ++count;
          }
        }
        out->row(y)[x * ch + k] = static_cast<std::uint8_t>(sum / count);
      }
    }
  }
  return out;
}

TEST(MotionBlurDefinition, WalksMatchTheMeanOfTheSamples) {
  // 0 runs vertically (0, 256), 90 horizontally (-256, 0); 45 steps cos 45 = 0.707 ->
  // 707 * 256 / 1000 = 180 both ways; 30 steps cos 60 -> 128 across and sin 60 -> 221 up.
  const Walk walks[] = {{0, 0, 256}, {90, -256, 0}, {45, 180, 180}, {30, 128, 221}};
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{40, 30}, std::pair{9, 70}}) {
    for (int bits : {8, 24}) {
      const DibHandle src = RandomImage(w, h, bits, static_cast<std::uint32_t>(w * 7 + h * 3 + bits));
      for (const Walk& walk : walks) {
        for (int intensity : {1, 2, 7, 10, 25}) {
          const DibHandle want = MotionBlurByDefinition(*src, intensity, walk);
          test::ForBothLoopKinds([&](bool wide) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " bits " + std::to_string(bits) +
                         " angle " + std::to_string(walk.angle) + " intensity " + std::to_string(intensity) + " " +
                         test::LoopKindName(wide));
            DibHandle out;
            ASSERT_EQ(MotionBlurDIB(nullptr, src.get(), &out, intensity, static_cast<std::int16_t>(walk.angle)), kOk);
            ExpectSameBytes(*out, *want);
          });
        }
      }
    }
  }
}

}  // namespace
}  // namespace km
