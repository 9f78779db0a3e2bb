#pragma once

// Colour tables of the PC display adapters that old paint formats refer to by number
// instead of storing: the CGA sets, the 16 EGA/VGA text colours, the 64-colour EGA
// encoding and the 6-bit VGA DAC.

#include <cstdint>

#include "imaging/Dib.h"

namespace km::imgx {

// A 6-bit VGA DAC level widened to 8 bits (63 -> 255).
inline std::uint8_t Vga6To8(std::uint8_t v) {
  v &= 0x3F;
  return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

// An EGA colour byte (bits 0-2 the 2/3 blue, green, red; bits 3-5 the 1/3 ones).
RgbQuad EgaColour(std::uint8_t ega);

// The CGA four-colour set: entry 0 the background (one of the 16 colours), entries 1-3
// the palette (0: green, red, brown; otherwise cyan, magenta, white).
void CgaPalette(std::uint8_t background, std::uint8_t palette, RgbQuad* table);

// What a picture of `storedBits` bits shows without a palette: black and white for 1
// bit, CGA cyan-magenta-white for 2, the 16 colours for 4, a grey ramp for 8. Fills
// `count` entries (entries beyond the default set are black).
void DefaultPcPalette(int storedBits, RgbQuad* table, int count);

}  // namespace km::imgx
