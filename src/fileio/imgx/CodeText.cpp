#include "fileio/imgx/CodeText.h"

#include "fileio/imgx/Codes.h"
#include "imaging/OpResult.h"

namespace km::imgx {

std::string CodeText(int code) {
  switch (code) {
    case kCancelled:
      return "The operation was cancelled by the user.";
    case kInvalidParameter:
      return "An invalid parameter was passed to a function.";
    case kNoMemory:
      return "There is not enough memory to complete the operation.";
    case kUnrecognised:
      return "The file's format is not recognized.";
    case kNoImportFilter:
      return "The import filter, or the program that runs it, is not available.";
    case kCannotOpen:
      return "The file could not be opened.";
    case kReadError:
      return "The file could not be read: it ends before its data does.";
    case kNotThisFormat:
      return "The file is not in the format its type says.";
    case kUnsupportedVariant:
      return "The file uses a compression, color depth or version that cannot be read.";
    case kTruncated:
      return "The file ends inside the image.";
    case kCorrupt:
      return "The file is damaged: its data contradicts its header.";
    case kBadDimensions:
      return "The image's width, height or color depth is invalid or too large.";
    case kCannotCreate:
      return "The output file could not be created.";
    case kWriteError:
      return "The output file could not be written.";
    case kDepthNotWritable:
      return "The image's color depth cannot be written in this format.";
    case km::kNotAPalette:
      return "The file is not a palette file, or one of its color lines is malformed.";
    case kNotPcPaint:
      return "The file is not a PC Paint picture.";
    case km::kBadPaletteCount:
      return "The palette file holds an unsupported number of colors.";
    case km::kBadPaletteVersion:
      return "The palette file's version is not supported.";
    case km::kPaletteCountMismatch:
      return "The palette's number of colors does not match the image's.";
    case km::kTableCannotOpen:
      return "The standard palette data file (PALX.DAT) could not be opened.";
    case kNoReader:
      return "There is no reader for this file type.";
    case kFilterVersion:
      return "The import filter's interface version is not supported.";
    case kFilterNoPicture:
      return "The import filter has no import function or produced no picture.";
    case kFilterReadFailed:
      return "The import filter could not read the file.";
    default:
      return {};
  }
}

}  // namespace km::imgx
