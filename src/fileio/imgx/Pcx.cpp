// PCX: a 128-byte header, then every scan line (each plane's bytesPerLine bytes in
// turn) run-length coded: a byte with the two top bits set repeats the next byte
// (low six bits) times; anything else is one literal. 256-colour files end with 0x0C and
// a 768-byte palette. Runs may continue from one line into the next (old writers do
// this); a run past the end of the image is corrupt.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/LegacyPalettes.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypePcx = 16;
constexpr std::size_t kHeaderSize = 128;

struct PcxHeader {
  int version = 0;
  int bitsPerPixel = 0;
  int planes = 0;
  int width = 0;
  int height = 0;
  int bytesPerLine = 0;
  int hDpi = 0;
  int vDpi = 0;
  const std::uint8_t* palette16 = nullptr;  // 48 bytes in the header
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, PcxHeader* h) {
  if (bytes.size() < kHeaderSize) {
    return bytes.empty() || bytes[0] != 0x0A ? kNotThisFormat : kTruncated;
  }
  ByteReader in(bytes);
  const int manufacturer = in.u8();
  h->version = in.u8();
  const int encoding = in.u8();
  h->bitsPerPixel = in.u8();
  const int xMin = in.u16le();
  const int yMin = in.u16le();
  const int xMax = in.u16le();
  const int yMax = in.u16le();
  h->hDpi = in.u16le();
  h->vDpi = in.u16le();
  h->palette16 = in.take(48);
  in.skip(1);
  h->planes = in.u8();
  h->bytesPerLine = in.u16le();
  if (manufacturer != 0x0A || encoding != 1 || h->version > 5 || h->version == 1) {
    return kNotThisFormat;
  }
  const int bpp = h->bitsPerPixel;
  const int np = h->planes;
  const bool supported = (bpp == 1 && np >= 1 && np <= 4) || (bpp == 2 && np == 1) || (bpp == 4 && np == 1) ||
                         (bpp == 8 && (np == 1 || np == 3 || np == 4));
  if (!supported) {
    return kUnsupportedVariant;
  }
  if (xMax < xMin || yMax < yMin) {
    return kBadDimensions;
  }
  h->width = xMax - xMin + 1;
  h->height = yMax - yMin + 1;
  if (h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  if (static_cast<long long>(h->bytesPerLine) * 8 < static_cast<long long>(h->width) * bpp) {
    return kCorrupt;
  }
  return kOk;
}

int OutputBits(const PcxHeader& h) {
  const int total = h.bitsPerPixel * h.planes;
  return total == 1 ? 1 : (total <= 4 ? 4 : (h.planes == 1 ? 8 : 24));
}

void SetHeaderPalette(Dib& dib, const PcxHeader& h, int count) {
  if (h.version == 0 || h.version == 3) {
    DefaultPcPalette(4, dib.colors(), count);  // these versions imply the 16 EGA colours
    return;
  }
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* c = h.palette16 + 3 * i;
    SetColor(dib, i, c[0], c[1], c[2]);
  }
}

// Decodes the run-length stream into `out` (`size` bytes), leaving `in` just past it.
Code Unpack(ByteReader& in, std::uint8_t* out, std::size_t size, std::size_t lineSize, ProgressWindow progress,
            long long rows) {
  std::size_t done = 0;
  std::size_t nextLine = 0;
  while (done < size) {
    if (done >= nextLine) {
      if (RowCancelled(progress, static_cast<long long>(done / lineSize), rows)) {
        return kCancelled;
      }
      nextLine += lineSize;
    }
    if (in.remaining() == 0) {
      return kTruncated;
    }
    const std::uint8_t b = in.u8();
    if ((b & 0xC0) == 0xC0) {
      const std::size_t count = b & 0x3F;
      if (in.remaining() == 0) {
        return kTruncated;
      }
      const std::uint8_t v = in.u8();
      if (count > size - done) {
        return kCorrupt;
      }
      std::memset(out + done, v, count);
      done += count;
    } else {
      out[done++] = b;
    }
  }
  return kOk;
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  PcxHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  const std::size_t lineSize = static_cast<std::size_t>(h.bytesPerLine) * static_cast<std::size_t>(h.planes);
  if (!WithinBudget(lineSize, static_cast<std::uint64_t>(h.height), bytes.size() - kHeaderSize, 32)) {
    return kTruncated;
  }
  const std::size_t total = lineSize * static_cast<std::size_t>(h.height);
  std::vector<std::uint8_t> data;
  try {
    data.resize(total);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  ByteReader in(bytes);
  in.seek(kHeaderSize);
  if (const Code c = Unpack(in, data.data(), total, lineSize, progress, h.height); c != kOk) {
    return c;
  }
  const std::size_t streamEnd = in.pos();

  const int bits = OutputBits(h);
  DibHandle dib;
  const int colors = bits == 24 ? 0 : (bits == 8 ? 256 : (1 << (h.bitsPerPixel * h.planes)));
  if (const Code c = NewDib(h.width, h.height, bits, colors, &dib); c != kOk) {
    return c;
  }
  if (bits == 8) {
    const std::size_t size = bytes.size();
    if (size >= 769 && size - 769 >= streamEnd && bytes[size - 769] == 0x0C) {
      const std::uint8_t* p = bytes.data() + size - 768;
      for (int i = 0; i < 256; ++i) {
        SetColor(*dib, i, p[3 * i], p[3 * i + 1], p[3 * i + 2]);
      }
    } else {
      SetGreyRamp(*dib, 256);
    }
  } else if (bits == 1) {
    const std::uint8_t* p = h.palette16;
    const bool distinct = h.version >= 2 && h.version != 3 && std::memcmp(p, p + 3, 3) != 0;
    if (distinct) {
      SetHeaderPalette(*dib, h, 2);
    } else {
      SetColor(*dib, 0, 0, 0, 0);
      SetColor(*dib, 1, 255, 255, 255);
    }
  } else if (bits == 4) {
    SetHeaderPalette(*dib, h, colors);
  }

  std::vector<std::uint8_t> indices(static_cast<std::size_t>(h.width));
  const std::size_t bpl = static_cast<std::size_t>(h.bytesPerLine);
  for (int y = 0; y < h.height; ++y) {
    const std::uint8_t* line = data.data() + static_cast<std::size_t>(y) * lineSize;
    std::uint8_t* row = TopRow(*dib, y);
    if (bits == 24) {
      for (int x = 0; x < h.width; ++x) {
        row[3 * x + 2] = line[x];
        row[3 * x + 1] = line[bpl + x];
        row[3 * x] = line[2 * bpl + x];
      }
    } else if (h.bitsPerPixel == 1) {
      if (h.planes == 1) {
        std::memcpy(row, line, (static_cast<std::size_t>(h.width) + 7) / 8);
      } else {
        PlanesToIndices(line, bpl, h.planes, h.width, indices.data());
        PackIndices(indices.data(), h.width, bits, row);
      }
    } else if (h.bitsPerPixel == 2) {
      for (int x = 0; x < h.width; ++x) {
        indices[x] = static_cast<std::uint8_t>((line[x >> 2] >> (6 - 2 * (x & 3))) & 3);
      }
      PackIndices(indices.data(), h.width, 4, row);
    } else {
      UnpackIndices(line, h.width, h.bitsPerPixel, indices.data());
      PackIndices(indices.data(), h.width, bits, row);
    }
  }
  if (h.hDpi > 0 && h.vDpi > 0) {
    BitmapInfoHeader bh = dib->header();
    bh.biXPelsPerMeter = static_cast<std::int32_t>(std::lround(h.hDpi * 10000.0 / 254.0));
    bh.biYPelsPerMeter = static_cast<std::int32_t>(std::lround(h.vDpi * 10000.0 / 254.0));
    dib->setHeader(bh);
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoPCX(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    PcxHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypePcx, h.width, h.height, h.bitsPerPixel * h.planes, found);
    return kOk;
  });
}

Code DecodePCX(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

namespace {

void PackLine(const std::uint8_t* data, std::size_t size, ByteWriter& w) {
  std::size_t i = 0;
  while (i < size) {
    std::size_t run = 1;
    while (i + run < size && run < 63 && data[i + run] == data[i]) {
      ++run;
    }
    if (run > 1 || (data[i] & 0xC0) == 0xC0) {
      w.u8(0xC0 | static_cast<unsigned>(run));
    }
    w.u8(data[i]);
    i += run;
  }
}

}  // namespace

// Version 0: 1 bit. Version 2: 1 bit, or 4 bits as four planes with the palette in the
// header. Version 5: also 8 bits (palette at the end) and 24 bits (three planes).
Code EncodePCX(ProgressWindow progress, const std::string& path, const Dib* dib, int version, int dpi) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  const int bits = dib->bitCount();
  const bool allowed = (version == 0 && bits == 1) || (version == 2 && (bits == 1 || bits == 4)) || version == 5;
  if (!allowed) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const int planes = bits == 4 ? 4 : (bits == 24 ? 3 : 1);
  const int bitsPerPixel = bits == 8 || bits == 24 ? 8 : 1;
  int bytesPerLine = (width * bitsPerPixel + 7) / 8;
  bytesPerLine += bytesPerLine & 1;
  const int clampedDpi = std::clamp(dpi, 0, 65535);

  ByteWriter w;
  w.u8(0x0A);
  w.u8(static_cast<unsigned>(version));
  w.u8(1);
  w.u8(static_cast<unsigned>(bitsPerPixel));
  w.u16le(0);
  w.u16le(0);
  w.u16le(static_cast<unsigned>(width - 1));
  w.u16le(static_cast<unsigned>(height - 1));
  w.u16le(static_cast<unsigned>(clampedDpi));
  w.u16le(static_cast<unsigned>(clampedDpi));
  std::uint8_t palette16[48] = {};
  const RgbQuad* table = dib->colors();
  const int entries = std::min(dib->colorCount(), 16);
  for (int i = 0; i < entries; ++i) {
    palette16[3 * i] = table[i].rgbRed;
    palette16[3 * i + 1] = table[i].rgbGreen;
    palette16[3 * i + 2] = table[i].rgbBlue;
  }
  w.bytes(palette16, 48);
  w.u8(0);
  w.u8(static_cast<unsigned>(planes));
  w.u16le(static_cast<unsigned>(bytesPerLine));
  w.u16le(bits == 8 && IsDIBGreyScaled(dib) ? 2 : 1);
  w.u16le(0);
  w.u16le(0);
  w.fill(0, kHeaderSize - w.size());

  const std::size_t bpl = static_cast<std::size_t>(bytesPerLine);
  std::vector<std::uint8_t> line(bpl * static_cast<std::size_t>(planes));
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* row = TopRow(*dib, y);
    std::fill(line.begin(), line.end(), 0);
    switch (bits) {
      case 1:
        std::memcpy(line.data(), row, (static_cast<std::size_t>(width) + 7) / 8);
        break;
      case 4:
        UnpackIndices(row, width, 4, indices.data());
        IndicesToPlanes(indices.data(), width, 4, bpl, line.data());
        break;
      case 8:
        std::memcpy(line.data(), row, static_cast<std::size_t>(width));
        break;
      default:
        for (int x = 0; x < width; ++x) {
          line[x] = row[3 * x + 2];
          line[bpl + x] = row[3 * x + 1];
          line[2 * bpl + x] = row[3 * x];
        }
        break;
    }
    for (int p = 0; p < planes; ++p) {
      PackLine(line.data() + static_cast<std::size_t>(p) * bpl, bpl, w);
    }
  }
  if (bits == 8) {
    w.u8(0x0C);
    const int count = dib->colorCount();
    for (int i = 0; i < 256; ++i) {
      const RgbQuad q = i < count ? table[i] : RgbQuad{};
      w.u8(q.rgbRed);
      w.u8(q.rgbGreen);
      w.u8(q.rgbBlue);
    }
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
