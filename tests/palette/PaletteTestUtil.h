#pragma once

// Colours written as (red, green, blue) and small image builders for the palette tests.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/Progress.h"
#include "support/DibTestUtil.h"

namespace km {

inline void PrintTo(const RgbQuad& q, std::ostream* os) {
  *os << "(" << int(q.rgbRed) << "," << int(q.rgbGreen) << "," << int(q.rgbBlue) << ")";
}

namespace test {

struct Rgb {
  int r, g, b;
};

inline bool operator==(const RgbQuad& q, const Rgb& c) {
  return q.rgbRed == c.r && q.rgbGreen == c.g && q.rgbBlue == c.b;
}

inline RgbQuad Quad(int r, int g, int b) {
  return RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

inline std::uint32_t Packed(const Rgb& c) {
  return (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | std::uint32_t(c.b);
}

// A one-row 24-bit image holding the given colours in order.
inline DibHandle Row(const std::vector<Rgb>& colors) {
  DibHandle dib = MakeDib(static_cast<int>(colors.size()), 1, 24);
  for (std::size_t x = 0; x < colors.size(); ++x) {
    SetPixel(*dib, static_cast<int>(x), 0, Packed(colors[x]));
  }
  return dib;
}

// The pixel values of picture row y (0 = top).
inline std::vector<int> PictureRow(const Dib& dib, int y) {
  std::vector<int> v;
  for (int x = 0; x < dib.width(); ++x) {
    v.push_back(static_cast<int>(GetPixel(dib, x, y)));
  }
  return v;
}

// Records what an operation reports and asks it to stop after `stopAfter` reports.
class RecordingProgress : public ProgressSink {
public:
  explicit RecordingProgress(int stopAfter = -1) : stopAfter_(stopAfter) {}
  void report(int percent) override { reports.push_back(percent); }
  bool cancelled() override { return stopAfter_ >= 0 && static_cast<int>(reports.size()) > stopAfter_; }
  std::vector<int> reports;

private:
  int stopAfter_;
};

inline std::string SafeName(std::string n) {
  for (char& ch : n) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

}  // namespace test
}  // namespace km
