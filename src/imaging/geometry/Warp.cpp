// Cylinder, pinch and punch: source columns and rows get widths that change linearly
// from the edges to the middle, and the image is resampled by area over them.

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

// How much wider (positive) or narrower (negative), in 1/100 of a destination pixel,
// the middle source column is than the edge ones, by factor 1..200 (index 0 unused).
constexpr std::array<int, 201> kWarpTable = {
    0,
    680, 560, 480, 440, 415, 402, 390, 378, 365, 355, 348, 338, 328, 318, 308, 298, 290, 280, 270, 260,
    250, 242, 236, 230, 226, 222, 217, 213, 209, 205, 198, 194, 190, 186, 182, 178, 174, 170, 166, 162,
    158, 154, 150, 146, 142, 139, 136, 133, 129, 126, 123, 120, 117, 114, 110, 107, 104, 101, 98, 95,
    92, 90, 87, 84, 81, 79, 76, 73, 71, 68, 65, 63, 60, 58, 55, 54, 51, 48, 46, 43,
    41, 38, 37, 34, 32, 30, 27, 25, 23, 21, 19, 17, 14, 12, 10, 8, 6, 4, 2, 0,
    -2, -4, -6, -8, -10, -12, -14, -16, -17, -19, -21, -23, -25, -27, -29, -31, -32, -34, -36, -38,
    -40, -42, -43, -45, -47, -48, -50, -52, -53, -55, -56, -58, -60, -62, -64, -65, -66, -68, -70, -71,
    -73, -75, -76, -78, -80, -81, -82, -84, -86, -87, -89, -90, -92, -94, -95, -97, -98, -100, -101, -102,
    -104, -106, -107, -108, -110, -111, -113, -115, -116, -117, -119, -120, -122, -123, -125, -127, -129, -130, -132, -133,
    -134, -135, -136, -138, -139, -141, -142, -143, -145, -146, -147, -149, -150, -152, -153, -154, -156, -157, -158, -160,
};

// Width in 1/100 of a destination pixel of the source pixel met at destination index j
// of n: `factor` at the edges, factor + delta in the middle.
class WidthProfile {
public:
  WidthProfile(int factor, int n) : factor_(factor), delta_(kWarpTable[static_cast<std::size_t>(factor)]), half_(n / 2) {
    step_ = half_ > 0 ? static_cast<float>(delta_) / static_cast<float>(half_) : 0.0f;
  }
  int At(int j) const {
    const int rising = factor_ + static_cast<int>(static_cast<float>(j) * step_);
    const int w = j < half_ ? rising : 2 * (factor_ + delta_) - rising;
    return w > 0 ? w : 1;
  }

private:
  int factor_;
  int delta_;
  int half_;
  float step_ = 0;
};

}  // namespace

OpResult WarpDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int horizontal, int vertical) {
  geometry::ReportStart(progress);
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if ((bits != 8 && bits != 24) || horizontal < 1 || horizontal > 200 || vertical < 1 || vertical > 200) {
    return kInvalidArgument;
  }
  const int w = source->width();
  const int h = source->height();
  const int channels = geometry::Channels(bits);
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, w, h, &out); r != kOk) {
    return r;
  }

  const WidthProfile across(horizontal, w);
  const WidthProfile down(vertical, h);
  std::vector<geometry::AreaTap> columnTaps;
  std::vector<int> firstTap;
  std::vector<geometry::AreaTap> rowTaps;
  try {
    firstTap.resize(static_cast<std::size_t>(w) + 1);
    columnTaps.reserve(static_cast<std::size_t>(w) * 2);
    geometry::AreaWalker walk(w, true);
    for (int j = 0; j < w; ++j) {
      firstTap[static_cast<std::size_t>(j)] = static_cast<int>(columnTaps.size());
      walk.Take(100, across.At(j), &columnTaps);
    }
    firstTap[static_cast<std::size_t>(w)] = static_cast<int>(columnTaps.size());
    rowTaps.reserve(128);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  // The vertical position runs on from one destination row to the next.
  const std::uint8_t* sbase = source->row(0);
  const std::size_t stride = source->stride();
  geometry::AreaWalker rows(h, true);
  for (int i = 0; i < h; ++i) {
    if (ProgressStep(progress, i, h)) {
      return kCancelled;
    }
    rowTaps.clear();
    rows.Take(100, down.At(i), &rowTaps);
    std::uint8_t* line = out->row(i);
    for (int j = 0; j < w; ++j) {
      int sum[3] = {0, 0, 0};
      const geometry::AreaTap* hb = columnTaps.data() + firstTap[static_cast<std::size_t>(j)];
      const geometry::AreaTap* he = columnTaps.data() + firstTap[static_cast<std::size_t>(j) + 1];
      for (const geometry::AreaTap& v : rowTaps) {
        const std::uint8_t* srow = sbase + static_cast<std::size_t>(v.src) * stride;
        for (const geometry::AreaTap* t = hb; t != he; ++t) {
          const std::uint8_t* p = srow + static_cast<std::size_t>(t->src) * channels;
          const int weight = v.weight * t->weight;
          for (int ch = 0; ch < channels; ++ch) {
            sum[ch] += p[ch] * weight;
          }
        }
      }
      for (int ch = 0; ch < channels; ++ch) {
        line[static_cast<std::size_t>(j) * channels + ch] = static_cast<std::uint8_t>(sum[ch] / 10000);
      }
    }
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
