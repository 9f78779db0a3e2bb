#pragma once

// TIFF images that libtiff's RGBA interface refuses but whose samples say plainly what
// they show: grey (either polarity) and RGB of any integer size from 1 to 32 bits,
// unsigned or signed, or of 16-, 32- or 64-bit floating point, and 16-bit palette
// images; contiguous or planar, in strips or tiles. Extra samples (alpha) are dropped.
// Grey becomes an 8-bit grey image, the rest 24 bits.

#include <tiffio.h>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx {

// True when ReadTiffSamples can read the current directory.
bool TiffSamplesReadable(TIFF* tif);

// The current directory's w x h pixels (already checked against the size limits).
Code ReadTiffSamples(TIFF* tif, int w, int h, ProgressWindow progress, DibHandle* out);

}  // namespace km::imgx
