// Sun raster: a 32-byte big-endian header (magic, width, height, depth, data length,
// type, colour-map type, colour-map length), the colour map as all reds, all greens,
// all blues, then rows padded to 16 bits. Type 2 codes the data in runs: 0x80 0 is a
// literal 0x80, 0x80 n v repeats v n + 1 times; runs may continue from one row into the
// next, a run past the image is corrupt. Depth 1 without a map: 1 is black.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeRas = 18;
constexpr std::uint32_t kMagic = 0x59A66A95;
constexpr int kTypeOld = 0;
constexpr int kTypeStandard = 1;
constexpr int kTypeByteEncoded = 2;
constexpr int kTypeRgb = 3;

struct RasHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t depth = 0;
  std::uint32_t type = 0;
  std::uint32_t mapType = 0;
  std::uint32_t mapLength = 0;
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, RasHeader* h) {
  ByteReader in(bytes);
  if (in.u32be() != kMagic) {
    return kNotThisFormat;
  }
  h->width = in.u32be();
  h->height = in.u32be();
  h->depth = in.u32be();
  in.u32be();  // data length: often 0, never trusted
  h->type = in.u32be();
  h->mapType = in.u32be();
  h->mapLength = in.u32be();
  if (!in.ok()) {
    return kTruncated;
  }
  if (h->type != kTypeOld && h->type != kTypeStandard && h->type != kTypeByteEncoded && h->type != kTypeRgb) {
    return kUnsupportedVariant;
  }
  if (h->depth != 1 && h->depth != 8 && h->depth != 24 && h->depth != 32) {
    return kUnsupportedVariant;
  }
  if (h->mapType > 1 || (h->mapType == 1 && h->mapLength % 3 != 0)) {
    return kUnsupportedVariant;
  }
  if (h->width == 0 || h->height == 0 || h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  return kOk;
}

Code UnpackRuns(ByteReader& in, std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (in.remaining() == 0) {
      return kTruncated;
    }
    const std::uint8_t b = in.u8();
    if (b != 0x80) {
      out[done++] = b;
      continue;
    }
    const std::size_t count = static_cast<std::size_t>(in.u8()) + 1;
    if (!in.ok()) {
      return kTruncated;
    }
    if (count == 1) {
      out[done++] = 0x80;
      continue;
    }
    const std::uint8_t v = in.u8();
    if (!in.ok()) {
      return kTruncated;
    }
    if (count > size - done) {
      return kCorrupt;
    }
    std::memset(out + done, v, count);
    done += count;
  }
  return kOk;
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  RasHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  ByteReader in(bytes);
  in.seek(32);
  const std::uint8_t* map = in.take(h.mapLength);
  if (!in.ok()) {
    return kTruncated;
  }
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height);
  const std::size_t lineBytes = ((static_cast<std::size_t>(width) * h.depth + 15) / 16) * 2;
  // A three-byte run stands for at most 256 bytes.
  if (!WithinBudget(lineBytes, static_cast<std::uint64_t>(height), in.remaining(), h.type == kTypeByteEncoded ? 86 : 1)) {
    return kTruncated;
  }
  const std::size_t total = lineBytes * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> data;
  const std::uint8_t* pixels = nullptr;
  if (h.type == kTypeByteEncoded) {
    try {
      data.resize(total);
    } catch (const std::bad_alloc&) {
      return kNoMemory;
    }
    if (const Code c = UnpackRuns(in, data.data(), total); c != kOk) {
      return c;
    }
    pixels = data.data();
  } else {
    pixels = in.take(total);
    if (pixels == nullptr) {
      return kTruncated;
    }
  }

  const int mapEntries = static_cast<int>(h.mapLength / 3);
  const int bits = h.depth >= 24 ? 24 : static_cast<int>(h.depth);
  int colors = 0;
  if (bits == 1) {
    colors = 2;
  } else if (bits == 8) {
    colors = mapEntries > 0 ? std::min(mapEntries, 256) : 256;
  }
  DibHandle dib;
  if (const Code c = NewDib(width, height, bits, colors, &dib); c != kOk) {
    return c;
  }
  if (mapEntries > 0 && bits != 24) {
    const int n = std::min(mapEntries, colors);
    for (int i = 0; i < n; ++i) {
      SetColor(*dib, i, map[i], map[mapEntries + i], map[2 * mapEntries + i]);
    }
  } else if (bits == 1) {
    SetColor(*dib, 0, 255, 255, 255);
    SetColor(*dib, 1, 0, 0, 0);
  } else if (bits == 8) {
    SetGreyRamp(*dib, 256);
  }
  const bool rgbOrder = h.type == kTypeRgb;
  const std::size_t step = h.depth / 8;
  const std::size_t skip = h.depth == 32 ? 1 : 0;  // the pad byte leads each pixel
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* src = pixels + static_cast<std::size_t>(y) * lineBytes;
    std::uint8_t* row = TopRow(*dib, y);
    if (bits == 1) {
      std::memcpy(row, src, (static_cast<std::size_t>(width) + 7) / 8);
    } else if (bits == 8) {
      for (int x = 0; x < width; ++x) {
        if (src[x] >= colors) {
          return kCorrupt;
        }
      }
      std::memcpy(row, src, static_cast<std::size_t>(width));
    } else {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = src + step * static_cast<std::size_t>(x) + skip;
        row[3 * x] = rgbOrder ? p[2] : p[0];
        row[3 * x + 1] = p[1];
        row[3 * x + 2] = rgbOrder ? p[0] : p[2];
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoRAS(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    RasHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypeRas, static_cast<int>(h.width), static_cast<int>(h.height), static_cast<int>(h.depth), found);
    return kOk;
  });
}

Code DecodeRAS(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// Standard (uncompressed) rasters: a black-and-white 1-bit image as depth 1 without a
// map; any other 1-, 4- or 8-bit image as depth 8 with its colour table as the map;
// 24 bits as blue, green, red.
Code EncodeRAS(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  const int width = dib->width();
  const int height = dib->height();
  const int srcBits = dib->bitCount();
  const bool mono = srcBits == 1 && IsBlackAndWhite(*dib);
  const int depth = mono ? 1 : (srcBits == 24 ? 24 : 8);
  const int mapEntries = depth == 8 ? dib->colorCount() : 0;
  const std::size_t lineBytes = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(depth) + 15) / 16) * 2;

  ByteWriter w;
  w.u32be(kMagic);
  w.u32be(static_cast<std::uint32_t>(width));
  w.u32be(static_cast<std::uint32_t>(height));
  w.u32be(static_cast<std::uint32_t>(depth));
  w.u32be(static_cast<std::uint32_t>(lineBytes * static_cast<std::size_t>(height)));
  w.u32be(kTypeStandard);
  w.u32be(mapEntries > 0 ? 1 : 0);
  w.u32be(static_cast<std::uint32_t>(3 * mapEntries));
  const RgbQuad* table = dib->colors();
  for (int i = 0; i < mapEntries; ++i) {
    w.u8(table[i].rgbRed);
  }
  for (int i = 0; i < mapEntries; ++i) {
    w.u8(table[i].rgbGreen);
  }
  for (int i = 0; i < mapEntries; ++i) {
    w.u8(table[i].rgbBlue);
  }
  bool dark[2] = {false, true};
  if (mono) {
    DarkIndices(*dib, dark);
  }
  std::vector<std::uint8_t> line(lineBytes);
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* row = TopRow(*dib, y);
    std::fill(line.begin(), line.end(), 0);
    if (depth == 1) {
      for (int x = 0; x < width; ++x) {
        if (dark[(row[x >> 3] >> (7 - (x & 7))) & 1]) {
          line[x >> 3] = static_cast<std::uint8_t>(line[x >> 3] | (0x80u >> (x & 7)));
        }
      }
    } else if (depth == 8) {
      UnpackIndices(row, width, srcBits, line.data());
    } else {
      std::memcpy(line.data(), row, 3 * static_cast<std::size_t>(width));
    }
    w.bytes(line.data(), line.size());
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
