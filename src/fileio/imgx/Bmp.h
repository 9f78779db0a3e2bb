#pragma once

// The BMP codec's reader for a packed DIB (info header, colour table, pixels, with no
// file header in front), for containers that hold one, such as the clipboard file.

#include <cstddef>
#include <cstdint>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx {

// Decodes the packed DIB in data[0..size) exactly as a BMP file holding it would be.
Code DecodePackedDib(const std::uint8_t* data, std::size_t size, ProgressWindow progress, DibHandle* out);

// The width, height and stored bits per pixel its header gives.
Code PackedDibSize(const std::uint8_t* data, std::size_t size, int* width, int* height, int* bits);

}  // namespace km::imgx
