#pragma once

// A packed device-independent bitmap: a BITMAPINFOHEADER (biSize bytes, at least 40),
// the colour table (biClrUsed RGBQUAD entries, or 2^biBitCount when biClrUsed is 0;
// none for 24 bits), then the pixel rows, bottom row first, each padded to a multiple
// of 4 bytes. 1-bit pixels are packed most significant bit first, 4-bit pixels high
// nibble first, 24-bit pixels as blue, green, red.
//
// Every Dib handed to an operation, and every Dib a decoder returns, passes
// ValidateDib: biSize >= 40, width and height 1..32767, bit count 1, 4, 8 or 24,
// biClrUsed <= 2^bits, and a buffer long enough for header, table and rows.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/MemoryCeiling.h"
#include "imaging/OpResult.h"

namespace km {

struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct RgbQuad {
  std::uint8_t rgbBlue = 0;
  std::uint8_t rgbGreen = 0;
  std::uint8_t rgbRed = 0;
  std::uint8_t rgbReserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

inline constexpr int kMaxDibSide = 32767;

class Dib;
// A nullable owning handle to one image.
using DibHandle = std::unique_ptr<Dib>;

class Dib {
public:
  // Bytes of one padded row: (width * bits + 31) / 32 * 4.
  static std::size_t Stride(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
  }

  // A new zero-filled image with a 40-byte header. clrUsed is stored in biClrUsed; the
  // table holds clrUsed entries, or 2^bits when clrUsed is 0 and bits <= 8. Answers
  // 101 for sizes or depths outside the rules above, 102 when memory runs out or the
  // block would pass the memory ceiling (imaging/MemoryCeiling.h), checked before
  // anything is allocated. Every Dib's block is charged to that ceiling.
  static OpResult Create(int width, int height, int bits, int clrUsed, DibHandle* out);

  // Adopts a packed DIB; 101 when it does not pass ValidateDib, 102 when its block
  // passes the memory ceiling.
  static OpResult FromBytes(std::vector<std::uint8_t> bytes, DibHandle* out);

  BitmapInfoHeader header() const;
  void setHeader(const BitmapInfoHeader& h);  // keeps biSize's room; caller keeps it valid

  int width() const { return header().biWidth; }
  int height() const { return header().biHeight; }
  int bitCount() const { return header().biBitCount; }
  std::uint32_t headerSize() const { return header().biSize; }
  // Entries in the colour table: biClrUsed, or 2^bits when that is 0; 0 for 24 bits.
  int colorCount() const;
  std::size_t stride() const { return Stride(width(), bitCount()); }

  RgbQuad* colors() { return reinterpret_cast<RgbQuad*>(bytes_.data() + headerSize()); }
  const RgbQuad* colors() const {
    return reinterpret_cast<const RgbQuad*>(bytes_.data() + headerSize());
  }
  std::size_t pixelOffset() const { return headerSize() + 4u * static_cast<std::size_t>(colorCount()); }
  std::uint8_t* pixels() { return bytes_.data() + pixelOffset(); }
  const std::uint8_t* pixels() const { return bytes_.data() + pixelOffset(); }
  // Row y in stored order: 0 is the bottom row of the picture.
  std::uint8_t* row(int y) { return pixels() + static_cast<std::size_t>(y) * stride(); }
  const std::uint8_t* row(int y) const { return pixels() + static_cast<std::size_t>(y) * stride(); }

  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

private:
  Dib(std::vector<std::uint8_t> bytes, MemoryCharge charge) : bytes_(std::move(bytes)), charge_(std::move(charge)) {}
  std::vector<std::uint8_t> bytes_;
  MemoryCharge charge_;
};

// 0 when the image keeps the rules above; 101 for a null pointer or a broken header.
OpResult ValidateDib(const Dib* dib);

// The common first step of an operation: checks the source and the result pointer and
// clears *result. 101 when either is missing or the source is not a valid image.
OpResult PrepareOp(const Dib* source, DibHandle* result);

// Allocates a block of the size of the source and copies every byte.
// 101 when source or out is missing, 102 when the allocation fails or would pass the
// memory ceiling.
OpResult CopyDIB(const Dib* source, DibHandle* out);

// A colour reduced to 5 bits a channel: red << 10 | green << 5 | blue.
inline constexpr std::uint16_t ColorKey15(int red, int green, int blue) {
  return static_cast<std::uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
}

// The index of the colour-table entry nearest to (red, green, blue): squared distance
// over the three channels, searched over `count` entries; an exact match ends the
// search, else the first entry with the smallest distance wins. 0 when count is 0.
int NearestColorIndex(const RgbQuad* table, int count, int red, int green, int blue);

// True for an 8-bit image whose colour table (biClrUsed entries, or 256) holds grey
// level i at entry i, the identity ramp the operations rely on.
bool IsDIBGreyScaled(const Dib* dib);

// Colours are stored as 0x00BBGGRR.
inline constexpr int RedOf(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GreenOf(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int BlueOf(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
inline constexpr std::uint32_t MakeRgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r & 0xFF) | (static_cast<std::uint32_t>(g & 0xFF) << 8) |
         (static_cast<std::uint32_t>(b & 0xFF) << 16);
}

}  // namespace km
