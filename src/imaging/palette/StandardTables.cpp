#include "imaging/palette/StandardTables.h"

#include <array>

namespace km {

namespace {

constexpr RgbQuad Rgb(int r, int g, int b) {
  return RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

constexpr std::array<RgbQuad, 16> kStandard16 = {
    Rgb(0, 0, 0),     Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
    Rgb(0, 0, 128),   Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(255, 0, 0), Rgb(0, 255, 0),   Rgb(255, 255, 0),
    Rgb(0, 0, 255),   Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255),
};

constexpr std::array<RgbQuad, 16> kReference16 = {
    Rgb(0, 0, 0),       Rgb(170, 0, 0),    Rgb(0, 170, 0),    Rgb(170, 170, 0),
    Rgb(0, 0, 170),     Rgb(170, 0, 170),  Rgb(0, 170, 170),  Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(255, 53, 53),  Rgb(53, 255, 53),  Rgb(255, 255, 53),
    Rgb(53, 53, 255),   Rgb(255, 53, 255), Rgb(53, 255, 255), Rgb(255, 255, 255),
};

constexpr std::array<RgbQuad, 256> MakeCube() {
  std::array<RgbQuad, 256> t{};
  for (int i = 0; i < 216; ++i) {
    t[static_cast<std::size_t>(i)] = Rgb(51 * (i % 6), 51 * ((i / 6) % 6), 51 * (i / 36));
  }
  return t;
}

constexpr std::array<RgbQuad, 256> kStandard256 = MakeCube();

}  // namespace

const RgbQuad* StandardPalette16() { return kStandard16.data(); }
const RgbQuad* ErrorReference16() { return kReference16.data(); }
const RgbQuad* StandardPalette256() { return kStandard256.data(); }

void BuildStandardLookup(int colors, std::uint8_t* table) {
  const RgbQuad* palette = colors == 16 ? StandardPalette16() : StandardPalette256();
  const int n = colors == 16 ? 16 : 256;
  for (int key = 0; key < static_cast<int>(kLookupTableSize); ++key) {
    const int r5 = (key >> 10) & 31;
    const int g5 = (key >> 5) & 31;
    const int b5 = key & 31;
    const int r = (r5 << 3) | (r5 >> 2);
    const int g = (g5 << 3) | (g5 >> 2);
    const int b = (b5 << 3) | (b5 >> 2);
    int best = 0;
    int bestDistance = -1;
    for (int i = 0; i < n; ++i) {
      const int dr = palette[i].rgbRed - r;
      const int dg = palette[i].rgbGreen - g;
      const int db = palette[i].rgbBlue - b;
      const int d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    table[key] = static_cast<std::uint8_t>(best);
  }
}

}  // namespace km

namespace km {

int OrderedDitherThreshold(int x, int y, int colors) {
  static constexpr int kB[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  x &= 15;
  y &= 15;
  const double k = colors == 16 ? 15.875 : 3.125;
  const int m = 16 * kB[x % 4][y % 4] + kB[x / 4][y / 4];
  // Both factors are exact in binary, so the rounding below is exact too.
  return static_cast<int>(m * k / 16 + 0.5);
}

}  // namespace km
