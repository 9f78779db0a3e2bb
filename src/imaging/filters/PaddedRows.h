#pragma once

// Row buffers shared by the neighbourhood filters: one stored row with `pad` extra
// pixels on each side that repeat the row's first and last pixel, so a window of
// 2 * pad + 1 pixels can be read at every column without bounds tests.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/Progress.h"

namespace km::filters {

// Copies `width` pixels of `bpp` bytes from `src` to `dst + pad * bpp` and fills the
// pad pixels on both sides with the edge pixels. dst holds (width + 2 * pad) * bpp bytes.
inline void LoadPaddedRow(const std::uint8_t* src, int width, int bpp, int pad,
                          std::uint8_t* dst) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp);
  std::uint8_t* body = dst + static_cast<std::size_t>(pad) * static_cast<std::size_t>(bpp);
  std::memcpy(body, src, rowBytes);
  std::uint8_t* last = body + rowBytes - static_cast<std::size_t>(bpp);
  for (int p = 1; p <= pad; ++p) {
    std::memcpy(body - static_cast<std::size_t>(p * bpp), body, static_cast<std::size_t>(bpp));
    std::memcpy(last + static_cast<std::size_t>(p * bpp), last, static_cast<std::size_t>(bpp));
  }
}

// A stored row index moved back inside 0..height-1: rows beyond an edge repeat it.
inline int ClampRow(int y, int height) { return y < 0 ? 0 : (y >= height ? height - 1 : y); }

// Sends a percentage without testing for cancel (the opening 0 and the closing 100).
inline void ReportOnly(ProgressWindow progress, int percent) {
  if (progress != nullptr) {
    progress->report(percent);
  }
}

inline std::uint8_t ClampByte(int v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace km::filters
