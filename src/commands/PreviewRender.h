#pragma once

// The live preview of a parameter dialog, without any widget: the preview picture
// scaled into the dialog's preview frame, and a command applied to that small copy
// through DoCommand, exactly as a script run would apply it.
//
// Fit rule: keep the aspect ratio; first fit the width (height = h * frameWidth / w); if
// that height is taller than the frame, fit the height instead (width = w * frameHeight
// / h). Integer division, each side at least 1. Small pictures are enlarged too.

#include "imaging/Dib.h"
#include "imaging/Progress.h"
#include "script/Script.h"

namespace km {

struct FrameSize {
  int width = 0;
  int height = 0;
};

// The preview frame of every dialog is 80 x 80 dialog units; a dialog unit is a quarter
// of the font's average character width across and an eighth of its height down. The
// picture area is the frame less 4 pixels each way.
inline constexpr int kPreviewFrameUnits = 80;
FrameSize PreviewArea(int averageCharWidth, int charHeight);

// The dialog font the templates were laid out for: 6 x 13 pixels.
inline constexpr int kClassicCharWidth = 6;
inline constexpr int kClassicCharHeight = 13;

// The size w x h takes in `frame` by the fit rule.
FrameSize FitToFrame(int width, int height, FrameSize frame);

// `source` scaled into `frame` by the fit rule: ResampleDIB for a 24-bit or 8-bit
// greyscale image, ResizeDIB otherwise. Answers the operation's code (0 on success).
int ScaleToFrame(const Dib* source, FrameSize frame, DibHandle* scaled);

// The values a preview runs with: every number field of the command's catalogue row
// clamped to its shown range (the spin range; for a field bounded by the image,
// from imageWidth / imageHeight).
CScriptCommand ClampedForPreview(const CScriptCommand& values, int imageWidth, int imageHeight);

// True when the values leave the picture as it is (brightness and contrast both 0,
// highlight / midtone / shadow 100, 50, 0, a wind of strength 0, ...), so the preview
// skips the operation.
bool LeavesPictureUnchanged(const CScriptCommand& values);

// Applies `values` (clamped first) to `scaled` through DoCommand with `progress` (which
// a preview uses only to stop a computation a newer change has made stale). On 0,
// *shown holds the new picture, fitted into `frame` again when the operation made it
// larger, or null when the picture stays as it is. Any other answer is the failed
// operation's code and *shown is null. imageWidth / imageHeight are those of the
// picture the dialog was opened on.
int RenderPreview(const Dib* scaled, const CScriptCommand& values, FrameSize frame, int imageWidth,
                  int imageHeight, ProgressWindow progress, DibHandle* shown);

}  // namespace km
