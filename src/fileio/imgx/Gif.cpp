// GIF through giflib: the first image of the file, placed on its logical screen
// (filled with the background colour) when it fits there, else on its own. Its table
// decides the depth: up to 2 colours 1 bit, up to 16 colours 4 bits, else 8 bits.
// The transparent index comes from the graphic control extension before the image.
// Written as 87a or 89a, interlaced or not, with a graphic control extension for the
// transparent index in 89a files.

#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

// LZW with 12-bit codes grows its strings by one pixel a code: about 2000 pixels a
// byte at best.
constexpr std::size_t kGifRatio = 2048;

constexpr int kInterlaceStart[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

extern "C" int GifRead(GifFileType* gif, GifByteType* out, int n) {
  auto* s = static_cast<Source*>(gif->UserData);
  if (n < 0) {
    return 0;
  }
  const std::size_t take = std::min(static_cast<std::size_t>(n), s->size - s->pos);
  std::memcpy(out, s->data + s->pos, take);
  s->pos += take;
  return static_cast<int>(take);
}

extern "C" int GifWrite(GifFileType* gif, const GifByteType* data, int n) {
  auto* w = static_cast<ByteWriter*>(gif->UserData);
  try {
    w->bytes(data, static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return n;
}

struct DecoderCloser {
  void operator()(GifFileType* g) const {
    int error = 0;
    DGifCloseFile(g, &error);
  }
};
struct EncoderCloser {
  void operator()(GifFileType* g) const {
    int error = 0;
    EGifCloseFile(g, &error);
  }
};

Code FromGifError(int error) {
  switch (error) {
    case D_GIF_ERR_NOT_ENOUGH_MEM:
    case E_GIF_ERR_NOT_ENOUGH_MEM:
      return kNoMemory;
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
      return kTruncated;
    case D_GIF_ERR_NOT_GIF_FILE:
      return kNotThisFormat;
    default:
      return kCorrupt;
  }
}

Code DecodeBytes(const std::vector<std::uint8_t>& file, ProgressWindow progress, DibHandle* out,
                 std::int16_t* transparent) {
  if (file.size() < 6 || std::memcmp(file.data(), "GIF", 3) != 0) {
    return kNotThisFormat;
  }
  Source src{file.data(), file.size(), 0};
  int error = 0;
  std::unique_ptr<GifFileType, DecoderCloser> gif(DGifOpen(&src, GifRead, &error));
  if (!gif) {
    return FromGifError(error);
  }
  int transparentIndex = -1;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) != GIF_OK) {
      return FromGifError(gif->Error);
    }
    if (record == TERMINATE_RECORD_TYPE) {
      return kCorrupt;  // no image in the file
    }
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) {
        return FromGifError(gif->Error);
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && ext != nullptr && ext[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) {
          transparentIndex = gcb.TransparentColor;
        }
      }
      while (ext != nullptr) {
        if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) {
          return FromGifError(gif->Error);
        }
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) {
      continue;
    }
    if (DGifGetImageDesc(gif.get()) != GIF_OK) {
      return FromGifError(gif->Error);
    }
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
    if (map == nullptr || map->ColorCount < 1 || map->ColorCount > 256) {
      return kCorrupt;
    }
    const long long fw = d.Width;
    const long long fh = d.Height;
    if (!ValidSize(fw, fh) || d.Left < 0 || d.Top < 0) {
      return kBadDimensions;
    }
    // On the logical screen when the image lies inside it, else on its own.
    const bool onScreen = gif->SWidth >= 1 && gif->SHeight >= 1 && d.Left + fw <= gif->SWidth &&
                          d.Top + fh <= gif->SHeight && ValidSize(gif->SWidth, gif->SHeight);
    const int w = onScreen ? gif->SWidth : static_cast<int>(fw);
    const int h = onScreen ? gif->SHeight : static_cast<int>(fh);
    const int left = onScreen ? d.Left : 0;
    const int top = onScreen ? d.Top : 0;
    const int colours = map->ColorCount;
    const int bits = colours <= 2 ? 1 : (colours <= 16 ? 4 : 8);
    if (!WithinBudget(Dib::Stride(w, 8), h, file.size(), kGifRatio)) {
      return kBadDimensions;
    }
    DibHandle dib;
    Code c = NewDib(w, h, bits, colours, &dib);
    if (c != kOk) {
      return c;
    }
    for (int i = 0; i < colours; ++i) {
      const GifColorType& g = map->Colors[i];
      dib->colors()[i] = RgbQuad{g.Blue, g.Green, g.Red, 0};
    }
    // Frame rows in picture order, as indices one a byte; the rest is background.
    const int background = gif->SBackGroundColor < colours ? gif->SBackGroundColor : 0;
    std::vector<GifPixelType> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                                     static_cast<GifPixelType>(background));
    int done = 0;
    auto readLine = [&](int y) -> Code {
      if (RowCancelled(progress, done++, fh)) {
        return kCancelled;
      }
      GifPixelType* line = pixels.data() + static_cast<std::size_t>(top + y) * w + left;
      if (DGifGetLine(gif.get(), line, static_cast<int>(fw)) != GIF_OK) {
        return FromGifError(gif->Error);
      }
      return kOk;
    };
    if (d.Interlace) {
      for (int pass = 0; pass < 4; ++pass) {
        for (int y = kInterlaceStart[pass]; y < fh; y += kInterlaceStep[pass]) {
          if ((c = readLine(y)) != kOk) {
            return c;
          }
        }
      }
    } else {
      for (int y = 0; y < fh; ++y) {
        if ((c = readLine(y)) != kOk) {
          return c;
        }
      }
    }
    for (int y = 0; y < h; ++y) {
      const GifPixelType* src = pixels.data() + static_cast<std::size_t>(y) * w;
      std::uint8_t* dst = TopRow(*dib, y);
      for (int x = 0; x < w; ++x) {
        const int v = src[x];
        if (v >= colours) {
          return kCorrupt;
        }
        if (bits == 8) {
          dst[x] = static_cast<std::uint8_t>(v);
        } else if (bits == 4) {
          dst[x >> 1] = static_cast<std::uint8_t>(dst[x >> 1] | ((x & 1) ? v : v << 4));
        } else if (v != 0) {
          dst[x >> 3] = static_cast<std::uint8_t>(dst[x >> 3] | (0x80 >> (x & 7)));
        }
      }
    }
    *transparent = static_cast<std::int16_t>(transparentIndex >= 0 && transparentIndex < colours ? transparentIndex : -1);
    *out = std::move(dib);
    return kOk;
  }
}

Code EncodeBytes(ProgressWindow progress, const Dib& dib, bool v89a, bool interlaced, int transparent,
                 ByteWriter* sink) {
  const int bits = dib.bitCount();
  const int w = dib.width();
  const int h = dib.height();
  int error = 0;
  std::unique_ptr<GifFileType, EncoderCloser> gif(EGifOpen(sink, GifWrite, &error));
  if (!gif) {
    return FromGifError(error);
  }
  EGifSetGifVersion(gif.get(), v89a);
  const int colours = dib.colorCount();
  int mapSize = 2;
  while (mapSize < colours) {
    mapSize *= 2;
  }
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(mapSize, nullptr),
                                                                 GifFreeMapObject);
  if (!map) {
    return kNoMemory;
  }
  for (int i = 0; i < mapSize; ++i) {
    const RgbQuad q = i < colours ? dib.colors()[i] : RgbQuad{};
    map->Colors[i] = GifColorType{q.rgbRed, q.rgbGreen, q.rgbBlue};
  }
  if (EGifPutScreenDesc(gif.get(), w, h, 8, 0, map.get()) != GIF_OK) {
    return kWriteError;
  }
  if (v89a && transparent >= 0 && transparent < colours) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.UserInputFlag = false;
    gcb.DelayTime = 0;
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    const std::size_t n = EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) != GIF_OK) {
      return kWriteError;
    }
  }
  if (EGifPutImageDesc(gif.get(), 0, 0, w, h, interlaced, nullptr) != GIF_OK) {
    return kWriteError;
  }
  std::vector<GifPixelType> line(static_cast<std::size_t>(w));
  int done = 0;
  auto putLine = [&](int y) -> Code {
    if (RowCancelled(progress, done++, h)) {
      return kCancelled;
    }
    const std::uint8_t* src = TopRow(dib, y);
    for (int x = 0; x < w; ++x) {
      line[static_cast<std::size_t>(x)] =
          bits == 8 ? src[x]
                    : (bits == 4 ? ((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4) : (src[x >> 3] >> (7 - (x & 7))) & 1);
    }
    return EGifPutLine(gif.get(), line.data(), w) == GIF_OK ? kOk : kWriteError;
  };
  Code c = kOk;
  if (interlaced) {
    for (int pass = 0; pass < 4 && c == kOk; ++pass) {
      for (int y = kInterlaceStart[pass]; y < h && c == kOk; y += kInterlaceStep[pass]) {
        c = putLine(y);
      }
    }
  } else {
    for (int y = 0; y < h && c == kOk; ++y) {
      c = putLine(y);
    }
  }
  if (c != kOk) {
    return c;
  }
  GifFileType* raw = gif.release();
  return EGifCloseFile(raw, &error) == GIF_OK ? kOk : kWriteError;
}

}  // namespace

Code InfoGIF(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& f, ImageInfo* found) -> Code {
    if (f.size() < 11 || std::memcmp(f.data(), "GIF", 3) != 0) {
      return kNotThisFormat;
    }
    FillInfo(6, f[6] | f[7] << 8, f[8] | f[9] << 8, (f[10] & 7) + 1, found);
    return kOk;
  });
}

Code DecodeGIF(ProgressWindow progress, const std::string& path, DibHandle* out, std::int16_t* transparentIndex) {
  std::int16_t dummy = -1;
  std::int16_t* transparent = transparentIndex != nullptr ? transparentIndex : &dummy;
  *transparent = -1;
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& f) { return DecodeBytes(f, progress, out, transparent); });
}

Code EncodeGIF(ProgressWindow progress, const std::string& path, const Dib* dib, int version89a, int interlaced,
               int transparentIndex) {
  if (ValidateDib(dib) != 0 || dib->bitCount() > 8) {
    return kDepthNotWritable;
  }
  try {
    ByteWriter sink;
    const Code c = EncodeBytes(progress, *dib, version89a != 0, interlaced != 0, transparentIndex, &sink);
    return c != kOk ? c : WriteFileBytes(path, sink.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
