#pragma once

// Parsers that take a path read the fuzz input from an in-memory file.

#include <cstddef>
#include <cstdint>
#include <string>

namespace km::fuzz {

// Rewrites the in-memory file number `slot` (0..3) with `size` bytes and answers a
// path that opens it. Aborts when the system refuses.
std::string WriteMemoryFile(int slot, const std::uint8_t* data, std::size_t size);

}  // namespace km::fuzz
