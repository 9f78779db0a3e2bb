#pragma once

// Helpers shared by the tone and colour operation tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/Progress.h"
#include "support/DibTestUtil.h"

namespace km {

// Exact comparison and printing of table entries, found by argument lookup.
inline bool operator==(const RgbQuad& a, const RgbQuad& b) {
  return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
         a.rgbReserved == b.rgbReserved;
}

inline void PrintTo(const RgbQuad& q, std::ostream* os) {
  *os << "(b" << int{q.rgbBlue} << " g" << int{q.rgbGreen} << " r" << int{q.rgbRed} << " x"
      << int{q.rgbReserved} << ")";
}

}  // namespace km

namespace km::test {

// An operation with its parameters bound.
using ToneOp = std::function<OpResult(ProgressWindow, const Dib*, DibHandle*)>;

// Records every report; answers cancel once `cancelAfter` reports have arrived
// (never when it is negative).
class RecordingSink : public ProgressSink {
public:
  explicit RecordingSink(int cancelAfter = -1) : cancelAfter_(cancelAfter) {}
  void report(int percent) override { reports.push_back(percent); }
  bool cancelled() override {
    return cancelAfter_ >= 0 && static_cast<int>(reports.size()) >= cancelAfter_;
  }
  std::vector<int> reports;

private:
  int cancelAfter_;
};

inline RgbQuad Bgr(int b, int g, int r, int reserved = 0) {
  return RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r),
                 static_cast<std::uint8_t>(reserved)};
}

// A palette image whose table is exactly `entries` (biClrUsed = entries.size()).
inline DibHandle MakePalette(int width, int height, int bits, const std::vector<RgbQuad>& entries) {
  DibHandle dib = MakeDib(width, height, bits, static_cast<int>(entries.size()));
  if (dib) {
    std::copy(entries.begin(), entries.end(), dib->colors());
  }
  return dib;
}

inline std::vector<std::uint8_t> Bytes(const Dib& dib) {
  return std::vector<std::uint8_t>(dib.data(), dib.data() + dib.size());
}

inline std::vector<std::uint8_t> PixelBytes(const Dib& dib) {
  return std::vector<std::uint8_t>(dib.pixels(), dib.data() + dib.size());
}

inline std::vector<RgbQuad> Table(const Dib& dib) {
  return std::vector<RgbQuad>(dib.colors(), dib.colors() + dib.colorCount());
}

// Runs op without progress and expects success; the source must come back untouched.
inline DibHandle RunOk(const ToneOp& op, const Dib& source) {
  const std::vector<std::uint8_t> before = Bytes(source);
  DibHandle out;
  EXPECT_EQ(op(nullptr, &source, &out), kOk);
  EXPECT_EQ(Bytes(source), before) << "source changed";
  EXPECT_NE(out, nullptr);
  return out;
}

// 24-bit colour of pixel (x, y) as (b, g, r).
inline RgbQuad PixelBgr(const Dib& dib, int x, int y) {
  const std::uint32_t v = GetPixel(dib, x, y);
  return Bgr(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

inline void SetBgr(Dib& dib, int x, int y, int b, int g, int r) {
  SetPixel(dib, x, y, (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b));
}

}  // namespace km::test
