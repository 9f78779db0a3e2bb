#pragma once

// Windows metafiles, placeable (with the 22-byte header that gives the picture's
// bounds and units per inch) and plain. Parsing plays the records through a model of
// the drawing context (mapping, objects, saved states, clip) and leaves a display list
// in picture units: for a placeable file the units of its bounds, for a plain one the
// logical units of the first window it sets.

#include <cstddef>
#include <cstdint>

#include "fileio/imgx/Codes.h"
#include "fileio/meta/Metafile.h"

namespace km::meta {

struct WmfHeader {
  bool placeable = false;
  Rect bounds;            // placeable: the header's bounds; plain: the first window, if any
  bool hasWindow = false; // plain: whether a window origin or extent was found
  int unitsPerInch = 0;   // placeable only
};

// Saved states deeper than this make the file corrupt.
inline constexpr int kMaxSavedStates = 1024;

// Reads the headers only. kNotThisFormat for a file that is not a metafile.
imgx::Code ReadWmfHeader(const std::uint8_t* data, std::size_t size, WmfHeader* header);

// Parses the whole file into *out. kNotThisFormat, kTruncated (a record runs past the
// end of the file), kCorrupt (a record too short for what it says it holds, or saved
// states nested too deep), kNoMemory.
imgx::Code ParseWmf(const std::uint8_t* data, std::size_t size, Metafile* out, WmfHeader* header);

}  // namespace km::meta
