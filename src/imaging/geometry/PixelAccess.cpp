#include "imaging/geometry/PixelAccess.h"

namespace km::geometry {

OpResult NewLike(const Dib& source, int width, int height, DibHandle* out) {
  const BitmapInfoHeader sh = source.header();
  const OpResult r = Dib::Create(width, height, sh.biBitCount, static_cast<int>(sh.biClrUsed), out);
  if (r != kOk) {
    return r;
  }
  Dib& dib = **out;
  BitmapInfoHeader h = sh;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biCompression = 0;
  h.biSizeImage = static_cast<std::uint32_t>(dib.stride() * static_cast<std::size_t>(height));
  dib.setHeader(h);
  if (source.colorCount() > 0) {
    std::memcpy(dib.colors(), source.colors(), 4u * static_cast<std::size_t>(source.colorCount()));
  }
  return kOk;
}

OpResult NewGreyOrRgb(int width, int height, int bits, DibHandle* out) {
  const OpResult r = Dib::Create(width, height, bits, bits == 8 ? 256 : 0, out);
  if (r != kOk) {
    return r;
  }
  Dib& dib = **out;
  if (bits == 8) {
    BitmapInfoHeader h = dib.header();
    h.biClrImportant = 256;
    dib.setHeader(h);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      dib.colors()[i] = RgbQuad{v, v, v, 0};
    }
  }
  return kOk;
}

}  // namespace km::geometry
