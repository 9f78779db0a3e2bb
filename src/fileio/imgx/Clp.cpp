// Windows clipboard files: a file identifier (0xC350 for Windows 3.x, 0xC351 or 0xC352
// for NT), a format count, then one directory entry per format (format id, data length,
// data offset, name: 89 bytes with an 8-bit name, 170 with a wide one). The image is the
// packed device-independent bitmap of the CF_DIB (or CF_DIBV5) entry; this file reads it
// with its own parser (core and info headers, 1 to 32 bits, bit fields; the run-length
// compressions are not found on the clipboard and are refused).

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Bmp.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

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

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (const Code c = FindDib(bytes, &data, &size); c != kOk) {
    return c;
  }
  return DecodePackedDib(data, size, progress, out);
}

}  // namespace

Code InfoCLP(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (const Code c = FindDib(bytes, &data, &size); c != kOk) {
      return c;
    }
    int width = 0;
    int height = 0;
    int bits = 0;
    if (const Code c = PackedDibSize(data, size, &width, &height, &bits); c != kOk) {
      return c;
    }
    FillInfo(kTypeClp, width, height, bits, found);
    return kOk;
  });
}

Code DecodeCLP(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// A Windows 3.x clipboard file with one entry, CF_DIB: the image's own packed DIB.
Code EncodeCLP(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (RowCancelled(progress, 0, 1)) {
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
