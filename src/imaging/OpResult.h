#pragma once

#include <cstdint>

namespace km {

// The 32-bit result of an image operation. Its low 16 bits are 0 on success, else a
// code; nothing is thrown across operations.
using OpResult = std::uint32_t;

inline constexpr OpResult kOk = 0;
inline constexpr OpResult kCancelled = 100;      // the user asked to stop; partial work freed
inline constexpr OpResult kInvalidArgument = 101;  // bad argument or unsupported bit depth
inline constexpr OpResult kOutOfMemory = 102;

// Palette files, the standard palettes' table file and the palette converters.
inline constexpr OpResult kFileCannotOpen = 201;
inline constexpr OpResult kFileShortRead = 202;
inline constexpr OpResult kNotAPalette = 312;
inline constexpr OpResult kBadPaletteCount = 528;
inline constexpr OpResult kBadPaletteVersion = 529;
inline constexpr OpResult kPaletteCountMismatch = 601;
inline constexpr OpResult kTableCannotOpen = 800;

// The code a caller reports for an operation's result.
inline constexpr int LowCode(OpResult r) { return static_cast<int>(r & 0xFFFFu); }

}  // namespace km
