#pragma once

// Small builders and readers for test images: exact pixels in, exact pixels out.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Dib.h"

namespace km::test {

// A zero-filled image; fails the current test when it cannot be made.
DibHandle MakeDib(int width, int height, int bits, int clrUsed = 0);

// An 8-bit image with the identity grey table (entry i = grey i).
DibHandle MakeGrey(int width, int height, std::uint8_t fill = 0);

// A 24-bit image filled with one colour.
DibHandle MakeRgb(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);

// Pixel access by picture coordinates, y = 0 the top row (stored last).
// For 1/4/8-bit images the value is the index; for 24 bits it is 0x00RRGGBB.
std::uint32_t GetPixel(const Dib& dib, int x, int y);
void SetPixel(Dib& dib, int x, int y, std::uint32_t value);

// Deterministic pseudo-random pixels (indices below the table size, or any colour).
void FillRandom(Dib& dib, std::uint32_t seed);

// True when both images have the same size, depth, table and pixel values (padding
// bytes ignored).
bool SamePixels(const Dib& a, const Dib& b, std::string* why = nullptr);

// A fresh empty folder under the system temporary folder, removed by the caller.
std::string MakeTempDir(const std::string& tag);

}  // namespace km::test
