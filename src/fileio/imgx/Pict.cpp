// Macintosh pictures (.PCT): an optional 512-byte application header, the picture size
// and frame, then big-endian opcodes. Version 2 pictures have 16-bit opcodes whose data
// keeps word alignment; version 1 pictures have byte opcodes. The pixels come from the
// bitmap opcodes (BitsRect, BitsRgn, PackBitsRect, PackBitsRgn, DirectBitsRect,
// DirectBitsRgn); every other opcode is skipped by its documented length.
//
// One bitmap opcode gives an image of its own depth and colour table; a picture drawn in
// several bands is put together in 24 bits on its frame, each band at its destination.

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/PackBits.h"

namespace km::imgx {

namespace {

constexpr std::size_t kAppHeader = 512;
constexpr int kMaxBands = 4096;
// Decoded bytes a picture may ask for: always kFreeBytes, beyond that at most
// kMaxPacking times the file's size (PackBits turns 2 bytes into at most 128).
constexpr std::size_t kFreeBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxPacking = 128;

struct Rect {
  int top = 0, left = 0, bottom = 0, right = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

Rect ReadRect(ByteReader& in) {
  Rect r;
  r.top = in.s16be();
  r.left = in.s16be();
  r.bottom = in.s16be();
  r.right = in.s16be();
  return r;
}

// One decoded bitmap opcode: rows top first, 1/4/8 bits with a table, or 24 bits as
// blue, green, red.
struct Band {
  Rect dst;
  int width = 0;
  int height = 0;
  int bits = 0;
  std::vector<RgbQuad> table;
  std::size_t stride = 0;
  std::vector<std::uint8_t> pixels;
};

struct PixMap {
  int rowBytes = 0;
  bool isPixMap = false;
  Rect bounds;
  int packType = 0;
  int pixelSize = 1;
  int cmpCount = 1;
};

bool ReadPixMap(ByteReader& in, PixMap* pm) {
  const std::uint16_t rb = in.u16be();
  pm->isPixMap = (rb & 0x8000) != 0;
  pm->rowBytes = rb & 0x3FFF;
  pm->bounds = ReadRect(in);
  if (pm->isPixMap) {
    in.skip(2);  // version
    pm->packType = in.u16be();
    in.skip(4 + 4 + 4 + 2);  // packSize, hRes, vRes, pixelType
    pm->pixelSize = in.u16be();
    pm->cmpCount = in.u16be();
    in.skip(2 + 4 + 4 + 4);  // cmpSize, planeBytes, pmTable, reserved
  }
  return in.ok();
}

// Reads one row's bytes (packed or not) into `row` (rowBytes long).
Code ReadRow(ByteReader& in, const PixMap& pm, bool packed, bool wordRuns, std::uint8_t* row) {
  if (!packed) {
    return in.read(row, static_cast<std::size_t>(pm.rowBytes)) ? kOk : kTruncated;
  }
  const std::size_t count = pm.rowBytes > 250 ? in.u16be() : in.u8();
  const std::uint8_t* src = in.take(count);
  if (src == nullptr) {
    return kTruncated;
  }
  ByteReader runs(src, count);
  const RunResult r = UnpackAllBits(runs, row, static_cast<std::size_t>(pm.rowBytes), wordRuns ? 2 : 1);
  return r == RunResult::kOk ? kOk : kCorrupt;
}

Code ReadBitsOpcode(ByteReader& in, int opcode, std::size_t* budget, Band* band) {
  const bool direct = opcode == 0x9A || opcode == 0x9B;
  const bool region = opcode == 0x91 || opcode == 0x99 || opcode == 0x9B;
  if (direct) {
    in.skip(4);  // base address
  }
  PixMap pm;
  if (!ReadPixMap(in, &pm)) {
    return kTruncated;
  }
  if (direct && !pm.isPixMap) {
    return kCorrupt;
  }
  const int width = pm.bounds.width();
  const int height = pm.bounds.height();
  if (width < 1 || height < 1 || width > kMaxDibSide || height > kMaxDibSide) {
    return kBadDimensions;
  }
  const int ps = pm.pixelSize;
  const bool indexed = !direct;
  if (indexed ? (ps != 1 && ps != 2 && ps != 4 && ps != 8) : (ps != 16 && ps != 32)) {
    return kUnsupportedVariant;
  }
  band->width = width;
  band->height = height;
  band->bits = indexed ? (ps == 2 ? 4 : ps) : 24;

  if (indexed && pm.isPixMap) {
    in.skip(4);  // seed
    const std::uint16_t flags = in.u16be();
    const int entries = in.u16be() + 1;
    if (!in.ok() || static_cast<std::size_t>(entries) * 8 > in.remaining()) {
      return kTruncated;
    }
    band->table.assign(static_cast<std::size_t>(1) << band->bits, RgbQuad{});
    for (int i = 0; i < entries; ++i) {
      const int value = in.u16be();
      const int at = (flags & 0x8000) != 0 ? i : value;
      const auto r = static_cast<std::uint8_t>(in.u16be() >> 8);
      const auto g = static_cast<std::uint8_t>(in.u16be() >> 8);
      const auto b = static_cast<std::uint8_t>(in.u16be() >> 8);
      if (at >= 0 && static_cast<std::size_t>(at) < band->table.size()) {  // extra entries are ignored
        band->table[at] = RgbQuad{b, g, r, 0};
      }
    }
  } else if (indexed) {
    band->table = {RgbQuad{255, 255, 255, 0}, RgbQuad{0, 0, 0, 0}};  // bitmaps: 0 white, 1 black
  }
  in.skip(8);  // source rectangle: the whole bounds are kept
  band->dst = ReadRect(in);
  in.skip(2);  // transfer mode
  if (region) {
    const std::uint16_t size = in.u16be();
    if (size < 2 || !in.skip(size - 2u)) {
      return kTruncated;
    }
  }
  if (!in.ok()) {
    return kTruncated;
  }

  int packType = pm.packType;
  if (direct && packType == 0) {
    packType = ps == 32 ? 4 : 3;
  }
  const std::size_t minRow = direct && packType == 2 ? static_cast<std::size_t>(width) * 3
                             : direct && packType == 4 ? static_cast<std::size_t>(width) * pm.cmpCount
                                                      : (static_cast<std::size_t>(width) * ps + 7) / 8;
  if (static_cast<std::size_t>(pm.rowBytes) < minRow) {
    return kCorrupt;
  }
  // Rows under 8 bytes, and rows of pack types 1 (none) and 2 (pad byte dropped), are
  // stored as they are.
  const bool packed = pm.rowBytes >= 8 && packType != 1 && !(direct && packType == 2);
  const bool wordRuns = ps == 16 && packed;
  if (direct && packType == 4 && (pm.cmpCount != 3 && pm.cmpCount != 4)) {
    return kUnsupportedVariant;
  }
  // Each row needs at least one byte in the file: refuse absurd heights early.
  if (static_cast<std::size_t>(height) > in.remaining()) {
    return kTruncated;
  }

  band->stride = direct ? static_cast<std::size_t>(width) * 3 : (static_cast<std::size_t>(width) * band->bits + 7) / 8;
  const std::size_t bytes = band->stride * static_cast<std::size_t>(height);
  if (bytes > *budget) {
    return kTruncated;  // more pixels than a file of this size can hold
  }
  *budget -= bytes;
  band->pixels.assign(bytes, 0);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(pm.rowBytes) + 1, 0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = band->pixels.data() + band->stride * y;
    if (direct && packType == 2 && !packed) {
      if (!in.read(row.data(), static_cast<std::size_t>(width) * 3)) {
        return kTruncated;
      }
    } else if (const Code c = ReadRow(in, pm, packed, wordRuns, row.data()); c != kOk) {
      return c;
    }
    if (indexed) {
      if (ps == 2) {
        for (int x = 0; x < width; ++x) {
          const int v = (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
          out[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? v << 4 : v);
        }
      } else {
        std::memcpy(out, row.data(), band->stride);
      }
      continue;
    }
    for (int x = 0; x < width; ++x) {
      std::uint8_t r, g, b;
      if (ps == 16) {
        const int v = (row[2 * x] << 8) | row[2 * x + 1];
        r = static_cast<std::uint8_t>(((v >> 10) & 31) << 3 | ((v >> 12) & 7));
        g = static_cast<std::uint8_t>(((v >> 5) & 31) << 3 | ((v >> 7) & 7));
        b = static_cast<std::uint8_t>((v & 31) << 3 | ((v >> 2) & 7));
      } else if (packType == 2 && !packed) {
        r = row[3 * x];
        g = row[3 * x + 1];
        b = row[3 * x + 2];
      } else if (packed) {  // component planes; with four, alpha comes first
        const std::size_t skip = pm.cmpCount == 4 ? static_cast<std::size_t>(width) : 0;
        r = row[skip + x];
        g = row[skip + width + x];
        b = row[skip + 2 * static_cast<std::size_t>(width) + x];
      } else {  // unpacked 32-bit pixels: pad, red, green, blue
        r = row[4 * x + 1];
        g = row[4 * x + 2];
        b = row[4 * x + 3];
      }
      out[3 * x] = b;
      out[3 * x + 1] = g;
      out[3 * x + 2] = r;
    }
  }
  return kOk;
}

// Skips an opcode that draws no bitmap; false when its data is not there.
bool SkipOpcode(ByteReader& in, int op, bool v2) {
  auto skipSized16 = [&in]() {  // a region or polygon: its size includes the size word
    const std::uint16_t size = in.u16be();
    return size >= 2 && in.skip(size - 2u);
  };
  auto skipLen16 = [&in]() { return in.skip(in.u16be()); };
  if (op >= 0x100) {
    if (op == 0x0C00) return in.skip(24);
    if (op <= 0x7FFF) return in.skip(static_cast<std::size_t>(op >> 8) * 2);
    if (op <= 0x80FF) return true;
    return in.skip(in.u32be());
  }
  switch (op) {
    case 0x00: case 0x1C: case 0x1E: return true;
    case 0x01: return skipSized16();
    case 0x02: case 0x09: case 0x0A: case 0x10: return in.skip(8);
    case 0x03: case 0x05: case 0x08: case 0x0D: case 0x15: case 0x16: case 0x23: case 0xA0: return in.skip(2);
    case 0x04: return in.skip(1);
    case 0x06: case 0x07: case 0x0B: case 0x0C: case 0x0E: case 0x0F: case 0x21: return in.skip(4);
    case 0x11: return in.skip(v2 ? 2 : 1);
    case 0x1A: case 0x1B: case 0x1D: case 0x1F: case 0x22: return in.skip(6);
    case 0x20: return in.skip(8);
    case 0x28: in.skip(4); return in.skip(in.u8());
    case 0x29: case 0x2A: in.skip(1); return in.skip(in.u8());
    case 0x2B: in.skip(2); return in.skip(in.u8());
    case 0xA1: in.skip(2); return skipLen16();
    case 0x12: case 0x13: case 0x14: return false;  // pixel patterns: not followed
    default: break;
  }
  if ((op >= 0x24 && op <= 0x27) || (op >= 0x2C && op <= 0x2F) || (op >= 0x92 && op <= 0x97) ||
      (op >= 0x9C && op <= 0x9F) || (op >= 0xA2 && op <= 0xAF)) {
    return skipLen16();
  }
  if (op >= 0x30 && op <= 0x37) return in.skip(8);
  if (op >= 0x38 && op <= 0x3F) return true;
  if (op >= 0x40 && op <= 0x47) return in.skip(8);
  if (op >= 0x48 && op <= 0x4F) return true;
  if (op >= 0x50 && op <= 0x57) return in.skip(8);
  if (op >= 0x58 && op <= 0x5F) return true;
  if (op >= 0x60 && op <= 0x67) return in.skip(12);
  if (op >= 0x68 && op <= 0x6F) return in.skip(4);
  if ((op >= 0x70 && op <= 0x77) || (op >= 0x80 && op <= 0x87)) return skipSized16();
  if ((op >= 0x78 && op <= 0x7F) || (op >= 0x88 && op <= 0x8F)) return true;
  if (op >= 0xB0 && op <= 0xCF) return true;
  if (op >= 0xD0 && op <= 0xFE) return in.skip(in.u32be());
  return false;
}

// Finds the version opcode after the size and frame; the frame comes back in *frame.
bool FindStart(const std::vector<std::uint8_t>& file, std::size_t base, Rect* frame, bool* v2) {
  if (file.size() < base + 12) {
    return false;
  }
  ByteReader in(file.data() + base, file.size() - base);
  in.skip(2);
  *frame = ReadRect(in);
  const std::uint8_t* p = in.take(2);
  if (p == nullptr) {
    return false;
  }
  if (p[0] == 0x11 && p[1] == 0x01) {
    *v2 = false;
    return true;
  }
  if (p[0] == 0x00 && p[1] == 0x11 && in.remaining() >= 2 && in.cursor()[0] == 0x02 && in.cursor()[1] == 0xFF) {
    *v2 = true;
    return true;
  }
  return false;
}

Code Compose(const Rect& frame, std::vector<Band>& bands, std::size_t budget, DibHandle* out) {
  if (bands.size() == 1) {
    const Band& b = bands[0];
    DibHandle dib;
    const int colours = b.bits == 24 ? 0 : 1 << b.bits;
    if (Dib::Create(b.width, b.height, b.bits, colours, &dib) != kOk) {
      return kNoMemory;
    }
    if (colours != 0) {
      std::copy(b.table.begin(), b.table.end(), dib->colors());
    }
    for (int y = 0; y < b.height; ++y) {
      std::memcpy(dib->row(b.height - 1 - y), b.pixels.data() + b.stride * y, b.stride);
    }
    *out = std::move(dib);
    return kOk;
  }
  const int width = frame.width();
  const int height = frame.height();
  if (width < 1 || height < 1 || width > kMaxDibSide || height > kMaxDibSide) {
    return kBadDimensions;
  }
  if (Dib::Stride(width, 24) * static_cast<std::size_t>(height) > budget) {
    return kCorrupt;  // a frame far larger than the bands drawn on it
  }
  DibHandle dib;
  if (Dib::Create(width, height, 24, 0, &dib) != kOk) {
    return kNoMemory;
  }
  for (int y = 0; y < height; ++y) {
    std::memset(dib->row(y), 0xFF, dib->stride());  // an undrawn frame is white
  }
  for (const Band& b : bands) {
    const int ox = b.dst.left - frame.left;
    const int oy = b.dst.top - frame.top;
    for (int y = 0; y < b.height; ++y) {
      const int ty = oy + y;
      if (ty < 0 || ty >= height) {
        continue;
      }
      const std::uint8_t* src = b.pixels.data() + b.stride * y;
      std::uint8_t* dst = dib->row(height - 1 - ty);
      for (int x = 0; x < b.width; ++x) {
        const int tx = ox + x;
        if (tx < 0 || tx >= width) {
          continue;
        }
        std::uint8_t* d = dst + 3 * static_cast<std::size_t>(tx);
        if (b.bits == 24) {
          std::memcpy(d, src + 3 * static_cast<std::size_t>(x), 3);
          continue;
        }
        int v = 0;
        switch (b.bits) {
          case 1: v = (src[x / 8] >> (7 - x % 8)) & 1; break;
          case 4: v = x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2] & 0x0F; break;
          default: v = src[x]; break;
        }
        const RgbQuad c = b.table[v];
        d[0] = c.rgbBlue;
        d[1] = c.rgbGreen;
        d[2] = c.rgbRed;
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

Code ParsePict(ProgressWindow progress, const std::vector<std::uint8_t>& file, DibHandle* out) {
  Rect frame;
  bool v2 = false;
  std::size_t base = kAppHeader;
  if (!FindStart(file, base, &frame, &v2)) {
    base = 0;
    if (!FindStart(file, base, &frame, &v2)) {
      return kNotThisFormat;
    }
  }
  ByteReader in(file.data() + base, file.size() - base);
  in.skip(10);
  std::vector<Band> bands;
  std::size_t budget = kFreeBytes;
  if (std::size_t scaled = 0; CheckedMul(file.size(), kMaxPacking, &scaled)) {
    budget = std::max(budget, scaled);
  }
  for (;;) {
    if (v2 && (in.pos() & 1) != 0) {
      in.skip(1);
    }
    const int op = v2 ? in.u16be() : in.u8();
    if (!in.ok()) {
      break;  // a picture without its end opcode: keep what was drawn
    }
    if (op == 0xFF) {
      break;
    }
    if (op == 0x90 || op == 0x91 || op == 0x98 || op == 0x99 || op == 0x9A || op == 0x9B) {
      if (bands.size() >= kMaxBands) {
        return kCorrupt;
      }
      Band band;
      if (const Code c = ReadBitsOpcode(in, op, &budget, &band); c != kOk) {
        return c;
      }
      bands.push_back(std::move(band));
      if (ProgressStep(progress, static_cast<long long>(in.pos()), static_cast<long long>(in.size()))) {
        return kCancelled;
      }
      continue;
    }
    if (!SkipOpcode(in, op, v2)) {
      return in.ok() ? kUnsupportedVariant : kTruncated;
    }
  }
  if (bands.empty()) {
    return in.ok() ? kUnsupportedVariant : kTruncated;  // a drawing without a bitmap
  }
  return Compose(frame, bands, budget, out);
}

// One packed row with its byte count (a byte when rowBytes <= 250, else a word).
void PutPackedRow(ByteWriter& w, const std::uint8_t* row, std::size_t n, int rowBytes) {
  std::vector<std::uint8_t> packed;
  PackBits(row, n, &packed);
  if (rowBytes > 250) {
    w.u16be(static_cast<unsigned>(packed.size()));
  } else {
    w.u8(static_cast<unsigned>(packed.size()));
  }
  w.bytes(packed.data(), packed.size());
}

void PutPixMap(ByteWriter& w, int rowBytes, int width, int height, int packType, int pixelSize, int cmpCount,
               int cmpSize) {
  w.u16be(static_cast<unsigned>(rowBytes) | 0x8000);
  w.u16be(0);
  w.u16be(0);
  w.u16be(static_cast<unsigned>(height));
  w.u16be(static_cast<unsigned>(width));
  w.u16be(0);  // version
  w.u16be(static_cast<unsigned>(packType));
  w.u32be(0);           // packSize
  w.u32be(0x00480000);  // 72 dpi
  w.u32be(0x00480000);
  w.u16be(pixelSize == 32 ? 16 : 0);  // RGBDirect or chunky
  w.u16be(static_cast<unsigned>(pixelSize));
  w.u16be(static_cast<unsigned>(cmpCount));
  w.u16be(static_cast<unsigned>(cmpSize));
  w.u32be(0);
  w.u32be(0);
  w.u32be(0);
}

void PutRects(ByteWriter& w, int width, int height) {
  for (int i = 0; i < 2; ++i) {  // source and destination
    w.u16be(0);
    w.u16be(0);
    w.u16be(static_cast<unsigned>(height));
    w.u16be(static_cast<unsigned>(width));
  }
  w.u16be(0);  // srcCopy
}

}  // namespace

Code InfoPICT(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    Rect frame;
    bool v2 = false;
    if (!FindStart(file, kAppHeader, &frame, &v2) && !FindStart(file, 0, &frame, &v2)) {
      return kNotThisFormat;
    }
    FillInfo(113, frame.width(), frame.height(), 0, found);  // the depth is known only from the bitmap opcodes
    return kOk;
  });
}

Code DecodePICT(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& file) { return ParsePict(progress, file, out); });
}

// Writes a version 2 picture at 72 dpi: palette images as one PackBitsRect with their
// colour table, 24-bit images as one DirectBitsRect of 32-bit pixels packed by
// component. `version` is accepted for the caller's sake: version 2 is the one written.
Code EncodePICT(ProgressWindow progress, const std::string& path, const Dib* dib, int version) {
  (void)version;
  if (ValidateDib(dib) != kOk) {
    return static_cast<Code>(km::kInvalidArgument);  // no image, or a broken one
  }
  const int width = dib->width();
  const int height = dib->height();
  const int bits = dib->bitCount();
  try {
    ByteWriter w;
    w.fill(0, kAppHeader);
    w.u16be(0);  // picture size, patched below
    w.u16be(0);
    w.u16be(0);
    w.u16be(static_cast<unsigned>(height));
    w.u16be(static_cast<unsigned>(width));
    w.u16be(0x0011);
    w.u16be(0x02FF);
    w.u16be(0x0C00);
    w.u16be(0xFFFE);  // extended version 2 header
    w.u16be(0);
    w.u32be(0x00480000);
    w.u32be(0x00480000);
    w.u16be(0);
    w.u16be(0);
    w.u16be(static_cast<unsigned>(height));
    w.u16be(static_cast<unsigned>(width));
    w.u32be(0);
    w.u16be(0x001E);  // default highlight
    w.u16be(0x0001);  // clip to the frame
    w.u16be(10);
    w.u16be(0);
    w.u16be(0);
    w.u16be(static_cast<unsigned>(height));
    w.u16be(static_cast<unsigned>(width));

    if (bits == 24) {
      const bool packed = width >= 2;  // rows under 8 bytes are never packed
      const int rowBytes = width * 4;
      w.u16be(0x009A);
      w.u32be(0x000000FF);
      PutPixMap(w, rowBytes, width, height, packed ? 4 : 1, 32, 3, 8);
      PutRects(w, width, height);
      std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
      for (int y = 0; y < height; ++y) {
        if (ProgressStep(progress, y, height)) {
          return kCancelled;
        }
        const std::uint8_t* src = dib->row(height - 1 - y);
        for (int x = 0; x < width; ++x) {
          if (packed) {
            row[x] = src[3 * x + 2];
            row[width + x] = src[3 * x + 1];
            row[2 * static_cast<std::size_t>(width) + x] = src[3 * x];
          } else {
            row[4 * x] = 0;
            row[4 * x + 1] = src[3 * x + 2];
            row[4 * x + 2] = src[3 * x + 1];
            row[4 * x + 3] = src[3 * x];
          }
        }
        if (packed) {
          PutPackedRow(w, row.data(), static_cast<std::size_t>(width) * 3, rowBytes);
        } else {
          w.bytes(row.data(), row.size());
        }
      }
    } else {
      const int dataBytes = (width * bits + 7) / 8;
      const int rowBytes = (dataBytes + 1) & ~1;
      w.u16be(0x0098);
      PutPixMap(w, rowBytes, width, height, 0, bits, 1, bits);
      const int entries = 1 << bits;
      w.u32be(0);
      w.u16be(0);
      w.u16be(static_cast<unsigned>(entries - 1));
      for (int i = 0; i < entries; ++i) {
        const RgbQuad c = i < dib->colorCount() ? dib->colors()[i] : RgbQuad{};
        w.u16be(static_cast<unsigned>(i));
        w.u16be(c.rgbRed * 257u);
        w.u16be(c.rgbGreen * 257u);
        w.u16be(c.rgbBlue * 257u);
      }
      PutRects(w, width, height);
      std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
      for (int y = 0; y < height; ++y) {
        if (ProgressStep(progress, y, height)) {
          return kCancelled;
        }
        std::memcpy(row.data(), dib->row(height - 1 - y), static_cast<std::size_t>(dataBytes));
        if (rowBytes < 8) {
          w.bytes(row.data(), row.size());
        } else {
          PutPackedRow(w, row.data(), row.size(), rowBytes);
        }
      }
    }
    if ((w.size() & 1) != 0) {
      w.u8(0);
    }
    w.u16be(0x00FF);
    w.put16be(kAppHeader, static_cast<unsigned>((w.size() - kAppHeader) & 0xFFFF));
    return WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
