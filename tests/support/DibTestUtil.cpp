#include "support/DibTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

namespace km::test {

DibHandle MakeDib(int width, int height, int bits, int clrUsed) {
  DibHandle dib;
  const OpResult r = Dib::Create(width, height, bits, clrUsed, &dib);
  EXPECT_EQ(r, kOk) << width << "x" << height << "x" << bits;
  return dib;
}

DibHandle MakeGrey(int width, int height, std::uint8_t fill) {
  DibHandle dib = MakeDib(width, height, 8, 256);
  if (!dib) {
    return dib;
  }
  for (int i = 0; i < 256; ++i) {
    dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                               static_cast<std::uint8_t>(i), 0};
  }
  for (int y = 0; y < height; ++y) {
    std::fill(dib->row(y), dib->row(y) + width, fill);
  }
  return dib;
}

DibHandle MakeRgb(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  DibHandle dib = MakeDib(width, height, 24);
  if (!dib) {
    return dib;
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = dib->row(y);
    for (int x = 0; x < width; ++x) {
      p[3 * x] = b;
      p[3 * x + 1] = g;
      p[3 * x + 2] = r;
    }
  }
  return dib;
}

std::uint32_t GetPixel(const Dib& dib, int x, int y) {
  const std::uint8_t* row = dib.row(dib.height() - 1 - y);
  switch (dib.bitCount()) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4:
      return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0F);
    case 8:
      return row[x];
    default:
      return (std::uint32_t{row[3 * x + 2]} << 16) | (std::uint32_t{row[3 * x + 1]} << 8) | row[3 * x];
  }
}

void SetPixel(Dib& dib, int x, int y, std::uint32_t value) {
  std::uint8_t* row = dib.row(dib.height() - 1 - y);
  switch (dib.bitCount()) {
    case 1: {
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
      row[x / 8] = static_cast<std::uint8_t>((value & 1u) ? (row[x / 8] | mask) : (row[x / 8] & ~mask));
      break;
    }
    case 4:
      if (x % 2 == 0) {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0x0F) | ((value & 0x0F) << 4));
      } else {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0xF0) | (value & 0x0F));
      }
      break;
    case 8:
      row[x] = static_cast<std::uint8_t>(value);
      break;
    default:
      row[3 * x] = static_cast<std::uint8_t>(value);
      row[3 * x + 1] = static_cast<std::uint8_t>(value >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(value >> 16);
      break;
  }
}

void FillRandom(Dib& dib, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const int bits = dib.bitCount();
  const std::uint32_t limit = bits == 24 ? 0x1000000u : static_cast<std::uint32_t>(dib.colorCount());
  for (int y = 0; y < dib.height(); ++y) {
    for (int x = 0; x < dib.width(); ++x) {
      SetPixel(dib, x, y, limit == 0 ? 0 : rng() % limit);
    }
  }
}

bool SamePixels(const Dib& a, const Dib& b, std::string* why) {
  std::ostringstream msg;
  bool same = true;
  if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != b.bitCount()) {
    msg << "shape " << a.width() << "x" << a.height() << "x" << a.bitCount() << " vs " << b.width() << "x"
        << b.height() << "x" << b.bitCount();
    same = false;
  } else {
    const int n = a.colorCount() < b.colorCount() ? a.colorCount() : b.colorCount();
    for (int i = 0; i < n && same; ++i) {
      const RgbQuad& p = a.colors()[i];
      const RgbQuad& q = b.colors()[i];
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) {
        msg << "colour " << i << " differs";
        same = false;
      }
    }
    for (int y = 0; y < a.height() && same; ++y) {
      for (int x = 0; x < a.width() && same; ++x) {
        if (GetPixel(a, x, y) != GetPixel(b, x, y)) {
          msg << "pixel (" << x << "," << y << ") " << std::hex << GetPixel(a, x, y) << " vs " << GetPixel(b, x, y);
          same = false;
        }
      }
    }
  }
  if (why != nullptr) {
    *why = msg.str();
  }
  return same;
}

std::string MakeTempDir(const std::string& tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("kilnmark-" + tag + "-XXXXXX")).string();
  char* made = ::mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr);
  return pattern;
}

}  // namespace km::test
