#pragma once

// What the shipped import filters hand over: a plain Windows metafile that draws one
// picture with a single StretchDIBits record (24 bits, bottom-up rows), its window the
// picture's pixels, and its bounds at 96 units per inch, so one unit is one pixel.

#include <cstdint>

#include "kilnmark/ImportFilter.h"

namespace km::filterkit {

// Result codes a filter answers with.
inline constexpr int kOk = 0;
inline constexpr int kNoMemory = 102;
inline constexpr int kCannotOpen = 201;
inline constexpr int kTooLarge = 304;
inline constexpr int kCannotRead = 5301;

// Pictures above this many pixels, or wider or taller than 32767, are refused (304).
inline constexpr long long kMaxPixels = 1LL << 26;

// Fills `picture` from width x height BGRA pixels (rows `stride` bytes apart, top row
// first), laid over white by their alpha; premultiplied says whether the colour is
// already multiplied by it. 0, kNoMemory or kTooLarge.
int MakeBitmapMetafile(const std::uint8_t* bgra, int width, int height, long stride, bool premultiplied,
                       KmPictInfo* picture);

// The file's path from the file record.
inline const char* ImportPath(const KmImportFile* file) { return file->fullName; }

}  // namespace km::filterkit
