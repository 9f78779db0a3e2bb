// GEM raster images: a big-endian header of at least 8 words (version, header length in
// words, planes, pattern length, pixel width and height in microns, width, height); an
// extended header "XIMG" with colour model 0 follows with red, green, blue words in
// 0..1000 for each of the 2^planes colours. Each scan line holds every plane's row in
// turn ((width + 7) / 8 bytes each), coded as:
//   00 00 FF n   the next scan line is repeated n times (at the start of a line only)
//   00 n         the pattern (pattern-length bytes that follow) n times
//   80 n         n literal bytes
//   other b      b & 0x7F bytes of 0xFF (bit 7 set) or 0x00
// Plane 0 holds the least significant bit. One plane: 1 is black. A run past its scan
// line, or a repeat past the last line, is corrupt.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeImg = 8;

// The sixteen VDI colours of a plain multi-plane file.
constexpr std::uint8_t kVdiColors[16][3] = {
    {255, 255, 255}, {0, 0, 0},       {255, 0, 0},   {0, 255, 0},   {0, 0, 255},   {0, 255, 255},
    {255, 255, 0},   {255, 0, 255},   {192, 192, 192}, {128, 128, 128}, {128, 0, 0}, {0, 128, 0},
    {0, 0, 128},     {0, 128, 128},   {128, 128, 0}, {128, 0, 128}};

struct ImgHeader {
  int headerWords = 0;
  int planes = 0;
  int patternLength = 0;
  int width = 0;
  int height = 0;
  bool extended = false;  // "XIMG" with an RGB palette
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, ImgHeader* h) {
  ByteReader in(bytes);
  const int version = in.u16be();
  h->headerWords = in.u16be();
  h->planes = in.u16be();
  h->patternLength = in.u16be();
  in.u16be();
  in.u16be();
  h->width = in.u16be();
  h->height = in.u16be();
  if (!in.ok()) {
    return bytes.size() < 4 ? kNotThisFormat : kTruncated;
  }
  if (version > 3 || h->headerWords < 8) {
    return kNotThisFormat;
  }
  if (static_cast<std::size_t>(h->headerWords) * 2 > bytes.size()) {
    return kTruncated;
  }
  if (h->planes < 1 || h->planes > 8) {
    return kUnsupportedVariant;
  }
  if (h->patternLength < 1 || h->patternLength > 8) {
    return kCorrupt;
  }
  if (h->width == 0 || h->height == 0 || h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  const std::size_t entries = std::size_t{1} << h->planes;
  if (h->headerWords >= 11 && std::memcmp(bytes.data() + 16, "XIMG", 4) == 0 && bytes[20] == 0 && bytes[21] == 0) {
    if (static_cast<std::size_t>(h->headerWords) < 11 + 3 * entries) {
      return kCorrupt;  // the palette would run past the header
    }
    h->extended = true;
  }
  return kOk;
}

class LineDecoder {
public:
  LineDecoder(ByteReader& in, int patternLength) : in_(in), patternLength_(static_cast<std::size_t>(patternLength)) {}
  // Decodes one scan line of `size` bytes; *repeat gets the line's repeat count (1 when
  // none was given).
  Code line(std::uint8_t* out, std::size_t size, int* repeat) {
    *repeat = 1;
    std::size_t done = 0;
    bool atStart = true;
    while (done < size) {
      const std::uint8_t b = in_.u8();
      if (!in_.ok()) {
        return kTruncated;
      }
      if (b == 0) {
        const std::uint8_t n = in_.u8();
        if (!in_.ok()) {
          return kTruncated;
        }
        if (n == 0) {
          if (in_.u8() != 0xFF || !in_.ok() || !atStart) {
            return in_.ok() ? kCorrupt : kTruncated;
          }
          *repeat = in_.u8();
          if (!in_.ok()) {
            return kTruncated;
          }
          if (*repeat == 0) {
            return kCorrupt;
          }
          atStart = false;
          continue;
        }
        const std::uint8_t* pattern = in_.take(patternLength_);
        if (pattern == nullptr) {
          return kTruncated;
        }
        if (patternLength_ * n > size - done) {
          return kCorrupt;
        }
        for (int i = 0; i < n; ++i) {
          std::memcpy(out + done, pattern, patternLength_);
          done += patternLength_;
        }
      } else if (b == 0x80) {
        const std::size_t n = in_.u8();
        if (!in_.ok()) {
          return kTruncated;
        }
        if (n > size - done) {
          return kCorrupt;
        }
        if (!in_.read(out + done, n)) {
          return kTruncated;
        }
        done += n;
      } else {
        const std::size_t n = b & 0x7F;
        if (n > size - done) {
          return kCorrupt;
        }
        std::memset(out + done, (b & 0x80) ? 0xFF : 0x00, n);
        done += n;
      }
      atStart = false;
    }
    return kOk;
  }

private:
  ByteReader& in_;
  std::size_t patternLength_;
};

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  ImgHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  const std::size_t planeBytes = (static_cast<std::size_t>(h.width) + 7) / 8;
  const std::size_t lineBytes = planeBytes * static_cast<std::size_t>(h.planes);
  ByteReader in(bytes);
  in.seek(static_cast<std::size_t>(h.headerWords) * 2);
  // A coded line repeats at most 255 times, and ten bytes of pattern run stand for at
  // most 2040 bytes of a line.
  const std::size_t lineCost = std::max<std::size_t>(1, lineBytes / 204);
  if (in.remaining() / lineCost < static_cast<std::size_t>(h.height) / 255) {
    return kTruncated;
  }
  const int bits = DibBitsFor(h.planes);
  const int colors = 1 << h.planes;
  DibHandle dib;
  if (const Code c = NewDib(h.width, h.height, bits, colors, &dib); c != kOk) {
    return c;
  }
  if (h.extended) {
    ByteReader pal(bytes.data() + 22, 6 * static_cast<std::size_t>(colors));
    for (int i = 0; i < colors; ++i) {
      int rgb[3];
      for (int& v : rgb) {
        v = std::min(1000, static_cast<int>(pal.u16be()));
        v = (v * 255 + 500) / 1000;
      }
      SetColor(*dib, i, rgb[0], rgb[1], rgb[2]);
    }
  } else if (h.planes == 1) {
    SetColor(*dib, 0, 255, 255, 255);
    SetColor(*dib, 1, 0, 0, 0);
  } else if (h.planes <= 4) {
    for (int i = 0; i < colors; ++i) {
      SetColor(*dib, i, kVdiColors[i][0], kVdiColors[i][1], kVdiColors[i][2]);
    }
  } else {
    SetGreyRamp(*dib, colors);
  }
  std::vector<std::uint8_t> line(lineBytes);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(h.width));
  LineDecoder decoder(in, h.patternLength);
  int y = 0;
  while (y < h.height) {
    if (RowCancelled(progress, y, h.height)) {
      return kCancelled;
    }
    int repeat = 1;
    if (const Code c = decoder.line(line.data(), lineBytes, &repeat); c != kOk) {
      return c;
    }
    if (repeat > h.height - y) {
      return kCorrupt;
    }
    if (h.planes == 1) {
      for (int r = 0; r < repeat; ++r) {
        std::memcpy(TopRow(*dib, y + r), line.data(), planeBytes);
      }
    } else {
      PlanesToIndices(line.data(), planeBytes, h.planes, h.width, indices.data());
      for (int r = 0; r < repeat; ++r) {
        PackIndices(indices.data(), h.width, bits, TopRow(*dib, y + r));
      }
    }
    y += repeat;
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoIMG(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    ImgHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypeImg, h.width, h.height, h.planes, found);
    return kOk;
  });
}

Code DecodeIMG(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

namespace {

void PackPlane(const std::uint8_t* data, std::size_t size, ByteWriter& w) {
  std::size_t i = 0;
  while (i < size) {
    if (data[i] == 0x00 || data[i] == 0xFF) {
      std::size_t run = 1;
      while (i + run < size && run < 127 && data[i + run] == data[i]) {
        ++run;
      }
      w.u8((data[i] == 0xFF ? 0x80u : 0u) | static_cast<unsigned>(run));
      i += run;
      continue;
    }
    std::size_t end = i;
    while (end < size && end - i < 255 && data[end] != 0x00 && data[end] != 0xFF) {
      ++end;
    }
    w.u8(0x80);
    w.u8(static_cast<unsigned>(end - i));
    w.bytes(data + i, end - i);
    i = end;
  }
}

}  // namespace

// 1 bit: one plane, the darker colour black (an "XIMG" palette keeps colours other than
// black and white). 8 bits: eight planes with an "XIMG" palette (grey images above all).
// Identical consecutive lines are written once with a repeat count.
Code EncodeIMG(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  const int bits = dib->bitCount();
  if (bits != 1 && bits != 8) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const bool mono = bits == 1 && IsBlackAndWhite(*dib);
  const int planes = bits;
  const int colors = 1 << planes;
  ByteWriter w;
  w.u16be(1);
  w.u16be(mono ? 8 : static_cast<unsigned>(11 + 3 * colors));
  w.u16be(static_cast<unsigned>(planes));
  w.u16be(2);
  w.u16be(85);  // 300 dpi in microns
  w.u16be(85);
  w.u16be(static_cast<unsigned>(width));
  w.u16be(static_cast<unsigned>(height));
  if (!mono) {
    w.text("XIMG");
    w.u16be(0);
    const int count = dib->colorCount();
    for (int i = 0; i < colors; ++i) {
      const RgbQuad q = i < count ? dib->colors()[i] : RgbQuad{};
      for (int v : {q.rgbRed, q.rgbGreen, q.rgbBlue}) {
        w.u16be(static_cast<unsigned>((v * 1000 + 127) / 255));
      }
    }
  }
  bool dark[2] = {false, true};
  if (mono) {
    DarkIndices(*dib, dark);
  }
  const std::size_t planeBytes = (static_cast<std::size_t>(width) + 7) / 8;
  std::vector<std::uint8_t> line(planeBytes * static_cast<std::size_t>(planes));
  std::vector<std::uint8_t> next(line.size());
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  auto build = [&](int y, std::vector<std::uint8_t>& out) {
    const std::uint8_t* row = TopRow(*dib, y);
    if (bits == 8) {
      IndicesToPlanes(row, width, 8, planeBytes, out.data());
    } else if (mono) {
      for (std::size_t i = 0; i < planeBytes; ++i) {
        out[i] = dark[1] ? row[i] : static_cast<std::uint8_t>(~row[i]);
      }
      if (dark[0] == dark[1]) {
        std::fill(out.begin(), out.end(), dark[0] ? 0xFF : 0x00);
      }
    } else {
      std::memcpy(out.data(), row, planeBytes);
    }
    if (width % 8 != 0) {
      for (int p = 0; p < planes; ++p) {
        out[planeBytes * static_cast<std::size_t>(p + 1) - 1] &= static_cast<std::uint8_t>(0xFF00u >> (width % 8));
      }
    }
  };
  int y = 0;
  while (y < height) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    build(y, line);
    int repeat = 1;
    while (y + repeat < height && repeat < 255) {
      build(y + repeat, next);
      if (next != line) {
        break;
      }
      ++repeat;
    }
    if (repeat > 1) {
      w.u8(0);
      w.u8(0);
      w.u8(0xFF);
      w.u8(static_cast<unsigned>(repeat));
    }
    for (int p = 0; p < planes; ++p) {
      PackPlane(line.data() + planeBytes * static_cast<std::size_t>(p), planeBytes, w);
    }
    y += repeat;
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
