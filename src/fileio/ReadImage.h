#pragma once

// Turning a file path into an image: the type is taken from the chosen file-type
// entry, else from the extension, else from the file's contents, and the matching
// decoder of the format library reads it, or the import filter registered for the type
// (fileio/filters/ImportFilters.h), which also reads a file of the extension it holds
// when the library fails on it and "All Files" was chosen.

#include <cstdint>
#include <string>

#include "common/Settings.h"
#include "fileio/FileTypeTable.h"
#include "fileio/PhotoMetadata.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {

// The type of `path`: entry `tableIndex` (1..entryCount) when it names one, else the
// first entry keyed by the extension, else the file's contents. The library's codes
// 100..105, 500, 502..505 and 507 count as not recognised (1000).
ImageTypeCode ResolveImageType(const FileTypeTable& table, const std::string& path, int tableIndex);

// How two kinds of input are read: Photo CD images at a chosen size, and metafiles
// without a size header at a chosen width and height. The defaults are those of the
// stored settings; fileio/IoSettings.h loads and saves them.
struct InputPreferences {
  // 0 Base/16 (128 x 192), 1 Base/4, 2 Base (512 x 768), 3 Base*4, 4 Base*16.
  int pcdLoadSize = settings::kPCDLoadSizeDefault;
  int metafileWidth = settings::kWMFWidthDefault;
  int metafileHeight = settings::kWMFHeightDefault;
  // As stored: 0 once the preferences were confirmed, when metafile readers ask for a
  // size; the batch run sets it to 1 for its files.
  int metafilePrompt = settings::kWMFPromptDefault;
  // 1: a JPEG, PNG or TIFF whose EXIF orientation is not 1 is turned upright.
  int autoOrient = settings::kAutoOrientDefault;
};

// What reading a file gives. It grows with what later features carry from the reader
// to the writer.
struct ReadResult {
  imgx::Code code = imgx::kOk;  // 0, or why there is no image
  DibHandle image;              // null on every failure
  ImageTypeCode type = kTypeNotRecognised;  // the resolved type (as far as it was resolved)
  std::int16_t transparentIndex = -1;       // the decoder's transparent index, -1 when none
  imgx::ExtraHandle extra;  // what the PNG, TGA and TIFF decoders keep for their encoders
  // A JPEG's, PNG's or TIFF's ICC profile, EXIF, XMP and IPTC; empty for other types.
  // Its orientation is that of `image`: 1 once the picture has been turned upright.
  PhotoMetadata metadata;
};

// Reads `path`. tableIndex is the dialog's filter index minus one (0 = "All Files", -1 =
// none). The code is 0, 201 when the file cannot be opened, 103 when its type is not
// recognised, 1000 for a type without a reader, or the decoder's or filter's code. A photograph
// is turned upright after decoding when preferences.autoOrient says so; when that
// cannot be done (no memory) it stays as stored and its metadata says how it lies.
ReadResult ReadImageFile(ProgressWindow progress, const FileTypeTable& table, const InputPreferences& preferences,
                         const std::string& path, int tableIndex);

}  // namespace km
