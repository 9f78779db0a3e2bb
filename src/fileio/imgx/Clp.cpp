// Windows clipboard files: a file identifier (0xC350 for Windows 3.x, 0xC351 or 0xC352
// for NT), a format count, then one directory entry per format (format id, data length,
// data offset, name: 89 bytes with an 8-bit name, 170 with a wide one). The image is the
// packed device-independent bitmap of the CF_DIB (or CF_DIBV5) entry; this file reads it
// with its own parser (core and info headers, 1 to 32 bits, bit fields; the run-length
// compressions are not found on the clipboard and are refused).

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/RasterKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeClp = 2;
constexpr std::uint16_t kFileId31 = 0xC350;
constexpr std::uint16_t kFileIdNt = 0xC351;
constexpr std::uint16_t kFileIdNt2 = 0xC352;
constexpr std::uint32_t kFormatDib = 8;
constexpr std::uint32_t kFormatDibV5 = 17;
constexpr std::size_t kEntrySize31 = 89;
constexpr std::size_t kEntrySizeNt = 170;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

struct PackedDib {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t masks[3] = {0, 0, 0};
  int tableEntries = 0;  // entries stored in the file
  int tableEntrySize = 4;
  const std::uint8_t* table = nullptr;
  const std::uint8_t* pixels = nullptr;
  std::size_t pixelBytes = 0;
};

// Finds the DIB entry and answers its bytes.
Code FindDib(const std::vector<std::uint8_t>& bytes, const std::uint8_t** data, std::size_t* size) {
  ByteReader in(bytes);
  const std::uint16_t id = in.u16le();
  const std::uint16_t count = in.u16le();
  if (!in.ok()) {
    return bytes.size() < 2 ? kNotThisFormat : kTruncated;
  }
  if (id != kFileId31 && id != kFileIdNt && id != kFileIdNt2) {
    return kNotThisFormat;
  }
  const bool nt = id != kFileId31;
  const std::size_t entrySize = nt ? kEntrySizeNt : kEntrySize31;
  if (in.remaining() / entrySize < count) {
    return kTruncated;
  }
  for (int i = 0; i < count; ++i) {
    const std::size_t at = 4 + entrySize * static_cast<std::size_t>(i);
    ByteReader e(bytes.data() + at, entrySize);
    const std::uint32_t format = nt ? e.u32le() : e.u16le();
    const std::uint32_t length = e.u32le();
    const std::uint32_t offset = e.u32le();
    if (format != kFormatDib && format != kFormatDibV5) {
      continue;
    }
    if (offset > bytes.size() || length > bytes.size() - offset) {
      return kTruncated;
    }
    *data = bytes.data() + offset;
    *size = length;
    return kOk;
  }
  return kUnsupportedVariant;  // no bitmap among the formats
}

Code ParseDib(const std::uint8_t* data, std::size_t size, PackedDib* d) {
  ByteReader in(data, size);
  const std::uint32_t headerSize = in.u32le();
  if (!in.ok()) {
    return kTruncated;
  }
  if (headerSize == 12) {
    d->width = in.u16le();
    d->height = in.u16le();
    in.u16le();
    d->bits = in.u16le();
    d->tableEntrySize = 3;
    if (d->bits <= 8) {
      d->tableEntries = 1 << d->bits;
    }
  } else if (headerSize >= 40) {
    const std::int32_t width = in.s32le();
    const std::int32_t height = in.s32le();
    in.u16le();
    d->bits = in.u16le();
    d->compression = in.u32le();
    in.skip(12);
    const std::uint32_t clrUsed = in.u32le();
    in.u32le();
    if (!in.ok()) {
      return kTruncated;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN || width > kMaxDibSide || height > kMaxDibSide ||
        height < -kMaxDibSide) {
      return kBadDimensions;
    }
    d->width = width;
    d->height = height < 0 ? -height : height;
    d->topDown = height < 0;
    if (d->bits <= 8) {
      if (clrUsed > (1u << std::min(d->bits, 8))) {
        return kCorrupt;
      }
      d->tableEntries = clrUsed != 0 ? static_cast<int>(clrUsed) : 1 << d->bits;
    } else {
      if (clrUsed > 256) {
        return kCorrupt;
      }
      d->tableEntries = static_cast<int>(clrUsed);
    }
    if (d->compression == kBiBitfields) {
      if (d->bits != 16 && d->bits != 32) {
        return kCorrupt;
      }
      // The masks follow a 40-byte header, or sit inside a larger one.
      in.seek(40);
      for (std::uint32_t& m : d->masks) {
        m = in.u32le();
      }
      if (!in.ok()) {
        return kTruncated;
      }
    } else if (d->compression != kBiRgb) {
      return kUnsupportedVariant;
    }
    in.seek(headerSize + (headerSize == 40 && d->compression == kBiBitfields ? 12u : 0u));
  } else {
    return kCorrupt;
  }
  if (d->bits != 1 && d->bits != 4 && d->bits != 8 && d->bits != 16 && d->bits != 24 && d->bits != 32) {
    return kUnsupportedVariant;
  }
  if (d->width <= 0 || d->height <= 0) {
    return kBadDimensions;
  }
  d->table = in.take(static_cast<std::size_t>(d->tableEntries) * static_cast<std::size_t>(d->tableEntrySize));
  if (!in.ok()) {
    return kTruncated;
  }
  std::size_t needed = 0;
  if (!CheckedMul(Dib::Stride(d->width, d->bits), static_cast<std::size_t>(d->height), &needed) ||
      needed > in.remaining()) {
    return kTruncated;
  }
  d->pixels = in.cursor();
  d->pixelBytes = needed;
  return kOk;
}

// A bit field's value widened to 8 bits.
struct Field {
  int shift = 0;
  int width = 0;
  explicit Field(std::uint32_t mask) {
    if (mask == 0) {
      return;
    }
    while (((mask >> shift) & 1u) == 0) {
      ++shift;
    }
    while (width < 32 - shift && ((mask >> (shift + width)) & 1u) != 0) {
      ++width;
    }
  }
  std::uint8_t get(std::uint32_t v) const {
    if (width == 0) {
      return 0;
    }
    const std::uint32_t x = (v >> shift) & ((width >= 32) ? 0xFFFFFFFFu : ((1u << width) - 1));
    if (width >= 8) {
      return static_cast<std::uint8_t>(x >> (width - 8));
    }
    return static_cast<std::uint8_t>((x * 255u + ((1u << width) - 1) / 2) / ((1u << width) - 1));
  }
};

Code ToImage(const PackedDib& d, ProgressWindow progress, DibHandle* out) {
  const int bits = d.bits <= 8 ? d.bits : 24;
  DibHandle dib;
  if (const Code c = kit::NewImage(d.width, d.height, bits, bits == 24 ? 0 : d.tableEntries, &dib); c != kOk) {
    return c;
  }
  for (int i = 0; bits != 24 && i < d.tableEntries; ++i) {
    const std::uint8_t* e = d.table + static_cast<std::size_t>(i) * static_cast<std::size_t>(d.tableEntrySize);
    kit::SetColor(*dib, i, e[2], e[1], e[0]);
  }
  std::uint32_t masks[3] = {d.masks[0], d.masks[1], d.masks[2]};
  if (d.compression == kBiRgb && d.bits == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (d.compression == kBiRgb && d.bits == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
  const Field red(masks[0]);
  const Field green(masks[1]);
  const Field blue(masks[2]);
  const std::size_t srcStride = Dib::Stride(d.width, d.bits);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(d.width));
  for (int y = 0; y < d.height; ++y) {
    if (kit::Cancelled(progress, y, d.height)) {
      return kCancelled;
    }
    const std::uint8_t* src = d.pixels + srcStride * static_cast<std::size_t>(y);
    std::uint8_t* row = d.topDown ? kit::TopRow(*dib, y) : dib->row(y);
    if (d.bits <= 8) {
      kit::UnpackIndices(src, d.width, d.bits, indices.data());
      for (int x = 0; x < d.width; ++x) {
        if (indices[x] >= d.tableEntries) {
          return kCorrupt;
        }
      }
      std::memcpy(row, src, dib->stride());
    } else if (d.bits == 24) {
      std::memcpy(row, src, 3 * static_cast<std::size_t>(d.width));
    } else {
      for (int x = 0; x < d.width; ++x) {
        const std::uint32_t v = d.bits == 16
                                    ? static_cast<std::uint32_t>(src[2 * x] | (src[2 * x + 1] << 8))
                                    : static_cast<std::uint32_t>(src[4 * x]) | (std::uint32_t{src[4 * x + 1]} << 8) |
                                          (std::uint32_t{src[4 * x + 2]} << 16) | (std::uint32_t{src[4 * x + 3]} << 24);
        row[3 * x] = blue.get(v);
        row[3 * x + 1] = green.get(v);
        row[3 * x + 2] = red.get(v);
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoCLP(const std::string& path, ImageInfo* info) {
  std::vector<std::uint8_t> bytes;
  if (const Code c = ReadFileBytes(path, &bytes); c != kOk) {
    return c;
  }
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (const Code c = FindDib(bytes, &data, &size); c != kOk) {
    return c;
  }
  PackedDib d;
  if (const Code c = ParseDib(data, size, &d); c != kOk) {
    return c;
  }
  kit::FillInfo(path, bytes.size(), d.width, d.height, d.bits, kTypeClp, info);
  return kOk;
}

Code DecodeCLP(ProgressWindow progress, const std::string& path, DibHandle* out) {
  if (out == nullptr) {
    return static_cast<Code>(km::kInvalidArgument);
  }
  out->reset();
  std::vector<std::uint8_t> bytes;
  if (const Code c = ReadFileBytes(path, &bytes); c != kOk) {
    return c;
  }
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (const Code c = FindDib(bytes, &data, &size); c != kOk) {
    return c;
  }
  PackedDib d;
  if (const Code c = ParseDib(data, size, &d); c != kOk) {
    return c;
  }
  return ToImage(d, progress, out);
}

// A Windows 3.x clipboard file with one entry, CF_DIB: the image's own packed DIB.
Code EncodeCLP(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = kit::CheckSource(dib); c != kOk) {
    return c;
  }
  if (kit::Cancelled(progress, 0, 1)) {
    return kCancelled;
  }
  BitmapInfoHeader h = dib->header();
  const std::size_t image = dib->stride() * static_cast<std::size_t>(dib->height());
  const std::size_t table = 4u * static_cast<std::size_t>(dib->colorCount());
  h.biSize = 40;
  h.biCompression = kBiRgb;
  h.biSizeImage = static_cast<std::uint32_t>(image);
  h.biClrUsed = static_cast<std::uint32_t>(dib->colorCount());
  const std::size_t length = 40 + table + image;

  ByteWriter w;
  w.u16le(kFileId31);
  w.u16le(1);
  w.u16le(kFormatDib);
  w.u32le(static_cast<std::uint32_t>(length));
  w.u32le(static_cast<std::uint32_t>(4 + kEntrySize31));
  w.fill(0, 79);
  w.bytes(&h, sizeof h);
  w.bytes(dib->colors(), table);
  w.bytes(dib->pixels(), image);
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
