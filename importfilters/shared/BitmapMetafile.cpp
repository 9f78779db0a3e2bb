#include "BitmapMetafile.h"

#include <cstdlib>
#include <cstring>

namespace km::filterkit {

namespace {

class Writer {
public:
  explicit Writer(std::uint8_t* p) : p_(p) {}
  void u16(unsigned v) {
    *p_++ = static_cast<std::uint8_t>(v);
    *p_++ = static_cast<std::uint8_t>(v >> 8);
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  std::uint8_t* at() const { return p_; }
  void skip(std::size_t n) { p_ += n; }

private:
  std::uint8_t* p_;
};

// Straight alpha: c * a / 255 + 255 - a; premultiplied: c + 255 - a.
inline std::uint8_t OverWhite(unsigned c, unsigned a, bool premultiplied) {
  const unsigned v = premultiplied ? c + 255 - a : (c * a + 255 * (255 - a) + 127) / 255;
  return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

}  // namespace

int MakeBitmapMetafile(const std::uint8_t* bgra, int width, int height, long stride, bool premultiplied,
                       KmPictInfo* picture) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767 ||
      static_cast<long long>(width) * height > kMaxPixels) {
    return kTooLarge;
  }
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  const std::size_t bits = rowBytes * static_cast<std::size_t>(height);
  constexpr std::size_t kHeader = 18, kMapMode = 8, kOrigin = 10, kExtent = 10, kEnd = 6;
  constexpr std::size_t kStretchFixed = 6 + 4 + 2 * 9 + 40;
  const std::size_t stretch = kStretchFixed + bits;
  const std::size_t total = kHeader + kMapMode + kOrigin + kExtent + stretch + kEnd;
  auto* block = static_cast<std::uint8_t*>(std::malloc(total));
  if (block == nullptr) {
    return kNoMemory;
  }
  Writer w(block);
  w.u16(1);       // in memory
  w.u16(9);       // header words
  w.u16(0x0300);  // version
  w.u32(static_cast<std::uint32_t>(total / 2));
  w.u16(0);       // objects
  w.u32(static_cast<std::uint32_t>(stretch / 2));
  w.u16(0);
  w.u32(kMapMode / 2);  // SetMapMode(MM_ANISOTROPIC)
  w.u16(0x0103);
  w.u16(8);
  w.u32(kOrigin / 2);  // SetWindowOrg(0, 0)
  w.u16(0x020B);
  w.u16(0);
  w.u16(0);
  w.u32(kExtent / 2);  // SetWindowExt(height, width)
  w.u16(0x020C);
  w.u16(static_cast<unsigned>(height));
  w.u16(static_cast<unsigned>(width));
  w.u32(static_cast<std::uint32_t>(stretch / 2));  // StretchDIBits, source copy
  w.u16(0x0F43);
  w.u32(0x00CC0020);
  w.u16(0);  // colour table of RGB values (none at 24 bits)
  for (int i = 0; i < 2; ++i) {  // source then destination: height, width, y, x
    w.u16(static_cast<unsigned>(height));
    w.u16(static_cast<unsigned>(width));
    w.u16(0);
    w.u16(0);
  }
  w.u32(40);  // BITMAPINFOHEADER
  w.u32(static_cast<std::uint32_t>(width));
  w.u32(static_cast<std::uint32_t>(height));
  w.u16(1);
  w.u16(24);
  w.u32(0);
  w.u32(static_cast<std::uint32_t>(bits));
  w.u32(3780);  // 96 pixels per inch
  w.u32(3780);
  w.u32(0);
  w.u32(0);
  std::uint8_t* rows = w.at();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = bgra + static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1 - y);
    std::uint8_t* dst = rows + rowBytes * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = OverWhite(src[0], src[3], premultiplied);
      dst[1] = OverWhite(src[1], src[3], premultiplied);
      dst[2] = OverWhite(src[2], src[3], premultiplied);
    }
    std::memset(dst, 0, rowBytes - static_cast<std::size_t>(width) * 3);
  }
  w.skip(bits);
  w.u32(kEnd / 2);  // end of file
  w.u16(0);
  picture->metafile = block;
  picture->metafileSize = static_cast<std::uint32_t>(total);
  picture->left = 0;
  picture->top = 0;
  picture->right = width;
  picture->bottom = height;
  picture->inch = 96;
  return kOk;
}

}  // namespace km::filterkit
