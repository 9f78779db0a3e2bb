// IFF pictures: a "FORM" of kind "ILBM" (bit planes) or "PBM " (one byte a pixel) made of
// chunks (four-character id, big-endian size, data padded to an even length):
//   BMHD  width, height, origin, planes, masking, compression (0 none, 1 ByteRun1),
//         transparent colour, aspect, page size
//   CMAP  red, green, blue bytes per colour (only the first 2^planes are used)
//   CAMG  display mode: hold-and-modify (HAM), extra half-brite (EHB)
//   BODY  rows top first; in ILBM each row holds every plane's row in turn (plane 0 the
//         least significant bit, rows padded to 16 bits) and a mask row when masking is 1.
// With ByteRun1 a row is one stream: a run may pass from one plane into the next, but not
// past the row.
//
// ILBM pictures come in four kinds:
//   1..8 planes   colour-mapped, read as 1-, 4- or 8-bit images
//   EHB           6 planes: indices 32..63 show the colours 0..31 at half brightness
//   HAM6, HAM8    6 or 8 planes, read as 24 bits: the top two bits of a pixel say
//                 whether its low bits index the 16 (64) base colours (0) or replace the
//                 high bits of the blue (1), red (2) or green (3) of the pixel to its left,
//                 whose low bits stay; each row starts from base colour 0
//   deep          24 planes (8 each of red, green, blue, least significant first) or 32
//                 (then 8 of alpha, dropped), read as 24 bits

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/PackBits.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeIff = 7;
constexpr std::uint32_t kCamgHam = 0x800;
constexpr std::uint32_t kCamgHalfBrite = 0x80;

enum class Kind { kMapped, kHam, kDeep };

struct IffImage {
  Kind kind = Kind::kMapped;
  bool chunky = false;  // "PBM "
  int width = 0;
  int height = 0;
  int planes = 0;
  int masking = 0;
  int compression = 0;
  std::uint32_t camg = 0;
  const std::uint8_t* cmap = nullptr;
  std::size_t cmapSize = 0;
  const std::uint8_t* body = nullptr;
  std::size_t bodySize = 0;
  bool haveHeader = false;
};

bool Is(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

Code Parse(const std::vector<std::uint8_t>& bytes, IffImage* img) {
  ByteReader in(bytes);
  const std::uint8_t* form = in.take(4);
  const std::uint32_t formSize = in.u32be();
  const std::uint8_t* kind = in.take(4);
  if (!in.ok() || !Is(form, "FORM")) {
    return kNotThisFormat;
  }
  if (Is(kind, "PBM ")) {
    img->chunky = true;
  } else if (!Is(kind, "ILBM")) {
    return kNotThisFormat;
  }
  // Chunks end where the FORM ends, or at the end of the file if that comes first.
  const std::size_t end = std::min<std::size_t>(bytes.size(), std::size_t{formSize} + 8);
  ByteReader chunks(bytes.data(), end);
  chunks.seek(12);
  while (chunks.ok() && chunks.remaining() >= 8) {
    const std::uint8_t* id = chunks.take(4);
    const std::uint32_t size = chunks.u32be();
    const std::uint8_t* data = chunks.take(size);
    if (data == nullptr) {
      return kTruncated;
    }
    if (size % 2 != 0 && chunks.remaining() > 0) {
      chunks.skip(1);
    }
    if (Is(id, "BMHD")) {
      if (size < 20) {
        return kCorrupt;
      }
      ByteReader h(data, size);
      img->width = h.u16be();
      img->height = h.u16be();
      h.skip(4);
      img->planes = h.u8();
      img->masking = h.u8();
      img->compression = h.u8();
      img->haveHeader = true;
    } else if (Is(id, "CMAP")) {
      img->cmap = data;
      img->cmapSize = size;
    } else if (Is(id, "CAMG") && size >= 4) {
      ByteReader c(data, size);
      img->camg = c.u32be();
    } else if (Is(id, "BODY")) {
      img->body = data;
      img->bodySize = size;
      break;
    }
  }
  if (!img->haveHeader || img->body == nullptr) {
    return img->haveHeader ? kTruncated : kCorrupt;
  }
  if (img->width == 0 || img->height == 0 || img->width > kMaxDibSide || img->height > kMaxDibSide) {
    return kBadDimensions;
  }
  if (img->compression > 1 || img->masking > 3) {
    return kUnsupportedVariant;
  }
  const bool ham = (img->camg & kCamgHam) != 0;
  if (img->chunky) {
    return img->planes == 8 && !ham ? kOk : kUnsupportedVariant;
  }
  if (ham) {
    // HAM is defined for 6 and 8 planes only (the two hardware modes).
    img->kind = Kind::kHam;
    return img->planes == 6 || img->planes == 8 ? kOk : kUnsupportedVariant;
  }
  if (img->planes == 24 || img->planes == 32) {
    img->kind = Kind::kDeep;
    return kOk;
  }
  return img->planes >= 1 && img->planes <= 8 ? kOk : kUnsupportedVariant;
}

// The colour map of `count` entries: CMAP's colours (entries it lacks are black), a grey
// ramp without CMAP. Extra half-brite entries 32..63 are always the halves of 0..31, as
// the display shows them, whatever CMAP stores there.
std::vector<RgbQuad> Palette(const IffImage& img, int count) {
  std::vector<RgbQuad> table(static_cast<std::size_t>(count), RgbQuad{});
  const int fromMap = static_cast<int>(std::min<std::size_t>(img.cmapSize / 3, static_cast<std::size_t>(count)));
  for (int i = 0; i < count; ++i) {
    if (fromMap == 0) {
      const auto v = static_cast<std::uint8_t>(count > 1 ? i * 255 / (count - 1) : 0);
      table[static_cast<std::size_t>(i)] = RgbQuad{v, v, v, 0};
    } else if (i < fromMap) {
      table[static_cast<std::size_t>(i)] = RgbQuad{img.cmap[3 * i + 2], img.cmap[3 * i + 1], img.cmap[3 * i], 0};
    }
  }
  if (fromMap > 0 && (img.camg & kCamgHalfBrite) != 0 && img.kind == Kind::kMapped && img.planes == 6) {
    for (std::size_t i = 32; i < 64; ++i) {
      const RgbQuad q = table[i - 32];
      table[i] = RgbQuad{static_cast<std::uint8_t>(q.rgbBlue / 2), static_cast<std::uint8_t>(q.rgbGreen / 2),
                         static_cast<std::uint8_t>(q.rgbRed / 2), 0};
    }
  }
  return table;
}

// One row of HAM pixel values (6 or 8 bits) to blue, green, red.
void HamRow(const std::uint8_t* values, int width, int planes, const std::vector<RgbQuad>& base, std::uint8_t* bgr) {
  const int valueBits = planes - 2;
  const unsigned valueMask = (1u << valueBits) - 1;
  const int shift = 8 - valueBits;
  const unsigned keep = (1u << shift) - 1;
  RgbQuad c = base[0];
  for (int x = 0; x < width; ++x) {
    const unsigned v = values[x] & valueMask;
    const auto modify = [&](std::uint8_t level) { return static_cast<std::uint8_t>((level & keep) | (v << shift)); };
    switch (values[x] >> valueBits) {
      case 0:
        c = base[v];
        break;
      case 1:
        c.rgbBlue = modify(c.rgbBlue);
        break;
      case 2:
        c.rgbRed = modify(c.rgbRed);
        break;
      default:
        c.rgbGreen = modify(c.rgbGreen);
        break;
    }
    bgr[3 * x] = c.rgbBlue;
    bgr[3 * x + 1] = c.rgbGreen;
    bgr[3 * x + 2] = c.rgbRed;
  }
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  IffImage img;
  if (const Code c = Parse(bytes, &img); c != kOk) {
    return c;
  }
  const std::size_t width = static_cast<std::size_t>(img.width);
  const std::size_t planeBytes = img.chunky ? width + (width & 1) : ((width + 15) / 16) * 2;
  const std::size_t rowPlanes = img.chunky ? 1 : static_cast<std::size_t>(img.planes + (img.masking == 1 ? 1 : 0));
  const std::size_t rowBytes = planeBytes * rowPlanes;
  if (!WithinBudget(rowBytes, static_cast<std::uint64_t>(img.height), img.bodySize, img.compression ? 64 : 1)) {
    return kTruncated;
  }
  const bool mapped = img.kind == Kind::kMapped;
  const int bits = mapped ? DibBitsFor(img.planes) : 24;
  const int colors = mapped ? 1 << img.planes : 0;
  DibHandle dib;
  if (const Code c = NewDib(img.width, img.height, bits, colors, &dib); c != kOk) {
    return c;
  }
  const std::vector<RgbQuad> palette =
      Palette(img, img.kind == Kind::kDeep ? 0 : 1 << (img.kind == Kind::kHam ? img.planes - 2 : img.planes));
  if (mapped) {
    std::copy(palette.begin(), palette.end(), dib->colors());
  }
  ByteReader in(img.body, img.bodySize);
  std::vector<std::uint8_t> row(rowBytes);
  std::vector<std::uint8_t> indices(width * (img.kind == Kind::kDeep ? 3 : 1));
  for (int y = 0; y < img.height; ++y) {
    if (RowCancelled(progress, y, img.height)) {
      return kCancelled;
    }
    if (img.compression == 0) {
      if (!in.read(row.data(), rowBytes)) {
        return kTruncated;
      }
    } else {
      const RunResult r = UnpackBits(in, row.data(), rowBytes);
      if (r != RunResult::kOk) {
        return r == RunResult::kOverrun ? kCorrupt : kTruncated;
      }
    }
    std::uint8_t* dst = TopRow(*dib, y);
    if (img.chunky) {
      std::memcpy(dst, row.data(), width);
    } else if (img.kind == Kind::kDeep) {
      // Eight planes each of red, green and blue.
      std::uint8_t* channel[3] = {indices.data(), indices.data() + width, indices.data() + 2 * width};
      for (int c = 0; c < 3; ++c) {
        PlanesToIndices(row.data() + planeBytes * 8 * static_cast<std::size_t>(c), planeBytes, 8, img.width,
                        channel[c]);
      }
      for (std::size_t x = 0; x < width; ++x) {
        dst[3 * x] = channel[2][x];
        dst[3 * x + 1] = channel[1][x];
        dst[3 * x + 2] = channel[0][x];
      }
    } else {
      PlanesToIndices(row.data(), planeBytes, img.planes, img.width, indices.data());
      if (img.kind == Kind::kHam) {
        HamRow(indices.data(), img.width, img.planes, palette, dst);
      } else {
        PackIndices(indices.data(), img.width, bits, dst);
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoIFF(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    IffImage img;
    if (const Code c = Parse(bytes, &img); c != kOk) {
      return c;
    }
    FillInfo(kTypeIff, img.width, img.height, img.planes, found);
    return kOk;
  });
}

Code DecodeIFF(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// ILBM with as many planes as the image has bits (1, 4 or 8), its colour table as CMAP,
// rows ByteRun1-coded plane by plane when `compressed` is set.
Code EncodeIFF(ProgressWindow progress, const std::string& path, const Dib* dib, int compressed) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  const int bits = dib->bitCount();
  if (bits == 24) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const int planes = bits;
  const std::size_t planeBytes = ((static_cast<std::size_t>(width) + 15) / 16) * 2;
  const int colors = dib->colorCount();

  ByteWriter w;
  w.text("FORM");
  w.u32be(0);
  w.text("ILBM");
  w.text("BMHD");
  w.u32be(20);
  w.u16be(static_cast<unsigned>(width));
  w.u16be(static_cast<unsigned>(height));
  w.u16be(0);
  w.u16be(0);
  w.u8(static_cast<unsigned>(planes));
  w.u8(0);
  w.u8(compressed ? 1 : 0);
  w.u8(0);
  w.u16be(0);
  w.u8(1);
  w.u8(1);
  w.u16be(static_cast<unsigned>(width));
  w.u16be(static_cast<unsigned>(height));
  w.text("CMAP");
  w.u32be(static_cast<std::uint32_t>(3 * colors));
  for (int i = 0; i < colors; ++i) {
    const RgbQuad q = dib->colors()[i];
    w.u8(q.rgbRed);
    w.u8(q.rgbGreen);
    w.u8(q.rgbBlue);
  }
  if ((3 * colors) % 2 != 0) {
    w.u8(0);
  }
  w.text("BODY");
  const std::size_t bodySizeAt = w.size();
  w.u32be(0);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> row(planeBytes * static_cast<std::size_t>(planes));
  std::vector<std::uint8_t> packed;
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    UnpackIndices(TopRow(*dib, y), width, bits, indices.data());
    IndicesToPlanes(indices.data(), width, planes, planeBytes, row.data());
    for (int p = 0; p < planes; ++p) {
      const std::uint8_t* plane = row.data() + planeBytes * static_cast<std::size_t>(p);
      if (compressed) {
        packed.clear();
        PackBits(plane, planeBytes, &packed);
        w.bytes(packed.data(), packed.size());
      } else {
        w.bytes(plane, planeBytes);
      }
    }
  }
  const std::size_t bodySize = w.size() - bodySizeAt - 4;
  w.put32be(bodySizeAt, static_cast<std::uint32_t>(bodySize));
  if (bodySize % 2 != 0) {
    w.u8(0);
  }
  w.put32be(4, static_cast<std::uint32_t>(w.size() - 8));
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
