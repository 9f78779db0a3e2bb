#pragma once

// The editor's preview picture: where it comes from, how it is fitted to the preview
// frame and reduced for the screen, and the QImage that is finally painted. Everything
// here runs on a worker thread; the image work is the core's (ReadImageFile,
// ResampleDIB, ResizeDIB, StandardPaletteDIB), never the widget's.

#include <memory>
#include <string>

#include <QImage>

#include "common/Profile.h"
#include "fileio/ReadImage.h"
#include "imaging/Dib.h"

namespace km::gui {

// The working preview image is shared read-only between the window and the workers
// that run commands on it; a command's result replaces it as a whole.
using SharedDib = std::shared_ptr<const Dib>;

// The built-in 276 x 187 picture.
inline constexpr int kBuiltInPreviewWidth = 276;
inline constexpr int kBuiltInPreviewHeight = 187;

struct PreviewSize {
  int width = 0;
  int height = 0;
};

// Fits w x h into a frame of fw x fh keeping the aspect ratio, in integers, never
// enlarging: if fw < w then nh = fw * h / w and nw = fw, else nw = w and nh = h; then if
// fh < nh, nw = fh * nw / nh and nh = fh; both at least 1.
PreviewSize FitPreview(int w, int h, int fw, int fh);

// True for the paths that select the built-in picture: empty, or "Internal Preview" in
// any case.
bool IsInternalPreview(const std::string& path);

// A fresh copy of the built-in picture.
DibHandle BuiltInPreview();

// The preview for `path`: the file read as a batch run reads it (the format library and
// the import filters of `types`), or the built-in picture for an internal path or a
// file that cannot be read.
DibHandle LoadPreviewImage(const std::string& path, const FileTypeTable& types, const InputPreferences& preferences);

// What the preview frame paints: the working image fitted into fw x fh (resampled for 24
// bits, resized otherwise, copied when it fits) and, on a screen of fewer than 24 bits
// whose depth is below the image's, reduced to the standard palette of that depth with
// ordered dither. *displayDib (when given) receives the reduced picture as a DIB. A
// null QImage means no display image could be made.
QImage BuildDisplayImage(const Dib* working, int fw, int fh, int screenDepth, DibHandle* displayDib = nullptr);

}  // namespace km::gui
