#pragma once

// The preview that a binary EPS file carries: the image as an uncompressed TIFF at
// 72 dpi, made by the TIFF encoder through a temporary file.

#include <cstdint>
#include <vector>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"

namespace km::imgx {

// grey: write an 8-bit greyscale image as grey levels rather than as a palette.
Code BuildTiffPreview(const Dib& dib, bool grey, std::vector<std::uint8_t>* out);

}  // namespace km::imgx
