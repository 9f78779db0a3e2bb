// Turning a photograph upright from its EXIF orientation with the flip, mirror and
// right-angle rotations, which move pixels exactly on every depth.

#include "fileio/PhotoMetadata.h"

#include <utility>

#include "imaging/geometry/Geometry.h"

namespace km {

namespace {

// The turns that exchange width and height exchange the two resolutions too.
OpResult SwapResolution(OpResult r, DibHandle* result) {
  if (r == kOk && *result) {
    BitmapInfoHeader h = (*result)->header();
    std::swap(h.biXPelsPerMeter, h.biYPelsPerMeter);
    (*result)->setHeader(h);
  }
  return r;
}

OpResult QuarterTurn(ProgressWindow progress, const Dib* source, bool clockwise, DibHandle* result) {
  return SwapResolution(RotateDIB(progress, source, result, 90, clockwise ? 1 : 0, 0, 0, 0), result);
}

}  // namespace

OpResult OrientDIB(ProgressWindow progress, const Dib* source, int orientation, DibHandle* result) {
  if (result != nullptr) {
    result->reset();
  }
  if (source == nullptr || result == nullptr) {
    return kInvalidArgument;
  }
  switch (orientation) {
    case 2: return MirrorDIB(progress, source, result);
    case 3: return RotateDIB(progress, source, result, 180, 1, 0, 0, 0);
    case 4: return FlipDIB(progress, source, result);
    case 6: return QuarterTurn(progress, source, true, result);
    case 8: return QuarterTurn(progress, source, false, result);
    case 5:  // transposed: a quarter turn clockwise, then mirrored
    case 7: {  // transversed: a quarter turn clockwise, then upside down
      DibHandle turned;
      if (const OpResult r = QuarterTurn(progress, source, true, &turned); r != kOk) {
        return r;
      }
      return orientation == 5 ? MirrorDIB(progress, turned.get(), result) : FlipDIB(progress, turned.get(), result);
    }
    default: return kOk;
  }
}

int OrientationAfterFlips(int orientation) {
  // The flips undone were those of orientation - 4; what remains of 5 and 7 is their
  // own transposition, of 6 and 8 the other one.
  switch (orientation) {
    case 5:
    case 7: return 5;
    case 6:
    case 8: return 7;
    default: return 1;
  }
}

}  // namespace km
