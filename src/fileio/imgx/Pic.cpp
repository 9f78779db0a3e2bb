// PC Paint pictures (.PIC): a 17-byte little-endian header (signature 0x1234, size,
// screen offset, plane info, palette flag 0xFF, video mode, palette type and size),
// the palette, then the pixel data in run-length blocks. Each block is its size
// (header included), its unpacked size and its run marker byte; in the data, the
// marker is followed by a count byte and a value, or by 0, a 16-bit count and a
// value; every other byte stands for itself. Rows are stored bottom row first; a
// picture of several 1-bit planes stores each plane whole, one after another.

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/LegacyPalettes.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kPicSignature = 0x1234;
constexpr std::size_t kPicHeaderSize = 17;
constexpr std::size_t kBlockHeaderSize = 5;
// Unpacked bytes per block the encoder writes: small enough that the worst packing
// (three bytes for a lone marker byte) keeps the block size in 16 bits.
constexpr std::size_t kEncodeChunk = 16384;

enum PaletteType : std::uint16_t { kPalNone = 0, kPalCga = 1, kPalPcjr = 2, kPalEga = 3, kPalVga = 4 };

struct PicHeader {
  int width = 0;
  int height = 0;
  int bitsPerPlane = 0;
  int planes = 0;
  bool newFormat = false;
  std::uint16_t paletteType = kPalNone;
  std::uint16_t paletteSize = 0;
  std::size_t dataOffset = 0;  // the palette follows the header; data follows the palette
};

Code ReadHeader(ByteReader& in, PicHeader* h) {
  if (in.size() < 11 || in.u16le() != kPicSignature) {
    return kNotPcPaint;
  }
  h->width = in.u16le();
  h->height = in.u16le();
  in.skip(4);  // screen offsets
  const std::uint8_t planeInfo = in.u8();
  h->bitsPerPlane = planeInfo & 0x0F;
  h->planes = (planeInfo >> 4) + 1;
  // Files of the first program version end their header here; their flag byte is not
  // 0xFF and they carry no palette.
  if (in.size() >= kPicHeaderSize && in.cursor()[0] == 0xFF) {
    h->newFormat = true;
    in.skip(2);  // flag, video mode
    h->paletteType = in.u16le();
    h->paletteSize = in.u16le();
  }
  h->dataOffset = in.pos();
  if (!in.ok()) {
    return kTruncated;
  }
  return kOk;
}

// Depth of the image we hand back for the stored plane layout; 0 when not handled.
int OutputBits(const PicHeader& h) {
  if (h.planes == 1) {
    switch (h.bitsPerPlane) {
      case 1: return 1;
      case 2: return 4;  // widened
      case 4: return 4;
      case 8: return 8;
      default: return 0;
    }
  }
  if (h.bitsPerPlane == 1 && h.planes >= 2 && h.planes <= 4) {
    return 4;  // EGA-style bit planes, combined
  }
  return 0;
}

// The colour table for the stored palette, `count` entries.
Code BuildPalette(const PicHeader& h, const std::uint8_t* pal, int count, RgbQuad* table) {
  const int storedBits = h.bitsPerPlane * h.planes;
  DefaultPcPalette(storedBits, table, count);
  if (!h.newFormat || h.paletteSize == 0) {
    return kOk;
  }
  switch (h.paletteType) {
    case kPalVga: {
      const int entries = std::min<int>(count, h.paletteSize / 3);
      for (int i = 0; i < entries; ++i) {
        table[i] = RgbQuad{Vga6To8(pal[3 * i + 2]), Vga6To8(pal[3 * i + 1]), Vga6To8(pal[3 * i]), 0};
      }
      return kOk;
    }
    case kPalEga: {
      const int entries = std::min<int>(count, h.paletteSize);
      for (int i = 0; i < entries; ++i) {
        table[i] = EgaColour(pal[i]);
      }
      return kOk;
    }
    case kPalCga:
      if (storedBits == 2) {
        CgaPalette(pal[0], h.paletteSize > 1 ? pal[1] : 0, table);
      }
      return kOk;
    default:
      return kOk;  // PCjr and unknown palettes: the defaults stand
  }
}

// Unpacks the blocks into out[0..size), which they must fill exactly. With out null
// it only checks that they would, so nothing is allocated for a picture that a short
// or broken file cannot hold.
Code Unpack(ByteReader in, std::uint8_t* out, std::size_t size) {
  const std::uint16_t blocks = in.u16le();
  if (!in.ok()) {
    return kTruncated;
  }
  if (blocks == 0) {  // stored without packing
    const std::uint8_t* p = in.take(size);
    if (p == nullptr) {
      return kTruncated;
    }
    if (out != nullptr) {
      std::memcpy(out, p, size);
    }
    return kOk;
  }
  std::size_t at = 0;
  for (unsigned b = 0; b < blocks; ++b) {
    const std::uint16_t blockSize = in.u16le();
    in.skip(2);  // unpacked size: the data itself decides
    const std::uint8_t marker = in.u8();
    if (!in.ok()) {
      return kTruncated;
    }
    if (blockSize < kBlockHeaderSize) {
      return kCorrupt;
    }
    const std::uint8_t* data = in.take(blockSize - kBlockHeaderSize);
    if (data == nullptr) {
      return kTruncated;
    }
    ByteReader blk(data, blockSize - kBlockHeaderSize);
    while (blk.remaining() > 0) {
      const std::uint8_t v = blk.u8();
      if (v != marker) {
        if (at >= size) {
          return kCorrupt;
        }
        if (out != nullptr) {
          out[at] = v;
        }
        ++at;
        continue;
      }
      std::size_t count = blk.u8();
      if (count == 0) {
        count = blk.u16le();
      }
      const std::uint8_t value = blk.u8();
      if (!blk.ok()) {
        return kCorrupt;  // a run cut off by the end of its block
      }
      if (count > size - at) {
        return kCorrupt;  // a run past the end of the picture
      }
      if (out != nullptr) {
        std::memset(out + at, value, count);
      }
      at += count;
    }
  }
  return at == size ? kOk : kTruncated;
}

Code ParsePic(ProgressWindow progress, const std::vector<std::uint8_t>& file, DibHandle* out) {
  ByteReader in(file);
  PicHeader h;
  if (const Code c = ReadHeader(in, &h); c != kOk) {
    return c;
  }
  const int bits = OutputBits(h);
  if (bits == 0) {
    return kUnsupportedVariant;
  }
  if (h.width < 1 || h.height < 1 || h.width > kMaxDibSide || h.height > kMaxDibSide) {
    return kBadDimensions;
  }
  const std::uint8_t* pal = in.take(h.newFormat ? h.paletteSize : 0);
  if (pal == nullptr) {
    return kTruncated;
  }
  const std::size_t planeRow = (static_cast<std::size_t>(h.width) * h.bitsPerPlane + 7) / 8;
  std::size_t planeSize = 0;
  std::size_t total = 0;
  if (!CheckedMul(planeRow, static_cast<std::size_t>(h.height), &planeSize) ||
      !CheckedMul(planeSize, static_cast<std::size_t>(h.planes), &total)) {
    return kBadDimensions;
  }
  if (const Code c = Unpack(in, nullptr, total); c != kOk) {
    return c;
  }
  std::vector<std::uint8_t> raw;
  try {
    raw.resize(total);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  if (const Code c = Unpack(in, raw.data(), raw.size()); c != kOk) {
    return c;
  }

  const int colours = 1 << bits;
  DibHandle dib;
  if (const OpResult r = Dib::Create(h.width, h.height, bits, colours, &dib); r != kOk) {
    return r == kOutOfMemory ? kNoMemory : kBadDimensions;
  }
  if (const Code c = BuildPalette(h, pal, colours, dib->colors()); c != kOk) {
    return c;
  }
  for (int y = 0; y < h.height; ++y) {
    if (ProgressStep(progress, y, h.height)) {
      return kCancelled;
    }
    std::uint8_t* dst = dib->row(y);  // stored bottom row first, as the DIB
    const std::uint8_t* src = raw.data() + static_cast<std::size_t>(y) * planeRow;
    if (h.planes == 1 && h.bitsPerPlane != 2) {
      std::memcpy(dst, src, planeRow);
      continue;
    }
    std::memset(dst, 0, dib->stride());
    for (int x = 0; x < h.width; ++x) {
      int v = 0;
      if (h.planes == 1) {  // 2 bits a pixel
        v = (src[x / 4] >> (6 - 2 * (x % 4))) & 3;
      } else {
        for (int p = 0; p < h.planes; ++p) {
          v |= ((src[p * planeSize + x / 8] >> (7 - x % 8)) & 1) << p;
        }
      }
      dst[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? v << 4 : v);
    }
  }
  *out = std::move(dib);
  return kOk;
}

// Packs one chunk as a block with the least used byte value as its marker.
void PackBlock(const std::uint8_t* src, std::size_t n, ByteWriter& w) {
  std::array<std::size_t, 256> freq{};
  for (std::size_t i = 0; i < n; ++i) {
    ++freq[src[i]];
  }
  const auto marker = static_cast<std::uint8_t>(std::min_element(freq.begin(), freq.end()) - freq.begin());
  const std::size_t start = w.size();
  w.u16le(0);  // block size, patched below
  w.u16le(static_cast<unsigned>(n));
  w.u8(marker);
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && src[i + run] == src[i] && run < 0xFFFF) {
      ++run;
    }
    if (run >= 4 || src[i] == marker) {
      w.u8(marker);
      if (run <= 0xFF) {
        w.u8(static_cast<unsigned>(run));
      } else {
        w.u8(0);
        w.u16le(static_cast<unsigned>(run));
      }
      w.u8(src[i]);
      i += run;
    } else {
      for (std::size_t k = 0; k < run; ++k) {
        w.u8(src[i]);
      }
      i += run;
    }
  }
  w.put16le(start, static_cast<unsigned>(w.size() - start));
}

}  // namespace

Code InfoPIC(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    ByteReader in(file);
    PicHeader h;
    if (const Code c = ReadHeader(in, &h); c != kOk) {
      return c;
    }
    FillInfo(17, h.width, h.height, h.bitsPerPlane * h.planes, found);
    return kOk;
  });
}

Code DecodePIC(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& file) { return ParsePic(progress, file, out); });
}

// 1-bit pictures are written as one 1-bit plane, 4-bit ones as four EGA bit planes and
// 8-bit ones as one byte a pixel; the colour table goes out as a VGA palette (6 bits
// a channel, so colours keep their top six bits).
Code EncodePIC(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (ValidateDib(dib) != kOk) {
    return static_cast<Code>(km::kInvalidArgument);  // no image, or a broken one
  }
  const int bits = dib->bitCount();
  if (bits != 1 && bits != 4 && bits != 8) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const int planes = bits == 4 ? 4 : 1;
  const int bitsPerPlane = bits == 4 ? 1 : bits;
  const std::size_t planeRow = (static_cast<std::size_t>(width) * bitsPerPlane + 7) / 8;
  const std::size_t planeSize = planeRow * height;
  try {
    std::vector<std::uint8_t> raw(planeSize * planes, 0);
    for (int y = 0; y < height; ++y) {
      if (ProgressStep(progress, y, height)) {
        return kCancelled;
      }
      const std::uint8_t* src = dib->row(y);
      std::uint8_t* dst = raw.data() + static_cast<std::size_t>(y) * planeRow;
      if (planes == 1) {
        std::memcpy(dst, src, planeRow);
        if (bits == 1 && width % 8 != 0) {
          dst[planeRow - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width % 8));
        }
        continue;
      }
      for (int x = 0; x < width; ++x) {
        const int v = x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2] & 0x0F;
        for (int p = 0; p < 4; ++p) {
          if ((v >> p) & 1) {
            dst[p * planeSize + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
          }
        }
      }
    }

    ByteWriter w;
    w.u16le(kPicSignature);
    w.u16le(static_cast<unsigned>(width));
    w.u16le(static_cast<unsigned>(height));
    w.u16le(0);
    w.u16le(0);
    w.u8(static_cast<unsigned>(((planes - 1) << 4) | bitsPerPlane));
    w.u8(0xFF);
    w.u8(bits == 8 ? 'L' : bits == 4 ? 'M' : 'A');
    const int entries = 1 << bits;
    w.u16le(kPalVga);
    w.u16le(static_cast<unsigned>(3 * entries));
    const RgbQuad* table = dib->colors();
    for (int i = 0; i < entries; ++i) {
      const RgbQuad c = i < dib->colorCount() ? table[i] : RgbQuad{};
      w.u8(c.rgbRed >> 2);
      w.u8(c.rgbGreen >> 2);
      w.u8(c.rgbBlue >> 2);
    }
    const std::size_t blocks = (raw.size() + kEncodeChunk - 1) / kEncodeChunk;
    if (blocks > 0xFFFF) {
      return kDepthNotWritable;
    }
    w.u16le(static_cast<unsigned>(blocks));
    for (std::size_t at = 0; at < raw.size(); at += kEncodeChunk) {
      PackBlock(raw.data() + at, std::min(kEncodeChunk, raw.size() - at), w);
    }
    return WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
