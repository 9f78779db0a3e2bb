// TIFF through libtiff, first page only. Errors and warnings go to per-file handlers
// that record them silently. Strip images that are bilevel, grey, palette or 8-bit RGB
// are read row by row at their own depth (1, 4 or 8 bits with a table, or 24 bits);
// anything else (tiles, planar data, 16 bits, CMYK, YCbCr JPEG, CIE L*a*b*) through
// libtiff's RGBA reader into 24 bits; what that refuses (12-bit and other odd sample
// sizes, 32-bit integers, floating point, 16-bit palettes) sample by sample
// (TiffSamples.h) before the file is refused. The file's bytes are handed to libtiff as
// a mapped file, as a file opened from disk would be: libtiff's reads from a mapping
// accept strips and tiles whose stored byte counts exceed what they decode to, which
// its plain reads refuse and other readers take. Written with no compression, CCITT modified Huffman,
// CCITT Group 3 (both 1-bit only), LZW or PackBits.

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/TiffSamples.h"
#include "imaging/MemoryCeiling.h"

namespace km::imgx {

namespace {

// Fax coding of a blank page shrinks it several thousand times.
constexpr std::size_t kTiffRatio = 4096;

struct Memory {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
  int errors;
};

extern "C" int TiffError(TIFF*, void* user, const char*, const char*, va_list) {
  if (user != nullptr) {
    static_cast<Memory*>(user)->errors++;
  }
  return 1;
}
extern "C" int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

extern "C" tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<Memory*>(h);
  if (n < 0) {
    return -1;
  }
  const std::size_t take = std::min(static_cast<std::size_t>(n), m->size - m->pos);
  if (take == 0) {
    return 0;  // an empty file has no data pointer to copy from
  }
  std::memcpy(buf, m->data + m->pos, take);
  m->pos += take;
  return static_cast<tmsize_t>(take);
}
extern "C" tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }
extern "C" toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<Memory*>(h);
  std::uint64_t base = whence == SEEK_CUR ? m->pos : (whence == SEEK_END ? m->size : 0);
  const std::uint64_t to = base + off;
  if (to > m->size) {
    return static_cast<toff_t>(-1);
  }
  m->pos = static_cast<std::size_t>(to);
  return to;
}
extern "C" int MemClose(thandle_t) { return 0; }
extern "C" toff_t MemSize(thandle_t h) { return static_cast<Memory*>(h)->size; }
// The whole file is in memory already; libtiff only reads from the mapping.
extern "C" int MemMap(thandle_t h, void** base, toff_t* size) {
  auto* m = static_cast<Memory*>(h);
  if (m->data == nullptr) {
    return 0;
  }
  *base = const_cast<std::uint8_t*>(m->data);
  *size = m->size;
  return 1;
}
extern "C" void MemUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

std::unique_ptr<TIFFOpenOptions, OptionsFree> QuietOptions(Memory* errors) {
  std::unique_ptr<TIFFOpenOptions, OptionsFree> o(TIFFOpenOptionsAlloc());
  if (o) {
    TIFFOpenOptionsSetErrorHandlerExtR(o.get(), TiffError, errors);
    TIFFOpenOptionsSetWarningHandlerExtR(o.get(), TiffQuiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(o.get(), static_cast<tmsize_t>(256) << 20);
  }
  return o;
}

void ReadExtra(TIFF* tif, ImageExtra* extra) {
  float xr = 0;
  float yr = 0;
  std::uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xr) == 1 && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yr) == 1 &&
      xr > 0 && yr > 0 && xr < 1e6f && yr < 1e6f && unit != RESUNIT_NONE) {
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    extra->xDpi = xr * scale;
    extra->yDpi = yr * scale;
  }
  std::uint32_t length = 0;
  void* profile = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) == 1 && profile != nullptr) {
    const auto* p = static_cast<const std::uint8_t*>(profile);
    extra->iccProfile.assign(p, p + length);
  }
  static constexpr std::pair<ttag_t, const char*> kText[] = {
      {TIFFTAG_IMAGEDESCRIPTION, "Description"}, {TIFFTAG_SOFTWARE, "Software"}, {TIFFTAG_ARTIST, "Author"},
      {TIFFTAG_DOCUMENTNAME, "Title"},           {TIFFTAG_COPYRIGHT, "Copyright"}, {TIFFTAG_DATETIME, "Creation Time"},
  };
  for (const auto& [tag, key] : kText) {
    char* value = nullptr;
    if (TIFFGetField(tif, tag, &value) == 1 && value != nullptr) {
      extra->text.emplace_back(key, value);
    }
  }
}

// Rows through libtiff's RGBA reader, into 24 bits. Its raster of 4 bytes a pixel is
// charged to the memory ceiling beside the image before either is allocated.
Code ReadRgba(TIFF* tif, int w, int h, ProgressWindow progress, DibHandle* out) {
  const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  MemoryCharge charge;
  if (!MemoryCharge::Take(std::uint64_t{4} * pixels, &charge)) {
    return kNoMemory;
  }
  DibHandle dib;
  Code c = NewDib(w, h, 24, 0, &dib);
  if (c != kOk) {
    return c;
  }
  if (RowCancelled(progress, 0, h)) {
    return kCancelled;
  }
  std::vector<std::uint32_t> raster(pixels);
  if (TIFFReadRGBAImageOriented(tif, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), raster.data(),
                                ORIENTATION_BOTLEFT, 0) != 1) {
    return kCorrupt;
  }
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* src = raster.data() + static_cast<std::size_t>(y) * w;
    std::uint8_t* dst = dib->row(y);
    for (int x = 0; x < w; ++x) {
      dst[3 * x] = static_cast<std::uint8_t>(TIFFGetB(src[x]));
      dst[3 * x + 1] = static_cast<std::uint8_t>(TIFFGetG(src[x]));
      dst[3 * x + 2] = static_cast<std::uint8_t>(TIFFGetR(src[x]));
    }
  }
  *out = std::move(dib);
  return kOk;
}

Code DecodeFile(TIFF* tif, std::size_t fileSize, ProgressWindow progress, DibHandle* out, bool* throughRgba) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bps = 1;
  std::uint16_t spp = 1;
  std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
    photometric = PHOTOMETRIC_MINISWHITE;
  }
  if (!ValidSize(width, height)) {
    return kBadDimensions;
  }
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const bool bilevelOrGrey = (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
                             spp == 1 && (bps == 1 || bps == 4 || bps == 8);
  const bool palette = photometric == PHOTOMETRIC_PALETTE && spp == 1 && (bps == 1 || bps == 4 || bps == 8);
  const bool rgb = photometric == PHOTOMETRIC_RGB && bps == 8 && (spp == 3 || spp == 4);
  // Signed samples are levels around zero. The RGBA reader and the rows below would take
  // them as unsigned (so -1 would be white), so they go to the sample reader, which
  // moves them up by half the range. Below 8 bits the flag is taken to be a slip.
  std::uint16_t format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  const bool signedLevels = format == SAMPLEFORMAT_INT && bps >= 8 && photometric != PHOTOMETRIC_PALETTE;
  const bool native = !signedLevels && !TIFFIsTiled(tif) && (planar == PLANARCONFIG_CONTIG || spp == 1) &&
                      (bilevelOrGrey || palette || rgb);
  const int outBits = native && !rgb ? bps : 24;
  if (!WithinBudget(Dib::Stride(w, native ? outBits : 32), h, fileSize, kTiffRatio)) {
    return kBadDimensions;
  }
  if (!native) {
    char message[1024];
    // The RGBA reader passes palettes of more than 8 bits but has no way to draw them.
    const bool widePalette = photometric == PHOTOMETRIC_PALETTE && bps > 8;
    if (!widePalette && !signedLevels && TIFFRGBAImageOK(tif, message) == 1) {
      *throughRgba = true;
      return ReadRgba(tif, w, h, progress, out);
    }
    return TiffSamplesReadable(tif) ? ReadTiffSamples(tif, w, h, progress, out) : kUnsupportedVariant;
  }
  DibHandle dib;
  const int colours = outBits <= 8 ? (1 << outBits) : 0;
  Code c = NewDib(w, h, outBits, colours, &dib);
  if (c != kOk) {
    return c;
  }
  if (palette) {
    std::uint16_t* r = nullptr;
    std::uint16_t* g = nullptr;
    std::uint16_t* b = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) != 1 || r == nullptr) {
      return kCorrupt;
    }
    // Some writers store 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (int i = 0; i < colours; ++i) {
      eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
    }
    for (int i = 0; i < colours; ++i) {
      const int s = eightBit ? 0 : 8;
      dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(b[i] >> s), static_cast<std::uint8_t>(g[i] >> s),
                                 static_cast<std::uint8_t>(r[i] >> s), 0};
    }
  } else if (bilevelOrGrey) {
    for (int i = 0; i < colours; ++i) {
      int level = i * 255 / (colours - 1);
      if (photometric == PHOTOMETRIC_MINISWHITE) {
        level = 255 - level;
      }
      const auto v = static_cast<std::uint8_t>(level);
      dib->colors()[i] = RgbQuad{v, v, v, 0};
    }
  }
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize <= 0) {
    return kCorrupt;
  }
  std::vector<std::uint8_t> line(static_cast<std::size_t>(lineSize));
  const std::size_t need = rgb ? static_cast<std::size_t>(w) * spp : (static_cast<std::size_t>(w) * bps + 7) / 8;
  if (line.size() < need) {
    return kCorrupt;
  }
  for (int y = 0; y < h; ++y) {
    if (RowCancelled(progress, y, h)) {
      return kCancelled;
    }
    if (TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0) != 1) {
      return kCorrupt;
    }
    std::uint8_t* dst = TopRow(*dib, y);
    if (rgb) {
      const std::uint8_t* s = line.data();
      for (int x = 0; x < w; ++x, s += spp) {
        dst[3 * x] = s[2];
        dst[3 * x + 1] = s[1];
        dst[3 * x + 2] = s[0];
      }
    } else {
      std::memcpy(dst, line.data(), need);
    }
  }
  // A grey image is an 8-bit image with the identity ramp; MINISWHITE rows are turned
  // round so that it holds.
  if (bilevelOrGrey && bps == 8 && photometric == PHOTOMETRIC_MINISWHITE) {
    for (int y = 0; y < h; ++y) {
      std::uint8_t* p = dib->row(y);
      for (int x = 0; x < w; ++x) {
        p[x] = static_cast<std::uint8_t>(255 - p[x]);
      }
    }
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      dib->colors()[i] = RgbQuad{v, v, v, 0};
    }
  }
  *out = std::move(dib);
  return kOk;
}

Code DecodeBytes(const std::vector<std::uint8_t>& file, ProgressWindow progress, DibHandle* out,
                 ExtraHandle* extra) {
  if (file.size() < 8 || !((file[0] == 'I' && file[1] == 'I') || (file[0] == 'M' && file[1] == 'M'))) {
    return kNotThisFormat;
  }
  Memory mem{file.data(), file.size(), 0, 0};
  auto opts = QuietOptions(&mem);
  TiffPtr tif(TIFFClientOpenExt("memory", "r", &mem, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                                MemUnmap, opts.get()));
  if (!tif) {
    return mem.pos >= file.size() ? kTruncated : kCorrupt;
  }
  DibHandle dib;
  bool throughRgba = false;
  const Code c = DecodeFile(tif.get(), file.size(), progress, &dib, &throughRgba);
  if (c != kOk) {
    return c;
  }
  auto keep = std::make_unique<ImageExtra>();
  ReadExtra(tif.get(), keep.get());
  keep->orientationFlipsUndone = throughRgba;
  if (keep->xDpi > 0) {
    BitmapInfoHeader hdr = dib->header();
    hdr.biXPelsPerMeter = DpiToPerMetre(keep->xDpi);
    hdr.biYPelsPerMeter = DpiToPerMetre(keep->yDpi);
    dib->setHeader(hdr);
  }
  if (extra != nullptr) {
    *extra = std::move(keep);
  }
  *out = std::move(dib);
  return kOk;
}

// ---- Encoding ----

bool IsBlackWhite(const Dib& dib, bool* whiteIsZero) {
  const RgbQuad a = dib.colors()[0];
  const RgbQuad b = dib.colorCount() > 1 ? dib.colors()[1] : RgbQuad{255, 255, 255, 0};
  auto grey = [](RgbQuad q, int v) { return q.rgbRed == v && q.rgbGreen == v && q.rgbBlue == v; };
  if (grey(a, 0) && grey(b, 255)) {
    *whiteIsZero = false;
    return true;
  }
  if (grey(a, 255) && grey(b, 0)) {
    *whiteIsZero = true;
    return true;
  }
  return false;
}

Code EncodeFile(TIFF* tif, ProgressWindow progress, const Dib& dib, const ImageExtra* extra, int compression,
                bool grey, int dpi) {
  const int bits = dib.bitCount();
  const int w = dib.width();
  const int h = dib.height();
  const bool fax = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTRLE;
  if (fax && bits != 1) {
    return kDepthNotWritable;
  }
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(compression));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits == 24 ? 8 : bits));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(bits == 24 ? 3 : 1));
  bool whiteIsZero = false;
  std::vector<std::uint16_t> map;
  if (bits == 24) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  } else if ((bits == 1 && (IsBlackWhite(dib, &whiteIsZero) || fax)) || (bits == 8 && grey && IsDIBGreyScaled(&dib))) {
    if (bits == 1 && fax && !IsBlackWhite(dib, &whiteIsZero)) {
      // Other two-colour tables: the darker entry prints black.
      whiteIsZero = GreyOf(dib.colors()[0]) > GreyOf(dib.colors()[1]);
    }
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
  } else {
    const int n = 1 << bits;
    map.assign(3 * static_cast<std::size_t>(n), 0);
    for (int i = 0; i < dib.colorCount() && i < n; ++i) {
      const RgbQuad q = dib.colors()[i];
      map[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(q.rgbRed * 257);
      map[static_cast<std::size_t>(n + i)] = static_cast<std::uint16_t>(q.rgbGreen * 257);
      map[static_cast<std::size_t>(2 * n + i)] = static_cast<std::uint16_t>(q.rgbBlue * 257);
    }
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
  }
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  double xDpi = dpi > 0 ? dpi : (extra != nullptr ? extra->xDpi : 0);
  double yDpi = dpi > 0 ? dpi : (extra != nullptr ? extra->yDpi : 0);
  if (xDpi > 0 && yDpi > 0) {
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(xDpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(yDpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  if (extra != nullptr) {
    if (!extra->iccProfile.empty()) {
      TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(extra->iccProfile.size()),
                   extra->iccProfile.data());
    }
    static constexpr std::pair<const char*, ttag_t> kText[] = {
        {"Description", TIFFTAG_IMAGEDESCRIPTION}, {"Software", TIFFTAG_SOFTWARE}, {"Author", TIFFTAG_ARTIST},
        {"Title", TIFFTAG_DOCUMENTNAME},           {"Copyright", TIFFTAG_COPYRIGHT},
    };
    for (const auto& [key, value] : extra->text) {
      for (const auto& [name, tag] : kText) {
        if (key == name) {
          TIFFSetField(tif, tag, value.c_str());
        }
      }
    }
  }
  std::vector<std::uint8_t> line(bits == 24 ? static_cast<std::size_t>(w) * 3 : dib.stride());
  for (int y = 0; y < h; ++y) {
    if (RowCancelled(progress, y, h)) {
      return kCancelled;
    }
    const std::uint8_t* src = TopRow(dib, y);
    if (bits == 24) {
      for (int x = 0; x < w; ++x) {
        line[3 * x] = src[3 * x + 2];
        line[3 * x + 1] = src[3 * x + 1];
        line[3 * x + 2] = src[3 * x];
      }
    } else {
      std::memcpy(line.data(), src, line.size());
    }
    if (TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0) != 1) {
      return kWriteError;
    }
  }
  return TIFFWriteDirectory(tif) == 1 ? kOk : kWriteError;
}

}  // namespace

Code InfoTIF(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& f, ImageInfo* found) -> Code {
    Memory mem{f.data(), f.size(), 0, 0};
    auto opts = QuietOptions(&mem);
    TiffPtr tif(TIFFClientOpenExt("memory", "r", &mem, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                                  MemUnmap, opts.get()));
    if (!tif) {
      return kNotThisFormat;
    }
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::uint16_t bps = 1;
    std::uint16_t spp = 1;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    FillInfo(21, static_cast<int>(std::min<std::uint32_t>(w, 0x7FFFFFFF)),
             static_cast<int>(std::min<std::uint32_t>(h, 0x7FFFFFFF)), bps * spp, found);
    return kOk;
  });
}

Code DecodeTIF(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra) {
  if (extra != nullptr) {
    extra->reset();
  }
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& f) { return DecodeBytes(f, progress, out, extra); });
}

Code EncodeTIF(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra,
               int compression, int grey, int dpi) {
  if (ValidateDib(dib) != 0) {
    return kDepthNotWritable;
  }
  if (compression != COMPRESSION_NONE && compression != COMPRESSION_CCITTRLE && compression != COMPRESSION_CCITTFAX3 &&
      compression != COMPRESSION_LZW && compression != COMPRESSION_PACKBITS) {
    return kUnsupportedVariant;
  }
  if ((compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3) && dib->bitCount() != 1) {
    return kDepthNotWritable;
  }
  Memory errors{nullptr, 0, 0, 0};
  auto opts = QuietOptions(&errors);
  Code c = kOk;
  try {
    TiffPtr tif(TIFFOpenExt(path.c_str(), "w", opts.get()));
    if (!tif) {
      return kCannotCreate;
    }
    c = EncodeFile(tif.get(), progress, *dib, extra, compression, grey != 0, dpi);
  } catch (const std::bad_alloc&) {
    c = kNoMemory;
  }
  if (c == kOk && errors.errors > 0) {
    c = kWriteError;
  }
  if (c != kOk) {
    std::remove(path.c_str());
  }
  return c;
}

}  // namespace km::imgx
