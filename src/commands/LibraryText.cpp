#include "commands/LibraryText.h"

#include "fileio/imgx/Codes.h"

namespace km {

std::string LibraryErrorText(int code) {
  switch (code) {
    case imgx::kCancelled:  // 100
      return "The operation was cancelled by the user.";
    case 101:
      return "An invalid parameter was passed to a function.";
    case imgx::kNoMemory:  // 102
      return "There is not enough memory to complete the operation.";
    case imgx::kUnrecognised:  // 103
      return "The file's format is not recognized.";
    case 104:
      return "The import filter, or the program that runs it, is not available.";
    case imgx::kCannotOpen:  // 201
      return "The file could not be opened.";
    case imgx::kReadError:  // 202
      return "The file could not be read: it ends before its data does.";
    case imgx::kNotThisFormat:  // 300
      return "The file is not in the format its type says.";
    case imgx::kUnsupportedVariant:  // 301
      return "The file uses a compression, color depth or version that cannot be read.";
    case imgx::kTruncated:  // 302
      return "The file ends inside the image.";
    case imgx::kCorrupt:  // 303
      return "The file is damaged: its data contradicts its header.";
    case imgx::kBadDimensions:  // 304
      return "The image's width, height or color depth is invalid or too large.";
    case imgx::kCannotCreate:  // 305
      return "The output file could not be created.";
    case imgx::kWriteError:  // 306
      return "The output file could not be written.";
    case imgx::kDepthNotWritable:  // 307
      return "The image's color depth cannot be written in this format.";
    case 312:
      return "The file is not a palette file, or one of its color lines is malformed.";
    case imgx::kNotPcPaint:  // 315
      return "The file is not a PC Paint picture.";
    case 528:
      return "The palette file holds an unsupported number of colors.";
    case 529:
      return "The palette file's version is not supported.";
    case 601:
      return "The palette's number of colors does not match the image's.";
    case 800:
      return "The standard palette data file (PALX.DAT) could not be opened.";
    case imgx::kNoReader:  // 1000
      return "There is no reader for this file type.";
    case 5201:
      return "The import filter's interface version is not supported.";
    case 5202:
      return "The import filter has no import function or produced no picture.";
    case 5301:
      return "The import filter could not read the file.";
    default:
      return {};
  }
}

}  // namespace km
