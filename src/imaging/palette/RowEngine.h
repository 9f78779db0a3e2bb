#pragma once

// The row engine shared by MapDIBToPalette and StandardPaletteDIB: rows from the top of
// the picture down, pixels left to right, each source row unpacked to blue, green, red,
// each output row packed to 4 or 8 bits; optionally with error diffusion.
//
// Error diffusion: four share tables indexed by the channel error e (-255..255), two
// error rows of width * 3 + 6 16-bit values (three spare values either side), and a
// right carry that starts at 0 on every row.

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"
#include "imaging/palette/PaletteInternal.h"

namespace km::palette_detail {

// The shares of one channel error e, every division truncating toward zero:
// br = (e + 8) / 16, d = e - br, bl = (2d + 5) / 10, b = (5(d - bl) + 6) / 12,
// r = d - bl - b. e = 16 gives r 7, bl 3, b 5, br 1.
struct Shares {
  int right;
  int belowLeft;
  int below;
  int belowRight;
};
constexpr Shares ErrorShares(int e) {
  const int br = (e + 8) / 16;
  const int d = e - br;
  const int bl = (2 * d + 5) / 10;
  const int b = (5 * (d - bl) + 6) / 12;
  return Shares{d - bl - b, bl, b, br};
}

struct ShareTables {
  std::array<std::int8_t, 511> right{};
  std::array<std::int8_t, 511> belowLeft{};
  std::array<std::int8_t, 511> below{};
  std::array<std::int8_t, 511> belowRight{};
  ShareTables() {
    for (int e = -255; e <= 255; ++e) {
      const Shares s = ErrorShares(e);
      const auto i = static_cast<std::size_t>(e + 255);
      right[i] = static_cast<std::int8_t>(s.right);
      belowLeft[i] = static_cast<std::int8_t>(s.belowLeft);
      below[i] = static_cast<std::int8_t>(s.below);
      belowRight[i] = static_cast<std::int8_t>(s.belowRight);
    }
  }
};

// The incoming error with bleed reduction: floor(e * 3 / 4).
constexpr int ReduceBleed(int e) { return (e * 3) >> 2; }

// Converts every row of source into result (same size, 4 or 8 bits). choose(x,
// storedRow, blue, green, red) answers the output index of a pixel. With diffuse, the
// error against reference[index] is spread as described above. When progress is given,
// (height - r) * 100 / height is reported before stored row r and a cancel answers 100.
template <class Choose>
OpResult ConvertRows(ProgressWindow progress, const Dib& source, Dib& result, bool diffuse,
                     bool reduceBleed, const RgbQuad* reference, Choose&& choose) {
  const int width = source.width();
  const int height = source.height();
  const int bits = result.bitCount();
  const std::size_t errWidth = static_cast<std::size_t>(width) * 3 + 6;
  std::vector<std::uint8_t> bgr;
  std::vector<std::uint8_t> scratch;
  std::vector<std::uint8_t> indices;
  std::vector<std::int16_t> current;
  std::vector<std::int16_t> next;
  RgbQuad table[256];
  try {
    bgr.resize(static_cast<std::size_t>(width) * 3);
    scratch.resize(static_cast<std::size_t>(width));
    indices.resize(static_cast<std::size_t>(width));
    if (diffuse) {
      current.assign(errWidth, 0);
      next.assign(errWidth, 0);
    }
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  LoadFullTable(source, table);
  static const ShareTables shares;
  const std::int8_t* shareRight = shares.right.data() + 255;
  const std::int8_t* shareBelowLeft = shares.belowLeft.data() + 255;
  const std::int8_t* shareBelow = shares.below.data() + 255;
  const std::int8_t* shareBelowRight = shares.belowRight.data() + 255;

  for (int r = height - 1; r >= 0; --r) {
    if (ProgressStep(progress, height - r, height)) {
      return kCancelled;
    }
    RowToBgr(source, table, r, scratch.data(), bgr.data());
    const std::uint8_t* px = bgr.data();
    if (!diffuse) {
      for (int x = 0; x < width; ++x, px += 3) {
        indices[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(choose(x, r, px[0], px[1], px[2]));
      }
    } else {
      current.swap(next);
      // The next row's values are each assigned (the share below-right) before they are
      // added to, except the first pixel's and the spare ones in front of it.
      for (int c = 0; c < 6; ++c) {
        next[static_cast<std::size_t>(c)] = 0;
      }
      int carry[3] = {0, 0, 0};
      std::int16_t* cur = current.data() + 3;
      std::int16_t* nxt = next.data() + 3;
      for (int x = 0; x < width; ++x, px += 3, cur += 3, nxt += 3) {
        int v[3];
        for (int c = 0; c < 3; ++c) {
          int incoming = cur[c] + carry[c];
          if (reduceBleed) {
            incoming = ReduceBleed(incoming);
          }
          v[c] = Clamp255(px[c] + incoming);
        }
        const int index = choose(x, r, v[0], v[1], v[2]);
        indices[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(index);
        const RgbQuad& ref = reference[index];
        const int e[3] = {v[0] - ref.rgbBlue, v[1] - ref.rgbGreen, v[2] - ref.rgbRed};
        for (int c = 0; c < 3; ++c) {
          carry[c] = shareRight[e[c]];
          nxt[c - 3] = static_cast<std::int16_t>(nxt[c - 3] + shareBelowLeft[e[c]]);
          nxt[c] = static_cast<std::int16_t>(nxt[c] + shareBelow[e[c]]);
          nxt[c + 3] = shareBelowRight[e[c]];
        }
      }
    }
    PackIndices(indices.data(), width, bits, result.row(r));
  }
  return kOk;
}

}  // namespace km::palette_detail
