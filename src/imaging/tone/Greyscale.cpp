// GreyscaleDIB: a 24-bit image becomes an 8-bit image with the identity grey table;
// any other image keeps its pixels and has its colour table greyed.

#include "imaging/tone/Tone.h"
#include "imaging/tone/ToneRows.h"

namespace km {

namespace {

OpResult GreyFromTrueColour(ProgressWindow progress, const Dib& source, DibHandle* result) {
  const int width = source.width();
  const int height = source.height();
  DibHandle grey;
  if (const OpResult r = Dib::Create(width, height, 8, 256, &grey); r != kOk) {
    return r;
  }
  // The new image takes the source's header fields (resolution, planes); a longer source
  // header is not carried over, since the table must follow a 40-byte header.
  BitmapInfoHeader h = source.header();
  h.biSize = 40;
  h.biBitCount = 8;
  h.biCompression = 0;
  h.biSizeImage = static_cast<std::uint32_t>(grey->stride() * static_cast<std::size_t>(height));
  h.biClrUsed = 256;
  h.biClrImportant = 256;
  grey->setHeader(h);
  RgbQuad* table = grey->colors();
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    table[i] = RgbQuad{v, v, v, 0};
  }
  for (int y = 0; y < height; ++y) {
    if (ProgressStep(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* s = source.row(y);
    std::uint8_t* d = grey->row(y);
    for (int x = 0; x < width; ++x, s += 3) {
      d[x] = static_cast<std::uint8_t>((11 * s[0] + 59 * s[1] + 30 * s[2]) / 100);
    }
  }
  *result = std::move(grey);
  return kOk;
}

}  // namespace

OpResult GreyscaleDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  if (source->bitCount() == 24) {
    return GreyFromTrueColour(progress, *source, result);
  }
  DibHandle copy;
  if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
    return r;
  }
  const bool done = tone::ForEachColor(progress, *copy, [](RgbQuad& c) {
    const auto v = static_cast<std::uint8_t>((30 * c.rgbRed + 11 * c.rgbBlue + 59 * c.rgbGreen) / 100);
    c.rgbBlue = c.rgbGreen = c.rgbRed = v;
  });
  if (!done) {
    return kCancelled;
  }
  *result = std::move(copy);
  return kOk;
}

}  // namespace km
