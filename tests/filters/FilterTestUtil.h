#pragma once

// Helpers for the filter tests: a progress sink that records and can cancel, and raw
// access to the pixel bytes of stored rows (row 0 the bottom one), which is how the
// filters themselves address an image.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::test {

class RecordingSink : public ProgressSink {
public:
  // Answers "cancelled" at the cancel test that follows report number cancelAt (1-based);
  // 0 never cancels.
  explicit RecordingSink(int cancelAt = 0) : cancelAt_(cancelAt) {}
  void report(int percent) override { reports.push_back(percent); }
  bool cancelled() override {
    ++tests;
    return cancelAt_ > 0 && static_cast<int>(reports.size()) >= cancelAt_;
  }
  std::vector<int> reports;
  int tests = 0;

private:
  int cancelAt_;
};

inline int BytesPerPixel(const Dib& d) { return d.bitCount() / 8; }

// Byte b of the pixels of stored row y (b counts across the row: x * bpp + channel).
inline std::uint8_t ByteAt(const Dib& d, int y, int b) { return d.row(y)[b]; }
inline void SetByte(Dib& d, int y, int b, std::uint8_t v) { d.row(y)[b] = v; }

// Fills every pixel byte with values drawn uniformly from lo..hi.
inline void FillBand(Dib& d, std::uint32_t seed, int lo, int hi) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(lo, hi);
  const int n = d.width() * BytesPerPixel(d);
  for (int y = 0; y < d.height(); ++y) {
    for (int b = 0; b < n; ++b) {
      SetByte(d, y, b, static_cast<std::uint8_t>(dist(rng)));
    }
  }
}

// Fills every pixel byte with one value.
inline void FillBytes(Dib& d, std::uint8_t v) { FillBand(d, 0, v, v); }

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace km::test
