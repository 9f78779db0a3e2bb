// Histogram equalize and stretch. Both measure the luma of the whole image, build one
// 256-entry table and remap the luma only, rebuilding the colour from the unchanged
// colour differences so hues are kept. Greyscale images remap their pixel values.

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/tone/Tone.h"
#include "imaging/tone/ToneRows.h"

namespace km {

namespace {

using tone::ClampByte;
using tone::ToneTable;
using Histogram = std::array<std::uint64_t, 256>;

// Luma and colour differences in fixed point with a factor of 1024. The products of
// every byte value with each coefficient are tabulated; every division by a power of
// two is an arithmetic shift, so negative values round toward minus infinity.
class LumaTransform {
public:
  LumaTransform() {
    for (int v = 0; v < 256; ++v) {
      yb_[v] = 117 * v;
      yg_[v] = 601 * v;
      yr_[v] = 306 * v;
      c512_[v] = 512 * v;
      cbg_[v] = 339 * v;
      cbr_[v] = 173 * v;
      crg_[v] = 429 * v;
      crb_[v] = 83 * v;
    }
  }

  int Luma(int b, int g, int r) const { return (yb_[b] + yg_[g] + yr_[r]) >> 10; }

  // Replaces the luma of (b, g, r) by table[luma], in place.
  void Remap(std::uint8_t& b, std::uint8_t& g, std::uint8_t& r, const ToneTable& table) const {
    const int y = table[Luma(b, g, r)];
    const int cb = (c512_[b] - cbg_[g] - cbr_[r]) >> 10;
    const int cr = (c512_[r] - crg_[g] - crb_[b]) >> 10;
    const std::uint8_t nb = ClampByte(y + ((1770 * cb) >> 10));
    const std::uint8_t ng = ClampByte(y - ((87 * cb) >> 8) - ((714 * cr) >> 10));
    const std::uint8_t nr = ClampByte(y + ((175 * cr) >> 7));
    b = nb;
    g = ng;
    r = nr;
  }

private:
  std::array<int, 256> yb_{}, yg_{}, yr_{}, c512_{}, cbg_{}, cbr_{}, crg_{}, crb_{};
};

enum class Remap { Equalize, Stretch };

// The new brightness of a value is the share of pixels at or below it. 64-bit sums keep
// this exact beyond 16,843,009 pixels, where 32 bits would overflow; below that both agree.
ToneTable EqualizeTable(const Histogram& h, std::uint64_t pixels) {
  ToneTable t{};
  std::uint64_t c = 0;
  for (int j = 0; j < 256; ++j) {
    c += h[j];
    t[j] = static_cast<std::uint8_t>((c * 255) / pixels);
  }
  return t;
}

// The darkest value present becomes 0, the brightest about 255; a single value present
// gives the table j - value. An empty histogram keeps the starting bounds 255 and 0.
ToneTable StretchTable(const Histogram& h) {
  int smallest = 255;
  int largest = 0;
  for (int j = 0; j < 256; ++j) {
    if (h[j] != 0) {
      smallest = std::min(smallest, j);
      largest = std::max(largest, j);
    }
  }
  const float scale = largest != smallest ? 255.0f / static_cast<float>(largest - smallest) : 1.0f;
  ToneTable t{};
  for (int j = 0; j < 256; ++j) {
    t[j] = ClampByte(static_cast<int>(static_cast<float>(j - smallest) * scale));
  }
  return t;
}

// The colour index of pixel x of a row at 1, 4 or 8 bits, leftmost pixel in the high bits.
int IndexAt(const std::uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

OpResult RemapLuma(ProgressWindow progress, const Dib* source, DibHandle* result, Remap kind) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  DibHandle copy;
  if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
    return r;
  }
  Dib& dib = *copy;
  const bool grey = tone::HasFullGreyRamp(dib);
  const bool trueColour = dib.bitCount() == 24;
  const LumaTransform luma;
  const int width = dib.width();
  const int height = dib.height();
  const std::size_t stride = dib.stride();

  // Pass 1: the histogram of luma (or grey level) over every pixel.
  Histogram hist{};
  if (grey || trueColour) {
    std::uint8_t* row = dib.pixels();
    for (int y = 0; y < height; ++y, row += stride) {
      if (ProgressStep(progress, y, 2LL * height)) {
        return kCancelled;
      }
      if (grey) {
        for (int x = 0; x < width; ++x) {
          ++hist[row[x]];
        }
      } else {
        for (const std::uint8_t* p = row; p < row + 3 * width; p += 3) {
          ++hist[luma.Luma(p[0], p[1], p[2])];
        }
      }
    }
  } else {
    // Each colour counts as often as a pixel uses it; an index past the end of the
    // table names no colour and is not counted.
    std::array<std::uint64_t, 256> uses{};
    const int bits = dib.bitCount();
    const std::uint8_t* row = dib.pixels();
    for (int y = 0; y < height; ++y, row += stride) {
      const bool cancel = kind == Remap::Stretch ? ProgressStep(progress, 9LL * y, 10LL * height)
                                                 : ProgressStep(progress, y, height);
      if (cancel) {
        return kCancelled;
      }
      for (int x = 0; x < width; ++x) {
        ++uses[IndexAt(row, x, bits)];
      }
    }
    const RgbQuad* colors = dib.colors();
    for (int i = 0; i < dib.colorCount(); ++i) {
      hist[luma.Luma(colors[i].rgbBlue, colors[i].rgbGreen, colors[i].rgbRed)] += uses[i];
    }
  }

  const ToneTable table = kind == Remap::Equalize
                              ? EqualizeTable(hist, static_cast<std::uint64_t>(width) * height)
                              : StretchTable(hist);

  // Pass 2: apply the table.
  if (grey || trueColour) {
    std::uint8_t* row = dib.pixels();
    for (int y = 0; y < height; ++y, row += stride) {
      if (ProgressStep(progress, static_cast<long long>(height) + y, 2LL * height)) {
        return kCancelled;
      }
      if (grey) {
        tone::MapBytes(table, row, width);
      } else {
        for (std::uint8_t* p = row; p < row + 3 * width; p += 3) {
          luma.Remap(p[0], p[1], p[2], table);
        }
      }
    }
  } else {
    RgbQuad* colors = dib.colors();
    for (int i = 0; i < dib.colorCount(); ++i) {
      luma.Remap(colors[i].rgbBlue, colors[i].rgbGreen, colors[i].rgbRed, table);
      colors[i].rgbReserved = 0;
    }
    if (kind == Remap::Stretch && ProgressStep(progress, 1, 1)) {
      return kCancelled;
    }
  }
  *result = std::move(copy);
  return kOk;
}

}  // namespace

OpResult EqualizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  return RemapLuma(progress, source, result, Remap::Equalize);
}

OpResult StretchHistogramDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  return RemapLuma(progress, source, result, Remap::Stretch);
}

}  // namespace km
