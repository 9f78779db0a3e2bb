#pragma once

// The fixed colour tables of the standard-palette converter and the lookup file
// (PALX.DAT) built from them. This file and StandardTables.cpp need nothing but the
// inline parts of Dib.h, so the build-time generator compiles them on its own.

#include <cstddef>
#include <cstdint>

#include "imaging/Dib.h"

namespace km {

// PALX.DAT: two tables of 32768 bytes, 16 colours first, then 256; byte k is the
// palette index for ColorKey15 k.
inline constexpr std::size_t kLookupTableSize = 32768;
inline constexpr std::size_t kLookupFileSize = 2 * kLookupTableSize;
inline constexpr char kLookupFileName[] = "PALX.DAT";

// The 16-colour output palette (the Windows 16-colour palette).
const RgbQuad* StandardPalette16();
// The colours the 16-colour error diffusion measures its error against: 170 where the
// output palette has 128 in entries 1 to 6, 53 where it has 0 in entries 9 to 14.
const RgbQuad* ErrorReference16();
// The 256-colour palette: a 6x6x6 cube (entry i: red 51 * (i % 6), green
// 51 * (i / 6 % 6), blue 51 * (i / 36)), then 40 black entries.
const RgbQuad* StandardPalette256();

// Fills one lookup table: for each ColorKey15, its channels widened to 8 bits, the
// nearest entry of the standard palette of that size (squared distance, first smallest
// wins). colors is 16 or 256; table has kLookupTableSize bytes.
void BuildStandardLookup(int colors, std::uint8_t* table);

}  // namespace km

namespace km {

// The ordered-dither threshold for column counter x and row counter y (0..15):
// floor((16 * B[x % 4][y % 4] + B[x / 4][y / 4]) * K / 16 + 0.5) with the 4x4 matrix B,
// K = 3.125 for 256 colours (0..50) and 15.875 for 16 colours (0..253).
int OrderedDitherThreshold(int x, int y, int colors);

}  // namespace km
