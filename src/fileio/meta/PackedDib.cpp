#include "fileio/meta/PackedDib.h"

#include <algorithm>
#include <cstdlib>

#include "fileio/imgx/ByteIO.h"

namespace km::meta {

namespace {

using imgx::ByteReader;

struct Header {
  int width = 0;
  int height = 0;  // positive; topDown says which way the rows run
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t colours = 0;
  std::size_t tableEntrySize = 4;
  std::uint32_t masks[3] = {0, 0, 0};
};

std::uint32_t Pack(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return std::uint32_t{b} | (std::uint32_t{g} << 8) | (std::uint32_t{r} << 16);
}

// The value of a channel under a bit-field mask, scaled to 0..255.
std::uint8_t Field(std::uint32_t v, std::uint32_t mask) {
  if (mask == 0) {
    return 0;
  }
  const int shift = __builtin_ctz(mask);
  const std::uint32_t m = mask >> shift;
  const std::uint32_t x = (v & mask) >> shift;
  return static_cast<std::uint8_t>(m == 0 ? 0 : (x * 255 + m / 2) / m);
}

bool ReadHeader(ByteReader& in, Header* h) {
  const std::size_t start = in.pos();
  const std::uint32_t size = in.u32le();
  if (!in.ok()) {
    return false;
  }
  if (size == 12) {
    h->width = in.u16le();
    const int height = in.s16le();
    in.u16le();
    h->bits = in.u16le();
    h->height = height;
    h->tableEntrySize = 3;
  } else if (size >= 40 && size <= 124) {
    const std::int32_t w = in.s32le();
    const std::int32_t height = in.s32le();
    in.u16le();
    h->bits = in.u16le();
    h->compression = in.u32le();
    in.u32le();  // image size
    in.u32le();  // resolution
    in.u32le();
    h->colours = in.u32le();
    in.u32le();  // important colours
    if (!in.ok() || w <= 0 || w > 32767 || height == 0 || height < -32767 || height > 32767) {
      return false;
    }
    h->width = w;
    h->height = height;
    if (h->compression == 3 && size >= 52) {
      for (auto& m : h->masks) {
        m = in.u32le();
      }
    }
    if (!in.seek(start + size)) {
      return false;
    }
    if (h->compression == 3 && size < 52) {
      for (auto& m : h->masks) {
        m = in.u32le();
      }
    }
  } else {
    return false;
  }
  if (!in.ok() || h->width <= 0) {
    return false;
  }
  h->topDown = h->height < 0;
  h->height = std::abs(h->height);
  if (static_cast<std::uint64_t>(h->width) * static_cast<std::uint64_t>(h->height) > kMaxBitmapPixels) {
    return false;
  }
  const int b = h->bits;
  if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) {
    return false;
  }
  const std::uint32_t c = h->compression;
  if (!(c == 0 || (c == 3 && (b == 16 || b == 32)) || (c == 1 && b == 8) || (c == 2 && b == 4))) {
    return false;
  }
  if (c == 0 && b == 16) {
    h->masks[0] = 0x7C00;
    h->masks[1] = 0x03E0;
    h->masks[2] = 0x001F;
  } else if (c == 0 && b == 32) {
    h->masks[0] = 0xFF0000;
    h->masks[1] = 0x00FF00;
    h->masks[2] = 0x0000FF;
  }
  return true;
}

// Run-length rows into one index per pixel, bottom row first. Runs that pass the
// row or the picture are cut there.
bool DecodeRle(ByteReader& in, const Header& h, std::vector<std::uint8_t>* indices) {
  const std::size_t w = static_cast<std::size_t>(h.width);
  indices->assign(w * static_cast<std::size_t>(h.height), 0);
  std::size_t x = 0, y = 0;
  const bool four = h.bits == 4;
  auto put = [&](std::uint8_t v) {
    if (x < w && y < static_cast<std::size_t>(h.height)) {
      (*indices)[y * w + x] = v;
    }
    ++x;
  };
  while (in.remaining() >= 2 && y < static_cast<std::size_t>(h.height)) {
    const std::uint8_t n = in.u8();
    const std::uint8_t v = in.u8();
    if (n > 0) {
      for (int i = 0; i < n && x < w; ++i) {
        put(four ? ((i & 1) ? (v & 0x0F) : (v >> 4)) : v);
      }
    } else if (v == 0) {
      x = 0;
      ++y;
    } else if (v == 1) {
      break;
    } else if (v == 2) {
      x += in.u8();
      y += in.u8();
    } else {
      const std::size_t bytes = four ? (v + 1u) / 2 : v;
      const std::uint8_t* p = in.take(bytes);
      if (p == nullptr) {
        return false;
      }
      for (int i = 0; i < v; ++i) {
        put(four ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
      }
      if (bytes & 1) {
        in.skip(1);
      }
    }
  }
  return true;
}

}  // namespace

bool DecodePackedDib(const std::uint8_t* data, std::size_t size, bool paletteIndices,
                     const std::vector<Colour>& palette, Bitmap* out) {
  ByteReader in(data, size);
  Header h;
  if (!ReadHeader(in, &h)) {
    return false;
  }
  std::uint32_t table[256] = {};
  if (h.bits <= 8) {
    const std::uint32_t full = 1u << h.bits;
    const std::uint32_t n = h.colours == 0 ? full : std::min(h.colours, full);
    for (std::uint32_t i = 0; i < n; ++i) {
      if (paletteIndices) {
        const std::uint16_t k = in.u16le();
        const Colour c = k < palette.size() ? palette[k] : (k & 0xFF) * 0x010101u;
        table[i] = Pack(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
      } else {
        const std::uint8_t b = in.u8(), g = in.u8(), r = in.u8();
        if (h.tableEntrySize == 4) {
          in.u8();
        }
        table[i] = Pack(r, g, b);
      }
    }
    // A table shorter than the depth leaves the other entries black.
    if (!paletteIndices && h.colours > full) {
      in.skip(static_cast<std::size_t>(h.colours - full) * h.tableEntrySize);
    }
  } else if (h.colours > 0 && h.colours <= 256) {
    in.skip(static_cast<std::size_t>(h.colours) * h.tableEntrySize);  // a table beside direct colours
  }
  if (!in.ok()) {
    return false;
  }
  const std::size_t w = static_cast<std::size_t>(h.width);
  const std::size_t rows = static_cast<std::size_t>(h.height);
  out->width = h.width;
  out->height = h.height;
  out->bgrx.assign(w * rows * 4, 0);
  auto* dst = reinterpret_cast<std::uint32_t*>(out->bgrx.data());
  auto topRow = [&](std::size_t stored) { return h.topDown ? stored : rows - 1 - stored; };
  if (h.compression == 1 || h.compression == 2) {
    std::vector<std::uint8_t> idx;
    if (!DecodeRle(in, h, &idx)) {
      return false;
    }
    for (std::size_t y = 0; y < rows; ++y) {
      std::uint32_t* d = dst + topRow(y) * w;
      for (std::size_t x = 0; x < w; ++x) {
        d[x] = table[idx[y * w + x]];
      }
    }
    return true;
  }
  const std::size_t stride = (w * static_cast<std::size_t>(h.bits) + 31) / 32 * 4;
  if (in.remaining() / stride < rows) {
    // The last row may lack its padding.
    if (in.remaining() < stride * (rows - 1) + (w * static_cast<std::size_t>(h.bits) + 7) / 8) {
      return false;
    }
  }
  const std::uint8_t* bits = in.cursor();
  for (std::size_t y = 0; y < rows; ++y) {
    const std::uint8_t* s = bits + y * stride;
    std::uint32_t* d = dst + topRow(y) * w;
    switch (h.bits) {
      case 1:
        for (std::size_t x = 0; x < w; ++x) d[x] = table[(s[x / 8] >> (7 - x % 8)) & 1];
        break;
      case 4:
        for (std::size_t x = 0; x < w; ++x) d[x] = table[(s[x / 2] >> ((x & 1) ? 0 : 4)) & 0xF];
        break;
      case 8:
        for (std::size_t x = 0; x < w; ++x) d[x] = table[s[x]];
        break;
      case 16:
        for (std::size_t x = 0; x < w; ++x) {
          const std::uint32_t v = s[2 * x] | (s[2 * x + 1] << 8);
          d[x] = Pack(Field(v, h.masks[0]), Field(v, h.masks[1]), Field(v, h.masks[2]));
        }
        break;
      case 24:
        for (std::size_t x = 0; x < w; ++x) d[x] = Pack(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
        break;
      default:
        for (std::size_t x = 0; x < w; ++x) {
          const std::uint32_t v = s[4 * x] | (s[4 * x + 1] << 8) | (s[4 * x + 2] << 16) |
                                  (static_cast<std::uint32_t>(s[4 * x + 3]) << 24);
          d[x] = Pack(Field(v, h.masks[0]), Field(v, h.masks[1]), Field(v, h.masks[2]));
        }
        break;
    }
  }
  return true;
}

}  // namespace km::meta
