#pragma once

// PackBits run-length coding: a flag byte n, then n + 1 literal items (n 0..127) or one
// item repeated 1 - n times (n -127..-1); -128 is skipped. Items are bytes, or 16-bit
// words in the word variant of 16-bit Macintosh pixmaps.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace km::imgx {

// Unpacks all of `src` into `dst`; false when a run or literal would pass `cap` bytes or
// the data ends inside one. Bytes of dst beyond what src covers are left alone.
bool UnpackBits(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap);
bool UnpackBitsWords(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap);

// Appends the packed form of src[0..n) to out (byte items).
void PackBits(const std::uint8_t* src, std::size_t n, std::vector<std::uint8_t>* out);

}  // namespace km::imgx
