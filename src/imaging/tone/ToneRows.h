#pragma once

// Shared pieces of the tone and colour operations: the tone-table type, the greyscale
// test the pixel branches rely on, and the loops over rows and colour-table entries
// with progress and cancel.

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km::tone {

// One output value per input value.
using ToneTable = std::array<std::uint8_t, 256>;

// Parameters stored as 16-bit fields reach the operations as ints; they are cut back to
// a signed 16-bit value before any arithmetic, so an oversized value wraps as it would
// in the stored field.
inline int Short(int value) { return static_cast<std::int16_t>(value); }

inline std::uint8_t ClampByte(int v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Replaces each of n bytes by its table entry. Eight values are read before any is
// written, so the lookups do not wait on the stores through the aliasing byte pointer.
inline void MapBytes(const ToneTable& table, std::uint8_t* p, std::size_t n) {
  const std::uint8_t* t = table.data();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint8_t a0 = p[i], a1 = p[i + 1], a2 = p[i + 2], a3 = p[i + 3];
    const std::uint8_t a4 = p[i + 4], a5 = p[i + 5], a6 = p[i + 6], a7 = p[i + 7];
    p[i] = t[a0];
    p[i + 1] = t[a1];
    p[i + 2] = t[a2];
    p[i + 3] = t[a3];
    p[i + 4] = t[a4];
    p[i + 5] = t[a5];
    p[i + 6] = t[a6];
    p[i + 7] = t[a7];
  }
  for (; i < n; ++i) {
    p[i] = t[p[i]];
  }
}

// An 8-bit greyscale image whose pixel values may be rewritten as grey levels: the
// identity ramp over all 256 entries. A ramp of fewer entries is left to the colour-table
// branch, since a new pixel value could point past the end of its table.
bool HasFullGreyRamp(const Dib& dib);

// Calls f(rowPointer) for each stored row 0..height-1, after reporting
// row * 100 / height and testing cancel. False when cancelled.
template <typename F>
bool ForEachRow(ProgressWindow progress, Dib& dib, F&& f) {
  const int height = dib.height();
  std::uint8_t* row = dib.pixels();
  const std::size_t stride = dib.stride();
  for (int y = 0; y < height; ++y, row += stride) {
    if (ProgressStep(progress, y, height)) {
      return false;
    }
    f(row);
  }
  return true;
}

// Calls f(entry) for each colour-table entry, after reporting entry * 100 / entries and
// testing cancel. False when cancelled.
template <typename F>
bool ForEachColor(ProgressWindow progress, Dib& dib, F&& f) {
  const int count = dib.colorCount();
  RgbQuad* table = dib.colors();
  for (int i = 0; i < count; ++i) {
    if (ProgressStep(progress, i, count)) {
      return false;
    }
    f(table[i]);
  }
  return true;
}

// The common course of the table operations, on a source already checked: copy the
// source, then push 24-bit pixels through the per-channel tables, the pixel values of a
// greyscale image through `grey` when greyPixels is set, or else the colour-table
// entries through the per-channel tables (reserved byte set to 0).
OpResult ApplyToneTables(ProgressWindow progress, const Dib* source, DibHandle* result,
                         const ToneTable& blue, const ToneTable& green, const ToneTable& red,
                         bool greyPixels);

}  // namespace km::tone
