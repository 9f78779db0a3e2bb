#pragma once

// Operations that move, scale and reshape pixels.
//
// Shared contract: every operation takes (progress, source, result, ...), never changes
// the source, clears *result first and fills it only on success. Results: 0 success,
// 100 cancelled (everything freed), 101 invalid argument or unsupported depth, 102 out
// of memory. With a null progress nothing is reported and cancel is never tested.
//
// Colour arguments are bytes: red (or, for images below 24 bits, a colour-table index
// or an 8-bit grey level, as stated per operation), green, blue.

#include <cstdint>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km {

// ---- Scaling ------------------------------------------------------------------------

// Area-averaging box resampler for 24-bit and 8-bit greyscale images. width and height
// are taken as unsigned 16-bit values. The 8-bit result carries the identity grey table.
// Refuses (101) other depths, a size of 0 and magnification above 512 times.
OpResult ResampleDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int width,
                     int height);

// Nearest-neighbour scaling for 1-, 4-, 8- and 24-bit images, keeping the colour
// table. 101 for a width or height of 0 or less.
OpResult ResizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, std::int16_t width,
                   std::int16_t height);

// ---- Orientation, borders ------------------------------------------------------------

// Upside down; every depth.
OpResult FlipDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// Left to right; every depth.
OpResult MirrorDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// Rotation by `angle` degrees, clockwise when `clockwise` is 1, anticlockwise when 0.
// 90, 180 and 270 are exact on every depth; other angles (8-bit greyscale and 24-bit
// only) interpolate bilinearly and fill uncovered corners with the background: blue,
// green, red for 24 bits, `blue` as the grey level for 8 bits. For the right angles the
// colour arguments are not used.
OpResult RotateDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int angle, int clockwise,
                   int redOrIndex, int green, int blue);

// Adds borders of the given widths (0..32767 each, the result at most 32767 a side)
// filled with the colour: blue, green, red for 24 bits, the index `redOrIndex` below.
OpResult AddBordersDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int top, int bottom,
                       int right, int left, int redOrIndex, int green, int blue);

// ---- Deformations (8-bit greyscale and 24-bit images) ----------------------------------
// The background colour is `red` as the grey level for 8 bits.

enum class PerspectiveAxis { kHorizontal, kVertical };

// Trapezoid: horizontal narrows toward the right edge (flag 1) or the left (flag 0);
// vertical toward the bottom row (flag 1) or the top (flag 0). magnitude 3..100.
OpResult PerspectiveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, PerspectiveAxis axis,
                        int flag, int magnitude, int red, int green, int blue);

// Cylinder, pinch and punch: factors 1..200, 100 leaving that axis unchanged.
OpResult WarpDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int horizontal,
                 int vertical);

// The image squeezed into the largest centred disc of the smaller side.
OpResult CircleDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red, int green,
                   int blue);

// The image squeezed into a regular pentagon standing on its base.
OpResult PentagonDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red, int green,
                     int blue);

// Horizontal skew by `horizontal` degrees, or, when that is 0, vertical by `vertical`.
OpResult SkewDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int horizontal,
                 int vertical, int red, int green, int blue);

// Smears each row along the wind, strength 0..20, blowing from the right when
// fromRight is 1.
OpResult WindDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int strength,
                 int fromRight);

// Averages `intensity` samples along the direction `angle` degrees (0 vertical, 90
// horizontal).
OpResult MotionBlurDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int intensity,
                       std::int16_t angle);

}  // namespace km
