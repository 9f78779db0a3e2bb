// Circle and pentagon: the whole image squeezed by area into a disc or a regular
// pentagon, on the background colour.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

using geometry::AreaTap;
using geometry::AreaWalker;

// Sum over horizontal x vertical taps of one destination pixel, divided by 100 x 100
// units. Taps at the source's size stand for pixels outside it and read the background.
void Blend(const std::uint8_t* sbase, std::size_t stride, int w, int h, int channels,
           const geometry::Background& back, const std::vector<AreaTap>& across,
           const std::vector<AreaTap>& down, std::uint8_t* d) {
  int sum[3] = {0, 0, 0};
  for (const AreaTap& v : down) {
    const std::uint8_t* srow = v.src < h ? sbase + static_cast<std::size_t>(v.src) * stride : nullptr;
    for (const AreaTap& t : across) {
      const std::uint8_t* p =
          (srow != nullptr && t.src < w) ? srow + static_cast<std::size_t>(t.src) * channels : back.ch;
      const int weight = v.weight * t.weight;
      for (int ch = 0; ch < channels; ++ch) {
        sum[ch] += p[ch] * weight;
      }
    }
  }
  for (int ch = 0; ch < channels; ++ch) {
    d[ch] = static_cast<std::uint8_t>(sum[ch] / 10000);
  }
}

OpResult CheckDeformSource(const Dib* source, DibHandle* result) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  return bits == 8 || bits == 24 ? kOk : kInvalidArgument;
}

}  // namespace

OpResult CircleDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red, int green, int blue) {
  geometry::ReportStart(progress);
  if (const OpResult r = CheckDeformSource(source, result); r != kOk) {
    return r;
  }
  const int w = source->width();
  const int h = source->height();
  const int radius = std::min(w, h) / 2;
  const int n = 2 * radius;
  if (radius == 0) {  // a one-pixel side leaves no disc
    return kInvalidArgument;
  }
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, n, n, &out); r != kOk) {
    return r;
  }
  std::vector<int> chord;
  std::vector<AreaWalker> columns;
  std::vector<bool> columnStarted;
  std::vector<AreaTap> across;
  std::vector<AreaTap> down;
  try {
    chord.resize(static_cast<std::size_t>(n));
    columns.assign(static_cast<std::size_t>(n), AreaWalker(h, true));
    columnStarted.assign(static_cast<std::size_t>(n), false);
    across.reserve(64);
    down.reserve(64);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  const long long r2 = static_cast<long long>(radius) * radius;
  for (int k = 0; k < n; ++k) {
    const long long off = radius - k;
    const int c = 2 * static_cast<int>(std::sqrt(static_cast<double>(r2 - off * off)));
    chord[static_cast<std::size_t>(k)] = std::max(1, c);
  }

  const int bits = source->bitCount();
  const int channels = geometry::Channels(bits);
  const geometry::Background back = geometry::Background::Of(bits, red, green, blue, red);
  const std::uint8_t* sbase = source->row(0);
  const std::size_t stride = source->stride();
  for (int i = 0; i < n; ++i) {
    if (ProgressStep(progress, i, n)) {
      return kCancelled;
    }
    std::uint8_t* line = out->row(i);
    const int unitX = std::max(1, chord[static_cast<std::size_t>(i)] * 100 / w);
    AreaWalker row(w, true);
    const long long dy = radius - i;
    for (int j = 0; j < n; ++j) {
      std::uint8_t* d = line + static_cast<std::size_t>(j) * channels;
      const long long dx = radius - j;
      if (dx * dx + dy * dy > r2) {
        back.Put(d, channels);
        continue;
      }
      // Each row and each column starts its walk at its first pixel inside the disc.
      across.clear();
      row.Take(100, unitX, &across);
      down.clear();
      const int unitY = std::max(1, chord[static_cast<std::size_t>(j)] * 100 / h);
      columns[static_cast<std::size_t>(j)].Take(100, unitY, &down);
      Blend(sbase, stride, w, h, channels, back, across, down, d);
    }
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

OpResult PentagonDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red, int green,
                     int blue) {
  geometry::ReportStart(progress);
  if (const OpResult r = CheckDeformSource(source, result); r != kOk) {
    return r;
  }
  const int w = source->width();
  const int h = source->height();
  if (w < 5 || h < 5) {
    return kInvalidArgument;
  }
  // A regular pentagon standing on its base: half width d, circumradius, height, side
  // and the height of the two side corners.
  const int d = w < h * 343 / 330 ? w / 2 : static_cast<int>(h * 0.5257311211268731);
  const int circum = static_cast<int>(d * 1.0514622422537463);
  const int ph = circum + static_cast<int>(circum * 0.809017);
  const int side = static_cast<int>(circum * 1.1755705);
  const int shoulder = static_cast<int>(side * 0.9510565);
  const int pw = 2 * d;
  if (shoulder < 1 || ph <= shoulder) {
    return kInvalidArgument;
  }
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, pw, ph, &out); r != kOk) {
    return r;
  }
  std::vector<AreaTap> across;
  std::vector<AreaTap> down;
  try {
    across.reserve(64);
    down.reserve(64);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  const int bits = source->bitCount();
  const int channels = geometry::Channels(bits);
  const geometry::Background back = geometry::Background::Of(bits, red, green, blue, red);
  const std::uint8_t* sbase = source->row(0);
  const std::size_t stride = source->stride();
  const int baseLeft = d - side / 2;
  const int baseRight = d + side / 2;
  const float lowerSlope = static_cast<float>(baseLeft) / static_cast<float>(shoulder);
  const float upperSlope = static_cast<float>(d) / static_cast<float>(ph - shoulder);
  AreaWalker rows(h, false);
  const int unitY = std::max(1, ph * 100 / h);
  for (int y = 0; y < ph; ++y) {
    if (ProgressStep(progress, y, ph)) {
      return kCancelled;
    }
    std::uint8_t* line = out->row(y);
    for (int x = 0; x < pw; ++x) {
      back.Put(line + static_cast<std::size_t>(x) * channels, channels);
    }
    down.clear();
    rows.Take(100, unitY, &down);
    // The apex row stays background: the width is always even.
    if (y == ph - 1) {
      continue;
    }
    int left;
    int right;
    if (y < shoulder) {
      const int grow = static_cast<int>(static_cast<float>(y) * lowerSlope);
      left = baseLeft - grow;
      right = baseRight + grow;
    } else {
      left = static_cast<int>(static_cast<float>(y - shoulder) * upperSlope);
      right = pw - left;
    }
    left = std::max(left, 0);
    right = std::min(right, pw);
    if (right <= left) {
      continue;
    }
    const int unitX = std::max(1, (right - left) * 100 / w);
    AreaWalker row(w, false);
    for (int x = left; x < right; ++x) {
      across.clear();
      row.Take(100, unitX, &across);
      Blend(sbase, stride, w, h, channels, back, across, down, line + static_cast<std::size_t>(x) * channels);
    }
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
