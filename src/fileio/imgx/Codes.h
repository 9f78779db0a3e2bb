#pragma once

#include <cstdint>

// Result codes of the format library. 0 is success; every other code has a text in the
// library's text table (commands/LibraryText) so it reaches the user as a message.
namespace km::imgx {

using Code = std::uint16_t;

inline constexpr Code kOk = 0;
inline constexpr Code kCancelled = 100;          // the user asked to stop
inline constexpr Code kNoMemory = 102;
inline constexpr Code kUnrecognised = 103;       // the file's type is not known
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

}  // namespace km::imgx
