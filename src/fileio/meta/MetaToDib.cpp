// Rendering a metafile into an image, and reading a Windows metafile straight into one.

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/meta/Meta.h"
#include "fileio/meta/Renderer.h"
#include "fileio/meta/WmfReader.h"

namespace km::imgx {

namespace {

// The distinct colours of a raster, up to `limit`; false when there are more.
class ColourSet {
public:
  explicit ColourSet(int limit) : limit_(limit) {
    std::fill(std::begin(keys_), std::end(keys_), kEmpty);
  }
  // The colour's index in first-seen order, or -1 when the set is full.
  int add(std::uint32_t c) {
    std::size_t h = (c * 2654435761u) >> 22;  // 10 bits: 1024 slots
    for (;;) {
      if (keys_[h] == c) {
        return values_[h];
      }
      if (keys_[h] == kEmpty) {
        if (count_ >= limit_) {
          return -1;
        }
        keys_[h] = c;
        values_[h] = count_;
        order_[count_] = c;
        return count_++;
      }
      h = (h + 1) & 1023;
    }
  }
  int count() const { return count_; }
  std::uint32_t colour(int i) const { return order_[i]; }

private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // never a 0x00RRGGBB value (the
                                                        // renderer may set the top byte)
  int limit_;
  int count_ = 0;
  std::uint32_t keys_[1024];
  int values_[1024] = {};
  std::uint32_t order_[256] = {};
};

Code RasterToDib(const meta::Raster& r, int bits, DibHandle* out) {
  const int limit = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  if (limit > 0) {
    auto set = std::make_unique<ColourSet>(limit);
    bool fits = true;
    for (std::uint32_t px : r.pixels) {
      if (set->add(px & 0xFFFFFFu) < 0) {
        fits = false;
        break;
      }
    }
    if (fits) {
      const OpResult c = Dib::Create(r.width, r.height, bits, set->count(), out);
      if (c != kOk) {
        return c == kOutOfMemory ? kNoMemory : kBadDimensions;
      }
      Dib& d = **out;
      for (int i = 0; i < set->count(); ++i) {
        const std::uint32_t v = set->colour(i);
        d.colors()[i] = RgbQuad{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                static_cast<std::uint8_t>(v >> 16), 0};
      }
      for (int y = 0; y < r.height; ++y) {
        std::uint8_t* row = d.row(r.height - 1 - y);
        const std::uint32_t* src = r.pixels.data() + static_cast<std::size_t>(y) * r.width;
        for (int x = 0; x < r.width; ++x) {
          const int i = set->add(src[x] & 0xFFFFFFu);
          switch (bits) {
            case 8: row[x] = static_cast<std::uint8_t>(i); break;
            case 4: row[x / 2] |= static_cast<std::uint8_t>((x & 1) ? i : i << 4); break;
            default: row[x / 8] |= static_cast<std::uint8_t>(i << (7 - x % 8)); break;
          }
        }
      }
      return kOk;
    }
  }
  const OpResult c = Dib::Create(r.width, r.height, 24, 0, out);
  if (c != kOk) {
    return c == kOutOfMemory ? kNoMemory : kBadDimensions;
  }
  Dib& d = **out;
  for (int y = 0; y < r.height; ++y) {
    std::uint8_t* row = d.row(r.height - 1 - y);
    const std::uint32_t* src = r.pixels.data() + static_cast<std::size_t>(y) * r.width;
    for (int x = 0; x < r.width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(src[x]);
      row[3 * x + 1] = static_cast<std::uint8_t>(src[x] >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(src[x] >> 16);
    }
  }
  return kOk;
}

bool RenderSizeOk(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= kMaxDibSide && height <= kMaxDibSide &&
         width * height <= kMaxRenderPixels;
}

Code Render(ProgressWindow progress, const meta::Metafile& mf, const meta::Rect& frame, int width, int height,
            int bits, DibHandle* out) {
  if (!RenderSizeOk(width, height)) {
    return kBadDimensions;
  }
  meta::Raster raster;
  if (const Code c = meta::RenderMetafile(progress, mf, frame, width, height, &raster); c != kOk) {
    return c;
  }
  return RasterToDib(raster, bits, out);
}

// The size a plain metafile takes when the caller gives none: its window, brought
// within 2048 pixels a side.
void WindowSize(const meta::Rect& frame, int* width, int* height) {
  double w = std::fabs(frame.right - frame.left), h = std::fabs(frame.bottom - frame.top);
  const double longest = std::max(w, h);
  if (longest > 2048) {
    w = w * 2048 / longest;
    h = h * 2048 / longest;
  }
  *width = std::max(1, static_cast<int>(std::lround(w)));
  *height = std::max(1, static_cast<int>(std::lround(h)));
}

}  // namespace

Code MetaToDIB(ProgressWindow progress, const meta::Metafile* metafile, DibHandle* out, int bits, int left,
               int top, int right, int bottom, int width, int height, int /*prompt*/) {
  if (out == nullptr || metafile == nullptr) {
    return kInvalidParameter;
  }
  out->reset();
  if (left == right || top == bottom) {
    return kBadDimensions;
  }
  try {
    return Render(progress, *metafile, {double(left), double(top), double(right), double(bottom)}, width, height,
                  bits, out);
  } catch (const std::bad_alloc&) {
    out->reset();
    return kNoMemory;
  }
}

Code LoadWMF(const std::uint8_t* data, std::size_t size, MetafileHandle* out) {
  if (out == nullptr || data == nullptr) {
    return kInvalidParameter;
  }
  out->reset();
  try {
    auto mf = std::make_unique<meta::Metafile>();
    meta::WmfHeader header;
    if (const Code c = meta::ParseWmf(data, size, mf.get(), &header); c != kOk) {
      return c;
    }
    *out = std::move(mf);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

Code DecodeMetafileWith(MetafileParser parse, ProgressWindow progress, const std::string& path,
                        MetafileHandle* out, int* width, int* height) {
  if (out == nullptr || width == nullptr || height == nullptr) {
    return kInvalidParameter;
  }
  out->reset();
  std::vector<std::uint8_t> file;
  if (const Code c = ReadFileBytes(path, &file); c != kOk) {
    return c;
  }
  if (ProgressStep(progress, 0, 1)) {
    return kCancelled;
  }
  try {
    auto mf = std::make_unique<meta::Metafile>();
    if (const Code c = parse(file.data(), file.size(), mf.get(), width, height); c != kOk) {
      return c;
    }
    *out = std::move(mf);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

Code DecodeWMF(ProgressWindow progress, const std::string& path, DibHandle* out, int width, int height,
               int /*prompt*/) {
  return DecodeWholeFile(path, out, [&](std::vector<std::uint8_t>& file) -> Code {
    meta::Metafile mf;
    meta::WmfHeader header;
    if (const Code c = meta::ParseWmf(file.data(), file.size(), &mf, &header); c != kOk) {
      return c;
    }
    file = {};
    int w = width, h = height;
    if (header.placeable) {
      const double inch = header.unitsPerInch;
      const double pw = std::fabs(mf.frame.right - mf.frame.left) * 96.0 / inch;
      const double ph = std::fabs(mf.frame.bottom - mf.frame.top) * 96.0 / inch;
      if (!(pw < 1e9 && ph < 1e9)) {
        return kBadDimensions;
      }
      w = static_cast<int>(std::lround(pw));
      h = static_cast<int>(std::lround(ph));
    } else if (w <= 0 || h <= 0) {
      if (header.hasWindow) {
        WindowSize(mf.frame, &w, &h);
      } else {
        w = h = 100;
      }
    }
    if (!header.placeable && !header.hasWindow) {
      mf.frame = {0, 0, double(w), double(h)};
    }
    return Render(progress, mf, mf.frame, w, h, 8, out);
  });
}

}  // namespace km::imgx
