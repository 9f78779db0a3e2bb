#pragma once

// Shared bits of the codec tests: a temporary folder per test, writing raw bytes, and
// palette images with distinct colours.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/DibTestUtil.h"

namespace km::test {

class TempFolder {
public:
  explicit TempFolder(const std::string& tag) : dir_(MakeTempDir(tag)) {}
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
  std::string dir_;
};

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An image of the given depth with random pixels and, below 24 bits, a full table of
// distinct colours (entry i differs from every other entry).
inline DibHandle MakePatterned(int width, int height, int bits, std::uint32_t seed) {
  DibHandle dib = MakeDib(width, height, bits, bits <= 8 ? (1 << bits) : 0);
  if (!dib) {
    return dib;
  }
  for (int i = 0; i < dib->colorCount(); ++i) {
    dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 7 + 3), static_cast<std::uint8_t>(255 - i),
                               static_cast<std::uint8_t>(i * 13 + 1), 0};
  }
  FillRandom(*dib, seed);
  return dib;
}

}  // namespace km::test
