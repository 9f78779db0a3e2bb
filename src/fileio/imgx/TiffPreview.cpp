#include "fileio/imgx/TiffPreview.h"

#include <cstring>
#include <new>

#include "fileio/imgx/ByteIO.h"

namespace km::imgx {

namespace {

enum TiffType : unsigned { kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  unsigned tag;
  unsigned type;
  std::uint32_t count;
  std::uint32_t value;  // the value itself, or the offset of the values
};

}  // namespace

Code BuildTiffPreview(const Dib& dib, std::vector<std::uint8_t>* out) {
  const int width = dib.width();
  const int height = dib.height();
  const int bits = dib.bitCount();
  const bool rgb = bits == 24;
  const std::size_t rowBytes = rgb ? static_cast<std::size_t>(width) * 3 : (static_cast<std::size_t>(width) * bits + 7) / 8;
  try {
    ByteWriter w;
    w.u8('I');
    w.u8('I');
    w.u16le(42);
    w.u32le(8);  // the directory follows the header; its values and the pixels follow it

    const int entries = rgb ? 11 : 12;
    const std::uint32_t dirSize = 2 + 12u * entries + 4;
    std::uint32_t extra = 8 + dirSize;
    const std::uint32_t bpsAt = extra;  // three shorts for RGB
    if (rgb) {
      extra += 6;
    }
    const std::uint32_t xResAt = extra;
    const std::uint32_t yResAt = extra + 8;
    extra += 16;
    const std::uint32_t mapAt = extra;
    const std::uint32_t mapCount = rgb ? 0 : 3u << bits;
    extra += 2 * mapCount;
    const std::uint32_t pixelsAt = extra;
    const auto stripBytes = static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height));

    std::vector<Entry> dir = {
        {256, kLong, 1, static_cast<std::uint32_t>(width)},
        {257, kLong, 1, static_cast<std::uint32_t>(height)},
        {258, kShort, rgb ? 3u : 1u, rgb ? bpsAt : static_cast<std::uint32_t>(bits)},
        {259, kShort, 1, 1},
        {262, kShort, 1, rgb ? 2u : 3u},
        {273, kLong, 1, pixelsAt},
        {277, kShort, 1, rgb ? 3u : 1u},
        {278, kLong, 1, static_cast<std::uint32_t>(height)},
        {279, kLong, 1, stripBytes},
        {282, kRational, 1, xResAt},
        {283, kRational, 1, yResAt},
    };
    if (!rgb) {
      dir.push_back({320, kShort, mapCount, mapAt});
    }
    w.u16le(static_cast<unsigned>(dir.size()));
    for (const Entry& e : dir) {
      w.u16le(e.tag);
      w.u16le(e.type);
      w.u32le(e.count);
      if (e.type == kShort && e.count == 1) {
        w.u16le(e.value);
        w.u16le(0);
      } else {
        w.u32le(e.value);
      }
    }
    w.u32le(0);  // no further directory
    if (rgb) {
      w.u16le(8);
      w.u16le(8);
      w.u16le(8);
    }
    w.u32le(72);
    w.u32le(1);
    w.u32le(72);
    w.u32le(1);
    if (!rgb) {
      const int n = 1 << bits;
      const RgbQuad* table = dib.colors();
      for (int channel = 0; channel < 3; ++channel) {
        for (int i = 0; i < n; ++i) {
          const RgbQuad c = i < dib.colorCount() ? table[i] : RgbQuad{};
          const std::uint8_t v = channel == 0 ? c.rgbRed : channel == 1 ? c.rgbGreen : c.rgbBlue;
          w.u16le(v * 257u);
        }
      }
    }
    for (int y = height - 1; y >= 0; --y) {
      const std::uint8_t* src = dib.row(y);
      if (!rgb) {
        w.bytes(src, rowBytes);
        continue;
      }
      for (int x = 0; x < width; ++x) {
        w.u8(src[3 * x + 2]);
        w.u8(src[3 * x + 1]);
        w.u8(src[3 * x]);
      }
    }
    *out = std::move(w.bytes());
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
