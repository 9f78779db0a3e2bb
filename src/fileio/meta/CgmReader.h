#pragma once

// Computer Graphics Metafiles in the binary encoding: the elements of version 1 and
// the common ones of versions 2 and 3 (precisions, VDC type and extent, scaling mode,
// colour selection mode and table, line, edge, fill and text attributes, clipping,
// polylines, polygons and polygon sets, rectangles, circles, ellipses, circular and
// elliptical arcs, text and cell arrays). The first picture of the metafile is read.

#include <cstddef>
#include <cstdint>

#include "fileio/imgx/Codes.h"
#include "fileio/meta/Metafile.h"

namespace km::meta {

// Parses the file into *out with its picture mapped onto (0, 0, *width, *height), the
// natural size: the VDC extent in millimetres at 96 pixels per inch under metric
// scaling, else the extent in VDC units, scaled to 1024 pixels on the longer side when
// that is below 16 or above 2048. kNotThisFormat, kUnsupportedVariant (the clear-text
// encoding, or a precision the encoding does not define), kTruncated, kCorrupt,
// kBadDimensions (an empty extent), kNoMemory.
imgx::Code ParseCgm(const std::uint8_t* data, std::size_t size, Metafile* out, int* width, int* height);

}  // namespace km::meta
