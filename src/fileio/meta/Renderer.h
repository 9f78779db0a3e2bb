#pragma once

// Plays a display list onto pixels with Cairo, antialiasing off, so that edges fall on
// whole pixels as the metafile's own drawing system put them. Fills take the pixels
// whose centres lie inside; one-pixel lines light the pixels they pass through.

#include <cstdint>
#include <vector>

#include "fileio/imgx/Codes.h"
#include "fileio/meta/Metafile.h"
#include "imaging/Progress.h"

namespace km::meta {

// Pixels as 0xXXRRGGBB words (the top byte means nothing), top row first, `width`
// words a row.
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Renders `picture` with the rectangle `frame` of picture space stretched onto
// width x height pixels. kOk, kCancelled (the user asked to stop, between items),
// kNoMemory, or kBadDimensions for a size outside 1..32767 or an empty frame.
imgx::Code RenderMetafile(ProgressWindow progress, const Metafile& picture, const Rect& frame, int width,
                          int height, Raster* out);

}  // namespace km::meta
