#pragma once

// The one place where a script command and its stored parameters become a call of an
// image operation.
//
// DoCommand applies command `index` of `script` to `source` and answers:
// - 0 with a new image in *result: the caller replaces its image by the new one;
// - 0 with *result null: the command leaves the image as it is (544, a depth command
//   whose target depth the image already has, two colours on a 1-bit image, 521 and 522
//   asking for an optimised palette with ordered dither);
// - a negative code of the dispatcher (-5000 bad index or argument, -5001 unknown code,
//   -5002 an image that cannot be used, -5003 canvas smaller than the image, -5004 the
//   command needs a true colour or greyscale image, -5020 a palette for a 2-colour
//   image), or the low 16 bits of a failed operation's result. *result is then null.
// The source is never changed or freed; temporary images are freed on every path.

#include <array>
#include <cstdint>

#include "imaging/Dib.h"
#include "imaging/Progress.h"
#include "script/Script.h"

namespace km {

inline constexpr int kErrBadArgument = -5000;
inline constexpr int kErrNotImplemented = -5001;
inline constexpr int kErrBadImage = -5002;
inline constexpr int kErrCanvasTooSmall = -5003;
inline constexpr int kErrNeedsTrueColor = -5004;
inline constexpr int kErrTwoColorPalette = -5020;

// palette and paletteCount serve command 519 only: the optimum palette the caller
// gathered (256 entries of room) and its generated colour count.
int DoCommand(const CScript& script, int index, const Dib* source, DibHandle* result,
              ProgressWindow progress, const RgbQuad* palette, int paletteCount);

// The borders command 510 adds to centre (centre = true) or anchor an image of
// width x height on a canvas of canvasWidth x canvasHeight. False when the canvas is
// smaller than the image in either direction.
struct CanvasBorders {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};
bool CanvasBordersFor(int width, int height, int canvasWidth, int canvasHeight, bool centre,
                      CanvasBorders* borders);

// The fixed sizes of the size choices 0..4 of command 501.
struct ResizePreset {
  int width;
  int height;
};
inline constexpr std::array<ResizePreset, 5> kResizePresets = {
    {{320, 200}, {640, 350}, {640, 480}, {800, 600}, {1024, 768}}};

// The target size of command 501 for a source of width x height, or false for a size
// choice outside 0..7.
bool ResizeTarget(const CScriptCommand& command, int width, int height, int* targetWidth,
                  int* targetHeight);

}  // namespace km
