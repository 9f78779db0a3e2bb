#pragma once

// The preview that a binary EPS file carries: the image as a small baseline TIFF
// (uncompressed, one strip; palette images with their colour map, 24-bit images as
// RGB), built in memory.

#include <cstdint>
#include <vector>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"

namespace km::imgx {

Code BuildTiffPreview(const Dib& dib, std::vector<std::uint8_t>* out);

}  // namespace km::imgx
