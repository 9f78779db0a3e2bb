// The format library's 1-bit ordered dither. A pixel's value (grey, red, green or blue)
// becomes white when it reaches the threshold 16 * B + 8 of the 4x4 Bayer matrix B at its
// picture position (x mod 4, y mod 4 with y counted from the top row), so value 0 is
// always black, 255 always white and each step of 16 lights one more of the 16 cells.

#include <new>
#include <vector>

#include "imaging/palette/Palette.h"
#include "imaging/palette/PaletteInternal.h"

namespace km {

namespace {

constexpr int kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

constexpr int Value(int channel, int blue, int green, int red) {
  switch (channel) {
    case 0: return (30 * red + 59 * green + 11 * blue) / 100;
    case 1: return red;
    case 2: return green;
    default: return blue;
  }
}

}  // namespace

OpResult OrderedDither2(ProgressWindow progress, const Dib* source, DibHandle* out, int channel) {
  if (PrepareOp(source, out) != kOk || source->bitCount() < 4 || channel < 0 || channel > 3) {
    return kInvalidArgument;
  }
  const int width = source->width();
  const int height = source->height();
  DibHandle result;
  OpResult rc = palette_detail::NewImage(width, height, 1, 2, source, &result);
  if (rc != kOk) {
    return rc;
  }
  result->colors()[1] = RgbQuad{255, 255, 255, 0};
  RgbQuad table[256];
  palette_detail::LoadFullTable(*source, table);
  std::vector<std::uint8_t> bgr;
  std::vector<std::uint8_t> scratch;
  std::vector<std::uint8_t> bitsOut;
  try {
    bgr.resize(static_cast<std::size_t>(width) * 3);
    scratch.resize(static_cast<std::size_t>(width));
    bitsOut.resize(static_cast<std::size_t>(width));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int top = 0; top < height; ++top) {
    if (ProgressStep(progress, top, height)) {
      return kCancelled;
    }
    const int r = height - 1 - top;
    palette_detail::RowToBgr(*source, table, r, scratch.data(), bgr.data());
    const int* bayerRow = kBayer4[top & 3];
    const std::uint8_t* p = bgr.data();
    for (int x = 0; x < width; ++x, p += 3) {
      const int v = Value(channel, p[0], p[1], p[2]);
      bitsOut[static_cast<std::size_t>(x)] = v >= 16 * bayerRow[x & 3] + 8 ? 1 : 0;
    }
    palette_detail::PackIndices(bitsOut.data(), width, 1, result->row(r));
  }
  if (progress != nullptr) {
    progress->report(100);
  }
  *out = std::move(result);
  return kOk;
}

}  // namespace km
