#pragma once

// Lotus 1-2-3 graph files (.pic, for PrintGraph): a 17-byte header whose last two
// big-endian words are the plot's width and height less one (3199 and 2310 in the
// files 1-2-3 writes), then one-byte opcodes with big-endian arguments, coordinates
// from the lower-left corner:
//   A0 x y    move          A2 x y    draw a line to
//   3n c p..  filled polygon of c + 1 points
//   A7 f      font (0, 1)   AC w h    character size
//   A8 d s 0  text: d's high nibble the direction in quarter turns, its low nibble the
//             place of the point (0 centre, 1 left end, 2 above the text, 3 right end,
//             4 below the text); s the characters
//   Bn        colour n      6n        end of the picture

#include <cstddef>
#include <cstdint>

#include "fileio/imgx/Codes.h"
#include "fileio/meta/Metafile.h"

namespace km::meta {

// Parses the file into *out with its plot mapped onto (0, 0, *width, *height): the plot
// size, scaled to 1024 pixels on the longer side when that is above 2048.
// kNotThisFormat, kTruncated (the data ends before the end opcode), kCorrupt (an
// unknown opcode), kBadDimensions, kNoMemory.
imgx::Code ParseLotusPic(const std::uint8_t* data, std::size_t size, Metafile* out, int* width, int* height);

}  // namespace km::meta
