// Two colours: a black-and-white image thresholded on grey, red, green or blue values,
// optionally through a fixed weighting curve, by plain threshold or one of three
// error-diffusion kernels.

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "imaging/palette/Palette.h"
#include "imaging/palette/PaletteInternal.h"
#include "imaging/palette/TwoColorsCurve.h"

namespace km {

namespace {

constexpr std::array<std::uint8_t, 256> MakeWeightCurve() {
  constexpr std::uint8_t k70[] = {32, 33, 34, 35, 35, 36, 37, 39};
  constexpr std::uint8_t k99[] = {58, 59, 60, 62};
  constexpr std::uint8_t k120[] = {80, 81, 82, 83, 85, 86, 87, 88, 89, 90, 91, 93, 94, 95, 96,
                                   97, 99, 100, 101, 102, 103, 105, 106, 107, 108, 110, 112, 114, 115};
  constexpr std::uint8_t k162[] = {143, 145, 147, 149, 152};
  constexpr std::uint8_t k167[] = {154, 156, 159, 161, 164, 166, 169, 171, 174, 176};
  constexpr std::uint8_t k177[] = {178, 179, 181, 183, 185, 186, 188, 189};
  constexpr std::uint8_t k198[] = {217, 219, 221, 224, 227, 230, 232, 235, 237, 239, 242, 245, 248, 251};
  static_assert(sizeof k70 == 8 && sizeof k99 == 4 && sizeof k120 == 29 && sizeof k162 == 5 &&
                sizeof k167 == 10 && sizeof k177 == 8 && sizeof k198 == 14);
  std::array<std::uint8_t, 256> w{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    if (v <= 38) r = 1;
    else if (v <= 69) r = v - 37;
    else if (v <= 77) r = k70[v - 70];
    else if (v <= 86) r = v - 39;
    else if (v <= 98) r = v - 40;
    else if (v <= 102) r = k99[v - 99];
    else if (v <= 119) r = v - 41;
    else if (v <= 148) r = k120[v - 120];
    else if (v <= 161) r = 116 + 2 * (v - 149);
    else if (v <= 166) r = k162[v - 162];
    else if (v <= 176) r = k167[v - 167];
    else if (v <= 184) r = k177[v - 177];
    else if (v <= 197) r = 190 + 2 * (v - 185);
    else if (v <= 211) r = k198[v - 198];
    else r = 254;
    w[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(r);
  }
  return w;
}

constexpr std::array<std::uint8_t, 256> kWeightCurve = MakeWeightCurve();

// One receiving value of an error share: at (dx) relative to x in a row buffer.
struct Tap {
  int dx;
  int row;  // 0 same row, 1 next row, 2 row after next
  int mul;
  int shift;   // >= 0: (mul * f) >> shift
  int divide;  // > 0: mul * f / divide (truncating)
};

constexpr Tap kFloyd[] = {{1, 0, 7, 4, 0}, {-1, 1, 3, 4, 0}, {0, 1, 5, 4, 0}, {1, 1, 1, 4, 0}};
constexpr Tap kBurkes[] = {{1, 0, 1, 2, 0},  {2, 0, 1, 3, 0}, {-2, 1, 1, 4, 0}, {-1, 1, 1, 3, 0},
                           {0, 1, 1, 2, 0},  {1, 1, 1, 3, 0}, {2, 1, 1, 4, 0}};
constexpr Tap kStucki[] = {{1, 0, 8, -1, 42},  {2, 0, 4, -1, 42},  {-2, 1, 2, -1, 42}, {-1, 1, 4, -1, 42},
                           {0, 1, 8, -1, 42},  {1, 1, 4, -1, 42},  {2, 1, 2, -1, 42},  {-2, 2, 1, -1, 42},
                           {-1, 2, 2, -1, 42}, {0, 2, 4, -1, 42},  {1, 2, 2, -1, 42},  {2, 2, 1, -1, 42}};

constexpr int ChannelValue(int channel, int red, int green, int blue) {
  switch (channel) {
    case 0: return (30 * red + 59 * green + 11 * blue) / 100;
    case 1: return red;
    case 2: return green;
    default: return blue;
  }
}

}  // namespace

int TwoColorWeight(int v) { return kWeightCurve[static_cast<std::size_t>(v & 0xFF)]; }

OpResult ReduceTo2Colors(ProgressWindow progress, const Dib* source, DibHandle* out, int method,
                         int channel, bool weighted) {
  if (PrepareOp(source, out) != kOk || source->bitCount() < 4 || method < 0 || method > 3 || channel < 0 ||
      channel > 3) {
    return kInvalidArgument;
  }
  if (progress != nullptr) {
    progress->report(0);
  }
  const int width = source->width();
  const int height = source->height();
  const int bits = source->bitCount();
  auto curve = [weighted](int v) { return weighted ? static_cast<int>(kWeightCurve[static_cast<std::size_t>(v)]) : v; };

  // Entry values: for a 24-bit source the 256-entry grey ramp its pixels become.
  std::uint8_t entryValue[256] = {};
  int lo = 255;
  int hi = 0;
  if (bits == 24) {
    for (int j = 0; j < 256; ++j) {
      entryValue[j] = static_cast<std::uint8_t>(curve(j));
    }
    lo = entryValue[0];
    hi = entryValue[255];
  } else {
    const RgbQuad* table = source->colors();
    const int n = source->colorCount();
    for (int i = 0; i < n; ++i) {
      entryValue[i] = static_cast<std::uint8_t>(curve(ChannelValue(channel, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue)));
      lo = std::min<int>(lo, entryValue[i]);
      hi = std::max<int>(hi, entryValue[i]);
    }
    // Indices past the table read the lowest value.
    for (int i = n; i < 256; ++i) {
      entryValue[i] = static_cast<std::uint8_t>(lo);
    }
  }
  const int threshold = (lo + hi) / 2;

  DibHandle result;
  OpResult rc = palette_detail::NewImage(width, height, 1, 2, source, &result);
  if (rc != kOk) {
    return rc;
  }
  result->colors()[1] = RgbQuad{255, 255, 255, 0};

  std::vector<std::uint8_t> buffers;
  std::vector<std::uint8_t> indices;
  std::vector<std::uint8_t> bitsOut;
  try {
    buffers.resize(static_cast<std::size_t>(width) * 3);
    indices.resize(static_cast<std::size_t>(width));
    bitsOut.resize(static_cast<std::size_t>(width));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  auto loadRow = [&](int y, std::uint8_t* dst) {
    const std::uint8_t* row = source->row(y);
    if (bits == 24) {
      for (int x = 0; x < width; ++x, row += 3) {
        dst[x] = entryValue[ChannelValue(channel, row[2], row[1], row[0])];
      }
    } else {
      palette_detail::UnpackIndices(row, width, bits, indices.data());
      for (int x = 0; x < width; ++x) {
        dst[x] = entryValue[indices[static_cast<std::size_t>(x)]];
      }
    }
  };
  std::uint8_t* current = buffers.data();
  std::uint8_t* next = current + width;
  std::uint8_t* after = next + width;
  loadRow(height - 1, next);
  if (height > 1) {
    loadRow(height - 2, after);
  }

  const Tap* taps = nullptr;
  int tapCount = 0;
  switch (method) {
    case 1: taps = kFloyd; tapCount = 4; break;
    case 2: taps = kBurkes; tapCount = 7; break;
    case 3: taps = kStucki; tapCount = 12; break;
    default: break;
  }

  for (int r = height - 1; r >= 0; --r) {
    std::swap(current, next);
    std::swap(next, after);
    if (r > 1) {
      loadRow(r - 2, after);
    }
    if (ProgressStep(progress, height - r, height)) {
      return kCancelled;
    }
    std::uint8_t* rows[3] = {current, next, after};
    for (int x = 0; x < width; ++x) {
      const int v = current[x];
      int f = 0;
      if (v > threshold) {
        bitsOut[static_cast<std::size_t>(x)] = 1;
        f = v - hi;
      } else {
        bitsOut[static_cast<std::size_t>(x)] = 0;
        f = v - lo;
      }
      if (f == 0) {
        continue;
      }
      for (int t = 0; t < tapCount; ++t) {
        const Tap& tap = taps[t];
        const int tx = x + tap.dx;
        if (tx < 0 || tx >= width || r - tap.row < 0) {
          continue;
        }
        const int share = tap.divide > 0 ? tap.mul * f / tap.divide : (tap.mul * f) >> tap.shift;
        std::uint8_t& target = rows[tap.row][tx];
        target = static_cast<std::uint8_t>(std::clamp(target + share, lo, hi));
      }
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
