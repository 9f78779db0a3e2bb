// Photoshop documents: the flattened composite only. A 26-byte big-endian header
// ("8BPS", version 1, channels, height, width, depth, colour mode), then three
// length-prefixed sections (colour mode data, image resources, layers) and the image
// data: a compression word, then every channel's rows, raw or as PackBits rows whose
// byte counts come first. A PackBits row must fill its row exactly.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/PackBits.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypePsd = 106;
enum Mode { kBitmap = 0, kGrey = 1, kIndexed = 2, kRgb = 3, kCmyk = 4, kMultichannel = 7, kDuotone = 8 };

struct PsdHeader {
  int channels = 0;
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  int depth = 0;
  int mode = 0;
};

Code ParseHeader(ByteReader& in, PsdHeader* h) {
  const std::uint8_t* sig = in.take(4);
  if (sig == nullptr || std::memcmp(sig, "8BPS", 4) != 0) {
    return kNotThisFormat;
  }
  const int version = in.u16be();
  in.skip(6);
  h->channels = in.u16be();
  h->height = in.u32be();
  h->width = in.u32be();
  h->depth = in.u16be();
  h->mode = in.u16be();
  if (!in.ok()) {
    return kTruncated;
  }
  if (version != 1) {
    return kUnsupportedVariant;
  }
  const int m = h->mode;
  const bool modeOk = m == kBitmap || m == kGrey || m == kIndexed || m == kRgb || m == kCmyk ||
                      m == kMultichannel || m == kDuotone;
  const bool depthOk = m == kBitmap ? h->depth == 1 : (h->depth == 8 || (h->depth == 16 && m != kIndexed));
  if (!modeOk || !depthOk || h->channels < 1 || h->channels > 56) {
    return kUnsupportedVariant;
  }
  if ((m == kRgb && h->channels < 3) || (m == kCmyk && h->channels < 4)) {
    return kCorrupt;
  }
  if (h->width == 0 || h->height == 0 || h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  return kOk;
}

int UsedChannels(const PsdHeader& h) { return h.mode == kRgb ? 3 : (h.mode == kCmyk ? 4 : 1); }
int OutputBits(const PsdHeader& h) {
  return h.mode == kBitmap ? 1 : (h.mode == kRgb || h.mode == kCmyk ? 24 : 8);
}

// Places one decoded row of channel c into the DIB row.
void PlaceRow(const PsdHeader& h, int c, const std::uint8_t* src, std::uint8_t* row) {
  const int width = static_cast<int>(h.width);
  const int step = h.depth == 16 ? 2 : 1;  // 16-bit samples: the high byte
  if (h.mode == kBitmap) {
    std::memcpy(row, src, (static_cast<std::size_t>(width) + 7) / 8);
  } else if (h.mode == kRgb) {
    for (int x = 0; x < width; ++x) {
      row[3 * x + 2 - c] = src[step * x];
    }
  } else if (h.mode == kCmyk) {
    // Stored inverted (255 = no ink): red = (255 - C) * (255 - K) / 255 becomes c * k / 255.
    for (int x = 0; x < width; ++x) {
      if (c < 3) {
        row[3 * x + 2 - c] = src[step * x];
      } else {
        for (int k = 0; k < 3; ++k) {
          row[3 * x + k] = static_cast<std::uint8_t>(row[3 * x + k] * src[step * x] / 255);
        }
      }
    }
  } else {
    for (int x = 0; x < width; ++x) {
      row[x] = src[step * x];
    }
  }
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  ByteReader in(bytes);
  PsdHeader h;
  if (const Code c = ParseHeader(in, &h); c != kOk) {
    return c;
  }
  const std::uint32_t modeDataLength = in.u32be();
  const std::uint8_t* modeData = in.take(modeDataLength);
  in.skip(in.u32be());  // image resources
  in.skip(in.u32be());  // layers and masks
  const int compression = in.u16be();
  if (!in.ok()) {
    return kTruncated;
  }
  if (compression != 0 && compression != 1) {
    return kUnsupportedVariant;
  }
  if (h.mode == kIndexed && modeDataLength < 768) {
    return kCorrupt;
  }
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height);
  const std::size_t rowBytes = h.depth == 1 ? (h.width + 7) / 8 : static_cast<std::size_t>(width) * (h.depth / 8);
  const int used = UsedChannels(h);
  const std::size_t rows = static_cast<std::size_t>(h.channels) * h.height;

  // Row byte counts (PackBits) or nothing; then checks that the data can be there.
  std::vector<std::uint16_t> counts;
  if (compression == 1) {
    if (in.remaining() / 2 < rows) {
      return kTruncated;
    }
    counts.resize(rows);
    std::size_t needed = 0;
    for (std::size_t i = 0; i < rows; ++i) {
      counts[i] = in.u16be();
      if (i < static_cast<std::size_t>(used) * h.height) {
        // Two bytes of PackBits stand for at most 128.
        if (rowBytes > static_cast<std::size_t>(counts[i]) * 64) {
          return kCorrupt;
        }
        needed += counts[i];
      }
    }
    if (needed > in.remaining()) {
      return kTruncated;
    }
  } else if (!WithinBudget(rowBytes, static_cast<std::uint64_t>(h.height) * static_cast<std::uint64_t>(used), in.remaining(), 1)) {
    return kTruncated;
  }

  DibHandle dib;
  const int bits = OutputBits(h);
  if (const Code c = NewDib(width, height, bits, bits == 1 ? 2 : (bits == 8 ? 256 : 0), &dib); c != kOk) {
    return c;
  }
  if (h.mode == kBitmap) {
    SetColor(*dib, 0, 255, 255, 255);
    SetColor(*dib, 1, 0, 0, 0);
  } else if (h.mode == kIndexed) {
    for (int i = 0; i < 256; ++i) {
      SetColor(*dib, i, modeData[i], modeData[256 + i], modeData[512 + i]);
    }
  } else if (bits == 8) {
    SetGreyRamp(*dib, 256);
  }
  std::vector<std::uint8_t> line(rowBytes);
  for (int c = 0; c < used; ++c) {
    for (int y = 0; y < height; ++y) {
      if (RowCancelled(progress, static_cast<long long>(c) * height + y, static_cast<long long>(used) * height)) {
        return kCancelled;
      }
      if (compression == 0) {
        if (!in.read(line.data(), rowBytes)) {
          return kTruncated;
        }
      } else {
        const std::size_t count = counts[static_cast<std::size_t>(c) * h.height + static_cast<std::size_t>(y)];
        const std::uint8_t* packed = in.take(count);
        if (packed == nullptr) {
          return kTruncated;
        }
        ByteReader rowIn(packed, count);
        const RunResult r = UnpackBits(rowIn, line.data(), rowBytes);
        if (r != RunResult::kOk) {
          return r == RunResult::kOverrun ? kCorrupt : kTruncated;
        }
      }
      PlaceRow(h, c, line.data(), TopRow(*dib, y));
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoPSD(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    ByteReader in(bytes);
    PsdHeader h;
    if (const Code c = ParseHeader(in, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypePsd, static_cast<int>(h.width), static_cast<int>(h.height), h.depth * h.channels, found);
    return kOk;
  });
}

Code DecodePSD(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// Written flat with PackBits rows: 24 bits as RGB; an 8-bit grey image as greyscale when
// `grey` is set; every other image as indexed colour (its indices widened to 8 bits).
Code EncodePSD(ProgressWindow progress, const std::string& path, const Dib* dib, int grey) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  const int width = dib->width();
  const int height = dib->height();
  const int bits = dib->bitCount();
  const int mode = bits == 24 ? kRgb : (grey != 0 && bits == 8 && IsDIBGreyScaled(dib) ? kGrey : kIndexed);
  const int channels = mode == kRgb ? 3 : 1;

  ByteWriter w;
  w.text("8BPS");
  w.u16be(1);
  w.fill(0, 6);
  w.u16be(static_cast<unsigned>(channels));
  w.u32be(static_cast<std::uint32_t>(height));
  w.u32be(static_cast<std::uint32_t>(width));
  w.u16be(8);
  w.u16be(static_cast<unsigned>(mode));
  if (mode == kIndexed) {
    w.u32be(768);
    const RgbQuad* table = dib->colors();
    const int count = dib->colorCount();
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < 256; ++i) {
        const RgbQuad q = i < count ? table[i] : RgbQuad{};
        w.u8(k == 0 ? q.rgbRed : (k == 1 ? q.rgbGreen : q.rgbBlue));
      }
    }
  } else {
    w.u32be(0);
  }
  w.u32be(0);  // image resources
  w.u32be(0);  // layers and masks
  w.u16be(1);  // PackBits
  const std::size_t countsAt = w.size();
  w.fill(0, 2 * static_cast<std::size_t>(channels) * static_cast<std::size_t>(height));

  std::vector<std::uint8_t> line(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> bgr(bits == 24 ? 3 * static_cast<std::size_t>(width) : 0);
  std::vector<std::uint8_t> packed;
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) {
      if (RowCancelled(progress, static_cast<long long>(c) * height + y, static_cast<long long>(channels) * height)) {
        return kCancelled;
      }
      const std::uint8_t* row = TopRow(*dib, y);
      if (mode == kRgb) {
        for (int x = 0; x < width; ++x) {
          line[x] = row[3 * x + 2 - c];
        }
      } else {
        UnpackIndices(row, width, bits, line.data());
      }
      packed.clear();
      PackBits(line.data(), line.size(), &packed);
      w.put16be(countsAt + 2 * (static_cast<std::size_t>(c) * height + static_cast<std::size_t>(y)),
                static_cast<unsigned>(packed.size()));
      w.bytes(packed.data(), packed.size());
    }
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
