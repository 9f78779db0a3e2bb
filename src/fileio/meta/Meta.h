#pragma once

// The format library's metafile calls. Windows metafiles are read into a picture
// directly; CGM and Lotus 1-2-3 graph files are read into a metafile that MetaToDIB
// renders at the size the caller asks for. A returned metafile belongs to the caller.
// Codes as in Codes.h; a failed call leaves *out null, and a null out pointer answers
// kInvalidParameter (101).

#include <memory>
#include <string>

#include "fileio/imgx/Codes.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/meta/Metafile.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {
struct LogPalette;
}

namespace km::imgx {

using MetafileHandle = std::unique_ptr<meta::Metafile>;

// Renders above this many pixels are refused with kBadDimensions.
inline constexpr long long kMaxRenderPixels = 1LL << 26;

// A Windows metafile as a picture. A placeable file is rendered at its bounds at 96
// pixels per inch; a plain one at width x height, or, when either is 0, at the size of
// its window (at most 2048 pixels a side), or 100 x 100 when it sets none. The prompt
// flag asks for a size dialog, which a batch library does not show; it is accepted
// and ignored.
Code DecodeWMF(ProgressWindow progress, const std::string& path, DibHandle* out, int width, int height,
               int prompt);

// A Windows metafile held in memory (what an import filter hands over) as a metafile
// for MetaToDIB, with its frame in its own logical units.
Code LoadWMF(const std::uint8_t* data, std::size_t size, MetafileHandle* out);

// CGM (binary encoding) and Lotus 1-2-3 graph files. *width and *height get the natural
// pixel size; the metafile's frame is (0, 0, *width, *height).
Code DecodeCGM(ProgressWindow progress, const std::string& path, MetafileHandle* out, int* width, int* height);
Code DecodeLPIC(ProgressWindow progress, const std::string& path, MetafileHandle* out, int* width, int* height);

// Their shared body: reads the whole file and parses it with `parse` into a new
// display list, leaving *out empty on any failure.
using MetafileParser = Code (*)(const std::uint8_t* data, std::size_t size, meta::Metafile* out, int* width,
                                int* height);
Code DecodeMetafileWith(MetafileParser parse, ProgressWindow progress, const std::string& path,
                        MetafileHandle* out, int* width, int* height);

// Renders the rectangle (left, top, right, bottom) of the metafile's picture units onto
// width x height pixels. bits 1, 4 or 8: a palette image of that depth when the
// rendered picture has no more colours than fit, else 24 bits; other values: 24 bits.
Code MetaToDIB(ProgressWindow progress, const meta::Metafile* metafile, DibHandle* out, int bits, int left,
               int top, int right, int bottom, int width, int height, int prompt);

// A placeable metafile holding the image as one stretched-bitmap record at 96 units per
// inch, preceded by the logical palette (selected and realised).
Code EncodeWMF(ProgressWindow progress, const std::string& path, const Dib* dib, const LogPalette* palette);

}  // namespace km::imgx
