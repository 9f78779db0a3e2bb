// BMP and DIB files: OS/2 (12-byte) and Windows (40-byte and longer) info headers,
// 1, 2, 4, 8, 16, 24 and 32 bits, bottom-up or top-down, bit fields, and the RLE8 and
// RLE4 encodings. 2 bits are widened to 4, 16 and 32 bits to 24. Written as Windows
// RGB, OS/2, or Windows RLE (RLE4 for 4-bit images, RLE8 for 8-bit ones).
//
// Read as leniently as the common readers are, and no further: a packed DIB (".dib"
// files and clipboard dumps start at the info header, without the "BM" file header),
// RLE runs that pass the row's width (writers that encode the row padding) clipped at
// the width, and an OS/2 1.x colour table shorter than 2^bits entries when the pixel
// offset leaves room for no more.

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "fileio/imgx/Bmp.h"
#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// RLE can describe many pixels in few bytes (a delta skips up to 255 x 255); beyond the
// free budget an image may be at most this many times its data.
constexpr std::size_t kRleRatio = 1024;

struct BmpHeader {
  std::uint32_t offBits = 0;
  std::uint32_t infoSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: top-down
  unsigned planes = 0;
  unsigned bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::int32_t xPerMetre = 0;
  std::int32_t yPerMetre = 0;
  std::uint32_t masks[3] = {0, 0, 0};
  bool os2 = false;           // 3-byte colour table entries
  std::size_t tableAt = 0;    // file offset of the colour table
};

// The info header sizes the readers know: OS/2 1.x, OS/2 2.x (16 and 64), Windows 3
// (40), with masks (52, 56), version 4 (108) and version 5 (124).
bool KnownInfoSize(std::uint32_t size) {
  return size == 12 || size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
         size == 124;
}

// A file without the "BM" file header that starts with a packed DIB: a known info header
// size and one colour plane.
bool IsPackedDibFile(const std::uint8_t* data, std::size_t size) {
  if (size < 16) {
    return false;
  }
  ByteReader r(data, size);
  const std::uint32_t infoSize = r.u32le();
  r.skip(infoSize == 12 ? 4 : 8);
  return KnownInfoSize(infoSize) && r.u16le() == 1;
}

// True when a file is read as a packed DIB: it lacks the "BM" file header and starts
// like one.
bool StartsPackedDib(const std::vector<std::uint8_t>& file) {
  return !(file.size() >= 2 && file[0] == 'B' && file[1] == 'M') && IsPackedDibFile(file.data(), file.size());
}

// `packed`: the data starts at the info header and the pixels follow the colour table.
Code ReadHeader(ByteReader& r, bool packed, BmpHeader* h) {
  if (packed) {
    if (r.size() < 12) {
      return kNotThisFormat;
    }
  } else {
    if (r.size() < 26 || r.u8() != 'B' || r.u8() != 'M') {
      return kNotThisFormat;
    }
    r.skip(8);
    h->offBits = r.u32le();
  }
  h->infoSize = r.u32le();
  if (!r.ok()) {
    return kTruncated;
  }
  if (h->infoSize == 12) {
    h->width = r.u16le();
    h->height = r.s16le();
    h->planes = r.u16le();
    h->bits = r.u16le();
    h->os2 = true;
  } else if (h->infoSize >= 16 && h->infoSize <= 4096) {
    // OS/2 2.x headers (16..64 bytes) share the first fields of the Windows layout and
    // carry only as many of them as their size holds.
    const std::size_t start = r.pos();
    std::uint8_t info[64] = {};
    const std::size_t have = std::min<std::size_t>(h->infoSize - 4, sizeof info);
    if (!r.read(info, have)) {
      return kTruncated;
    }
    ByteReader f(info, sizeof info);
    h->width = f.s32le();
    h->height = f.s32le();
    h->planes = f.u16le();
    h->bits = f.u16le();
    h->compression = f.u32le();
    f.skip(4);
    h->xPerMetre = f.s32le();
    h->yPerMetre = f.s32le();
    h->clrUsed = f.u32le();
    f.skip(4);
    h->masks[0] = f.u32le();
    h->masks[1] = f.u32le();
    h->masks[2] = f.u32le();
    if (!r.seek(start + h->infoSize - 4)) {
      return kTruncated;
    }
    if (h->infoSize == 40 && (h->compression == kBitFields || h->compression == kAlphaBitFields)) {
      // The masks follow a 40-byte header.
      h->masks[0] = r.u32le();
      h->masks[1] = r.u32le();
      h->masks[2] = r.u32le();
      if (h->compression == kAlphaBitFields) {
        r.skip(4);
      }
    }
  } else {
    return kNotThisFormat;
  }
  if (!r.ok()) {
    return kTruncated;
  }
  h->tableAt = r.pos();
  return kOk;
}

// A colour mask: where its lowest bit is and how many bits it holds (contiguous).
struct Channel {
  unsigned shift = 0;
  std::uint32_t max = 0;
};

bool MakeChannel(std::uint32_t mask, Channel* c) {
  if (mask == 0) {
    return false;
  }
  c->shift = static_cast<unsigned>(__builtin_ctz(mask));
  c->max = mask >> c->shift;
  return (c->max & (c->max + 1)) == 0;  // contiguous run of ones
}

// RLE8 / RLE4 into a bottom-up image of 8 or 4 bits. Runs that pass the row's width
// are clipped at it, as Windows clips them (some writers encode the row padding); runs
// below the last row and deltas that leave the row or the image are corrupt; data
// ending before the end-of-bitmap escape is truncated.
Code DecodeRle(ByteReader& r, Dib& dib, bool four, ProgressWindow progress) {
  const int w = dib.width();
  const int h = dib.height();
  int x = 0;
  int y = 0;  // stored row, 0 = bottom
  // Writes pixel x and moves on; past the width nothing is written and x stays at w.
  auto put = [&](int value) {
    if (x >= w) {
      return;
    }
    std::uint8_t* row = dib.row(y);
    if (four) {
      row[x >> 1] = static_cast<std::uint8_t>((x & 1) ? (row[x >> 1] & 0xF0) | (value & 0x0F)
                                                       : (row[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
    } else {
      row[x] = static_cast<std::uint8_t>(value);
    }
    ++x;
  };
  if (RowCancelled(progress, 0, h)) {
    return kCancelled;
  }
  for (;;) {
    const unsigned count = r.u8();
    const unsigned value = r.u8();
    if (!r.ok()) {
      return kTruncated;
    }
    if (count > 0) {
      if (y >= h) {
        return kCorrupt;
      }
      for (unsigned i = 0; i < count; ++i) {
        put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        if (y > h) {
          return kCorrupt;
        }
        if (RowCancelled(progress, y, h)) {
          return kCancelled;
        }
        break;
      case 1:  // end of bitmap
        return kOk;
      case 2: {  // delta
        const unsigned dx = r.u8();
        const unsigned dy = r.u8();
        if (!r.ok()) {
          return kTruncated;
        }
        x += static_cast<int>(dx);
        y += static_cast<int>(dy);
        if (x > w || y >= h) {
          return kCorrupt;
        }
        break;
      }
      default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
        const unsigned bytes = four ? (value + 1) / 2 : value;
        const std::uint8_t* p = r.take(bytes + (bytes & 1));
        if (p == nullptr) {
          return kTruncated;
        }
        if (y >= h) {
          return kCorrupt;
        }
        for (unsigned i = 0; i < value; ++i) {
          put(four ? ((i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
        }
        break;
      }
    }
  }
}

Code DecodeBytes(std::span<const std::uint8_t> file, bool packed, ProgressWindow progress, DibHandle* out) {
  ByteReader r(file.data(), file.size());
  BmpHeader h;
  Code c = ReadHeader(r, packed, &h);
  if (c != kOk) {
    return c;
  }
  const bool topDown = h.height < 0;
  const std::int64_t height = topDown ? -h.height : h.height;
  if (!ValidSize(h.width, height)) {
    return kBadDimensions;
  }
  const int w = static_cast<int>(h.width);
  const int ht = static_cast<int>(height);
  const unsigned bits = h.bits;
  if (h.planes != 1) {
    return kCorrupt;
  }
  const bool rle = h.compression == kRle8 || h.compression == kRle4;
  if ((h.compression == kRle8 && bits != 8) || (h.compression == kRle4 && bits != 4) || (rle && topDown)) {
    return kCorrupt;
  }
  const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  if ((fields && bits != 16 && bits != 32) || (!rle && !fields && h.compression != kRgb)) {
    return kUnsupportedVariant;
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return kUnsupportedVariant;
  }

  // Colour table.
  const int outBits = bits == 2 ? 4 : (bits > 8 ? 24 : static_cast<int>(bits));
  int colours = 0;
  if (bits <= 8) {
    if (h.clrUsed > (1u << bits)) {
      return kCorrupt;
    }
    colours = h.clrUsed != 0 ? static_cast<int>(h.clrUsed) : (1 << bits);
  }
  const std::size_t entrySize = h.os2 ? 3 : 4;
  // OS/2 1.x headers have no colour count; writers that store fewer than 2^bits
  // entries say so only through the pixel offset, and the table is as long as it
  // leaves room for (at least one entry).
  if (h.os2 && colours > 1 && h.offBits >= h.tableAt + entrySize &&
      h.offBits < h.tableAt + entrySize * static_cast<std::size_t>(colours)) {
    colours = static_cast<int>((h.offBits - h.tableAt) / entrySize);
  }
  if (!r.seek(h.tableAt) || r.remaining() < entrySize * static_cast<std::size_t>(colours)) {
    return kTruncated;
  }
  const std::uint8_t* table = r.take(entrySize * static_cast<std::size_t>(colours));

  // Pixel data.
  if (h.offBits < h.tableAt + entrySize * static_cast<std::size_t>(colours) && h.offBits != 0) {
    return kCorrupt;
  }
  const std::size_t dataAt = h.offBits != 0 ? h.offBits : r.pos();
  if (dataAt > file.size()) {
    return kTruncated;
  }
  const std::size_t srcStride = Dib::Stride(w, static_cast<int>(bits));
  std::size_t need = 0;
  if (!rle) {
    if (!CheckedMul(srcStride, static_cast<std::size_t>(ht), &need)) {
      return kBadDimensions;
    }
    // The last row needs only its pixels, not its padding.
    const std::size_t lastRow = (static_cast<std::size_t>(w) * bits + 7) / 8;
    if (file.size() - dataAt < need - srcStride + lastRow) {
      return kTruncated;
    }
  } else if (!WithinBudget(Dib::Stride(w, outBits), ht, file.size() - dataAt, kRleRatio)) {
    return kBadDimensions;
  }

  Channel ch[3];
  if (bits == 16 || bits == 32) {
    std::uint32_t m[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (!fields) {
      m[0] = bits == 16 ? 0x7C00 : 0xFF0000;
      m[1] = bits == 16 ? 0x03E0 : 0x00FF00;
      m[2] = bits == 16 ? 0x001F : 0x0000FF;
    }
    const std::uint32_t limit = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    for (int i = 0; i < 3; ++i) {
      if ((m[i] & ~limit) != 0 || !MakeChannel(m[i], &ch[i])) {
        return kCorrupt;
      }
    }
  }

  DibHandle dib;
  c = NewDib(w, ht, outBits, bits <= 8 ? colours : 0, &dib);
  if (c != kOk) {
    return c;
  }
  for (int i = 0; i < colours; ++i) {
    const std::uint8_t* e = table + entrySize * static_cast<std::size_t>(i);
    dib->colors()[i] = RgbQuad{e[0], e[1], e[2], 0};
  }
  BitmapInfoHeader hdr = dib->header();
  hdr.biXPelsPerMeter = h.xPerMetre;
  hdr.biYPelsPerMeter = h.yPerMetre;
  dib->setHeader(hdr);

  if (rle) {
    ByteReader data(file.data() + dataAt, file.size() - dataAt);
    c = DecodeRle(data, *dib, bits == 4, progress);
    if (c != kOk) {
      return c;
    }
  } else {
    for (int y = 0; y < ht; ++y) {
      if (RowCancelled(progress, y, ht)) {
        return kCancelled;
      }
      const std::uint8_t* src = file.data() + dataAt + srcStride * static_cast<std::size_t>(y);
      std::uint8_t* dst = dib->row(topDown ? ht - 1 - y : y);
      switch (bits) {
        case 1:
        case 4:
        case 8:
          std::memcpy(dst, src, (static_cast<std::size_t>(w) * bits + 7) / 8);
          break;
        case 2:
          for (int x = 0; x < w; ++x) {
            const unsigned v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
            dst[x >> 1] = static_cast<std::uint8_t>(dst[x >> 1] | ((x & 1) ? v : v << 4));
          }
          break;
        case 24:
          std::memcpy(dst, src, static_cast<std::size_t>(w) * 3);
          break;
        default: {  // 16 and 32 through the masks
          const int step = static_cast<int>(bits) / 8;
          for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = src + static_cast<std::size_t>(x) * step;
            const std::uint32_t v = step == 2 ? static_cast<std::uint32_t>(p[0] | (p[1] << 8))
                                              : static_cast<std::uint32_t>(p[0]) | (std::uint32_t{p[1]} << 8) |
                                                    (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
            for (int i = 0; i < 3; ++i) {
              const std::uint64_t s = (v >> ch[i].shift) & ch[i].max;
              dst[3 * x + 2 - i] = static_cast<std::uint8_t>((s * 255 + ch[i].max / 2) / ch[i].max);
            }
          }
          break;
        }
      }
    }
  }
  if (!IndicesWithinTable(*dib, colours)) {
    return kCorrupt;
  }
  *out = std::move(dib);
  return kOk;
}

// ---- Encoding ----

void PutInfoHeader(ByteWriter& w, const Dib& dib, std::uint32_t compression, std::uint32_t imageSize, int colours) {
  const BitmapInfoHeader src = dib.header();
  w.u32le(40);
  w.u32le(static_cast<std::uint32_t>(dib.width()));
  w.u32le(static_cast<std::uint32_t>(dib.height()));
  w.u16le(1);
  w.u16le(static_cast<unsigned>(dib.bitCount()));
  w.u32le(compression);
  w.u32le(imageSize);
  w.u32le(static_cast<std::uint32_t>(src.biXPelsPerMeter));
  w.u32le(static_cast<std::uint32_t>(src.biYPelsPerMeter));
  w.u32le(static_cast<std::uint32_t>(colours));
  w.u32le(0);
}

// Pixel `x` of a 4- or 8-bit row.
inline int PixelAt(const std::uint8_t* row, int x, bool four) {
  return four ? ((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4) : row[x];
}

// One row of RLE8 or RLE4: runs of three or more equal pixels as encoded runs, the
// rest as absolute runs (at least three pixels; shorter leftovers as runs of one).
void EncodeRleRow(ByteWriter& w, const std::uint8_t* row, int width, bool four) {
  int x = 0;
  auto runAt = [&](int at) {
    const int v = PixelAt(row, at, four);
    int n = 1;
    while (at + n < width && n < 255 && PixelAt(row, at + n, four) == v) {
      ++n;
    }
    return n;
  };
  while (x < width) {
    const int run = runAt(x);
    if (run >= 3) {
      const int v = PixelAt(row, x, four);
      w.u8(static_cast<unsigned>(run));
      w.u8(static_cast<unsigned>(four ? (v << 4 | v) : v));
      x += run;
      continue;
    }
    // Literal stretch up to the next run of three, at most 255 pixels.
    int end = x;
    while (end < width && end - x < 255 && runAt(end) < 3) {
      ++end;
    }
    int n = end - x;
    if (n < 3) {
      for (int i = 0; i < n; ++i) {
        const int v = PixelAt(row, x + i, four);
        w.u8(1);
        w.u8(static_cast<unsigned>(four ? v << 4 : v));
      }
      x = end;
      continue;
    }
    w.u8(0);
    w.u8(static_cast<unsigned>(n));
    const std::size_t start = w.size();
    if (four) {
      for (int i = 0; i < n; i += 2) {
        const int hi = PixelAt(row, x + i, true);
        const int lo = i + 1 < n ? PixelAt(row, x + i + 1, true) : 0;
        w.u8(static_cast<unsigned>(hi << 4 | lo));
      }
    } else {
      w.bytes(row + x, static_cast<std::size_t>(n));
    }
    if ((w.size() - start) & 1) {
      w.u8(0);
    }
    x = end;
  }
}

Code EncodeBytes(ProgressWindow progress, const Dib& dib, int kind, ByteWriter& w) {
  const int bits = dib.bitCount();
  const int colours = dib.colorCount();
  const int h = dib.height();
  const bool rle = kind == 2;
  if (rle && bits != 4 && bits != 8) {
    return kDepthNotWritable;
  }
  w.bytes("BM", 2);
  w.u32le(0);  // file size, set at the end
  w.u32le(0);
  w.u32le(0);  // pixel offset, set below
  if (kind == 1) {
    w.u32le(12);
    w.u16le(static_cast<unsigned>(dib.width()));
    w.u16le(static_cast<unsigned>(h));
    w.u16le(1);
    w.u16le(static_cast<unsigned>(bits));
    // OS/2 readers expect the full table of 2^bits entries, three bytes each.
    const int full = bits <= 8 ? (1 << bits) : 0;
    for (int i = 0; i < full; ++i) {
      const RgbQuad q = i < colours ? dib.colors()[i] : RgbQuad{};
      w.u8(q.rgbBlue);
      w.u8(q.rgbGreen);
      w.u8(q.rgbRed);
    }
  } else {
    const std::size_t imageSize = rle ? 0 : dib.stride() * static_cast<std::size_t>(h);
    PutInfoHeader(w, dib, rle ? (bits == 8 ? kRle8 : kRle4) : kRgb, static_cast<std::uint32_t>(imageSize),
                  bits <= 8 ? colours : 0);
    w.bytes(dib.colors(), 4u * static_cast<std::size_t>(colours));
  }
  const std::size_t dataAt = w.size();
  w.put32le(10, static_cast<std::uint32_t>(dataAt));
  for (int y = 0; y < h; ++y) {
    if (RowCancelled(progress, y, h)) {
      return kCancelled;
    }
    if (rle) {
      EncodeRleRow(w, dib.row(y), dib.width(), bits == 4);
      w.u8(0);
      w.u8(y + 1 < h ? 0 : 1);  // end of line, or end of bitmap after the last row
    } else {
      w.bytes(dib.row(y), dib.stride());
    }
  }
  if (rle) {
    w.put32le(14 + 20, static_cast<std::uint32_t>(w.size() - dataAt));
  }
  w.put32le(2, static_cast<std::uint32_t>(w.size()));
  return kOk;
}

}  // namespace

Code DecodePackedDib(const std::uint8_t* data, std::size_t size, ProgressWindow progress, DibHandle* out) {
  if (out == nullptr) {
    return kInvalidParameter;
  }
  out->reset();
  try {
    const Code c = DecodeBytes({data, size}, true, progress, out);
    return c == kNotThisFormat ? kCorrupt : c;  // the container said it is a bitmap
  } catch (const std::bad_alloc&) {
    out->reset();
    return kNoMemory;
  }
}

Code PackedDibSize(const std::uint8_t* data, std::size_t size, int* width, int* height, int* bits) {
  ByteReader r(data, size);
  BmpHeader h;
  if (const Code c = ReadHeader(r, true, &h); c != kOk) {
    return c == kNotThisFormat ? kCorrupt : c;
  }
  const std::int64_t ht = h.height < 0 ? -h.height : h.height;
  if (!ValidSize(h.width, ht)) {
    return kBadDimensions;
  }
  *width = static_cast<int>(h.width);
  *height = static_cast<int>(ht);
  *bits = static_cast<int>(h.bits);
  return kOk;
}

Code InfoBMP(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    ByteReader r(file);
    BmpHeader h;
    if (const Code c = ReadHeader(r, StartsPackedDib(file), &h); c != kOk) {
      return c;
    }
    FillInfo(0, static_cast<int>(h.width), static_cast<int>(h.height < 0 ? -h.height : h.height),
             static_cast<int>(h.bits), found);
    return kOk;
  });
}

Code DecodeBMP(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& file) {
    return DecodeBytes(file, StartsPackedDib(file), progress, out);
  });
}

Code EncodeBMP(ProgressWindow progress, const std::string& path, const Dib* dib, int kind) {
  if (ValidateDib(dib) != 0 || kind < 0 || kind > 2) {
    return kDepthNotWritable;
  }
  try {
    ByteWriter w;
    const Code c = EncodeBytes(progress, *dib, kind, w);
    return c != kOk ? c : WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
