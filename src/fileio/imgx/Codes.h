#pragma once

#include <cstdint>

// Result codes of the format library. 0 is success; every other code has a text in the
// library's text table (CodeText.h) so it reaches the user as a message.
namespace km::imgx {

using Code = std::uint16_t;

inline constexpr Code kOk = 0;
inline constexpr Code kCancelled = 100;          // the user asked to stop
inline constexpr Code kInvalidParameter = 101;   // a missing argument or out pointer, or a broken image
inline constexpr Code kNoMemory = 102;
inline constexpr Code kUnrecognised = 103;       // the file's type is not known
inline constexpr Code kNoImportFilter = 104;     // the import filter, or its host program, is missing
inline constexpr Code kCannotOpen = 201;         // the file cannot be opened for reading
inline constexpr Code kReadError = 202;          // the file ended before the data did
inline constexpr Code kNotThisFormat = 300;      // the signature or header is not this format's
inline constexpr Code kUnsupportedVariant = 301; // a compression, depth or version not handled
inline constexpr Code kTruncated = 302;          // the file ends inside the image
inline constexpr Code kCorrupt = 303;            // runs, offsets or indices that contradict the header
inline constexpr Code kBadDimensions = 304;      // zero, negative or oversized width, height or depth
inline constexpr Code kCannotCreate = 305;       // the output file cannot be created
inline constexpr Code kWriteError = 306;         // writing the output file failed
inline constexpr Code kDepthNotWritable = 307;   // the encoder cannot write this bit depth
inline constexpr Code kNotPcPaint = 315;         // DecodePIC: not a PC Paint picture
inline constexpr Code kNoReader = 1000;          // a type without a reader

// Import filters (a filter library's answers).
inline constexpr Code kFilterVersion = 5201;     // the filter's interface version is not supported
inline constexpr Code kFilterNoPicture = 5202;   // no import function, or no picture produced
inline constexpr Code kFilterReadFailed = 5301;  // the filter could not read the file

}  // namespace km::imgx
