#include "fileio/imgx/TiffSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fileio/imgx/CodecKit.h"
#include "imaging/MemoryCeiling.h"

namespace km::imgx {

namespace {

struct Layout {
  std::uint16_t bps = 1;
  std::uint16_t spp = 1;
  std::uint16_t format = SAMPLEFORMAT_UINT;
  std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  int channels = 0;  // samples shown: 1 grey or palette, 3 RGB; 0 not readable here
};

Layout ReadLayout(TIFF* tif) {
  Layout l;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric) != 1) {
    l.photometric = PHOTOMETRIC_MINISWHITE;
  }
  const bool integer = (l.format == SAMPLEFORMAT_UINT || l.format == SAMPLEFORMAT_INT) && l.bps >= 1 && l.bps <= 32;
  const bool real = l.format == SAMPLEFORMAT_IEEEFP && (l.bps == 16 || l.bps == 32 || l.bps == 64);
  if ((!integer && !real) || l.spp < 1 || (l.planar != PLANARCONFIG_CONTIG && l.planar != PLANARCONFIG_SEPARATE)) {
    return l;
  }
  switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      l.channels = 1;
      break;
    case PHOTOMETRIC_RGB:
      l.channels = l.spp >= 3 ? 3 : 0;
      break;
    case PHOTOMETRIC_PALETTE:
      l.channels = l.spp == 1 && l.bps == 16 && l.format == SAMPLEFORMAT_UINT ? 1 : 0;
      break;
    default:
      break;
  }
  return l;
}

// An IEEE half-precision value.
double HalfToDouble(std::uint16_t h) {
  const int exponent = (h >> 10) & 0x1F;
  const double mantissa = h & 0x3FF;
  const double magnitude = exponent == 0    ? std::ldexp(mantissa, -24)
                           : exponent == 31 ? (mantissa == 0 ? INFINITY : NAN)
                                            : std::ldexp(mantissa + 1024, exponent - 25);
  return (h & 0x8000) != 0 ? -magnitude : magnitude;
}

// Sample `index` of a row (samples of l.bps bits, most significant bit first; 16, 32 and
// 64 bits in the machine's order, as libtiff hands them over): as an unsigned value for
// integers (signed ones offset by half the range), as a double for floating point.
struct SampleReader {
  const Layout& l;

  std::uint32_t Integer(const std::uint8_t* row, std::size_t index) const {
    std::uint32_t v = 0;
    switch (l.bps) {
      case 8:
        v = row[index];
        break;
      case 16: {
        std::uint16_t s = 0;
        std::memcpy(&s, row + 2 * index, 2);
        v = s;
        break;
      }
      case 32:
        std::memcpy(&v, row + 4 * index, 4);
        break;
      default: {
        const std::uint64_t bit = static_cast<std::uint64_t>(index) * l.bps;
        const std::uint8_t* p = row + bit / 8;
        const unsigned skip = static_cast<unsigned>(bit % 8);
        const unsigned bytes = (skip + l.bps + 7) / 8;  // at most 5
        std::uint64_t acc = 0;
        for (unsigned i = 0; i < bytes; ++i) {
          acc = acc << 8 | p[i];
        }
        v = static_cast<std::uint32_t>((acc >> (bytes * 8 - skip - l.bps)) & ((std::uint64_t{1} << l.bps) - 1));
        break;
      }
    }
    if (l.format == SAMPLEFORMAT_INT) {
      v ^= std::uint32_t{1} << (l.bps - 1);  // two's complement to offset binary
    }
    return v;
  }

  double Real(const std::uint8_t* row, std::size_t index) const {
    if (l.bps == 16) {
      std::uint16_t h = 0;
      std::memcpy(&h, row + 2 * index, 2);
      return HalfToDouble(h);
    }
    if (l.bps == 32) {
      float f = 0;
      std::memcpy(&f, row + 4 * index, 4);
      return f;
    }
    double d = 0;
    std::memcpy(&d, row + 8 * index, 8);
    return d;
  }

  // The sample as a level 0..255: integers scaled from their range with rounding,
  // floating point from 0..1 (clamped; not a number is 0).
  std::uint8_t Level(const std::uint8_t* row, std::size_t index) const {
    if (l.format == SAMPLEFORMAT_IEEEFP) {
      const double f = Real(row, index);
      return f > 0 ? static_cast<std::uint8_t>(std::min(f, 1.0) * 255 + 0.5) : 0;
    }
    const std::uint64_t max = (std::uint64_t{1} << l.bps) - 1;
    return static_cast<std::uint8_t>((Integer(row, index) * std::uint64_t{255} + max / 2) / max);
  }
};

// One decoded strip or tile: its place in the picture and in the sample planes.
struct Chunk {
  int x0 = 0;
  int y0 = 0;
  int width = 0;  // pixels a stored row holds (the tile width, or the picture width)
  int rows = 0;   // rows it holds
  int plane = 0;  // the sample it holds when planar, else 0
};

}  // namespace

bool TiffSamplesReadable(TIFF* tif) { return ReadLayout(tif).channels != 0; }

Code ReadTiffSamples(TIFF* tif, int w, int h, ProgressWindow progress, DibHandle* out) {
  const Layout l = ReadLayout(tif);
  if (l.channels == 0) {
    return kUnsupportedVariant;
  }
  const bool grey = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
  const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
  std::uint16_t* map[3] = {nullptr, nullptr, nullptr};
  if (palette && (TIFFGetField(tif, TIFFTAG_COLORMAP, &map[0], &map[1], &map[2]) != 1 || map[0] == nullptr)) {
    return kCorrupt;
  }
  const bool contig = l.planar == PLANARCONFIG_CONTIG || l.spp == 1;
  const bool tiled = TIFFIsTiled(tif) != 0;
  std::uint32_t tileW = static_cast<std::uint32_t>(w);
  std::uint32_t tileH = 0;
  if (tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH);
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &tileH);
  }
  tileH = std::min<std::uint32_t>(tileH, static_cast<std::uint32_t>(h));
  if (tileW == 0 || tileH == 0 || tileW > static_cast<std::uint32_t>(kMaxDibSide) * 2) {
    return kCorrupt;
  }
  const std::size_t rowSamples = static_cast<std::size_t>(tileW) * (contig ? l.spp : 1);
  const std::size_t rowBytes = (rowSamples * l.bps + 7) / 8;
  const std::size_t chunkBytes = rowBytes * tileH;
  const tmsize_t libSize = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
  if (libSize <= 0 || static_cast<std::size_t>(libSize) < chunkBytes) {
    return kCorrupt;
  }
  MemoryCharge charge;
  if (!MemoryCharge::Take(static_cast<std::uint64_t>(libSize), &charge)) {
    return kNoMemory;
  }
  DibHandle dib;
  if (const Code c = NewDib(w, h, grey ? 8 : 24, grey ? 256 : 0, &dib); c != kOk) {
    return c;
  }
  if (grey) {
    SetGreyRamp(*dib, 256);
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(libSize));

  const std::uint32_t across = tiled ? (static_cast<std::uint32_t>(w) + tileW - 1) / tileW : 1;
  const std::uint32_t down = (static_cast<std::uint32_t>(h) + tileH - 1) / tileH;
  const std::uint32_t perPlane = across * down;
  const int planes = contig ? 1 : std::min<int>(l.spp, l.channels);
  const std::uint32_t chunks = perPlane * static_cast<std::uint32_t>(planes);
  const SampleReader reader{l};
  for (std::uint32_t k = 0; k < chunks; ++k) {
    if (RowCancelled(progress, k, chunks)) {
      return kCancelled;
    }
    Chunk c;
    c.plane = static_cast<int>(k / perPlane);
    c.x0 = static_cast<int>((k % perPlane) % across * tileW);
    c.y0 = static_cast<int>((k % perPlane) / across * tileH);
    c.width = static_cast<int>(tileW);
    c.rows = std::min<int>(static_cast<int>(tileH), h - c.y0);
    // Planar chunks are numbered by sample first.
    const std::uint32_t stored = contig ? k : static_cast<std::uint32_t>(c.plane) * perPlane + k % perPlane;
    const tmsize_t got = tiled ? TIFFReadEncodedTile(tif, stored, buffer.data(), libSize)
                               : TIFFReadEncodedStrip(tif, stored, buffer.data(), libSize);
    if (got < 0 || static_cast<std::size_t>(got) < rowBytes * static_cast<std::size_t>(c.rows)) {
      return kCorrupt;
    }
    const int xEnd = std::min(w, c.x0 + c.width);
    for (int r = 0; r < c.rows; ++r) {
      const std::uint8_t* src = buffer.data() + rowBytes * static_cast<std::size_t>(r);
      std::uint8_t* dst = TopRow(*dib, c.y0 + r);
      for (int x = c.x0; x < xEnd; ++x) {
        const std::size_t px = static_cast<std::size_t>(x - c.x0);
        if (grey) {
          const std::uint8_t v = reader.Level(src, contig ? px * l.spp : px);
          dst[x] = l.photometric == PHOTOMETRIC_MINISWHITE ? static_cast<std::uint8_t>(255 - v) : v;
        } else if (palette) {
          const std::uint32_t i = reader.Integer(src, px);
          dst[3 * x] = static_cast<std::uint8_t>(map[2][i] >> 8);
          dst[3 * x + 1] = static_cast<std::uint8_t>(map[1][i] >> 8);
          dst[3 * x + 2] = static_cast<std::uint8_t>(map[0][i] >> 8);
        } else if (contig) {
          for (int s = 0; s < 3; ++s) {
            dst[3 * x + 2 - s] = reader.Level(src, px * l.spp + static_cast<std::size_t>(s));
          }
        } else {
          dst[3 * x + 2 - c.plane] = reader.Level(src, px);
        }
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace km::imgx
