// Windows metafile records: a 32-bit size in 16-bit words (the 6-byte record head
// included), a 16-bit function number, then the parameters, coordinates as signed
// 16-bit words and, in most records, in reverse order (y before x, bottom before top).

#include "fileio/meta/WmfReader.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/meta/PackedDib.h"
#include "fileio/meta/TextCoding.h"

namespace km::meta {

namespace {

using imgx::ByteReader;
using imgx::Code;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kHeaderSize = 18;

// Record functions.
enum : std::uint16_t {
  kEof = 0x0000,
  kSaveDc = 0x001E,
  kRealizePalette = 0x0035,
  kSetPalEntries = 0x0037,
  kCreatePalette = 0x00F7,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetRop2 = 0x0104,
  kSetPolyFillMode = 0x0106,
  kSetTextCharExtra = 0x0108,
  kRestoreDc = 0x0127,
  kSelectClipRegion = 0x012C,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kDibCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kOffsetClipRgn = 0x0220,
  kSelectPalette = 0x0234,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kExcludeClipRect = 0x0415,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kCreateRegion = 0x06FF,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
};

enum MapMode { kText = 1, kLoMetric, kHiMetric, kLoEnglish, kHiEnglish, kTwips, kIsotropic, kAnisotropic };

struct FontDef {
  int height = 0;
  int width = 0;
  int escapement = 0;
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  int charset = 0;
  std::string face;
};

struct Object {
  enum Kind : std::uint8_t { kNone, kPen, kBrush, kFont, kPalette, kRegion };
  Kind kind = kNone;
  Pen pen;            // width in logical units
  int penStyle = 0;
  Brush brush;
  FontDef font;
  std::shared_ptr<const std::vector<Colour>> palette;
  Rect region;        // a region's bounds, logical units
};

struct ClipState {
  bool hasRect = false;
  Rect rect;  // picture units
  std::vector<Rect> excluded;
};

struct Dc {
  int mapMode = kAnisotropic;
  Point winOrg, winExt{1, 1}, vpOrg, vpExt{1, 1};
  Pen pen;  // width in logical units
  bool penNull = false;
  Brush brush;
  FontDef font;
  std::shared_ptr<const std::vector<Colour>> palette;
  Colour bkColour = 0xFFFFFF;
  Colour textColour = 0;
  bool opaque = true;
  bool winding = false;
  int rop2 = 13;
  int textAlign = 0;
  Point cur;
  Clip clip;
  ClipState clipState;
};

constexpr std::size_t kMaxExcluded = 256;

class Player {
public:
  Player(Metafile* out, const WmfHeader& h) : out_(out), header_(h) {}

  void begin(std::size_t objectSlots) {
    objects_.assign(objectSlots, Object{});
    const Rect& f = out_->frame;
    dc_.winOrg = dc_.vpOrg = {f.left, f.top};
    dc_.winExt = dc_.vpExt = {f.right - f.left, f.bottom - f.top};
    if (dc_.winExt.x == 0) dc_.winExt.x = dc_.vpExt.x = 1;
    if (dc_.winExt.y == 0) dc_.winExt.y = dc_.vpExt.y = 1;
    dc_.brush.kind = BrushKind::kSolid;
    dc_.brush.colour = 0xFFFFFF;
    dc_.pen.colour = 0;
    dc_.pen.width = 0;
  }

  // Plays one record; false with *code set when the file must be refused.
  bool record(std::uint16_t fn, ByteReader& p, Code* code);

private:
  // Logical -> picture units.
  double scaleX() const { return scale(true); }
  double scaleY() const { return scale(false); }
  double scale(bool x) const {
    static constexpr double kInches[] = {0, 0, 0.1 / 25.4, 0.01 / 25.4, 0.01, 0.001, 1.0 / 1440};
    const double upi = header_.placeable && header_.unitsPerInch > 0 ? header_.unitsPerInch : 96.0;
    switch (dc_.mapMode) {
      case kText: return 1;
      case kLoMetric: case kHiMetric: case kLoEnglish: case kHiEnglish: case kTwips:
        return (x ? 1 : -1) * upi * kInches[dc_.mapMode];
      case kIsotropic: {
        const double ax = std::fabs(dc_.vpExt.x / dc_.winExt.x), ay = std::fabs(dc_.vpExt.y / dc_.winExt.y);
        const double s = std::min(ax, ay);
        const double sign = x ? ((dc_.vpExt.x < 0) != (dc_.winExt.x < 0) ? -1 : 1)
                              : ((dc_.vpExt.y < 0) != (dc_.winExt.y < 0) ? -1 : 1);
        return s * sign;
      }
      default: return x ? dc_.vpExt.x / dc_.winExt.x : dc_.vpExt.y / dc_.winExt.y;
    }
  }
  Point map(double x, double y) const {
    return {(x - dc_.winOrg.x) * scaleX() + dc_.vpOrg.x, (y - dc_.winOrg.y) * scaleY() + dc_.vpOrg.y};
  }
  Rect mapRect(double l, double t, double r, double b) const {
    const Point a = map(l, t), c = map(r, b);
    return {std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
  }
  void mapPath(Path* path) const;

  bool push(Item&& item, Code* code) {
    if (out_->items.size() >= kMaxItems) {
      *code = imgx::kCorrupt;
      return false;
    }
    item.clip = dc_.clip;
    out_->items.push_back(std::move(item));
    return true;
  }

  ShapeItem shapeState(bool fill, bool stroke) const {
    ShapeItem s;
    s.fill = fill && dc_.brush.kind != BrushKind::kNone;
    s.brush = dc_.brush;
    s.stroke = stroke && !dc_.penNull;
    s.pen = dc_.pen;
    s.pen.width = dc_.pen.width * std::fabs(scaleX());
    s.evenOdd = !dc_.winding;
    s.opaqueBackground = dc_.opaque;
    s.background = dc_.bkColour;
    const int r = std::clamp(dc_.rop2, 1, 16);
    s.mix.table = static_cast<std::uint8_t>(r - 1);
    return s;
  }

  bool shape(Path&& logical, bool fill, bool stroke, Code* code) {
    mapPath(&logical);
    Item item;
    item.kind = Item::kShape;
    item.shape = shapeState(fill, stroke);
    item.shape.path = std::move(logical);
    if (!item.shape.fill && !item.shape.stroke) {
      return true;
    }
    return push(std::move(item), code);
  }

  void rebuildClip();
  int addObject(Object&& o);
  bool readPoints(ByteReader& p, int count, Path* path, bool close);
  bool arcRecord(std::uint16_t fn, ByteReader& p, Code* code);
  bool textOut(ByteReader& p, bool ext, Code* code);
  bool bitmapRecord(std::uint16_t fn, ByteReader& p, std::size_t recordBytes, Code* code);

  Metafile* out_;
  WmfHeader header_;
  Dc dc_;
  std::vector<Dc> saved_;
  std::vector<Object> objects_;
};

void Player::mapPath(Path* path) const {
  Path mapped;
  for (const PathOp& op : path->ops()) {
    switch (op.kind) {
      case PathOp::kMove: mapped.moveTo(map(op.p[0].x, op.p[0].y)); break;
      case PathOp::kLine: mapped.lineTo(map(op.p[0].x, op.p[0].y)); break;
      case PathOp::kCurve:
        mapped.curveTo(map(op.p[0].x, op.p[0].y), map(op.p[1].x, op.p[1].y), map(op.p[2].x, op.p[2].y));
        break;
      case PathOp::kClose: mapped.close(); break;
    }
  }
  *path = std::move(mapped);
}

void Player::rebuildClip() {
  auto steps = std::make_shared<std::vector<ClipStep>>();
  if (dc_.clipState.hasRect) {
    steps->push_back({false, dc_.clipState.rect});
  }
  for (const Rect& r : dc_.clipState.excluded) {
    steps->push_back({true, r});
  }
  dc_.clip = steps->empty() ? nullptr : std::move(steps);
}

int Player::addObject(Object&& o) {
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    if (objects_[i].kind == Object::kNone) {
      objects_[i] = std::move(o);
      return static_cast<int>(i);
    }
  }
  return -1;  // no free slot: the object is lost, as the drawing system would lose it
}

bool Player::readPoints(ByteReader& p, int count, Path* path, bool close) {
  if (count < 0 || static_cast<std::size_t>(count) * 4 > p.remaining()) {
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const double x = p.s16le();
    const double y = p.s16le();
    if (i == 0) {
      path->moveTo({x, y});
    } else {
      path->lineTo({x, y});
    }
  }
  if (close && count > 0) {
    path->close();
  }
  return true;
}

// Arc, Chord and Pie: the ellipse in the box, from the ray through the start point
// counter-clockwise to the ray through the end point.
bool Player::arcRecord(std::uint16_t fn, ByteReader& p, Code* code) {
  const double ye = p.s16le(), xe = p.s16le(), ys = p.s16le(), xs = p.s16le();
  const double b = p.s16le(), r = p.s16le(), t = p.s16le(), l = p.s16le();
  if (!p.ok()) {
    *code = imgx::kCorrupt;
    return false;
  }
  const Point c{(l + r) / 2, (t + b) / 2};
  const double rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
  if (rx == 0 || ry == 0) {
    return true;
  }
  // The parametric angle of the point where the ray through (x, y) meets the ellipse.
  auto angle = [&](double x, double y) { return std::atan2((y - c.y) / ry, (x - c.x) / rx); };
  const double a0 = angle(xs, ys);
  double a1 = angle(xe, ye);
  // Counter-clockwise on the page means decreasing angles with y downwards; when the
  // mapping turns y upwards the same angles come out clockwise, as they should.
  const bool yFlipped = (scaleX() < 0) != (scaleY() < 0);
  if (!yFlipped) {
    if (a1 >= a0) a1 -= 2 * M_PI;
  } else {
    if (a1 <= a0) a1 += 2 * M_PI;
  }
  Path path;
  if (fn == kPie) {
    path.moveTo(c);
    path.arc(c, rx, ry, a0, a1, true);
    path.close();
  } else {
    path.arc(c, rx, ry, a0, a1, false);
    if (fn == kChord) {
      path.close();
    }
  }
  return shape(std::move(path), fn != kArc, true, code);
}

bool Player::textOut(ByteReader& p, bool ext, Code* code) {
  int x = 0, y = 0, count = 0, options = 0;
  Rect box;
  bool hasBox = false;
  std::string bytes;
  std::vector<double> dx;
  if (ext) {
    y = p.s16le();
    x = p.s16le();
    count = p.s16le();
    options = p.u16le();
    if (options & 0x0006) {
      const double l = p.s16le(), t = p.s16le(), r = p.s16le(), b = p.s16le();
      box = mapRect(l, t, r, b);
      hasBox = true;
    }
    if (!p.ok() || count < 0 || static_cast<std::size_t>(count) > p.remaining()) {
      *code = imgx::kCorrupt;
      return false;
    }
    const std::uint8_t* s = p.take(static_cast<std::size_t>(count));
    bytes.assign(reinterpret_cast<const char*>(s), static_cast<std::size_t>(count));
    if (count & 1) {
      p.skip(1);
    }
    // Per-character advances are optional; present only when the record holds them.
    if (p.remaining() >= static_cast<std::size_t>(count) * 2) {
      for (int i = 0; i < count; ++i) {
        dx.push_back(p.s16le());
      }
    }
  } else {
    count = p.s16le();
    if (!p.ok() || count < 0 || static_cast<std::size_t>(count) + (count & 1) + 4 > p.remaining()) {
      *code = imgx::kCorrupt;
      return false;
    }
    const std::uint8_t* s = p.take(static_cast<std::size_t>(count));
    bytes.assign(reinterpret_cast<const char*>(s), static_cast<std::size_t>(count));
    p.skip(static_cast<std::size_t>(count & 1));
    y = p.s16le();
    x = p.s16le();
  }
  if (!p.ok()) {
    *code = imgx::kCorrupt;
    return false;
  }
  Item item;
  item.kind = Item::kText;
  TextItem& t = item.text;
  const bool useCp = (dc_.textAlign & 1) != 0;
  t.origin = useCp ? map(dc_.cur.x, dc_.cur.y) : map(x, y);
  t.utf8 = TextToUtf8(bytes, dc_.font.charset);
  for (double d : dx) {
    t.advances.push_back(d * std::fabs(scaleX()));
  }
  const FontDef& f = dc_.font;
  const double sy = std::fabs(scaleY());
  // A negative height is the em height; a positive one the cell height, about 1.15
  // em in common faces; zero asks for the default of 12 points at 96 per inch.
  double emLogical = f.height < 0 ? -f.height : (f.height > 0 ? f.height / 1.15 : 0);
  t.font.height = emLogical > 0 ? emLogical * sy : 16.0 * (header_.placeable ? header_.unitsPerInch / 96.0 : 1.0);
  t.font.face = f.face;
  t.font.bold = f.weight >= 600;
  t.font.italic = f.italic;
  t.font.underline = f.underline;
  t.font.strikeOut = f.strikeOut;
  if (f.width > 0 && emLogical > 0) {
    // An average character width of about half the em is the face's own width.
    t.font.widthScale = std::clamp(f.width / (emLogical * 0.5), 0.05, 20.0);
  }
  t.angle = f.escapement / 10.0 * M_PI / 180.0;
  const int ax = dc_.textAlign & 6;
  const int ay = dc_.textAlign & 24;
  t.alignX = ax == 6 ? 1 : (ax == 2 ? 2 : 0);
  t.alignY = ay == 24 ? 1 : (ay == 8 ? 2 : 0);
  t.colour = dc_.textColour;
  t.opaqueBackground = dc_.opaque;
  t.background = dc_.bkColour;
  t.hasBox = hasBox;
  t.boxOpaque = (options & 0x0002) != 0;
  t.clipToBox = (options & 0x0004) != 0;
  t.box = box;
  if (t.utf8.empty() && !(hasBox && t.boxOpaque)) {
    return true;
  }
  return push(std::move(item), code);
}

// StretchDIBits, DIBStretchBlt, DIBBitBlt and SetDIBitsToDevice.
bool Player::bitmapRecord(std::uint16_t fn, ByteReader& p, std::size_t recordWords, Code* code) {
  std::uint32_t rop = 0x00CC0020;
  int usage = 0;
  double sx = 0, sy = 0, sw = 0, sh = 0, dx = 0, dy = 0, dw = 0, dh = 0;
  bool sourceFromBottom = false;
  // Records without a bitmap carry one word more before the destination.
  const bool hasBitmap = (fn == kDibBitBlt && recordWords != 12) || (fn == kDibStretchBlt && recordWords != 14) ||
                         fn == kStretchDib || fn == kSetDibToDev;
  switch (fn) {
    case kStretchDib:
      rop = p.u32le();
      usage = p.u16le();
      sh = p.s16le(); sw = p.s16le(); sy = p.s16le(); sx = p.s16le();
      dh = p.s16le(); dw = p.s16le(); dy = p.s16le(); dx = p.s16le();
      sourceFromBottom = true;
      break;
    case kSetDibToDev: {
      usage = p.u16le();
      p.u16le();  // scan count
      p.u16le();  // start scan
      sy = p.s16le(); sx = p.s16le();
      dh = sh = p.s16le(); dw = sw = p.s16le();
      dy = p.s16le(); dx = p.s16le();
      sourceFromBottom = true;
      break;
    }
    case kDibStretchBlt:
      rop = p.u32le();
      sh = p.s16le(); sw = p.s16le(); sy = p.s16le(); sx = p.s16le();
      if (!hasBitmap) p.u16le();
      dh = p.s16le(); dw = p.s16le(); dy = p.s16le(); dx = p.s16le();
      break;
    default:  // DIBBitBlt
      rop = p.u32le();
      sy = p.s16le(); sx = p.s16le();
      if (!hasBitmap) p.u16le();
      dh = sh = p.s16le(); dw = sw = p.s16le();
      dy = p.s16le(); dx = p.s16le();
      break;
  }
  if (!p.ok()) {
    *code = imgx::kCorrupt;
    return false;
  }
  Item item;
  item.kind = Item::kImage;
  ImageItem& im = item.image;
  im.rop3 = static_cast<std::uint8_t>((rop >> 16) & 0xFF);
  im.patternColour = dc_.brush.colour;
  const Point a = map(dx, dy), b = map(dx + dw, dy + dh);
  im.dest = {a.x, a.y, b.x, b.y};
  if (hasBitmap) {
    auto bitmap = std::make_shared<Bitmap>();
    const std::vector<Colour> empty;
    if (!DecodePackedDib(p.cursor(), p.remaining(), usage == 1, dc_.palette ? *dc_.palette : empty,
                         bitmap.get())) {
      return true;  // a bitmap this reader cannot take is left out, as an unknown record is
    }
    // Negative source sizes mirror the picture.
    if (sw < 0) { sx += sw; sw = -sw; std::swap(im.dest.left, im.dest.right); }
    if (sh < 0) { sy += sh; sh = -sh; std::swap(im.dest.top, im.dest.bottom); }
    double top = sourceFromBottom ? bitmap->height - (sy + sh) : sy;
    double left = sx, w = sw, h = sh;
    // Clamp the source rectangle to the bitmap, shrinking the destination with it.
    const double fx = (im.dest.right - im.dest.left) / (w == 0 ? 1 : w);
    const double fy = (im.dest.bottom - im.dest.top) / (h == 0 ? 1 : h);
    if (left < 0) { im.dest.left -= left * fx; w += left; left = 0; }
    if (top < 0) { im.dest.top -= top * fy; h += top; top = 0; }
    if (left + w > bitmap->width) { im.dest.right -= (left + w - bitmap->width) * fx; w = bitmap->width - left; }
    if (top + h > bitmap->height) { im.dest.bottom -= (top + h - bitmap->height) * fy; h = bitmap->height - top; }
    if (w <= 0 || h <= 0) {
      return true;
    }
    im.srcX = static_cast<int>(left);
    im.srcY = static_cast<int>(top);
    im.srcW = static_cast<int>(w);
    im.srcH = static_cast<int>(h);
    im.bitmap = std::move(bitmap);
  }
  return push(std::move(item), code);
}

bool Player::record(std::uint16_t fn, ByteReader& p, Code* code) {
  const std::size_t words = (p.size() + 6) / 2;
  auto corrupt = [&]() {
    *code = imgx::kCorrupt;
    return false;
  };
  switch (fn) {
    case kSaveDc:
      if (saved_.size() >= static_cast<std::size_t>(kMaxSavedStates)) {
        return corrupt();
      }
      saved_.push_back(dc_);
      return true;
    case kRestoreDc: {
      const int n = p.s16le();
      if (!p.ok()) return corrupt();
      const long depth = static_cast<long>(saved_.size());
      const long target = n < 0 ? depth + n : n - 1;  // the state to go back to, 0-based
      if (target >= 0 && target < depth) {
        dc_ = saved_[static_cast<std::size_t>(target)];
        saved_.resize(static_cast<std::size_t>(target));
      }
      return true;
    }
    case kSetBkMode: dc_.opaque = p.u16le() == 2; break;
    case kSetMapMode: {
      const int m = p.u16le();
      if (m >= kText && m <= kAnisotropic) dc_.mapMode = m;
      break;
    }
    case kSetRop2: dc_.rop2 = p.u16le(); break;
    case kSetPolyFillMode: dc_.winding = p.u16le() == 2; break;
    case kSetTextAlign: dc_.textAlign = p.u16le(); break;
    case kSetBkColor: dc_.bkColour = p.u32le() & 0xFFFFFF; break;
    case kSetTextColor: dc_.textColour = p.u32le() & 0xFFFFFF; break;
    case kSetWindowOrg: dc_.winOrg.y = p.s16le(); dc_.winOrg.x = p.s16le(); break;
    case kSetViewportOrg: dc_.vpOrg.y = p.s16le(); dc_.vpOrg.x = p.s16le(); break;
    case kOffsetWindowOrg: dc_.winOrg.y += p.s16le(); dc_.winOrg.x += p.s16le(); break;
    case kOffsetViewportOrg: dc_.vpOrg.y += p.s16le(); dc_.vpOrg.x += p.s16le(); break;
    case kSetWindowExt:
    case kSetViewportExt: {
      const double y = p.s16le(), x = p.s16le();
      // A zero extent is refused by the drawing system and leaves the old one.
      if (p.ok() && x != 0 && y != 0) {
        (fn == kSetWindowExt ? dc_.winExt : dc_.vpExt) = {x, y};
      }
      break;
    }
    case kScaleWindowExt:
    case kScaleViewportExt: {
      const double yd = p.s16le(), yn = p.s16le(), xd = p.s16le(), xn = p.s16le();
      Point& e = fn == kScaleWindowExt ? dc_.winExt : dc_.vpExt;
      const Point scaled{e.x * xn / (xd == 0 ? 1 : xd), e.y * yn / (yd == 0 ? 1 : yd)};
      // Extents stay within what a coordinate can be; repeated scaling cannot run off.
      if (p.ok() && yd != 0 && xd != 0 && yn != 0 && xn != 0 && std::fabs(scaled.x) <= 1e9 &&
          std::fabs(scaled.y) <= 1e9 && std::fabs(scaled.x) >= 1e-9 && std::fabs(scaled.y) >= 1e-9) {
        e = scaled;
      }
      break;
    }
    case kMoveTo: dc_.cur.y = p.s16le(); dc_.cur.x = p.s16le(); break;
    case kLineTo: {
      const double y = p.s16le(), x = p.s16le();
      if (!p.ok()) return corrupt();
      Path path;
      path.moveTo(dc_.cur);
      path.lineTo({x, y});
      dc_.cur = {x, y};
      return shape(std::move(path), false, true, code);
    }
    case kPolygon:
    case kPolyline: {
      const int count = p.s16le();
      Path path;
      if (!p.ok() || !readPoints(p, count, &path, fn == kPolygon)) return corrupt();
      return shape(std::move(path), fn == kPolygon, true, code);
    }
    case kPolyPolygon: {
      const int polys = p.u16le();
      if (!p.ok() || static_cast<std::size_t>(polys) * 2 > p.remaining()) return corrupt();
      std::vector<int> counts(static_cast<std::size_t>(polys));
      std::size_t total = 0;
      for (int& c : counts) {
        c = p.u16le();
        total += static_cast<std::size_t>(c);
      }
      if (total * 4 > p.remaining()) return corrupt();
      Path path;
      for (int c : counts) {
        readPoints(p, c, &path, true);
      }
      return shape(std::move(path), true, true, code);
    }
    case kRectangle:
    case kEllipse: {
      const double b = p.s16le(), r = p.s16le(), t = p.s16le(), l = p.s16le();
      if (!p.ok()) return corrupt();
      Path path;
      if (fn == kRectangle) {
        path.rectangle({l, t, r, b});
      } else {
        path.ellipse({l, t, r, b});
      }
      return shape(std::move(path), true, true, code);
    }
    case kRoundRect: {
      const double h = std::fabs(p.s16le()) / 2, w = std::fabs(p.s16le()) / 2;
      double b = p.s16le(), r = p.s16le(), t = p.s16le(), l = p.s16le();
      if (!p.ok()) return corrupt();
      if (l > r) std::swap(l, r);
      if (t > b) std::swap(t, b);
      const double rx = std::min(w, (r - l) / 2), ry = std::min(h, (b - t) / 2);
      Path path;
      path.arc({l + rx, t + ry}, rx, ry, M_PI, 1.5 * M_PI, false);
      path.arc({r - rx, t + ry}, rx, ry, 1.5 * M_PI, 2 * M_PI, true);
      path.arc({r - rx, b - ry}, rx, ry, 0, 0.5 * M_PI, true);
      path.arc({l + rx, b - ry}, rx, ry, 0.5 * M_PI, M_PI, true);
      path.close();
      return shape(std::move(path), true, true, code);
    }
    case kArc:
    case kChord:
    case kPie: return arcRecord(fn, p, code);
    case kSetPixel: {
      const Colour c = p.u32le() & 0xFFFFFF;
      const double y = p.s16le(), x = p.s16le();
      if (!p.ok()) return corrupt();
      Item item;
      item.kind = Item::kShape;
      const Point a = map(x, y);
      item.shape.path.rectangle({a.x, a.y, a.x + std::fabs(scaleX()), a.y + std::fabs(scaleY())});
      item.shape.fill = true;
      item.shape.brush.kind = BrushKind::kSolid;
      item.shape.brush.colour = c;
      return push(std::move(item), code);
    }
    case kPatBlt: {
      const std::uint32_t rop = p.u32le();
      const double h = p.s16le(), w = p.s16le(), y = p.s16le(), x = p.s16le();
      if (!p.ok()) return corrupt();
      Item item;
      item.kind = Item::kImage;
      const Point a = map(x, y), b = map(x + w, y + h);
      item.image.dest = {a.x, a.y, b.x, b.y};
      item.image.rop3 = static_cast<std::uint8_t>((rop >> 16) & 0xFF);
      item.image.patternColour = dc_.brush.colour;
      return push(std::move(item), code);
    }
    case kTextOut: return textOut(p, false, code);
    case kExtTextOut: return textOut(p, true, code);
    case kStretchDib:
    case kDibStretchBlt:
    case kDibBitBlt:
    case kSetDibToDev: return bitmapRecord(fn, p, words, code);
    case kIntersectClipRect:
    case kExcludeClipRect: {
      const double b = p.s16le(), r = p.s16le(), t = p.s16le(), l = p.s16le();
      if (!p.ok()) return corrupt();
      const Rect rect = mapRect(l, t, r, b);
      ClipState& cs = dc_.clipState;
      if (fn == kIntersectClipRect) {
        if (cs.hasRect) {
          cs.rect = {std::max(cs.rect.left, rect.left), std::max(cs.rect.top, rect.top),
                     std::min(cs.rect.right, rect.right), std::min(cs.rect.bottom, rect.bottom)};
          if (cs.rect.right < cs.rect.left) cs.rect.right = cs.rect.left;
          if (cs.rect.bottom < cs.rect.top) cs.rect.bottom = cs.rect.top;
        } else {
          cs.rect = rect;
          cs.hasRect = true;
        }
      } else if (cs.excluded.size() < kMaxExcluded) {
        cs.excluded.push_back(rect);
      }
      rebuildClip();
      break;
    }
    case kOffsetClipRgn: {
      const double y = p.s16le() * scaleY(), x = p.s16le() * scaleX();
      ClipState& cs = dc_.clipState;
      auto shift = [&](Rect& r) { r = {r.left + x, r.top + y, r.right + x, r.bottom + y}; };
      if (cs.hasRect) shift(cs.rect);
      for (Rect& r : cs.excluded) shift(r);
      rebuildClip();
      break;
    }
    case kSelectClipRegion: {
      const int i = p.u16le();
      dc_.clipState = ClipState{};
      if (p.ok() && static_cast<std::size_t>(i) < objects_.size() && objects_[i].kind == Object::kRegion) {
        const Rect& r = objects_[i].region;
        dc_.clipState.hasRect = true;
        dc_.clipState.rect = mapRect(r.left, r.top, r.right, r.bottom);
      }
      rebuildClip();
      break;
    }
    case kCreatePenIndirect: {
      Object o;
      o.kind = Object::kPen;
      o.penStyle = p.u16le();
      o.pen.width = std::abs(p.s16le());
      p.s16le();
      o.pen.colour = p.u32le() & 0xFFFFFF;
      if (!p.ok()) return corrupt();
      const int style = o.penStyle & 0x0F;
      static constexpr LineStyle kStyles[] = {LineStyle::kSolid, LineStyle::kDash, LineStyle::kDot,
                                              LineStyle::kDashDot, LineStyle::kDashDotDot, LineStyle::kNone,
                                              LineStyle::kSolid};
      o.pen.style = style <= 6 ? kStyles[style] : LineStyle::kSolid;
      const int cap = o.penStyle & 0x0F00, join = o.penStyle & 0xF000;
      o.pen.cap = cap == 0x0100 ? LineCap::kSquare : (cap == 0x0200 ? LineCap::kFlat : LineCap::kRound);
      o.pen.join = join == 0x1000 ? LineJoin::kBevel : (join == 0x2000 ? LineJoin::kMiter : LineJoin::kRound);
      addObject(std::move(o));
      break;
    }
    case kCreateBrushIndirect: {
      Object o;
      o.kind = Object::kBrush;
      const int style = p.u16le();
      o.brush.colour = p.u32le() & 0xFFFFFF;
      // Some writers leave out the hatch word.
      o.brush.hatch = p.remaining() >= 2 ? p.u16le() : 0;
      if (!p.ok()) return corrupt();
      o.brush.kind = style == 0 ? BrushKind::kSolid
                     : style == 2 ? BrushKind::kHatch
                     : style == 1 ? BrushKind::kNone
                                  : BrushKind::kSolid;
      if (o.brush.hatch < 0 || o.brush.hatch > 5) o.brush.hatch = 0;
      addObject(std::move(o));
      break;
    }
    case kDibCreatePatternBrush:
    case kCreatePatternBrush: {
      Object o;
      o.kind = Object::kBrush;
      o.brush.kind = BrushKind::kPattern;
      const int style = p.u16le();
      const int usage = p.u16le();
      auto bitmap = std::make_shared<Bitmap>();
      const std::vector<Colour> empty;
      if (fn == kDibCreatePatternBrush && style != 3 &&
          DecodePackedDib(p.cursor(), p.remaining(), usage == 1, dc_.palette ? *dc_.palette : empty,
                          bitmap.get())) {
        // The brush's colour, for raster operations, is the pattern's first pixel.
        const std::uint8_t* px = bitmap->bgrx.data();
        o.brush.colour = px[2] | (px[1] << 8) | (px[0] << 16);
        o.brush.pattern = std::move(bitmap);
      } else {
        // Old device-dependent patterns: a mid grey stands in for them.
        o.brush.kind = BrushKind::kSolid;
        o.brush.colour = 0x808080;
      }
      addObject(std::move(o));
      break;
    }
    case kCreateFontIndirect: {
      Object o;
      o.kind = Object::kFont;
      FontDef& f = o.font;
      f.height = p.s16le();
      f.width = p.s16le();
      f.escapement = p.s16le();
      p.s16le();  // orientation
      f.weight = p.s16le();
      f.italic = p.u8() != 0;
      f.underline = p.u8() != 0;
      f.strikeOut = p.u8() != 0;
      f.charset = p.u8();
      p.skip(4);
      if (!p.ok()) return corrupt();
      const std::size_t n = std::min<std::size_t>(p.remaining(), 32);
      const std::uint8_t* name = p.take(n);
      for (std::size_t i = 0; i < n && name[i] != 0; ++i) {
        f.face.push_back(static_cast<char>(name[i]));
      }
      f.face = TextToUtf8(f.face, 0);
      addObject(std::move(o));
      break;
    }
    case kCreatePalette: {
      Object o;
      o.kind = Object::kPalette;
      p.u16le();
      const int n = p.u16le();
      if (!p.ok() || static_cast<std::size_t>(n) * 4 > p.remaining()) return corrupt();
      auto pal = std::make_shared<std::vector<Colour>>();
      for (int i = 0; i < n; ++i) {
        const std::uint8_t r = p.u8(), g = p.u8(), b = p.u8();
        p.u8();
        pal->push_back(r | (g << 8) | (b << 16));
      }
      o.palette = std::move(pal);
      addObject(std::move(o));
      break;
    }
    case kCreateRegion: {
      Object o;
      o.kind = Object::kRegion;
      p.skip(14);
      const double l = p.s16le(), t = p.s16le(), r = p.s16le(), b = p.s16le();
      if (!p.ok()) return corrupt();
      o.region = {l, t, r, b};
      addObject(std::move(o));
      break;
    }
    case kSelectObject: {
      const int i = p.u16le();
      if (!p.ok()) return corrupt();
      if (static_cast<std::size_t>(i) >= objects_.size()) break;
      const Object& o = objects_[i];
      switch (o.kind) {
        case Object::kPen: dc_.pen = o.pen; dc_.penNull = o.pen.style == LineStyle::kNone; break;
        case Object::kBrush: dc_.brush = o.brush; break;
        case Object::kFont: dc_.font = o.font; break;
        case Object::kPalette: dc_.palette = o.palette; break;
        case Object::kRegion: {
          dc_.clipState = ClipState{};
          dc_.clipState.hasRect = true;
          dc_.clipState.rect = mapRect(o.region.left, o.region.top, o.region.right, o.region.bottom);
          rebuildClip();
          break;
        }
        default: break;
      }
      break;
    }
    case kSelectPalette: {
      const int i = p.u16le();
      if (p.ok() && static_cast<std::size_t>(i) < objects_.size() && objects_[i].kind == Object::kPalette) {
        dc_.palette = objects_[i].palette;
      }
      break;
    }
    case kDeleteObject: {
      const int i = p.u16le();
      if (p.ok() && static_cast<std::size_t>(i) < objects_.size()) objects_[i] = Object{};
      break;
    }
    default:
      break;  // records that do not change the picture, and unknown ones, are skipped by size
  }
  if (!p.ok()) {
    return corrupt();
  }
  return true;
}

}  // namespace

Code ReadWmfHeader(const std::uint8_t* data, std::size_t size, WmfHeader* header) {
  ByteReader in(data, size);
  *header = WmfHeader{};
  if (in.u32le() == kPlaceableKey) {
    in.u16le();
    const double l = in.s16le(), t = in.s16le(), r = in.s16le(), b = in.s16le();
    const int inch = in.u16le();
    if (!in.ok() || !in.seek(kPlaceableSize)) {
      return imgx::kTruncated;
    }
    header->placeable = true;
    header->bounds = {l, t, r, b};
    header->unitsPerInch = inch;
    if (inch == 0) {
      return imgx::kCorrupt;
    }
  } else {
    in.seek(0);
  }
  const std::size_t base = in.pos();
  const unsigned kind = in.u16le();
  const unsigned words = in.u16le();
  const unsigned version = in.u16le();
  if (!in.ok()) {
    return header->placeable ? imgx::kTruncated : imgx::kNotThisFormat;
  }
  if ((kind != 1 && kind != 2) || words != 9 || (version != 0x0100 && version != 0x0300)) {
    return imgx::kNotThisFormat;
  }
  if (!in.seek(base + kHeaderSize)) {
    return imgx::kTruncated;
  }
  if (!header->placeable) {
    // A plain file's picture is the first window it sets.
    bool org = false, ext = false;
    Rect w{0, 0, 0, 0};
    while (in.remaining() >= 6 && !(org && ext)) {
      const std::size_t at = in.pos();
      const std::uint32_t recWords = in.u32le();
      const std::uint16_t fn = in.u16le();
      if (recWords < 3 || recWords > in.size() / 2 || fn == kEof) {
        break;
      }
      if (fn == kSetWindowOrg && !org && recWords >= 5) {
        w.top = in.s16le();
        w.left = in.s16le();
        org = true;
      } else if (fn == kSetWindowExt && !ext && recWords >= 5) {
        w.bottom = in.s16le();
        w.right = in.s16le();
        ext = w.right != 0 && w.bottom != 0;
      }
      if (!in.seek(at + std::size_t{recWords} * 2)) {
        break;
      }
    }
    header->hasWindow = ext;
    header->bounds = {w.left, w.top, w.left + w.right, w.top + w.bottom};
  }
  return imgx::kOk;
}

Code ParseWmf(const std::uint8_t* data, std::size_t size, Metafile* out, WmfHeader* header) {
  if (const Code c = ReadWmfHeader(data, size, header); c != imgx::kOk) {
    return c;
  }
  try {
    *out = Metafile{};
    out->frame = header->bounds;
    out->unitsPerInch = header->placeable ? header->unitsPerInch : 96;
    if (!header->placeable && !header->hasWindow) {
      out->frame = {0, 0, 0, 0};  // set by the caller, from the size it renders at
    }
    ByteReader in(data, size);
    const std::size_t base = header->placeable ? kPlaceableSize : 0;
    in.seek(base + 10);
    const unsigned objects = in.u16le();
    in.seek(base + kHeaderSize);
    Player player(out, *header);
    // Each object needs a record of at least 6 bytes to be made: slots beyond what the
    // file can fill are never used.
    player.begin(std::min<std::size_t>(objects, size / 6 + 1));
    while (in.remaining() > 0) {
      const std::size_t at = in.pos();
      const std::uint32_t words = in.u32le();
      const std::uint16_t fn = in.u16le();
      if (!in.ok()) {
        return imgx::kTruncated;
      }
      if (words < 3) {
        return imgx::kCorrupt;
      }
      if (std::uint64_t{words} * 2 > size - at) {
        return imgx::kTruncated;
      }
      if (fn == kEof) {
        break;
      }
      ByteReader params(data + at + 6, std::size_t{words} * 2 - 6);
      Code c = imgx::kOk;
      if (!player.record(fn, params, &c)) {
        return c;
      }
      in.seek(at + std::size_t{words} * 2);
    }
  } catch (const std::bad_alloc&) {
    *out = Metafile{};
    return imgx::kNoMemory;
  }
  return imgx::kOk;
}

}  // namespace km::meta
