#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileio/imgx/Codes.h"

namespace km::imgx {

// Reads a whole file into memory. kCannotOpen when it cannot be opened, kReadError when
// reading fails, kNoMemory when it does not fit in memory.
Code ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes);

// Reads at most the first `most` bytes of a file (type detection), with the same codes.
Code ReadFileHead(const std::string& path, std::size_t most, std::vector<std::uint8_t>* bytes);

// Writes bytes to path, replacing the file. kCannotCreate when the file cannot be
// created, kWriteError when writing fails; on failure no file is left behind.
Code WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace km::imgx
