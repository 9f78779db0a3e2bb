#pragma once

// Turning a file path into an image: the type is taken from the chosen file-type
// entry, else from the extension, else from the file's contents, and the matching
// decoder of the format library reads it.

#include <cstdint>
#include <string>

#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {

// The type of `path`: entry `tableIndex` (1..entryCount) when it names one, else the
// first entry keyed by the extension, else the file's contents. The library's codes
// 100..105, 500, 502..505 and 507 count as not recognised (1000).
ImageTypeCode ResolveImageType(const FileTypeTable& table, const std::string& path, int tableIndex);

// Reads `path` into *out. tableIndex is the dialog's filter index minus one (0 = "All
// Files", -1 = none). Settings of section "Format" come from `profile`. *type gets the
// resolved type code, *transparentIndex the decoder's transparent index (-1 when none)
// and *extra (when not null) what the PNG, TGA and TIFF decoders keep for their
// encoders. Answers 0, 201 when the file cannot be opened, 103 when its type is not
// recognised, 1000 for a type without a reader, or the decoder's code; *out stays null
// on every failure.
imgx::Code ReadImageFile(ProgressWindow progress, const FileTypeTable& table, const Profile& profile,
                         DibHandle* out, const std::string& path, int tableIndex, ImageTypeCode* type,
                         std::int16_t* transparentIndex, imgx::ExtraHandle* extra);

}  // namespace km
