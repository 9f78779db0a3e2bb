#pragma once

// Reading metafile test files into pixels, and drawing the expected pictures.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CodecTestUtil.h"
#include "fileio/meta/Meta.h"
#include "support/PeerTools.h"

namespace km::test {

// A rendered picture as 0x00RRGGBB values, top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;
  std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
  // Pixels of colour c within the rectangle [x0, x1) x [y0, y1), and in the whole picture.
  int count(std::uint32_t c, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += at(x, y) == c;
    return n;
  }
  int count(std::uint32_t c) const { return count(c, 0, 0, width, height); }
  // Every pixel inside the rectangle is c and every pixel outside is `outside`.
  bool onlyRect(std::uint32_t c, int x0, int y0, int x1, int y1, std::uint32_t outside) const {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
        if (at(x, y) != (in ? c : outside)) return false;
      }
    return true;
  }
  std::string rows() const {
    std::string s;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t c = at(x, y);
        s += c == 0xFFFFFF ? '.' : c == 0 ? '#' : c == 0xFF0000 ? 'R' : c == 0x0000FF ? 'B' : c == 0x00FF00 ? 'G' : '?';
      }
      s += '\n';
    }
    return s;
  }
};

inline Pixels ToPixels(const Dib& dib) {
  return {dib.width(), dib.height(), RgbPixels(dib)};
}

// Writes the bytes to a file and reads them with DecodeWMF.
inline imgx::Code DecodeWmfBytes(const std::vector<std::uint8_t>& bytes, Pixels* out, int width = 100,
                                 int height = 100) {
  TempFolder dir("wmf");
  const std::string path = dir.path("t.wmf");
  WriteBytes(path, bytes);
  DibHandle dib;
  const imgx::Code c = imgx::DecodeWMF(nullptr, path, &dib, width, height, 0);
  if (c == imgx::kOk && out != nullptr) {
    *out = ToPixels(*dib);
  }
  EXPECT_EQ(c == imgx::kOk, dib != nullptr);
  return c;
}

}  // namespace km::test
