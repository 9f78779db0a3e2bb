// CompuServe RLE: a 1-bit picture of 256 x 192 ("ESC G H") or 128 x 96 ("ESC G M")
// pixels as pairs of printable characters, each a run length plus 32, alternating
// background and foreground runs across the rows, ended by "ESC G N". Control
// characters other than that end sequence are ignored. Also PickRLEType, which tells
// this format from a Windows RLE bitmap sharing the ".rle" extension.

#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

constexpr int kEsc = 0x1B;
constexpr int kLongestRun = 0x5E;  // keeps every character printable

Code SizeFromMagic(const std::vector<std::uint8_t>& f, int* w, int* h) {
  if (f.size() < 3 || f[0] != kEsc || f[1] != 'G' || (f[2] != 'H' && f[2] != 'M')) {
    return kNotThisFormat;
  }
  *w = f[2] == 'H' ? 256 : 128;
  *h = f[2] == 'H' ? 192 : 96;
  return kOk;
}

Code DecodeBytes(const std::vector<std::uint8_t>& f, ProgressWindow progress, DibHandle* out) {
  int w = 0;
  int h = 0;
  Code c = SizeFromMagic(f, &w, &h);
  if (c != kOk) {
    return c;
  }
  DibHandle dib;
  c = NewDib(w, h, 1, 2, &dib);
  if (c != kOk) {
    return c;
  }
  dib->colors()[0] = RgbQuad{0, 0, 0, 0};        // background
  dib->colors()[1] = RgbQuad{255, 255, 255, 0};  // foreground
  const long total = static_cast<long>(w) * h;
  long at = 0;
  bool foreground = false;
  std::size_t i = 3;
  int lastRow = -1;
  while (at < total) {
    if (i >= f.size()) {
      return kTruncated;
    }
    const int b = f[i++];
    if (b == kEsc && i + 2 <= f.size() && f[i] == 'G' && f[i + 1] == 'N') {
      return kTruncated;  // ended before every pixel was given
    }
    if (b < 0x20) {
      continue;
    }
    const long run = b - 0x20;
    if (at + run > total) {
      return kCorrupt;
    }
    if (foreground) {
      for (long p = at; p < at + run; ++p) {
        const int x = static_cast<int>(p % w);
        std::uint8_t* row = TopRow(*dib, static_cast<int>(p / w));
        row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
      }
    }
    at += run;
    foreground = !foreground;
    const int row = static_cast<int>(at / w);
    if (row != lastRow) {
      lastRow = row;
      if (RowCancelled(progress, row, h)) {
        return kCancelled;
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code PickRLEType(const std::string& path, int* kind) {
  if (kind == nullptr) {
    return kInvalidParameter;
  }
  *kind = 0;
  std::vector<std::uint8_t> b;
  if (const Code c = ReadFileHead(path, 3, &b); c != kOk) {
    return c;
  }
  const std::size_t n = b.size();
  if (n >= 2 && b[0] == 'B' && b[1] == 'M') {
    *kind = 1;
    return kOk;
  }
  if (n == 3 && b[0] == kEsc && b[1] == 'G' && (b[2] == 'H' || b[2] == 'M')) {
    *kind = 10;
    return kOk;
  }
  return kNotThisFormat;
}

Code InfoCISRLE(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& f, ImageInfo* found) -> Code {
    int w = 0;
    int h = 0;
    const Code c = SizeFromMagic(f, &w, &h);
    if (c == kOk) {
      FillInfo(19, w, h, 1, found);
    }
    return c;
  });
}

Code DecodeCISRLE(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& f) { return DecodeBytes(f, progress, out); });
}

// The foreground is the brighter of the two table colours.
Code EncodeCISRLE(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (ValidateDib(dib) != 0 || dib->bitCount() != 1) {
    return kDepthNotWritable;
  }
  const int w = dib->width();
  const int h = dib->height();
  if (!((w == 256 && h == 192) || (w == 128 && h == 96))) {
    return kBadDimensions;
  }
  const int count = dib->colorCount();
  const int g0 = count > 0 ? GreyOf(dib->colors()[0]) : 0;
  const int g1 = count > 1 ? GreyOf(dib->colors()[1]) : 255;
  const int foregroundBit = g1 >= g0 ? 1 : 0;
  try {
    ByteWriter out;
    out.u8(kEsc);
    out.u8('G');
    out.u8(w == 256 ? 'H' : 'M');
    bool foreground = false;
    long run = 0;
    auto flush = [&](bool last) {
      // A run too long for one character continues after an empty opposite run.
      while (run > kLongestRun) {
        out.u8(0x20 + kLongestRun);
        out.u8(0x20);
        run -= kLongestRun;
      }
      if (run > 0 || !last) {
        out.u8(static_cast<unsigned>(0x20 + run));
      }
      run = 0;
    };
    for (int y = 0; y < h; ++y) {
      if (RowCancelled(progress, y, h)) {
        return kCancelled;
      }
      const std::uint8_t* row = TopRow(*dib, y);
      for (int x = 0; x < w; ++x) {
        const bool on = ((row[x >> 3] >> (7 - (x & 7))) & 1) == foregroundBit;
        if (on != foreground) {
          flush(false);
          foreground = on;
        }
        ++run;
      }
    }
    flush(true);
    out.u8(kEsc);
    out.u8('G');
    out.u8('N');
    return WriteFileBytes(path, out.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
