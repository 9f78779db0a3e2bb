// WordPerfect graphics (.WPG): a 16-byte prefix (FF 'W' 'P' 'C', the data offset,
// product and file type, major and minor version, encryption key), then records whose
// lengths are variable-length integers (a byte; 0xFF and a word; a word with its top
// bit set and a second word for 31 bits). Numbers are little-endian.
//
// Version 1 files (WordPerfect 5.x) keep bitmaps in records 0x0B (5.0) and 0x14 (5.1,
// with a rotation and a position), their colours in colour-map records 0x0E, and pack
// the rows top first in a byte stream that runs on from row to row:
//   0x80|n, v   n copies of v          0x80, n   n bytes of 0xFF
//   n, n bytes  n literal bytes        0x00, n   the previous row n more times
// Version 2 files (WordPerfect 6.0) have a record class and type, a palette record 0x0C
// of RGBA entries and bitmap data records 0x0E, whose rows are stored as they are or
// run-length coded (compression 1) in a stream that also runs on from row to row:
//   0x00..0x7C  n + 1 literal bytes         0x80..0xFC  (n & 0x7F) + 1 copies of a byte
//   0x7F, n     n + 1 bytes of 0x00         0xFF, n     n + 1 bytes of 0xFF
//   0xFD, n     n + 1 more copies of the last repeated byte
//   0xFE, n     the previous row n + 1 more times (at the start of a row)
//   0x7D, n     bytes per sample; only 1 is read
//   0x7E        XOR with the previous row; refused, since readers disagree on it
// This writer stores version 2 rows unpacked.

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/LegacyPalettes.h"

namespace km::imgx {

namespace {

constexpr std::uint32_t kWpgSignature = 0x435057FF;  // FF 'W' 'P' 'C' read little-endian
constexpr std::size_t kPrefixSize = 16;
constexpr int kWpgUnitsPerInch = 1200;

std::uint32_t ReadVarLength(ByteReader& in) {
  const std::uint8_t b = in.u8();
  if (b != 0xFF) {
    return b;
  }
  const std::uint16_t w = in.u16le();
  if ((w & 0x8000) == 0) {
    return w;
  }
  return (static_cast<std::uint32_t>(w & 0x7FFF) << 16) | in.u16le();
}

void PutVarLength(ByteWriter& w, std::uint32_t v) {
  if (v < 0xFF) {
    w.u8(v);
  } else if (v < 0x8000) {
    w.u8(0xFF);
    w.u16le(v);
  } else {
    w.u8(0xFF);
    w.u16le(0x8000 | (v >> 16));
    w.u16le(v & 0xFFFF);
  }
}

enum class Packing { kNone, kVersion1, kVersion2 };

struct Bitmap {
  int width = 0;
  int height = 0;
  int depth = 0;  // bits per stored pixel
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  Packing packing = Packing::kVersion1;
};

// Where an unpacker writes: out[0..total), rows of rowBytes, top row first. With out
// null the steps only count, so a stream can be checked before anything is allocated
// for a picture that a short or broken file cannot hold. A step answers kCorrupt for a
// run past the end of the picture and kTruncated for a stream that ends inside a run.
struct RowSink {
  std::uint8_t* out;
  std::size_t total;
  std::size_t rowBytes;
  std::size_t at = 0;

  Code fill(std::size_t count, std::uint8_t v) {
    if (count > total - at) {
      return kCorrupt;
    }
    if (out != nullptr) {
      std::memset(out + at, v, count);
    }
    at += count;
    return kOk;
  }

  Code copy(ByteReader& in, std::size_t count) {
    if (count > total - at) {
      return kCorrupt;
    }
    const std::uint8_t* src = in.take(count);
    if (src == nullptr) {
      return kTruncated;
    }
    if (out != nullptr) {
      std::memcpy(out + at, src, count);
    }
    at += count;
    return kOk;
  }

  // The previous row `times` more times; only at the start of a row after the first.
  Code repeatRow(std::size_t times) {
    if (at % rowBytes != 0 || at == 0) {
      return kCorrupt;
    }
    std::size_t bytes = 0;
    if (!CheckedMul(times, rowBytes, &bytes) || bytes > total - at) {
      return kCorrupt;
    }
    for (std::size_t k = 0; k < times; ++k) {
      if (out != nullptr) {
        std::memcpy(out + at, out + at - rowBytes, rowBytes);
      }
      at += rowBytes;
    }
    return kOk;
  }
};

// Unpacks a version 1 pixel stream into the sink until the picture is full.
Code UnpackRows(const Bitmap& bm, RowSink& sink) {
  ByteReader in(bm.data, bm.size);
  while (sink.at < sink.total) {
    const std::uint8_t b = in.u8();
    if (!in.ok()) {
      return kTruncated;
    }
    const std::size_t n = b & 0x7F;
    Code code = kOk;
    if ((b & 0x80) != 0) {
      const std::size_t count = n != 0 ? n : in.u8();
      const std::uint8_t v = n != 0 ? in.u8() : 0xFF;
      if (!in.ok()) {
        return kTruncated;
      }
      code = sink.fill(count, v);
    } else if (n != 0) {
      code = sink.copy(in, n);
    } else {
      const std::size_t times = in.u8();
      if (!in.ok()) {
        return kTruncated;
      }
      code = sink.repeatRow(times);
    }
    if (code != kOk) {
      return code;
    }
  }
  return kOk;
}

// Unpacks a version 2 run-length stream as UnpackRows does a version 1 one.
Code UnpackRows2(const Bitmap& bm, RowSink& sink) {
  ByteReader in(bm.data, bm.size);
  std::uint8_t repeated = 0;  // the byte the last repeat run held
  while (sink.at < sink.total) {
    const std::uint8_t b = in.u8();
    std::uint8_t n = 0;
    if (b == 0x7D || b == 0x7F || b == 0xFD || b == 0xFE || b == 0xFF) {
      n = in.u8();
    }
    if (!in.ok()) {
      return kTruncated;
    }
    const std::size_t count = std::size_t{n} + 1;
    Code code = kOk;
    switch (b) {
      case 0x7D:
        if (n != 1) {
          return kUnsupportedVariant;  // samples of several bytes
        }
        break;
      case 0x7E:
        return kUnsupportedVariant;
      case 0x7F:
        code = sink.fill(count, 0x00);
        break;
      case 0xFF:
        code = sink.fill(count, 0xFF);
        break;
      case 0xFD:
        code = sink.fill(count, repeated);
        break;
      case 0xFE:
        code = sink.repeatRow(count);
        break;
      default:
        if ((b & 0x80) != 0) {
          repeated = in.u8();
          if (!in.ok()) {
            return kTruncated;
          }
          code = sink.fill(std::size_t{b & 0x7Fu} + 1, repeated);
        } else {
          code = sink.copy(in, std::size_t{b} + 1);
        }
        break;
    }
    if (code != kOk) {
      return code;
    }
  }
  return kOk;
}

Code MakeImage(ProgressWindow progress, const Bitmap& bm, const std::vector<RgbQuad>& palette, bool havePalette,
               DibHandle* out) {
  if (bm.width < 1 || bm.height < 1 || bm.width > kMaxDibSide || bm.height > kMaxDibSide) {
    return kBadDimensions;
  }
  if (bm.depth != 1 && bm.depth != 2 && bm.depth != 4 && bm.depth != 8) {
    return kUnsupportedVariant;
  }
  const std::size_t rowBytes = (static_cast<std::size_t>(bm.width) * bm.depth + 7) / 8;
  const std::size_t total = rowBytes * static_cast<std::size_t>(bm.height);
  const auto unpack = bm.packing == Packing::kVersion1 ? UnpackRows : UnpackRows2;
  if (bm.packing != Packing::kNone) {
    RowSink count{nullptr, total, rowBytes};
    if (const Code c = unpack(bm, count); c != kOk) {
      return c;
    }
  } else if (bm.size < total) {
    return kTruncated;
  }
  std::vector<std::uint8_t> raw(total);
  if (bm.packing != Packing::kNone) {
    RowSink sink{raw.data(), total, rowBytes};
    if (const Code c = unpack(bm, sink); c != kOk) {
      return c;
    }
  } else {
    std::memcpy(raw.data(), bm.data, total);
  }
  const int bits = bm.depth == 2 ? 4 : bm.depth;
  DibHandle dib;
  if (Dib::Create(bm.width, bm.height, bits, 1 << bits, &dib) != kOk) {
    return kNoMemory;
  }
  RgbQuad* table = dib->colors();
  DefaultPcPalette(bm.depth, table, 1 << bits);
  if (havePalette) {
    std::copy_n(palette.begin(), std::min<std::size_t>(palette.size(), static_cast<std::size_t>(1) << bits), table);
  }
  for (int y = 0; y < bm.height; ++y) {
    if (ProgressStep(progress, y, bm.height)) {
      return kCancelled;
    }
    const std::uint8_t* src = raw.data() + rowBytes * y;
    std::uint8_t* dst = dib->row(bm.height - 1 - y);
    if (bm.depth != 2) {
      std::memcpy(dst, src, rowBytes);
      continue;
    }
    for (int x = 0; x < bm.width; ++x) {
      const int v = (src[x / 4] >> (6 - 2 * (x % 4))) & 3;
      dst[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? v << 4 : v);
    }
  }
  *out = std::move(dib);
  return kOk;
}

Code ParseVersion1(ProgressWindow progress, ByteReader& in, DibHandle* out) {
  std::vector<RgbQuad> palette(256, RgbQuad{});
  bool havePalette = false;
  while (in.remaining() > 0) {
    const std::uint8_t type = in.u8();
    const std::uint32_t length = ReadVarLength(in);
    const std::uint8_t* body = in.take(length);
    if (body == nullptr) {
      return kTruncated;
    }
    ByteReader rec(body, length);
    if (type == 0x10) {
      break;  // end of the picture
    }
    if (type == 0x0E) {
      const unsigned start = rec.u16le();
      const unsigned count = rec.u16le();
      if (!rec.ok() || start + count > 256) {
        return kCorrupt;
      }
      for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t r = rec.u8();
        const std::uint8_t g = rec.u8();
        const std::uint8_t b = rec.u8();
        palette[start + i] = RgbQuad{b, g, r, 0};
      }
      if (!rec.ok()) {
        return kTruncated;
      }
      havePalette = true;
      continue;
    }
    if (type == 0x0B || type == 0x14) {
      if (type == 0x14) {
        rec.skip(10);  // rotation and position
      }
      Bitmap bm;
      bm.width = rec.u16le();
      bm.height = rec.u16le();
      bm.depth = rec.u16le();
      rec.skip(4);  // resolution
      if (!rec.ok()) {
        return kTruncated;
      }
      bm.data = rec.cursor();
      bm.size = rec.remaining();
      return MakeImage(progress, bm, palette, havePalette, out);
    }
  }
  return in.ok() ? kUnsupportedVariant : kTruncated;  // no bitmap in the file
}

Code ParseVersion2(ProgressWindow progress, ByteReader& in, DibHandle* out) {
  std::vector<RgbQuad> palette(256, RgbQuad{});
  bool havePalette = false;
  while (in.remaining() > 0) {
    in.skip(1);  // record class
    const std::uint8_t type = in.u8();
    ReadVarLength(in);  // extension
    const std::uint32_t length = ReadVarLength(in);
    const std::uint8_t* body = in.take(length);
    if (body == nullptr) {
      return kTruncated;
    }
    ByteReader rec(body, length);
    if (type == 0x02) {
      break;
    }
    if (type == 0x0C) {
      const unsigned start = rec.u16le();
      const unsigned count = rec.u16le();
      if (!rec.ok() || start + count > 256) {
        return kCorrupt;
      }
      for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t r = rec.u8();
        const std::uint8_t g = rec.u8();
        const std::uint8_t b = rec.u8();
        rec.skip(1);
        palette[start + i] = RgbQuad{b, g, r, 0};
      }
      if (!rec.ok()) {
        return kTruncated;
      }
      havePalette = true;
      continue;
    }
    if (type == 0x0E) {
      Bitmap bm;
      bm.width = rec.u16le();
      bm.height = rec.u16le();
      const int depthCode = rec.u8();
      const int compression = rec.u8();
      if (!rec.ok()) {
        return kTruncated;
      }
      switch (depthCode) {
        case 1: bm.depth = 1; break;
        case 2: bm.depth = 2; break;
        case 3: bm.depth = 4; break;
        case 4: bm.depth = 8; break;
        default: return kUnsupportedVariant;
      }
      if (compression > 1) {
        return kUnsupportedVariant;
      }
      bm.packing = compression == 0 ? Packing::kNone : Packing::kVersion2;
      bm.data = rec.cursor();
      bm.size = rec.remaining();
      return MakeImage(progress, bm, palette, havePalette, out);
    }
  }
  return in.ok() ? kUnsupportedVariant : kTruncated;
}

struct Prefix {
  std::uint32_t dataOffset = 0;
  int major = 0;
};

Code ReadPrefix(ByteReader& in, Prefix* p) {
  if (in.u32le() != kWpgSignature) {
    return kNotThisFormat;
  }
  p->dataOffset = in.u32le();
  in.skip(2);  // product and file type
  p->major = in.u8();
  in.skip(1);
  const std::uint16_t key = in.u16le();
  if (!in.ok()) {
    return kTruncated;
  }
  if (key != 0) {
    return kUnsupportedVariant;  // encrypted
  }
  if (p->major != 1 && p->major != 2) {
    return kUnsupportedVariant;
  }
  if (p->dataOffset < kPrefixSize || !in.seek(p->dataOffset)) {
    return kCorrupt;
  }
  return kOk;
}

Code ParseWpg(ProgressWindow progress, const std::vector<std::uint8_t>& file, DibHandle* out) {
  ByteReader in(file);
  Prefix p;
  if (const Code c = ReadPrefix(in, &p); c != kOk) {
    return c;
  }
  return p.major == 1 ? ParseVersion1(progress, in, out) : ParseVersion2(progress, in, out);
}

// Version 1 packing of one row: repeated bytes as runs, the rest as literals.
void PackRow(const std::uint8_t* row, std::size_t n, ByteWriter& w) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 127 && row[i + run] == row[i]) {
      ++run;
    }
    if (run >= 2) {
      w.u8(0x80 | static_cast<unsigned>(run));
      w.u8(row[i]);
      i += run;
      continue;
    }
    std::size_t len = 1;
    while (i + len < n && len < 127 && !(i + len + 1 < n && row[i + len] == row[i + len + 1])) {
      ++len;
    }
    w.u8(static_cast<unsigned>(len));
    w.bytes(row + i, len);
    i += len;
  }
}

void PutRecord1(ByteWriter& w, unsigned type, const std::vector<std::uint8_t>& body) {
  w.u8(type);
  PutVarLength(w, static_cast<std::uint32_t>(body.size()));
  w.bytes(body.data(), body.size());
}

void PutRecord2(ByteWriter& w, unsigned type, const std::vector<std::uint8_t>& body) {
  w.u8(0x01);  // record class
  w.u8(type);
  PutVarLength(w, 0);
  PutVarLength(w, static_cast<std::uint32_t>(body.size()));
  w.bytes(body.data(), body.size());
}

// Rows top first, each byte-padded (the DIB's 4-byte padding dropped).
std::vector<std::uint8_t> TopDownRows(const Dib& dib, std::size_t rowBytes) {
  std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(dib.height()));
  const int bits = dib.bitCount();
  for (int y = 0; y < dib.height(); ++y) {
    std::uint8_t* dst = rows.data() + rowBytes * y;
    std::memcpy(dst, dib.row(dib.height() - 1 - y), rowBytes);
    const int used = (dib.width() * bits) % 8;
    if (used != 0) {
      dst[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> used);
    }
  }
  return rows;
}

}  // namespace

// The record says what the decoded image is: the bitmap records are read to find it.
Code InfoWPG(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    DibHandle dib;
    if (const Code c = ParseWpg(nullptr, file, &dib); c != kOk) {
      return c;
    }
    FillInfo(23, dib->width(), dib->height(), dib->bitCount(), found);
    return kOk;
  });
}

Code DecodeWPG(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& file) { return ParseWpg(progress, file, out); });
}

// version 50: a 5.0 file with bitmap record 0x0B; 51: a 5.1 file with record 0x14;
// 60: a 6.0 file. The image's size in the file's units follows from dpi.
Code EncodeWPG(ProgressWindow progress, const std::string& path, const Dib* dib, int version, int dpi) {
  if (ValidateDib(dib) != kOk) {
    return static_cast<Code>(km::kInvalidArgument);  // no image, or a broken one
  }
  const int bits = dib->bitCount();
  if (bits == 24) {
    return kDepthNotWritable;
  }
  if (version != 50 && version != 51 && version != 60) {
    return kUnsupportedVariant;
  }
  const int res = std::clamp(dpi, 1, 0xFFFF);
  const int width = dib->width();
  const int height = dib->height();
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 7) / 8;
  const int entries = 1 << bits;
  try {
    const std::vector<std::uint8_t> rows = TopDownRows(*dib, rowBytes);
    ByteWriter w;
    w.u32le(kWpgSignature);
    w.u32le(kPrefixSize);
    w.u8(1);     // WordPerfect
    w.u8(0x16);  // graphics file
    w.u8(version == 60 ? 2 : 1);
    w.u8(0);
    w.u16le(0);
    w.u16le(0);
    const auto units = [res](int pixels) {
      return static_cast<unsigned>(std::min<long long>(0xFFFF, static_cast<long long>(pixels) * kWpgUnitsPerInch / res));
    };

    if (version == 60) {
      ByteWriter start;
      start.u16le(static_cast<unsigned>(res));
      start.u16le(static_cast<unsigned>(res));
      start.u8(0);  // 16-bit coordinates
      start.u16le(0);
      start.u16le(0);
      start.u16le(static_cast<unsigned>(width));
      start.u16le(static_cast<unsigned>(height));
      PutRecord2(w, 0x01, start.bytes());
      ByteWriter pal;
      pal.u16le(0);
      pal.u16le(static_cast<unsigned>(entries));
      for (int i = 0; i < entries; ++i) {
        const RgbQuad c = i < dib->colorCount() ? dib->colors()[i] : RgbQuad{};
        pal.u8(c.rgbRed);
        pal.u8(c.rgbGreen);
        pal.u8(c.rgbBlue);
        pal.u8(0);
      }
      PutRecord2(w, 0x0C, pal.bytes());
      ByteWriter data;
      data.u16le(static_cast<unsigned>(width));
      data.u16le(static_cast<unsigned>(height));
      data.u8(bits == 1 ? 1 : bits == 4 ? 3 : 4);
      data.u8(0);  // unpacked
      data.bytes(rows.data(), rows.size());
      PutRecord2(w, 0x0E, data.bytes());
      PutRecord2(w, 0x02, {});
      return WriteFileBytes(path, w.bytes());
    }

    ByteWriter start;
    start.u8(1);  // version of the record set
    start.u8(0);
    start.u16le(units(width));
    start.u16le(units(height));
    PutRecord1(w, 0x0F, start.bytes());
    ByteWriter map;
    map.u16le(0);
    map.u16le(static_cast<unsigned>(entries));
    for (int i = 0; i < entries; ++i) {
      const RgbQuad c = i < dib->colorCount() ? dib->colors()[i] : RgbQuad{};
      map.u8(c.rgbRed);
      map.u8(c.rgbGreen);
      map.u8(c.rgbBlue);
    }
    PutRecord1(w, 0x0E, map.bytes());
    ByteWriter bm;
    if (version == 51) {
      bm.u16le(0);  // rotation
      bm.u16le(0);
      bm.u16le(0);
      bm.u16le(units(width));
      bm.u16le(units(height));
    }
    bm.u16le(static_cast<unsigned>(width));
    bm.u16le(static_cast<unsigned>(height));
    bm.u16le(static_cast<unsigned>(bits));
    bm.u16le(static_cast<unsigned>(res));
    bm.u16le(static_cast<unsigned>(res));
    for (int y = 0; y < height;) {
      if (ProgressStep(progress, y, height)) {
        return kCancelled;
      }
      const std::uint8_t* row = rows.data() + rowBytes * y;
      PackRow(row, rowBytes, bm);
      int same = 0;
      while (y + 1 + same < height && same < 255 &&
             std::memcmp(row, rows.data() + rowBytes * (y + 1 + same), rowBytes) == 0) {
        ++same;
      }
      if (same > 0) {
        bm.u8(0);
        bm.u8(static_cast<unsigned>(same));
      }
      y += 1 + same;
    }
    if (bm.size() > 0x7FFFFFFF) {
      return kDepthNotWritable;
    }
    PutRecord1(w, version == 51 ? 0x14 : 0x0B, bm.bytes());
    PutRecord1(w, 0x10, {});
    return WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
