// The per-channel tone operations: brightness, contrast, solarize, gamma,
// highlight/midtone/shadow, posterize and red/green/blue balance. Each builds a
// 256-entry table and hands it to ApplyToneTables.

#include <cmath>

#include "imaging/tone/Tone.h"
#include "imaging/tone/ToneRows.h"

namespace km {

namespace {

using tone::ClampByte;
using tone::ToneTable;

ToneTable BrightnessTable(int v) {
  const int d = v * 255 / 100;
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = ClampByte(i + d);
  }
  return t;
}

// The slope is a single-precision step; the running sum is kept in double, which is
// what makes entry 255 of the -100 table come out as 129.
ToneTable ContrastTable(int v) {
  v = v < -100 ? -100 : (v > 100 ? 100 : v);
  ToneTable t{};
  if (v >= 0) {
    const int k = v * 127 / 100;
    const int h = 255 - k;
    const float step = 255.0f / static_cast<float>(h - k);
    double s = 0.0;
    for (int i = 0; i <= k; ++i) {
      t[i] = 0;
    }
    for (int i = k + 1; i < h; ++i) {
      t[i] = ClampByte(static_cast<int>(s));
      s += step;
    }
    for (int i = h; i < 256; ++i) {
      t[i] = 255;
    }
  } else {
    const int m = -v * 127 / 100;
    const float step = static_cast<float>(255 - 2 * m) * 0.003921569f;
    double s = m + 1.0;
    for (int i = 0; i < 256; ++i) {
      t[i] = ClampByte(static_cast<int>(s));
      s += step;
    }
  }
  return t;
}

ToneTable SolarizeTable(int threshold) {
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = static_cast<std::uint8_t>(i <= threshold ? i : 255 - i);
  }
  return t;
}

// 255^(1 - e) * i^e + 0.5, truncated, low byte kept. For a tiny gamma the first factor
// underflows to 0 while the second overflows; the product is then taken in the
// equivalent form 255 * (i / 255)^e.
ToneTable GammaTable(float gamma) {
  const double e = 1.0 / static_cast<double>(gamma);
  const double k = std::pow(255.0, 1.0 - e);
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    double v = k * std::pow(static_cast<double>(i), e);
    if (!std::isfinite(v)) {
      v = 255.0 * std::pow(i / 255.0, e);
    }
    t[i] = static_cast<std::uint8_t>(static_cast<long long>(v + 0.5) & 0xFF);
  }
  return t;
}

ToneTable HighlightMidtoneShadowTable(int highlight, int midtone, int shadow) {
  ToneTable t{};
  const int h = highlight * 255 / 100;
  t[0] = 0;
  for (int i = 1; i < 256; ++i) {
    t[i] = static_cast<std::uint8_t>(i < h ? (i * 256) / h : 255);
  }
  for (int i = 1; i < 255; ++i) {
    if (t[i] > 96 && t[i] < 160) {
      t[i] = ClampByte(t[i] + midtone - 50);
    }
  }
  // A shadow level above 255 sends every entry to 0 before the division is reached.
  const int s = shadow * 255 / 100;
  for (int i = 1; i < 255; ++i) {
    t[i] = static_cast<std::uint8_t>(t[i] < s ? 0 : ((t[i] - s) * 256) / (256 - s));
  }
  return t;
}

ToneTable PosterizeTable(int bits) {
  const int mask = (0xFF << (8 - bits)) & 0xFF;
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    const int x = i & mask;
    int out = x;
    int y = x;
    for (int shift = bits; shift < 8; shift += bits) {
      y >>= bits;
      out += y;
    }
    t[i] = static_cast<std::uint8_t>(out);
  }
  return t;
}

ToneTable PercentTable(int percent) {
  ToneTable t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = ClampByte(i + (i * percent) / 100);
  }
  return t;
}

OpResult ApplyOneTable(ProgressWindow progress, const Dib* source, DibHandle* result,
                       const ToneTable& table) {
  return tone::ApplyToneTables(progress, source, result, table, table, table,
                               tone::HasFullGreyRamp(*source));
}

}  // namespace

OpResult ToneCurveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int value,
                      ToneCurveKind kind) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  value = tone::Short(value);
  ToneTable table{};
  switch (kind) {
    case ToneCurveKind::Brightness:
      table = BrightnessTable(value);
      break;
    case ToneCurveKind::Contrast:
      table = ContrastTable(value);
      break;
    case ToneCurveKind::Solarize:
      table = SolarizeTable(value);
      break;
    default:
      return kInvalidArgument;
  }
  return ApplyOneTable(progress, source, result, table);
}

OpResult GammaDIB(ProgressWindow progress, const Dib* source, DibHandle* result, float gamma) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  // Refuses negative values, -0 and NaN along with everything below the floor.
  if (!(gamma >= 0.0001f)) {
    return kInvalidArgument;
  }
  return ApplyOneTable(progress, source, result, GammaTable(gamma));
}

OpResult HighlightMidtoneShadowDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                                   int highlight, int midtone, int shadow) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const ToneTable table =
      HighlightMidtoneShadowTable(tone::Short(highlight), tone::Short(midtone), tone::Short(shadow));
  return ApplyOneTable(progress, source, result, table);
}

OpResult PosterizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int bits) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  // Zero bits would never leave the table loop; more than 8 has no meaning for a byte.
  bits = tone::Short(bits);
  if (bits < 1 || bits > 8) {
    return kInvalidArgument;
  }
  return ApplyOneTable(progress, source, result, PosterizeTable(bits));
}

OpResult AdjustRGBDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red,
                      int green, int blue) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  red = tone::Short(red);
  green = tone::Short(green);
  blue = tone::Short(blue);
  for (const int p : {red, green, blue}) {
    if (p < -100 || p > 100) {
      return kInvalidArgument;
    }
  }
  // No greyscale branch: a greyscale image gets its colour table changed.
  return tone::ApplyToneTables(progress, source, result, PercentTable(blue), PercentTable(green),
                               PercentTable(red), false);
}

}  // namespace km
