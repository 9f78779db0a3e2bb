#pragma once

// Helpers shared by the palette operations: reading rows of any depth through a colour
// table, packing indices, and making result images. Not part of the public interface.

#include <cstdint>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"

namespace km::palette_detail {

// The image's colour table widened to 256 entries. Pixel indices past the image's own
// table read black, so a stray index never reads outside the table.
void LoadFullTable(const Dib& dib, RgbQuad* table256);

// Unpacks a 1-, 4- or 8-bit row to one index byte per pixel: 1-bit pixels most
// significant bit first, 4-bit pixels high nibble first. Exactly width pixels are read.
void UnpackIndices(const std::uint8_t* row, int width, int bits, std::uint8_t* indices);

// Stored row y of a 1-, 4-, 8- or 24-bit image as blue, green, red triples. indexScratch
// holds width bytes (used for indexed images).
void RowToBgr(const Dib& dib, const RgbQuad* table256, int y, std::uint8_t* indexScratch,
              std::uint8_t* bgr);

// Packs one index per pixel into a 4- or 8-bit row (4 bits: high nibble first, an odd
// last pixel leaves the low nibble 0), or into a 1-bit row, most significant bit first.
void PackIndices(const std::uint8_t* indices, int width, int bits, std::uint8_t* row);

// A new zero-filled image with a 40-byte header, biClrUsed = biClrImportant = clrUsed.
// When resolutionFrom is given its resolution fields are kept. 101 or 102 as
// Dib::Create.
OpResult NewImage(int width, int height, int bits, int clrUsed, const Dib* resolutionFrom,
                  DibHandle* out);

inline constexpr std::uint8_t Clamp255(int v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A 5-bit channel value widened back to 8 bits.
inline constexpr int Widen5(int v) { return (v << 3) | (v >> 2); }

}  // namespace km::palette_detail
