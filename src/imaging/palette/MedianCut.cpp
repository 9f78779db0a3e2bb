// Median cut over the distinct 15-bit colours of a histogram. Boxes are split on the
// channel with the largest range, at the point where two cursors walking in from both
// ends meet with balanced pixel weights; each box yields the plain average of its
// distinct colours.

#include <algorithm>
#include <new>
#include <vector>

#include "imaging/palette/Gathering.h"
#include "imaging/palette/PaletteInternal.h"

namespace km::palette_detail {

namespace {

constexpr int Red5(int key) { return (key >> 10) & 31; }
constexpr int Green5(int key) { return (key >> 5) & 31; }
constexpr int Blue5(int key) { return key & 31; }

RgbQuad WidenedColor(int key) {
  return RgbQuad{static_cast<std::uint8_t>(Widen5(Blue5(key))), static_cast<std::uint8_t>(Widen5(Green5(key))),
                 static_cast<std::uint8_t>(Widen5(Red5(key))), 0};
}

// Sort orders: red axis by red, green, blue; green by green, blue, red; blue by blue,
// red, green.
std::uint16_t AxisOrder(int key, int axis) {
  const int r = Red5(key);
  const int g = Green5(key);
  const int b = Blue5(key);
  switch (axis) {
    case 0: return static_cast<std::uint16_t>(key);
    case 1: return static_cast<std::uint16_t>((g << 10) | (b << 5) | r);
    default: return static_cast<std::uint16_t>((b << 10) | (r << 5) | g);
  }
}

void WriteAverage(const MedianEntry* entries, int n, RgbQuad* out) {
  long long sr = 0;
  long long sg = 0;
  long long sb = 0;
  for (int i = 0; i < n; ++i) {
    sr += Widen5(Red5(entries[i].key));
    sg += Widen5(Green5(entries[i].key));
    sb += Widen5(Blue5(entries[i].key));
  }
  *out = RgbQuad{static_cast<std::uint8_t>(sb / n), static_cast<std::uint8_t>(sg / n),
                 static_cast<std::uint8_t>(sr / n), 0};
}

}  // namespace

void MedianCutSplit(MedianEntry* entries, int n, int first, int colors, RgbQuad* palette) {
  while (colors > 1) {
    if (n == colors) {
      for (int i = 0; i < n; ++i) {
        palette[first + i] = WidenedColor(entries[i].key);
      }
      return;
    }
    int lo[3] = {31, 31, 31};
    int hi[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
      const int c[3] = {Red5(entries[i].key), Green5(entries[i].key), Blue5(entries[i].key)};
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], c[k]);
        hi[k] = std::max(hi[k], c[k]);
      }
    }
    const int range[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    const int axis = (range[0] >= range[1] && range[0] >= range[2]) ? 0 : (range[1] >= range[2] ? 1 : 2);
    for (int i = 0; i < n; ++i) {
      entries[i].order = AxisOrder(entries[i].key, axis);
    }
    std::sort(entries, entries + n,
              [](const MedianEntry& a, const MedianEntry& b) { return a.order < b.order; });

    const int half = colors / 2;
    int left = 0;
    std::uint64_t w = entries[0].count;
    while (left < half - 1) {
      w += entries[++left].count;
    }
    int right = n - 1;
    std::uint64_t u = entries[n - 1].count;
    while (right > n - half) {
      u += entries[--right].count;
    }
    const int jump = (right - left) / 8;
    for (int j = 0; j < jump; ++j) {
      w += entries[++left].count;
      u += entries[--right].count;
    }
    while (right > left) {
      if (w < u) {
        w += entries[++left].count;
      } else {
        u += entries[--right].count;
      }
    }
    const int m = left;
    int a = 0;
    int budget = 0;
    if (u < w) {
      a = m + 1;
      budget = colors - half;
    } else {
      a = m;
      budget = half;
    }
    a = std::clamp(a, 1, n - 1);
    int c = std::min(a, budget);
    while (colors - c > n - a) {
      ++c;
    }
    MedianCutSplit(entries, a, first, c, palette);
    entries += a;
    n -= a;
    first += c;
    colors -= c;
  }
  if (colors == 1) {
    WriteAverage(entries, n, &palette[first]);
  }
}

int MedianCutFinish(const std::uint32_t* histogram, int requested, RgbQuad* palette) {
  std::vector<MedianEntry> entries;
  try {
    entries.reserve(4096);
    for (int key = 0; key < 32768; ++key) {
      if (histogram[key] > 0) {
        entries.push_back(MedianEntry{histogram[key], static_cast<std::uint16_t>(key), 0});
      }
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const int d = static_cast<int>(entries.size());
  if (d <= requested) {
    for (int i = 0; i < d; ++i) {
      palette[i] = WidenedColor(entries[static_cast<std::size_t>(i)].key);
    }
    for (int i = d; i < requested; ++i) {
      palette[i] = RgbQuad{};
    }
    return d;
  }
  MedianCutSplit(entries.data(), d, 0, requested, palette);
  return requested;
}

}  // namespace km::palette_detail
