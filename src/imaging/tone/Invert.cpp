// InvertDIB, the negative image of the format library: 24-bit pixels and the pixel
// values of greyscale images become 255 - value (so a greyscale image stays one); the
// colour table of a palette image is inverted and its indices stay.

#include <cstring>

#include "imaging/tone/Tone.h"
#include "imaging/tone/ToneRows.h"

namespace km {

OpResult InvertDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  DibHandle copy;
  if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
    return r;
  }
  bool done = false;
  if (copy->bitCount() == 24 || tone::HasFullGreyRamp(*copy)) {
    // 255 - v is v with every bit flipped, eight bytes at a time.
    const std::size_t bytes = static_cast<std::size_t>(copy->width()) * (copy->bitCount() / 8);
    done = tone::ForEachRow(progress, *copy, [bytes](std::uint8_t* p) {
      std::size_t x = 0;
      for (; x + 8 <= bytes; x += 8) {
        std::uint64_t v = 0;
        std::memcpy(&v, p + x, 8);
        v = ~v;
        std::memcpy(p + x, &v, 8);
      }
      for (; x < bytes; ++x) {
        p[x] = static_cast<std::uint8_t>(255 - p[x]);
      }
    });
  } else {
    done = tone::ForEachColor(progress, *copy, [](RgbQuad& c) {
      c.rgbBlue = static_cast<std::uint8_t>(255 - c.rgbBlue);
      c.rgbGreen = static_cast<std::uint8_t>(255 - c.rgbGreen);
      c.rgbRed = static_cast<std::uint8_t>(255 - c.rgbRed);
    });
  }
  if (!done) {
    return kCancelled;
  }
  *result = std::move(copy);
  return kOk;
}

}  // namespace km
