#include "imaging/palette/PaletteInternal.h"

#include <algorithm>
#include <cstring>

namespace km::palette_detail {

void LoadFullTable(const Dib& dib, RgbQuad* table256) {
  std::fill(table256, table256 + 256, RgbQuad{});
  const int n = dib.colorCount();
  if (n > 0) {
    std::memcpy(table256, dib.colors(), static_cast<std::size_t>(n) * sizeof(RgbQuad));
  }
}

void UnpackIndices(const std::uint8_t* row, int width, int bits, std::uint8_t* indices) {
  switch (bits) {
    case 1:
      for (int x = 0; x < width; ++x) {
        indices[x] = static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
      }
      break;
    case 4:
      for (int x = 0; x < width; ++x) {
        const std::uint8_t b = row[x >> 1];
        indices[x] = static_cast<std::uint8_t>((x & 1) ? (b & 0x0F) : (b >> 4));
      }
      break;
    default:
      std::memcpy(indices, row, static_cast<std::size_t>(width));
      break;
  }
}

void RowToBgr(const Dib& dib, const RgbQuad* table256, int y, std::uint8_t* indexScratch,
              std::uint8_t* bgr) {
  const int width = dib.width();
  const int bits = dib.bitCount();
  const std::uint8_t* row = dib.row(y);
  if (bits == 24) {
    std::memcpy(bgr, row, static_cast<std::size_t>(width) * 3);
    return;
  }
  UnpackIndices(row, width, bits, indexScratch);
  for (int x = 0; x < width; ++x) {
    const RgbQuad& c = table256[indexScratch[x]];
    bgr[3 * x] = c.rgbBlue;
    bgr[3 * x + 1] = c.rgbGreen;
    bgr[3 * x + 2] = c.rgbRed;
  }
}

void PackIndices(const std::uint8_t* indices, int width, int bits, std::uint8_t* row) {
  switch (bits) {
    case 1: {
      const int bytes = (width + 7) / 8;
      std::memset(row, 0, static_cast<std::size_t>(bytes));
      for (int x = 0; x < width; ++x) {
        if (indices[x] != 0) {
          row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
        }
      }
      break;
    }
    case 4:
      for (int x = 0; x + 1 < width; x += 2) {
        row[x >> 1] = static_cast<std::uint8_t>((indices[x] << 4) | (indices[x + 1] & 0x0F));
      }
      if (width & 1) {
        row[width >> 1] = static_cast<std::uint8_t>(indices[width - 1] << 4);
      }
      break;
    default:
      std::memcpy(row, indices, static_cast<std::size_t>(width));
      break;
  }
}

OpResult NewImage(int width, int height, int bits, int clrUsed, const Dib* resolutionFrom,
                  DibHandle* out) {
  const OpResult rc = Dib::Create(width, height, bits, clrUsed, out);
  if (rc != kOk) {
    return rc;
  }
  BitmapInfoHeader h = (*out)->header();
  h.biClrImportant = static_cast<std::uint32_t>(clrUsed);
  if (resolutionFrom != nullptr) {
    const BitmapInfoHeader s = resolutionFrom->header();
    h.biXPelsPerMeter = s.biXPelsPerMeter;
    h.biYPelsPerMeter = s.biYPelsPerMeter;
  }
  (*out)->setHeader(h);
  return kOk;
}

}  // namespace km::palette_detail
