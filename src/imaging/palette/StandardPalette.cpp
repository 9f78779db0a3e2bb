// Mapping to the fixed 16- and 256-colour standard palettes: nearest colour through the
// PALX.DAT lookup table, ordered dither, or error diffusion.

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "imaging/palette/Palette.h"
#include "imaging/palette/RowEngine.h"
#include "imaging/palette/StandardTables.h"

namespace km {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads the lookup table of one depth: 800 when the file cannot be opened, 202 when it
// holds fewer than 32768 bytes at the table's offset.
OpResult ReadLookupTable(const std::string& path, int colors, std::uint8_t* table) {
  std::unique_ptr<std::FILE, FileCloser> f(path.empty() ? nullptr : std::fopen(path.c_str(), "rb"));
  if (!f) {
    return kTableCannotOpen;
  }
  const long offset = colors == 16 ? 0 : static_cast<long>(kLookupTableSize);
  if (std::fseek(f.get(), offset, SEEK_SET) != 0 ||
      std::fread(table, 1, kLookupTableSize, f.get()) != kLookupTableSize) {
    return kFileShortRead;
  }
  if (colors == 16) {
    // A damaged file must not name entries past the 16-colour table.
    for (std::size_t k = 0; k < kLookupTableSize; ++k) {
      table[k] &= 0x0F;
    }
  }
  return kOk;
}

int Ordered256(int t, int blue, int green, int red) {
  const int lr = red / 51;
  const int lg = green / 51;
  const int lb = blue / 51;
  return (lr + (t < red - 51 * lr)) + 6 * (lg + (t < green - 51 * lg)) + 36 * (lb + (t < blue - 51 * lb));
}

int Ordered16(int t, int blue, int green, int red) {
  if (red == green && green == blue) {
    const int v = red;
    if (v < 128) {
      return t / 2 < v ? 8 : 0;
    }
    if (v <= 191) {
      return ((t / 4) | 0x80) < v ? 7 : 8;
    }
    return v < ((t / 4) | 0xC0) ? 7 : 15;
  }
  const int index = (t < red) + 2 * (t < green) + 4 * (t < blue);
  return index + ((red > 128 || green > 128 || blue > 128) ? 8 : 0);
}

}  // namespace

OpResult StandardPaletteDIB(ProgressWindow progress, const Dib* source, DibHandle* out, int bits,
                            int method, bool reduceBleed, const std::string& tablePath) {
  if (PrepareOp(source, out) != kOk || (bits != 4 && bits != 8) || source->bitCount() < 4 ||
      method < 0 || method > 2) {
    return kInvalidArgument;
  }
  const int colors = 1 << bits;
  std::vector<std::uint8_t> lookup;
  if (method != 1) {
    try {
      lookup.resize(kLookupTableSize);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    const OpResult rc = ReadLookupTable(tablePath, colors, lookup.data());
    if (rc != kOk) {
      return rc;
    }
  }
  if (progress != nullptr) {
    progress->report(0);
  }
  DibHandle result;
  OpResult rc = palette_detail::NewImage(source->width(), source->height(), bits, colors, nullptr, &result);
  if (rc != kOk) {
    return rc;
  }
  const RgbQuad* output = colors == 16 ? StandardPalette16() : StandardPalette256();
  const RgbQuad* reference = colors == 16 ? ErrorReference16() : StandardPalette256();
  RgbQuad* table = result->colors();
  for (int i = 0; i < colors; ++i) {
    table[i] = output[i];
  }

  if (method == 1) {
    int thresholds[16][16];
    for (int x = 0; x < 16; ++x) {
      for (int y = 0; y < 16; ++y) {
        thresholds[y][x] = OrderedDitherThreshold(x, y, colors);
      }
    }
    // The row counter is the stored row number mod 16, the column counter x mod 16.
    if (colors == 16) {
      rc = palette_detail::ConvertRows(progress, *source, *result, false, false, reference,
                                       [&thresholds](int x, int r, int b, int g, int red) {
                                         return Ordered16(thresholds[r & 15][x & 15], b, g, red);
                                       });
    } else {
      rc = palette_detail::ConvertRows(progress, *source, *result, false, false, reference,
                                       [&thresholds](int x, int r, int b, int g, int red) {
                                         return Ordered256(thresholds[r & 15][x & 15], b, g, red);
                                       });
    }
  } else {
    const std::uint8_t* lut = lookup.data();
    rc = palette_detail::ConvertRows(progress, *source, *result, method == 2, reduceBleed, reference,
                                     [lut](int, int, int b, int g, int r) { return lut[ColorKey15(r, g, b)]; });
  }
  if (rc != kOk) {
    return rc;
  }
  if (progress != nullptr) {
    progress->report(100);
  }
  *out = std::move(result);
  return kOk;
}

}  // namespace km
