// Borders and canvas: the source placed inside a larger image whose new pixels take
// one fill colour, placed bit-exactly for packed 1- and 4-bit rows.

#include <cstdint>
#include <cstring>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

using geometry::Px;

// The fill as a pixel value of the depth: the index (all bits of a 1-bit pixel set for
// any non-zero index), or blue | green << 8 | red << 16.
std::uint32_t FillValue(int bits, int redOrIndex, int green, int blue) {
  switch (bits) {
    case 1: return redOrIndex != 0 ? 1u : 0u;
    case 4: return static_cast<std::uint32_t>(redOrIndex) & 0x0Fu;
    case 8: return static_cast<std::uint32_t>(redOrIndex) & 0xFFu;
    default:
      return (static_cast<std::uint32_t>(blue) & 0xFFu) | ((static_cast<std::uint32_t>(green) & 0xFFu) << 8) |
             ((static_cast<std::uint32_t>(redOrIndex) & 0xFFu) << 16);
  }
}

template <int Bits>
void FillPixels(std::uint8_t* row, int from, int to, std::uint32_t value) {
  for (int x = from; x < to; ++x) {
    Px<Bits>::Set(row, x, value);
  }
}

template <int Bits>
void PlaceRow(const std::uint8_t* in, std::uint8_t* out, int left, int width) {
  if constexpr (Bits >= 8) {
    constexpr int kBytes = Bits / 8;
    std::memcpy(out + static_cast<std::size_t>(left) * kBytes, in, static_cast<std::size_t>(width) * kBytes);
  } else {
    for (int x = 0; x < width; ++x) {
      Px<Bits>::Set(out, left + x, Px<Bits>::Get(in, x));
    }
  }
}

}  // namespace

OpResult AddBordersDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int top, int bottom,
                       int right, int left, int redOrIndex, int green, int blue) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int w = source->width();
  const int h = source->height();
  if (top < 0 || bottom < 0 || right < 0 || left < 0 || top > kMaxDibSide || bottom > kMaxDibSide ||
      right > kMaxDibSide || left > kMaxDibSide) {
    return kInvalidArgument;
  }
  const int wn = w + left + right;
  const int hn = h + top + bottom;
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, wn, hn, &out); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  const std::uint32_t fill = FillValue(bits, redOrIndex, green, blue);
  const std::size_t stride = out->stride();
  const OpResult r = geometry::WithDepth(bits, [&](auto depth) -> OpResult {
    constexpr int kBits = decltype(depth)::value;
    // One row filled across the full width; padding bits stay clear.
    std::uint8_t* topRow = out->row(hn - 1);
    FillPixels<kBits>(topRow, 0, wn, fill);
    for (int y = hn - top; y < hn - 1; ++y) {
      std::memcpy(out->row(y), topRow, stride);
    }
    if (ProgressStep(progress, 25, 100)) {
      return kCancelled;
    }
    for (int y = h - 1; y >= 0; --y) {
      std::uint8_t* line = out->row(bottom + y);
      FillPixels<kBits>(line, 0, left, fill);
      PlaceRow<kBits>(source->row(y), line, left, w);
      FillPixels<kBits>(line, left + w, wn, fill);
    }
    if (ProgressStep(progress, 75, 100)) {
      return kCancelled;
    }
    if (bottom > 0) {
      std::uint8_t* lowRow = out->row(0);
      FillPixels<kBits>(lowRow, 0, wn, fill);
      for (int y = 1; y < bottom; ++y) {
        std::memcpy(out->row(y), lowRow, stride);
      }
    }
    return kOk;
  });
  if (r != kOk) {
    return r;
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
