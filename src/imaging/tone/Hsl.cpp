// The integer hue/saturation/lightness model and the two operations built on it.
// Hue runs on a circle of 246 steps, six sextants of 41: red 0 (and 246), yellow 41,
// green 82, cyan 123, blue 164, magenta 205. Lightness and saturation are 0..255.

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/tone/Tone.h"
#include "imaging/tone/ToneRows.h"

namespace km {

namespace {

using tone::ClampByte;
using tone::ToneTable;

struct Hsl {
  int h = 0;
  int s = 0;
  int l = 0;
};

struct Bgr {
  std::uint8_t b = 0;
  std::uint8_t g = 0;
  std::uint8_t r = 0;
};

int Lightness(int r, int g, int b) {
  const int mx = std::max({r, g, b});
  const int mn = std::min({r, g, b});
  return (mx + mn + 1) / 2;
}

// Black (l = 0) and greys (s = 0) come out with hue 0, which does not matter for them.
Hsl ToHsl(int r, int g, int b) {
  const int mx = std::max({r, g, b});
  const int mn = std::min({r, g, b});
  Hsl out;
  out.l = (mx + mn + 1) / 2;
  if (out.l == 0 || mx == mn) {
    return out;
  }
  const int d = mx - mn;
  const int s = out.l <= 128 ? (d * 4096) / (mx + mn) : (d * 4096) / (510 - mx - mn);
  out.s = (s * 255 + 2048) >> 12;
  int h = 0;
  if (mx == r && mn == g) {
    h = 41 * (mx - b) / d - 51;
  } else if (mx == r) {
    h = 41 * (g - mx) / d + 41;
  } else if (mx == g && mn == b) {
    h = 41 * (mx - r) / d + 41;
  } else if (mx == g) {
    h = 41 * (b - mx) / d + 123;
  } else if (mx == b && mn == r) {
    h = 41 * (mx - g) / d + 123;
  } else {
    h = 41 * (r - mx) / d - 51;
  }
  out.h = h & 0xFF;
  return out;
}

// h 0..255 (246..255 fall in a seventh sextant that repeats the sixth), s and l 0..255.
Bgr FromHsl(int h, int s, int l) {
  const int m2 = l < 128 ? ((s + 255) * l + 128) / 255 : l + s - (l * s + 128) / 255;
  if (m2 <= 0) {
    return Bgr{};
  }
  const int m1 = 2 * l - m2;
  const int k = h / 41;
  const int f = h - 41 * k;
  const int dd = ((((m2 - m1) * 255) / m2) * f * m2 + 5120) / 10240;
  const std::uint8_t lo = ClampByte(m1);
  const std::uint8_t hi = ClampByte(m2);
  const std::uint8_t rise = ClampByte(m1 + dd);
  const std::uint8_t fall = ClampByte(m2 - dd);
  switch (k) {
    case 0:
      return Bgr{lo, rise, hi};
    case 1:
      return Bgr{lo, hi, fall};
    case 2:
      return Bgr{rise, hi, lo};
    case 3:
      return Bgr{hi, fall, lo};
    case 4:
      return Bgr{hi, lo, rise};
    default:
      return Bgr{fall, lo, hi};
  }
}

// Scales every value by percent, clamped to 0..limit.
ToneTable ScaleTable(int percent, int limit) {
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = static_cast<std::uint8_t>(std::clamp(i + (i * percent) / 100, 0, limit));
  }
  return t;
}

// AdjustHSL on 24-bit rows with the divisions moved into tables. Saturation and
// lightness, and so m1, m2 and the (m2 - m1) * 255 / m2 step of the reconstruction,
// depend on the largest and smallest channel alone: one entry per (max, min) pair,
// filled once per image. The hue's 41 * x / d (0 <= x <= d) comes from a shared table.
// The pixel loop is the same integer arithmetic as ToHsl and FromHsl, entry for entry.
class HslRows {
public:
  // Entries of `pairs`: m1 | m2 << 8 | (((m2 - m1) * 255 / m2) * m2) << 16.
  HslRows(const ToneTable& hueTable, const ToneTable& satTable, const ToneTable& lumTable,
          std::vector<std::uint32_t>& pairs)
      : hue_(hueTable), pairs_(pairs.data()) {
    for (int mx = 0; mx < 256; ++mx) {
      for (int mn = 0; mn <= mx; ++mn) {
        pairs[static_cast<std::size_t>(mx * 256 + mn)] = PairEntry(mx, mn, satTable, lumTable);
      }
    }
  }

  void Convert(std::uint8_t* p, int width) const {
    const std::uint8_t* steps = HueSteps().data();
    for (int x = 0; x < width; ++x, p += 3) {
      const int b = p[0];
      const int g = p[1];
      const int r = p[2];
      const int mx = std::max({r, g, b});
      const int mn = std::min({r, g, b});
      const int d = mx - mn;
      // The sextant test of ToHsl, in its order: which channel is the largest, which the
      // smallest, and so the channel `o` whose distance from the largest sets the hue.
      int sextant;
      if (mx == r) {
        sextant = mn == g ? 0 : 1;
      } else if (mx == g) {
        sextant = mn == b ? 2 : 3;
      } else {
        sextant = mn == r ? 4 : 5;
      }
      const int o = sextant % 3 == 0 ? b : (sextant % 3 == 1 ? g : r);
      const int step = steps[d * 256 + (mx - o)];
      const int h = d == 0 ? 0 : kHueBase[sextant] + ((sextant & 1) != 0 ? -step : step);
      const int hh = hue_[static_cast<std::size_t>(h & 0xFF)];
      const std::uint32_t e = pairs_[mx * 256 + mn];
      const int m1 = static_cast<int>(e & 0xFF);
      const int m2 = static_cast<int>((e >> 8) & 0xFF);
      const int k = hh / 41;
      const int f = hh - 41 * k;
      const int dd = (static_cast<int>(e >> 16) * f + 5120) / 10240;
      const std::uint8_t v[4] = {ClampByte(m1), ClampByte(m2), ClampByte(m1 + dd), ClampByte(m2 - dd)};
      const std::uint8_t* order = kOrder[k];
      p[0] = v[order[0]];
      p[1] = v[order[1]];
      p[2] = v[order[2]];
    }
  }

private:
  // Sextants in ToHsl's order: red largest with green or blue smallest, green largest
  // with blue or red smallest, blue largest with red or green smallest. Even ones add
  // the step, odd ones subtract it.
  static constexpr int kHueBase[6] = {-51, 41, 41, 123, 123, -51};
  // FromHsl's blue, green, red by sextant k, as indices into {lo, hi, rise, fall}.
  static constexpr std::uint8_t kOrder[7][3] = {{0, 2, 1}, {0, 1, 3}, {2, 1, 0}, {1, 3, 0},
                                                {1, 0, 2}, {3, 0, 1}, {3, 0, 1}};

  // 41 * x / d for 0 <= x <= d <= 255, at [d * 256 + x].
  static const std::vector<std::uint8_t>& HueSteps() {
    static const std::vector<std::uint8_t> table = [] {
      std::vector<std::uint8_t> t(256 * 256);
      for (int d = 1; d < 256; ++d) {
        for (int x = 0; x <= d; ++x) {
          t[static_cast<std::size_t>(d * 256 + x)] = static_cast<std::uint8_t>(41 * x / d);
        }
      }
      return t;
    }();
    return table;
  }

  static std::uint32_t PairEntry(int mx, int mn, const ToneTable& satTable, const ToneTable& lumTable) {
    const int l = (mx + mn + 1) / 2;
    if (l == 0) {
      return 0;  // black stays black
    }
    int s = 0;
    if (mx != mn) {
      const int d = mx - mn;
      const int raw = l <= 128 ? (d * 4096) / (mx + mn) : (d * 4096) / (510 - mx - mn);
      s = (raw * 255 + 2048) >> 12;
    }
    const int ss = satTable[static_cast<std::size_t>(s)];
    const int ll = lumTable[static_cast<std::size_t>(l)];
    const int m2 = ll < 128 ? ((ss + 255) * ll + 128) / 255 : ll + ss - (ll * ss + 128) / 255;
    if (m2 <= 0) {
      return 0;
    }
    const int m1 = 2 * ll - m2;
    const int slope = ((m2 - m1) * 255) / m2;
    return static_cast<std::uint32_t>(m1) | static_cast<std::uint32_t>(m2) << 8 |
           static_cast<std::uint32_t>(slope * m2) << 16;
  }

  const ToneTable& hue_;
  const std::uint32_t* pairs_;
};

// Copies the source and converts every 24-bit pixel, or else every colour-table entry
// (reserved byte set to 0), through convert(b, g, r) -> Bgr.
template <typename Convert>
OpResult ConvertColours(ProgressWindow progress, const Dib* source, DibHandle* result,
                        Convert&& convert) {
  DibHandle copy;
  if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
    return r;
  }
  const int width = copy->width();
  bool done = false;
  if (copy->bitCount() == 24) {
    done = tone::ForEachRow(progress, *copy, [&](std::uint8_t* p) {
      for (int x = 0; x < width; ++x, p += 3) {
        const Bgr c = convert(p[0], p[1], p[2]);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    });
  } else {
    done = tone::ForEachColor(progress, *copy, [&](RgbQuad& q) {
      const Bgr c = convert(q.rgbBlue, q.rgbGreen, q.rgbRed);
      q = RgbQuad{c.b, c.g, c.r, 0};
    });
  }
  if (!done) {
    return kCancelled;
  }
  *result = std::move(copy);
  return kOk;
}

}  // namespace

OpResult AdjustHSLDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int hue,
                      int saturation, int lightness) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  hue = tone::Short(hue);
  saturation = tone::Short(saturation);
  lightness = tone::Short(lightness);
  for (const int p : {hue, saturation, lightness}) {
    if (p < -100 || p > 100) {
      return kInvalidArgument;
    }
  }
  // The hue is scaled, not rotated, and capped at 240: red (246) comes back as 240.
  const ToneTable hueTable = ScaleTable(hue, 240);
  const ToneTable satTable = ScaleTable(saturation, 255);
  const ToneTable lumTable = ScaleTable(lightness, 255);
  if (source->bitCount() == 24) {
    std::vector<std::uint32_t> pairs;
    try {
      pairs.resize(256 * 256);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    const HslRows rows(hueTable, satTable, lumTable, pairs);
    DibHandle copy;
    if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
      return r;
    }
    const int width = copy->width();
    if (!tone::ForEachRow(progress, *copy, [&](std::uint8_t* p) { rows.Convert(p, width); })) {
      return kCancelled;
    }
    *result = std::move(copy);
    return kOk;
  }
  return ConvertColours(progress, source, result, [&](int b, int g, int r) {
    const Hsl hsl = ToHsl(r, g, b);
    if (hsl.l == 0) {
      return Bgr{};
    }
    return FromHsl(hueTable[hsl.h], satTable[hsl.s], lumTable[hsl.l]);
  });
}

OpResult ColorizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int hue,
                     int saturation) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  hue = tone::Short(hue);
  saturation = tone::Short(saturation);
  if (hue < 0 || hue > 255 || saturation < 0 || saturation > 255) {
    return kInvalidArgument;
  }
  // The new colour depends on the lightness alone.
  std::array<Bgr, 256> byLightness{};
  for (int l = 0; l < 256; ++l) {
    byLightness[l] = FromHsl(hue, saturation, l);
  }
  return ConvertColours(progress, source, result,
                        [&](int b, int g, int r) { return byLightness[Lightness(r, g, b)]; });
}

}  // namespace km
