#pragma once

// Tone and colour operations: per-channel tone tables, the hue/lightness/saturation
// model, greyscale, histogram equalize and stretch, and the negative image.
//
// The shared contract of every function here:
// - The source is never changed or freed. On success (0) *result holds a new image the
//   caller owns; on every failure *result is null and nothing stays allocated.
// - 101: a missing or invalid source or result pointer, or a parameter out of range.
//   102: memory ran out. 100: the progress window answered cancel; the work is freed.
// - With a progress window, progress is reported and cancel tested before each pixel
//   row (row * 100 / height), or before each colour-table entry when only the table
//   changes (entry * 100 / entries). A null progress window reports nothing and is
//   never asked.
// - 24-bit images have their pixels changed. 8-bit greyscale images (IsDIBGreyScaled)
//   have their pixel values changed by the table operations, histogram operations and
//   InvertDIB, so they stay greyscale. Every other image (1, 4 and 8 bits with colours)
//   keeps its pixel indices; only its biClrUsed colour-table entries change, and their
//   reserved byte is set to 0.
// - Parameters documented as 16-bit values are taken as int and cut to a signed 16-bit
//   value on entry, as the stored script fields are.

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km {

enum class ToneCurveKind {
  Brightness,  // value -100..100: every channel moves by value * 255 / 100
  Contrast,    // value clamped to -100..100: 100 thresholds at 128, -100 flattens to grey
  Solarize,    // value is the threshold t: i <= t stays, above it becomes 255 - i
};

// One tone table built from value and kind, applied to every channel.
OpResult ToneCurveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int value,
                      ToneCurveKind kind);

// Gamma correction: 255 * (i / 255)^(1 / gamma), rounded. Gamma below 0.0001 (and any
// negative or NaN value) is refused with 101.
OpResult GammaDIB(ProgressWindow progress, const Dib* source, DibHandle* result, float gamma);

// Highlight, midtone and shadow percentages; 100, 50, 0 is the identity.
OpResult HighlightMidtoneShadowDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                                   int highlight, int midtone, int shadow);

// Keeps the top `bits` bits of every channel and repeats them downwards, so the top of
// every band is 255. A bit count outside 1..8 is refused with 101.
OpResult PosterizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int bits);

// Each channel x becomes x + x * percent / 100, clamped. Each percentage -100..100, else
// 101. Greyscale images are treated as palette images: only their table changes.
OpResult AdjustRGBDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int red,
                      int green, int blue);

// Scales hue, saturation and lightness of every pixel or table entry by the given
// percentages (each -100..100, else 101). The scaled hue is capped at 240.
OpResult AdjustHSLDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int hue,
                      int saturation, int lightness);

// Gives every pixel or table entry the hue and saturation (each 0..255 in model units,
// else 101) and keeps its lightness.
OpResult ColorizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int hue,
                     int saturation);

// 24 bits: a new 8-bit image with the identity grey table and the luma of every pixel.
// Other depths: a copy whose colour-table entries are greyed; the indices stay.
OpResult GreyscaleDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// Remaps the luma so that a value's new brightness is the share of pixels at or below
// it; hue and colour differences are kept.
OpResult EqualizeDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// Stretches the luma so the darkest value present becomes 0 and the brightest about 255.
OpResult StretchHistogramDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// The negative image: 24-bit pixels and greyscale pixel values become 255 - value; the
// colour table of palette images is inverted and their indices stay.
OpResult InvertDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

}  // namespace km
