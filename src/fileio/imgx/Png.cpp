// PNG through libpng. Errors longjmp back to the decode or encode step that made the
// call; warnings are dropped, so a hostile file gives a code and nothing on stderr.
// Palette images come out at 1, 4 or 8 bits with their table, grey ones as 8-bit grey
// (1-bit grey as black and white), everything else as 24 bits; alpha and 16-bit
// precision are dropped. The resolution, ICC profile and text chunks travel in the
// extra handle to the encoder.

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

// Deflate can shrink a picture about a thousand times.
constexpr std::size_t kPngRatio = 1100;

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

extern "C" void PngError(png_structp png, png_const_charp) {
  std::longjmp(png_jmpbuf(png), 1);
}
extern "C" void PngWarning(png_structp, png_const_charp) {}

extern "C" void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* s = static_cast<Source*>(png_get_io_ptr(png));
  if (n > s->size - s->pos) {
    png_error(png, "truncated");
  }
  std::memcpy(out, s->data + s->pos, n);
  s->pos += n;
}

extern "C" void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* w = static_cast<ByteWriter*>(png_get_io_ptr(png));
  bool full = false;
  try {
    w->bytes(data, n);
  } catch (const std::bad_alloc&) {
    full = true;
  }
  if (full) {
    png_error(png, "out of memory");
  }
}
extern "C" void PngFlush(png_structp) {}

// What the header says, and what we make of it.
struct Plan {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colorType = 0;
  int interlace = 0;
  int outBits = 0;
  int colours = 0;
};

// Everything the steps between setjmp and longjmp touch lives here, not in locals.
struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Plan plan;
  DibHandle dib;
  Code code = kOk;
  std::vector<png_bytep> rows;
  std::vector<std::uint8_t> wide;  // 2-bit palette rows, one index a byte
};

void ReadExtra(png_structp png, png_infop info, ImageExtra* extra, Dib* dib) {
  png_uint_32 rx = 0;
  png_uint_32 ry = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &rx, &ry, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
    extra->xDpi = rx * 0.0254;
    extra->yDpi = ry * 0.0254;
    BitmapInfoHeader h = dib->header();
    h.biXPelsPerMeter = static_cast<std::int32_t>(std::min<png_uint_32>(rx, 0x7FFFFFFF));
    h.biYPelsPerMeter = static_cast<std::int32_t>(std::min<png_uint_32>(ry, 0x7FFFFFFF));
    dib->setHeader(h);
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0 && profile != nullptr) {
    extra->iccProfile.assign(profile, profile + length);
  }
  png_textp text = nullptr;
  int count = 0;
  if (png_get_text(png, info, &text, &count) != 0) {
    for (int i = 0; i < count; ++i) {
      const char* value = text[i].text != nullptr ? text[i].text : "";
      extra->text.emplace_back(text[i].key, value);
    }
  }
}

// The steps that may longjmp. Answers false after a libpng error.
bool ReadSteps(ReadState* st, Source* src, ProgressWindow progress, std::size_t fileSize) {
  if (setjmp(png_jmpbuf(st->png)) != 0) {
    return false;
  }
  png_set_read_fn(st->png, src, PngRead);
  png_set_user_limits(st->png, kMaxDibSide, kMaxDibSide);
  png_set_chunk_malloc_max(st->png, std::size_t{32} << 20);
  png_read_info(st->png, st->info);
  Plan& p = st->plan;
  png_get_IHDR(st->png, st->info, &p.width, &p.height, &p.depth, &p.colorType, &p.interlace, nullptr, nullptr);
  if (p.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int n = 0;
    if (png_get_PLTE(st->png, st->info, &palette, &n) == 0 || n < 1 || n > (1 << p.depth)) {
      st->code = kCorrupt;
      return true;
    }
    p.colours = n;
    p.outBits = p.depth == 2 ? 4 : p.depth;
    if (p.depth == 2) {
      // 2-bit indices are unpacked to bytes and repacked as nibbles below.
      png_set_packing(st->png);
    }
  } else if (p.colorType == PNG_COLOR_TYPE_GRAY || p.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (p.depth == 1 && p.colorType == PNG_COLOR_TYPE_GRAY) {
      p.outBits = 1;
      p.colours = 2;
    } else {
      p.outBits = 8;
      p.colours = 256;
      if (p.depth < 8) {
        png_set_expand_gray_1_2_4_to_8(st->png);
      }
    }
  } else {
    p.outBits = 24;
    png_set_bgr(st->png);
  }
  if (p.depth == 16) {
    png_set_strip_16(st->png);
  }
  if ((p.colorType & PNG_COLOR_MASK_ALPHA) != 0) {
    png_set_strip_alpha(st->png);
  }
  const int passes = png_set_interlace_handling(st->png);
  png_read_update_info(st->png, st->info);
  if (!ValidSize(p.width, p.height)) {
    st->code = kBadDimensions;
    return true;
  }
  const int w = static_cast<int>(p.width);
  const int h = static_cast<int>(p.height);
  if (!WithinBudget(Dib::Stride(w, p.outBits), h, fileSize, kPngRatio)) {
    st->code = kBadDimensions;
    return true;
  }
  st->code = NewDib(w, h, p.outBits, p.outBits <= 8 ? p.colours : 0, &st->dib);
  if (st->code != kOk) {
    return true;
  }
  Dib& dib = *st->dib;
  if (p.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int n = 0;
    png_get_PLTE(st->png, st->info, &palette, &n);
    for (int i = 0; i < n; ++i) {
      dib.colors()[i] = RgbQuad{palette[i].blue, palette[i].green, palette[i].red, 0};
    }
  } else if (p.outBits <= 8) {
    for (int i = 0; i < p.colours; ++i) {
      const auto g = static_cast<std::uint8_t>(p.outBits == 1 ? i * 255 : i);
      dib.colors()[i] = RgbQuad{g, g, g, 0};
    }
  }
  // 2-bit palette rows arrive one index per byte; everything else in its final form.
  std::vector<std::uint8_t>& wide = st->wide;
  if (p.depth == 2 && p.colorType == PNG_COLOR_TYPE_PALETTE) {
    wide.resize(static_cast<std::size_t>(w) * (passes > 1 ? static_cast<std::size_t>(h) : 1));
  }
  st->rows.resize(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    st->rows[static_cast<std::size_t>(y)] =
        wide.empty() ? TopRow(dib, y) : wide.data() + (passes > 1 ? static_cast<std::size_t>(y) * w : 0);
  }
  auto repack = [&](int y) {
    if (wide.empty()) {
      return;
    }
    const std::uint8_t* src = st->rows[static_cast<std::size_t>(y)];
    std::uint8_t* dst = TopRow(dib, y);
    for (int x = 0; x < w; ++x) {
      dst[x >> 1] = static_cast<std::uint8_t>((x & 1) ? (dst[x >> 1] | (src[x] & 0x0F)) : (src[x] << 4));
    }
  };
  if (passes > 1) {
    if (RowCancelled(progress, 0, h)) {
      st->code = kCancelled;
      return true;
    }
    png_read_image(st->png, st->rows.data());
    for (int y = 0; y < h; ++y) {
      repack(y);
    }
  } else {
    for (int y = 0; y < h; ++y) {
      if (RowCancelled(progress, y, h)) {
        st->code = kCancelled;
        return true;
      }
      png_read_row(st->png, st->rows[static_cast<std::size_t>(y)], nullptr);
      repack(y);
    }
  }
  png_read_end(st->png, st->info);
  return true;
}

Code DecodeBytes(const std::vector<std::uint8_t>& file, ProgressWindow progress, DibHandle* out,
                 ExtraHandle* extra, std::int16_t* transparent) {
  if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0) {
    return kNotThisFormat;
  }
  ReadState st;
  Source src{file.data(), file.size(), 0};
  st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (st.png == nullptr) {
    return kNoMemory;
  }
  st.info = png_create_info_struct(st.png);
  if (st.info == nullptr) {
    png_destroy_read_struct(&st.png, nullptr, nullptr);
    return kNoMemory;
  }
  bool finished = false;
  try {
    finished = ReadSteps(&st, &src, progress, file.size());
  } catch (const std::bad_alloc&) {
    png_destroy_read_struct(&st.png, &st.info, nullptr);
    return kNoMemory;
  }
  Code code = !finished ? (src.pos >= file.size() ? kTruncated : kCorrupt) : st.code;
  if (code == kOk && st.plan.colorType == PNG_COLOR_TYPE_PALETTE && !IndicesWithinTable(*st.dib, st.plan.colours)) {
    code = kCorrupt;
  }
  if (code == kOk) {
    auto keep = std::make_unique<ImageExtra>();
    ReadExtra(st.png, st.info, keep.get(), st.dib.get());
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p colour = nullptr;
    if (png_get_tRNS(st.png, st.info, &alpha, &count, &colour) != 0) {
      if (st.plan.colorType == PNG_COLOR_TYPE_PALETTE && alpha != nullptr) {
        for (int i = 0; i < count && i < st.plan.colours; ++i) {
          if (alpha[i] == 0) {
            *transparent = static_cast<std::int16_t>(i);
            break;
          }
        }
      } else if (st.plan.colorType == PNG_COLOR_TYPE_GRAY && colour != nullptr) {
        const int maxval = (1 << st.plan.depth) - 1;
        const int level = st.plan.outBits == 1 ? colour->gray & 1 : (colour->gray * 255 + maxval / 2) / maxval;
        *transparent = static_cast<std::int16_t>(level);
      }
    }
    if (extra != nullptr) {
      *extra = std::move(keep);
    }
    *out = std::move(st.dib);
  }
  png_destroy_read_struct(&st.png, &st.info, nullptr);
  return code;
}

// ---- Encoding ----

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Code code = kOk;
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  std::vector<png_text> text;
};

bool WriteSteps(WriteState* st, ByteWriter* sink, ProgressWindow progress, const Dib& dib, const ImageExtra* extra,
                int level, int interlaced, bool grey, int transparent) {
  if (setjmp(png_jmpbuf(st->png)) != 0) {
    return false;
  }
  png_set_write_fn(st->png, sink, PngWrite, PngFlush);
  // A profile or text libpng finds fault with is dropped rather than failing the write.
  png_set_benign_errors(st->png, 1);
  png_set_compression_level(st->png, level < 0 ? 0 : (level > 9 ? 9 : level));
  const int bits = dib.bitCount();
  const int w = dib.width();
  const int h = dib.height();
  const bool asGrey = grey && bits == 8 && IsDIBGreyScaled(&dib);
  const int colorType = bits == 24 ? PNG_COLOR_TYPE_RGB : (asGrey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE);
  png_set_IHDR(st->png, st->info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), bits == 24 ? 8 : bits,
               colorType, interlaced != 0 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    const int n = dib.colorCount();
    for (int i = 0; i < n; ++i) {
      const RgbQuad q = dib.colors()[i];
      st->palette.push_back(png_color{q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
    png_set_PLTE(st->png, st->info, st->palette.data(), n);
    if (transparent >= 0 && transparent < n) {
      st->alpha.assign(static_cast<std::size_t>(transparent) + 1, 255);
      st->alpha.back() = 0;
      png_set_tRNS(st->png, st->info, st->alpha.data(), transparent + 1, nullptr);
    }
  } else if (colorType == PNG_COLOR_TYPE_GRAY && transparent >= 0 && transparent <= 255) {
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(transparent);
    png_set_tRNS(st->png, st->info, nullptr, 0, &key);
  }
  double xDpi = extra != nullptr ? extra->xDpi : 0;
  double yDpi = extra != nullptr ? extra->yDpi : 0;
  const BitmapInfoHeader hdr = dib.header();
  png_uint_32 rx = xDpi > 0 ? static_cast<png_uint_32>(DpiToPerMetre(xDpi)) : 0;
  png_uint_32 ry = yDpi > 0 ? static_cast<png_uint_32>(DpiToPerMetre(yDpi)) : 0;
  if (rx == 0 && hdr.biXPelsPerMeter > 0 && hdr.biYPelsPerMeter > 0) {
    rx = static_cast<png_uint_32>(hdr.biXPelsPerMeter);
    ry = static_cast<png_uint_32>(hdr.biYPelsPerMeter);
  }
  if (rx > 0 && ry > 0) {
    png_set_pHYs(st->png, st->info, rx, ry, PNG_RESOLUTION_METER);
  }
  if (extra != nullptr) {
    if (!extra->iccProfile.empty()) {
      png_set_iCCP(st->png, st->info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, extra->iccProfile.data(),
                   static_cast<png_uint_32>(extra->iccProfile.size()));
    }
    for (const auto& [key, value] : extra->text) {
      png_text t{};
      t.compression = PNG_TEXT_COMPRESSION_NONE;
      t.key = const_cast<png_charp>(key.c_str());
      t.text = const_cast<png_charp>(value.c_str());
      t.text_length = value.size();
      st->text.push_back(t);
    }
    if (!st->text.empty()) {
      png_set_text(st->png, st->info, st->text.data(), static_cast<int>(st->text.size()));
    }
  }
  png_write_info(st->png, st->info);
  if (bits == 24) {
    png_set_bgr(st->png);
  }
  const int passes = png_set_interlace_handling(st->png);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < h; ++y) {
      if (pass == 0 && RowCancelled(progress, y, h)) {
        st->code = kCancelled;
        return true;
      }
      png_write_row(st->png, TopRow(dib, y));
    }
  }
  png_write_end(st->png, st->info);
  return true;
}

}  // namespace

Code InfoPNG(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& f, ImageInfo* found) -> Code {
    if (f.size() < 33 || png_sig_cmp(f.data(), 0, 8) != 0) {
      return kNotThisFormat;
    }
    ByteReader r(f.data() + 16, 9);
    const std::uint32_t w = r.u32be();
    const std::uint32_t h = r.u32be();
    const int depth = r.u8();
    FillInfo(110, static_cast<int>(std::min<std::uint32_t>(w, 0x7FFFFFFF)),
             static_cast<int>(std::min<std::uint32_t>(h, 0x7FFFFFFF)), depth, found);
    return kOk;
  });
}

Code DecodePNG(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra,
               std::int16_t* transparentIndex) {
  std::int16_t dummy = -1;
  std::int16_t* transparent = transparentIndex != nullptr ? transparentIndex : &dummy;
  *transparent = -1;
  if (extra != nullptr) {
    extra->reset();
  }
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& f) { return DecodeBytes(f, progress, out, extra, transparent); });
}

Code EncodePNG(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra, int level,
               int interlaced, int grey, int transparentIndex) {
  if (ValidateDib(dib) != 0) {
    return kDepthNotWritable;
  }
  try {
    ByteWriter sink;
    WriteState st;
    st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (st.png == nullptr) {
      return kNoMemory;
    }
    st.info = png_create_info_struct(st.png);
    if (st.info == nullptr) {
      png_destroy_write_struct(&st.png, nullptr);
      return kNoMemory;
    }
    bool finished = false;
    try {
      finished = WriteSteps(&st, &sink, progress, *dib, extra, level, interlaced, grey != 0, transparentIndex);
    } catch (const std::bad_alloc&) {
      png_destroy_write_struct(&st.png, &st.info);
      return kNoMemory;
    }
    png_destroy_write_struct(&st.png, &st.info);
    if (!finished) {
      return kWriteError;
    }
    return st.code != kOk ? st.code : WriteFileBytes(path, sink.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
