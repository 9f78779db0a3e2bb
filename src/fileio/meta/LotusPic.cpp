#include "fileio/meta/LotusPic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/meta/Meta.h"
#include "fileio/meta/TextCoding.h"

namespace km::meta {

namespace {

using imgx::ByteReader;
using imgx::Code;

constexpr std::uint8_t kSignature[8] = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00};
constexpr std::size_t kHeaderSize = 17;

// The plotter's pens.
constexpr Colour kPens[8] = {0x000000, 0x0000FF, 0x00A000, 0xFF0000, 0xFF00FF, 0xFFFF00, 0x00C0C0, 0x808080};

}  // namespace

Code ParseLotusPic(const std::uint8_t* data, std::size_t size, Metafile* out, int* width, int* height) {
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) {
    return imgx::kNotThisFormat;
  }
  ByteReader in(data, size);
  if (!in.seek(13)) {
    return imgx::kTruncated;
  }
  const int plotW = in.u16be() + 1;
  const int plotH = in.u16be() + 1;
  if (!in.ok() || !in.seek(kHeaderSize)) {
    return imgx::kTruncated;
  }
  if (plotW < 2 || plotH < 2 || plotW > 32768 || plotH > 32768) {
    return imgx::kBadDimensions;
  }
  double w = plotW, h = plotH;
  if (std::max(w, h) > 2048) {
    const double longest = std::max(w, h);
    w = w * 1024 / longest;
    h = h * 1024 / longest;
  }
  *width = std::max(1, static_cast<int>(std::lround(w)));
  *height = std::max(1, static_cast<int>(std::lround(h)));
  const double sx = *width / static_cast<double>(plotW), sy = *height / static_cast<double>(plotH);
  auto map = [&](double x, double y) { return Point{x * sx, (plotH - 1 - y) * sy}; };
  try {
    *out = Metafile{};
    out->frame = {0, 0, double(*width), double(*height)};
    Colour colour = 0;
    double charW = 70, charH = 60;
    int font = 0;
    Point cur{0, 0};
    for (;;) {
      const std::uint8_t op = in.u8();
      if (!in.ok()) {
        *out = Metafile{};
        return imgx::kTruncated;
      }
      if (out->items.size() >= kMaxItems) {
        *out = Metafile{};
        return imgx::kCorrupt;
      }
      if ((op & 0xF0) == 0x60) {
        break;
      }
      if ((op & 0xF0) == 0xB0) {
        colour = kPens[op & 7];
      } else if (op == 0xA0 || op == 0xA2) {
        const double x = in.s16be(), y = in.s16be();
        if (op == 0xA2) {
          Item item;
          item.kind = Item::kShape;
          item.shape.path.moveTo(map(cur.x, cur.y));
          item.shape.path.lineTo(map(x, y));
          item.shape.stroke = true;
          item.shape.pen.colour = colour;
          out->items.push_back(std::move(item));
        }
        cur = {x, y};
      } else if ((op & 0xF0) == 0x30) {
        const int count = in.u8() + 1;
        if (static_cast<std::size_t>(count) * 4 > in.remaining()) {
          *out = Metafile{};
          return imgx::kTruncated;
        }
        Item item;
        item.kind = Item::kShape;
        for (int i = 0; i < count; ++i) {
          const double x = in.s16be(), y = in.s16be();
          if (i == 0) {
            item.shape.path.moveTo(map(x, y));
          } else {
            item.shape.path.lineTo(map(x, y));
          }
        }
        item.shape.path.close();
        item.shape.fill = true;
        item.shape.brush.colour = colour;
        out->items.push_back(std::move(item));
      } else if (op == 0xA7) {
        font = in.u8();
      } else if (op == 0xAC) {
        charW = std::abs(in.s16be());
        charH = std::abs(in.s16be());
      } else if (op == 0xA8) {
        const int place = in.u8();
        std::string text;
        for (;;) {
          const std::uint8_t c = in.u8();
          if (!in.ok()) {
            *out = Metafile{};
            return imgx::kTruncated;
          }
          if (c == 0) break;
          text.push_back(static_cast<char>(c));
        }
        Item item;
        item.kind = Item::kText;
        TextItem& t = item.text;
        t.origin = map(cur.x, cur.y);
        t.utf8 = TextToUtf8(text, kLatin1);
        t.colour = colour;
        t.font.face = font == 0 ? "sans-serif" : "serif";
        t.font.height = charH * sy / 0.75;  // the size is the capital height
        t.font.widthScale = charH > 0 ? std::clamp(charW / (charH * 0.6), 0.1, 10.0) : 1.0;
        t.angle = ((place >> 4) & 3) * M_PI / 2;
        switch (place & 0x0F) {
          case 1: t.alignX = 0; t.alignY = 3; break;
          case 2: t.alignX = 1; t.alignY = 0; break;
          case 3: t.alignX = 2; t.alignY = 3; break;
          case 4: t.alignX = 1; t.alignY = 2; break;
          default: t.alignX = 1; t.alignY = 3; break;
        }
        out->items.push_back(std::move(item));
      } else {
        *out = Metafile{};
        return imgx::kCorrupt;
      }
      if (!in.ok()) {
        *out = Metafile{};
        return imgx::kTruncated;
      }
    }
  } catch (const std::bad_alloc&) {
    *out = Metafile{};
    return imgx::kNoMemory;
  }
  return imgx::kOk;
}

}  // namespace km::meta

namespace km::imgx {

Code DecodeLPIC(ProgressWindow progress, const std::string& path, MetafileHandle* out, int* width, int* height) {
  return DecodeMetafileWith(meta::ParseLotusPic, progress, path, out, width, height);
}

}  // namespace km::imgx
