#pragma once

// PackBits (ByteRun1) run-length coding: a flag byte n, then n + 1 literal items
// (n 0..127) or one item repeated 1 - n times (n -127..-1); -128 is skipped. Items are
// bytes, or 16-bit words in the word variant of 16-bit Macintosh pixmaps.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fileio/imgx/ByteIO.h"

namespace km::imgx {

enum class RunResult { kOk, kTruncated, kOverrun };

// Fills exactly `size` bytes of out from the reader, which is left after the last run
// used. A run that would pass `size` is an overrun; running out of input is truncation.
RunResult UnpackBits(ByteReader& in, std::uint8_t* out, std::size_t size);

// Unpacks everything the reader holds (one row's counted data) into at most `size`
// bytes of out, in items of `item` bytes (1 or 2). A run that would pass `size` is an
// overrun, data ending inside a run truncation; bytes of out beyond what the data
// covers are left alone.
RunResult UnpackAllBits(ByteReader& in, std::uint8_t* out, std::size_t size, std::size_t item);

// Appends the packed form of src[0..n) to out (byte items).
void PackBits(const std::uint8_t* src, std::size_t n, std::vector<std::uint8_t>* out);

}  // namespace km::imgx
