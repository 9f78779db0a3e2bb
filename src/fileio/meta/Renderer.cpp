#include "fileio/meta/Renderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "imaging/Dib.h"

namespace km::meta {

namespace {

using imgx::Code;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct PatternDeleter {
  void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

void SetColour(cairo_t* cr, Colour c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

std::uint32_t Native(Colour c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Picture units to pixels.
struct Mapping {
  double sx = 1, sy = 1, ox = 0, oy = 0;
  double x(double px) const { return (px - ox) * sx; }
  double y(double py) const { return (py - oy) * sy; }
};

// A bitmap as a Cairo source surface (the bytes are only read).
SurfacePtr BitmapSurface(const Bitmap& b) {
  auto* data = const_cast<std::uint8_t*>(b.bgrx.data());
  return SurfacePtr(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_RGB24, b.width, b.height, b.width * 4));
}

// 8 x 8 pixel hatch tiles, one bit per pixel, row 0 at the top.
constexpr std::uint8_t kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // falling diagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // rising diagonal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0xFF},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

class Player {
public:
  Player(const Metafile& mf, const Mapping& map, Raster* out) : mf_(mf), map_(map), out_(out) {}

  Code init() {
    surface_.reset(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(out_->pixels.data()),
                                                       CAIRO_FORMAT_RGB24, out_->width, out_->height,
                                                       out_->width * 4));
    if (cairo_surface_status(surface_.get()) != CAIRO_STATUS_SUCCESS) {
      return imgx::kNoMemory;
    }
    cr_.reset(cairo_create(surface_.get()));
    if (cairo_status(cr_.get()) != CAIRO_STATUS_SUCCESS) {
      return imgx::kNoMemory;
    }
    Prepare(cr_.get());
    return imgx::kOk;
  }

  Code play(ProgressWindow progress) {
    const std::size_t n = mf_.items.size();
    for (std::size_t i = 0; i < n; ++i) {
      if ((i & 63) == 0 && ProgressStep(progress, static_cast<long long>(i), static_cast<long long>(n))) {
        return imgx::kCancelled;
      }
      const Item& item = mf_.items[i];
      Code c = imgx::kOk;
      switch (item.kind) {
        case Item::kShape: c = drawShape(item); break;
        case Item::kText: drawText(cr_.get(), item); break;
        case Item::kImage: c = drawImage(item); break;
      }
      if (c != imgx::kOk) {
        return c;
      }
      if (const cairo_status_t st = cairo_status(cr_.get()); st != CAIRO_STATUS_SUCCESS) {
        // Cairo refuses geometry it cannot represent as well as running out of memory.
        return st == CAIRO_STATUS_NO_MEMORY ? imgx::kNoMemory : imgx::kCorrupt;
      }
    }
    cairo_surface_flush(surface_.get());
    return imgx::kOk;
  }

private:
  static void Prepare(cairo_t* cr) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, fo);
    cairo_font_options_destroy(fo);
  }

  void rectPath(cairo_t* cr, const Rect& r) const {
    const double x0 = map_.x(r.left), x1 = map_.x(r.right), y0 = map_.y(r.top), y1 = map_.y(r.bottom);
    cairo_rectangle(cr, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
  }

  void applyClip(cairo_t* cr, const Clip& clip) const {
    if (!clip) {
      return;
    }
    for (const ClipStep& s : *clip) {
      if (s.exclude) {
        cairo_rectangle(cr, -1, -1, out_->width + 2.0, out_->height + 2.0);
        rectPath(cr, s.rect);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
      } else {
        rectPath(cr, s.rect);
      }
      cairo_clip(cr);
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    }
  }

  void devicePath(cairo_t* cr, const Path& path, double shift) const {
    cairo_new_path(cr);
    for (const PathOp& op : path.ops()) {
      switch (op.kind) {
        case PathOp::kMove: cairo_move_to(cr, map_.x(op.p[0].x) + shift, map_.y(op.p[0].y) + shift); break;
        case PathOp::kLine: cairo_line_to(cr, map_.x(op.p[0].x) + shift, map_.y(op.p[0].y) + shift); break;
        case PathOp::kCurve:
          cairo_curve_to(cr, map_.x(op.p[0].x) + shift, map_.y(op.p[0].y) + shift, map_.x(op.p[1].x) + shift,
                         map_.y(op.p[1].y) + shift, map_.x(op.p[2].x) + shift, map_.y(op.p[2].y) + shift);
          break;
        case PathOp::kClose: cairo_close_path(cr); break;
      }
    }
  }

  // Sets the brush as the source. Hatches and patterns are tiles anchored at the
  // picture's top-left pixel, as the brush origin of the drawing system is.
  void setBrush(cairo_t* cr, const ShapeItem& s) {
    const Brush& b = s.brush;
    if (b.kind == BrushKind::kHatch) {
      SurfacePtr tile(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8));
      cairo_surface_flush(tile.get());
      auto* px = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(tile.get()));
      const int stride = cairo_image_surface_get_stride(tile.get()) / 4;
      if (px != nullptr) {
        const auto& rows = kHatches[std::clamp(b.hatch, 0, 5)];
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) {
            const bool on = (rows[y] >> (7 - x)) & 1;
            px[y * stride + x] = on ? 0xFF000000u | Native(b.colour)
                                    : (s.opaqueBackground ? 0xFF000000u | Native(s.background) : 0u);
          }
        }
      }
      cairo_surface_mark_dirty(tile.get());
      PatternPtr pat(cairo_pattern_create_for_surface(tile.get()));
      cairo_pattern_set_extend(pat.get(), CAIRO_EXTEND_REPEAT);
      cairo_pattern_set_filter(pat.get(), CAIRO_FILTER_NEAREST);
      cairo_set_source(cr, pat.get());
    } else if (b.kind == BrushKind::kPattern && b.pattern && b.pattern->width > 0 && b.pattern->height > 0) {
      SurfacePtr tile = BitmapSurface(*b.pattern);
      PatternPtr pat(cairo_pattern_create_for_surface(tile.get()));
      cairo_pattern_set_extend(pat.get(), CAIRO_EXTEND_REPEAT);
      cairo_pattern_set_filter(pat.get(), CAIRO_FILTER_NEAREST);
      cairo_set_source(cr, pat.get());
    } else {
      SetColour(cr, b.colour);
    }
  }

  // Sets the pen; false when it draws nothing.
  bool setPen(cairo_t* cr, const Pen& p, bool* gapsFirst) const {
    *gapsFirst = false;
    if (p.style == LineStyle::kNone) {
      return false;
    }
    const double w = std::max(1.0, std::fabs(p.width * map_.sx));
    const double lw = p.width == 0 ? 1.0 : std::round(w);
    cairo_set_line_width(cr, std::max(1.0, lw));
    const bool cosmetic = lw <= 1.0;
    cairo_set_line_cap(cr, cosmetic ? CAIRO_LINE_CAP_BUTT
                                    : p.cap == LineCap::kRound    ? CAIRO_LINE_CAP_ROUND
                                      : p.cap == LineCap::kSquare ? CAIRO_LINE_CAP_SQUARE
                                                                  : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, p.join == LineJoin::kRound   ? CAIRO_LINE_JOIN_ROUND
                            : p.join == LineJoin::kBevel ? CAIRO_LINE_JOIN_BEVEL
                                                         : CAIRO_LINE_JOIN_MITER);
    // Dashed styles are drawn by one-pixel pens only; wider pens draw them solid.
    static const double kDash[] = {18, 6};
    static const double kDot[] = {3, 3};
    static const double kDashDot[] = {9, 6, 3, 6};
    static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    cairo_set_dash(cr, nullptr, 0, 0);
    if (cosmetic && p.style != LineStyle::kSolid) {
      *gapsFirst = true;
      switch (p.style) {
        case LineStyle::kDash: cairo_set_dash(cr, kDash, 2, 0); break;
        case LineStyle::kDot: cairo_set_dash(cr, kDot, 2, 0); break;
        case LineStyle::kDashDot: cairo_set_dash(cr, kDashDot, 4, 0); break;
        default: cairo_set_dash(cr, kDashDotDot, 6, 0); break;
      }
    }
    return true;
  }

  // Odd pixel widths centre on pixel centres, so a one-pixel line lights one row.
  double strokeShift(const Pen& p) const {
    const double lw = p.width == 0 ? 1.0 : std::max(1.0, std::round(std::fabs(p.width * map_.sx)));
    return std::fmod(lw, 2.0) == 1.0 ? 0.5 : 0.0;
  }

  void paintShape(cairo_t* cr, const ShapeItem& s) {
    if (s.fill && s.brush.kind != BrushKind::kNone) {
      devicePath(cr, s.path, 0);
      cairo_set_fill_rule(cr, s.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
      setBrush(cr, s);
      cairo_fill(cr);
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    }
    bool gaps = false;
    if (s.stroke && setPen(cr, s.pen, &gaps)) {
      devicePath(cr, s.path, strokeShift(s.pen));
      if (gaps && s.opaqueBackground) {
        cairo_save(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        SetColour(cr, s.background);
        cairo_stroke_preserve(cr);
        cairo_restore(cr);
      }
      SetColour(cr, s.pen.colour);
      cairo_stroke(cr);
    }
  }

  Code drawShape(const Item& item) {
    const ShapeItem& s = item.shape;
    if (s.mix.isCopy()) {
      cairo_save(cr_.get());
      applyClip(cr_.get(), item.clip);
      paintShape(cr_.get(), s);
      cairo_restore(cr_.get());
      return imgx::kOk;
    }
    // Other mixes: the fill and the outline each go to the scratch layer first, then
    // are combined with the picture bit by bit.
    if (const Code c = ensureScratch(); c != imgx::kOk) {
      return c;
    }
    cairo_t* cr = scratchCr_.get();
    if (s.fill && s.brush.kind != BrushKind::kNone) {
      cairo_save(cr);
      applyClip(cr, item.clip);
      ShapeItem fillOnly = s;
      fillOnly.stroke = false;
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      paintShape(cr, fillOnly);
      cairo_restore(cr);
      combineScratch([&](std::uint32_t p, std::uint32_t d) { return Mix2(s.mix.table, p, d); });
    }
    if (s.stroke) {
      cairo_save(cr);
      applyClip(cr, item.clip);
      ShapeItem strokeOnly = s;
      strokeOnly.fill = false;
      strokeOnly.opaqueBackground = false;
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      paintShape(cr, strokeOnly);
      cairo_restore(cr);
      combineScratch([&](std::uint32_t p, std::uint32_t d) { return Mix2(s.mix.table, p, d); });
    }
    return imgx::kOk;
  }

  // Bit by bit: result bit = bit (P * 2 + D) of the table.
  static std::uint32_t Mix2(std::uint8_t t, std::uint32_t p, std::uint32_t d) {
    const std::uint32_t m0 = (t & 1) ? ~0u : 0u, m1 = (t & 2) ? ~0u : 0u;
    const std::uint32_t m2 = (t & 4) ? ~0u : 0u, m3 = (t & 8) ? ~0u : 0u;
    return ((~p & ~d & m0) | (~p & d & m1) | (p & ~d & m2) | (p & d & m3)) & 0xFFFFFFu;
  }

  // Bit by bit: result bit = bit (P * 4 + S * 2 + D) of the raster operation.
  static std::uint32_t Mix3(std::uint8_t t, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    std::uint32_t r = 0;
    for (int k = 0; k < 8; ++k) {
      if ((t >> k) & 1) {
        r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
      }
    }
    return r & 0xFFFFFFu;
  }

  Code ensureScratch() {
    if (scratchCr_) {
      return imgx::kOk;
    }
    scratch_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, out_->width, out_->height));
    if (cairo_surface_status(scratch_.get()) != CAIRO_STATUS_SUCCESS) {
      return imgx::kNoMemory;
    }
    scratchCr_.reset(cairo_create(scratch_.get()));
    if (cairo_status(scratchCr_.get()) != CAIRO_STATUS_SUCCESS) {
      return imgx::kNoMemory;
    }
    Prepare(scratchCr_.get());
    return imgx::kOk;
  }

  // Combines every covered pixel of the scratch layer with the picture and clears the
  // layer again.
  template <typename Fn>
  void combineScratch(Fn&& fn) {
    cairo_surface_flush(scratch_.get());
    cairo_surface_flush(surface_.get());
    auto* src = cairo_image_surface_get_data(scratch_.get());
    const int stride = cairo_image_surface_get_stride(scratch_.get());
    const int w = out_->width;
    for (int y = 0; y < out_->height; ++y) {
      auto* srow = reinterpret_cast<std::uint32_t*>(src + static_cast<std::size_t>(y) * stride);
      std::uint32_t* drow = out_->pixels.data() + static_cast<std::size_t>(y) * w;
      for (int x = 0; x < w; ++x) {
        if ((srow[x] >> 24) != 0) {
          drow[x] = fn(srow[x] & 0xFFFFFFu, drow[x] & 0xFFFFFFu);
          srow[x] = 0;
        }
      }
    }
    cairo_surface_mark_dirty(scratch_.get());
    cairo_surface_mark_dirty(surface_.get());
  }

  void drawText(cairo_t* cr, const Item& item) {
    const TextItem& t = item.text;
    cairo_save(cr);
    applyClip(cr, item.clip);
    if (t.hasBox && t.clipToBox) {
      rectPath(cr, t.box);
      cairo_clip(cr);
    }
    if (t.hasBox && t.boxOpaque) {
      rectPath(cr, t.box);
      SetColour(cr, t.background);
      cairo_fill(cr);
    }
    const double em = std::fabs(t.font.height * map_.sy);
    if (t.utf8.empty() || em < 0.5 || em > 100000) {
      cairo_restore(cr);
      return;
    }
    cairo_select_font_face(cr, t.font.face.empty() ? "sans-serif" : t.font.face.c_str(),
                           t.font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           t.font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    const double xScale = std::fabs(map_.sx / map_.sy) * (t.font.widthScale > 0 ? t.font.widthScale : 1.0);
    cairo_matrix_t fm;
    cairo_matrix_init_scale(&fm, em * xScale, em);
    cairo_set_font_matrix(cr, &fm);
    cairo_translate(cr, map_.x(t.origin.x), map_.y(t.origin.y));
    cairo_rotate(cr, -t.angle);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    double advance = 0;
    if (t.advances.empty()) {
      cairo_text_extents_t te;
      cairo_text_extents(cr, t.utf8.c_str(), &te);
      advance = te.x_advance;
    } else {
      for (double a : t.advances) {
        advance += a * std::fabs(map_.sx);
      }
    }
    const double x0 = t.alignX == 1 ? -advance / 2 : (t.alignX == 2 ? -advance : 0.0);
    const double base = t.alignY == 0   ? fe.ascent
                        : t.alignY == 2 ? -fe.descent
                        : t.alignY == 3 ? (fe.ascent - fe.descent) / 2
                                        : 0.0;
    if (t.opaqueBackground && !t.hasBox) {
      cairo_rectangle(cr, std::round(x0), std::round(base - fe.ascent), std::round(advance),
                      std::round(fe.ascent + fe.descent));
      SetColour(cr, t.background);
      cairo_fill(cr);
    }
    SetColour(cr, t.colour);
    // Large glyphs are filled as outlines: a glyph bitmap grows with the square of the size.
    const bool outlines = em > 256;
    auto show = [&](const char* utf8) {
      if (outlines) {
        cairo_text_path(cr, utf8);
        cairo_fill(cr);
      } else {
        cairo_show_text(cr, utf8);
      }
    };
    if (t.advances.empty()) {
      cairo_move_to(cr, x0, base);
      show(t.utf8.c_str());
    } else {
      double x = x0;
      std::size_t i = 0;
      std::size_t k = 0;
      char one[8];
      while (i < t.utf8.size()) {
        std::size_t len = 1;
        const auto lead = static_cast<unsigned char>(t.utf8[i]);
        len = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
        len = std::min(len, t.utf8.size() - i);
        std::memcpy(one, t.utf8.data() + i, len);
        one[len] = 0;
        cairo_move_to(cr, x, base);
        show(one);
        x += (k < t.advances.size() ? t.advances[k] : 0.0) * std::fabs(map_.sx);
        i += len;
        ++k;
      }
    }
    const double thick = std::max(1.0, std::round(em / 14));
    if (t.font.underline) {
      cairo_rectangle(cr, x0, std::round(base + std::max(1.0, fe.descent / 3)), advance, thick);
      cairo_fill(cr);
    }
    if (t.font.strikeOut) {
      cairo_rectangle(cr, x0, std::round(base - fe.ascent / 3), advance, thick);
      cairo_fill(cr);
    }
    cairo_restore(cr);
  }

  void imageSource(cairo_t* cr, const ImageItem& im, const SurfacePtr& src) const {
    const double dx0 = map_.x(im.dest.left), dx1 = map_.x(im.dest.right);
    const double dy0 = map_.y(im.dest.top), dy1 = map_.y(im.dest.bottom);
    PatternPtr pat(cairo_pattern_create_for_surface(src.get()));
    cairo_matrix_t m;
    // device -> source: x_src = srcX + (x - dx0) * srcW / (dx1 - dx0)
    cairo_matrix_init(&m, im.srcW / (dx1 - dx0), 0, 0, im.srcH / (dy1 - dy0), 0, 0);
    m.x0 = im.srcX - dx0 * m.xx;
    m.y0 = im.srcY - dy0 * m.yy;
    cairo_pattern_set_matrix(pat.get(), &m);
    cairo_pattern_set_filter(pat.get(), CAIRO_FILTER_NEAREST);
    cairo_pattern_set_extend(pat.get(), CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pat.get());
    cairo_rectangle(cr, std::min(dx0, dx1), std::min(dy0, dy1), std::fabs(dx1 - dx0), std::fabs(dy1 - dy0));
  }

  Code drawImage(const Item& item) {
    const ImageItem& im = item.image;
    const double dw = std::fabs(map_.x(im.dest.right) - map_.x(im.dest.left));
    const double dh = std::fabs(map_.y(im.dest.bottom) - map_.y(im.dest.top));
    const bool noSource = im.rop3 == 0x00 || im.rop3 == 0xFF || im.rop3 == 0x55 || im.rop3 == 0xF0 ||
                          im.rop3 == 0x0F || im.rop3 == 0x5A || im.rop3 == 0xA5 || im.rop3 == 0xAA;
    if (dw < 1e-9 || dh < 1e-9) {
      return imgx::kOk;
    }
    const bool haveSource = im.bitmap && im.srcW > 0 && im.srcH > 0;
    if (!haveSource && !noSource) {
      return imgx::kOk;
    }
    if (im.rop3 == 0xCC && haveSource) {
      SurfacePtr src = BitmapSurface(*im.bitmap);
      cairo_t* cr = cr_.get();
      cairo_save(cr);
      applyClip(cr, item.clip);
      imageSource(cr, im, src);
      cairo_fill(cr);
      cairo_restore(cr);
      return imgx::kOk;
    }
    if (const Code c = ensureScratch(); c != imgx::kOk) {
      return c;
    }
    cairo_t* cr = scratchCr_.get();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    applyClip(cr, item.clip);
    if (haveSource) {
      SurfacePtr src = BitmapSurface(*im.bitmap);
      imageSource(cr, im, src);
    } else {
      rectPath(cr, im.dest);
      cairo_set_source_rgb(cr, 0, 0, 0);
    }
    cairo_fill(cr);
    cairo_restore(cr);
    const std::uint32_t p = Native(im.patternColour);
    combineScratch([&](std::uint32_t s, std::uint32_t d) { return Mix3(im.rop3, p, s, d); });
    return imgx::kOk;
  }

  const Metafile& mf_;
  Mapping map_;
  Raster* out_;
  SurfacePtr surface_;
  ContextPtr cr_;
  SurfacePtr scratch_;
  ContextPtr scratchCr_;
};

}  // namespace

// Fontconfig keeps what it loads for the life of the process, and some of it without a
// pointer the leak checker can find; so does the desktop bus library the editor loads
// with its connection buffer. Sanitised builds tell the checker so. (One definition
// per program: every program that reads images links this file.)
#if defined(__SANITIZE_ADDRESS__)
#define KM_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KM_LEAK_CHECKED 1
#endif
#endif
#ifdef KM_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
#endif

Code RenderMetafile(ProgressWindow progress, const Metafile& picture, const Rect& frame, int width, int height,
                    Raster* out) {
  if (out == nullptr) {
    return imgx::kInvalidParameter;
  }
  const double fw = frame.right - frame.left;
  const double fh = frame.bottom - frame.top;
  if (width < 1 || height < 1 || width > kMaxDibSide || height > kMaxDibSide ||
      !std::isfinite(fw) || !std::isfinite(fh) || fw == 0 || fh == 0) {
    return imgx::kBadDimensions;
  }
  try {
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), Native(picture.background));
  } catch (const std::bad_alloc&) {
    out->pixels.clear();
    return imgx::kNoMemory;
  }
  Mapping map;
  map.sx = width / fw;
  map.sy = height / fh;
  map.ox = frame.left;
  map.oy = frame.top;
  Player player(picture, map, out);
  Code c = player.init();
  if (c == imgx::kOk) {
    c = player.play(progress);
  }
  if (c != imgx::kOk) {
    out->pixels.clear();
  }
  return c;
}

}  // namespace km::meta
