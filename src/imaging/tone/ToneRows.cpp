#include "imaging/tone/ToneRows.h"

namespace km::tone {

bool HasFullGreyRamp(const Dib& dib) { return dib.colorCount() == 256 && IsDIBGreyScaled(&dib); }

OpResult ApplyToneTables(ProgressWindow progress, const Dib* source, DibHandle* result,
                         const ToneTable& blue, const ToneTable& green, const ToneTable& red,
                         bool greyPixels) {
  DibHandle copy;
  if (const OpResult r = CopyDIB(source, &copy); r != kOk) {
    return r;
  }
  const int width = copy->width();
  bool done = false;
  if (copy->bitCount() == 24 && &blue == &green && &green == &red) {
    const std::size_t bytes = 3u * static_cast<std::size_t>(width);
    done = ForEachRow(progress, *copy, [&](std::uint8_t* p) { MapBytes(green, p, bytes); });
  } else if (copy->bitCount() == 24) {
    done = ForEachRow(progress, *copy, [&](std::uint8_t* p) {
      for (int x = 0; x < width; ++x, p += 3) {
        p[0] = blue[p[0]];
        p[1] = green[p[1]];
        p[2] = red[p[2]];
      }
    });
  } else if (greyPixels) {
    done = ForEachRow(progress, *copy, [&](std::uint8_t* p) { MapBytes(green, p, width); });
  } else {
    done = ForEachColor(progress, *copy, [&](RgbQuad& c) {
      c = RgbQuad{blue[c.rgbBlue], green[c.rgbGreen], red[c.rgbRed], 0};
    });
  }
  if (!done) {
    return kCancelled;
  }
  *result = std::move(copy);
  return kOk;
}

}  // namespace km::tone
