// CGM binary encoding: each element starts with a big-endian word holding its class
// (4 bits), id (7 bits) and parameter length (5 bits; 31 means a long form, where the
// next word gives the length in its low 15 bits and, in its top bit, that another
// partition follows). Parameter lists of odd length are padded to a word. Numbers are
// big-endian at the precisions the metafile and picture descriptors set.

#include "fileio/meta/CgmReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fileio/imgx/FileBytes.h"
#include "fileio/meta/Meta.h"
#include "fileio/meta/PackedDib.h"
#include "fileio/meta/TextCoding.h"

namespace km::meta {

namespace {

using imgx::Code;

struct RealFormat {
  bool fixed = true;
  int bits = 32;  // 32 or 64
};

struct Precisions {
  int integer = 16;
  int index = 16;
  int colour = 8;
  int colourIndex = 8;
  RealFormat real;
  int vdcInteger = 16;
  RealFormat vdcReal;
  bool vdcIsReal = false;
  double colourMin[3] = {0, 0, 0};
  double colourMax[3] = {255, 255, 255};
  bool directColour = false;
};

// A bounded big-endian reader of one element's parameters.
class Params {
public:
  Params(const std::uint8_t* p, std::size_t n, const Precisions& pr) : p_(p), n_(n), pr_(pr) {}
  bool ok() const { return ok_; }
  std::size_t left() const { return ok_ ? n_ - at_ : 0; }

  std::int64_t sint(int bits) {
    const std::uint64_t u = uint(bits);
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    return (u & sign) ? static_cast<std::int64_t>(u) - static_cast<std::int64_t>(sign << 1)
                      : static_cast<std::int64_t>(u);
  }
  std::uint64_t uint(int bits) {
    const std::size_t bytes = static_cast<std::size_t>(bits) / 8;
    if (!ok_ || bytes > n_ - at_) {
      ok_ = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      v = (v << 8) | p_[at_ + i];
    }
    at_ += bytes;
    return v;
  }
  int e() { return static_cast<int>(sint(16)); }
  std::int64_t i() { return sint(pr_.integer); }
  std::int64_t ix() { return sint(pr_.index); }
  std::uint64_t ci() { return uint(pr_.colourIndex); }
  double real(const RealFormat& f) {
    if (f.fixed) {
      const int half = f.bits / 2;
      const double whole = static_cast<double>(sint(half));
      const double frac = static_cast<double>(uint(half));
      return whole + frac / std::ldexp(1.0, half);
    }
    if (f.bits == 32) {
      const std::uint32_t u = static_cast<std::uint32_t>(uint(32));
      float v;
      std::memcpy(&v, &u, 4);
      return std::isfinite(v) ? v : 0.0;
    }
    const std::uint64_t u = uint(64);
    double v;
    std::memcpy(&v, &u, 8);
    return std::isfinite(v) ? v : 0.0;
  }
  double r() { return real(pr_.real); }
  double vdc() { return pr_.vdcIsReal ? real(pr_.vdcReal) : static_cast<double>(sint(pr_.vdcInteger)); }
  Point point() {
    const double x = vdc();
    const double y = vdc();
    return {x, y};
  }
  std::size_t pointSize() const {
    return 2 * static_cast<std::size_t>(pr_.vdcIsReal ? pr_.vdcReal.bits : pr_.vdcInteger) / 8;
  }
  std::string str() {
    std::size_t len = static_cast<std::size_t>(uint(8));
    if (len == 255) {
      len = static_cast<std::size_t>(uint(16)) & 0x7FFF;
    }
    if (!ok_ || len > n_ - at_) {
      ok_ = false;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(p_ + at_), len);
    at_ += len;
    return s;
  }
  // Raw bits, most significant first, from the current byte.
  const std::uint8_t* rest() const { return p_ + at_; }
  void skipTo(std::size_t at) { at_ = std::min(at, n_); }
  std::size_t pos() const { return at_; }

private:
  const std::uint8_t* p_;
  std::size_t n_;
  const Precisions& pr_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

bool ValidBits(std::int64_t b) { return b == 8 || b == 16 || b == 24 || b == 32; }

bool ReadRealFormat(Params& p, RealFormat* f) {
  const int form = p.e();
  const std::int64_t a = p.i(), b = p.i();
  if (!p.ok()) {
    return false;
  }
  if (form == 0 && a == 9 && b == 23) {
    *f = {false, 32};
  } else if (form == 0 && a == 12 && b == 52) {
    *f = {false, 64};
  } else if (form == 1 && a == 16 && b == 16) {
    *f = {true, 32};
  } else if (form == 1 && a == 32 && b == 32) {
    *f = {true, 64};
  } else {
    return false;
  }
  return true;
}

struct Attributes {
  int lineType = 1;
  double lineWidth = 1;
  Colour lineColour = 0;
  int edgeType = 1;
  double edgeWidth = 1;
  Colour edgeColour = 0;
  bool edgeVisible = false;
  int interior = 0;  // 0 hollow, 1 solid, 2 pattern, 3 hatch, 4 empty
  Colour fillColour = 0;
  int hatch = 1;
  Colour textColour = 0;
  double charHeight = -1;  // VDC; -1: a hundredth of the extent's height
  Point up{0, 1}, base{1, 0};
  int alignH = 0, alignV = 0;
  int font = 1;
  int markerType = 3;
  double markerSize = -1;
  Colour markerColour = 0;
};

class Reader {
public:
  Reader(Metafile* out) : out_(out) {
    static constexpr Colour kDefaults[8] = {0xFFFFFF, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFF00, 0xFF00FF};
    table_.assign(256, 0);
    for (std::size_t i = 0; i < 256; ++i) {
      table_[i] = kDefaults[i % 8];
    }
    attr_.fillColour = attr_.lineColour = attr_.edgeColour = attr_.textColour = attr_.markerColour = 0;
  }

  Code run(const std::uint8_t* data, std::size_t size, int* width, int* height);

private:
  Code element(int cls, int id, Params& p);
  Code beginBody();
  Code descriptor(int id, Params& p);
  Code pictureDescriptor(int id, Params& p);
  Code control(int id, Params& p);
  Code primitive(int id, Params& p);
  Code attribute(int id, Params& p);
  Code elements(const std::uint8_t* data, std::size_t size, bool nested);

  Colour colour(Params& p) {
    if (!pr_.directColour) {
      return indexed(p.ci());
    }
    return direct(p, pr_.colour);
  }
  Colour indexed(std::uint64_t i) const { return i < table_.size() ? table_[i] : 0; }
  Colour direct(Params& p, int bits) {
    double c[3];
    for (int k = 0; k < 3; ++k) {
      c[k] = static_cast<double>(p.uint(bits));
    }
    return scaleDirect(c);
  }
  Colour scaleDirect(const double c[3]) const {
    Colour out = 0;
    for (int k = 0; k < 3; ++k) {
      const double span = pr_.colourMax[k] - pr_.colourMin[k];
      const double v = span == 0 ? 0 : (c[k] - pr_.colourMin[k]) / span * 255.0;
      out |= static_cast<Colour>(std::clamp(std::lround(v), 0L, 255L)) << (8 * k);
    }
    return out;
  }

  // VDC -> picture units.
  Point map(Point v) const {
    return {(v.x - ext_.left) * sx_, (v.y - ext_.top) * sy_};
  }
  double mapLength(double d) const { return d * std::fabs(sx_); }
  double width(double w, bool scaled) const { return scaled ? w : mapLength(w); }

  bool push(Item&& item) {
    if (!inBody_ || out_->items.size() >= kMaxItems) {
      return out_->items.size() < kMaxItems;
    }
    item.clip = clip_;
    out_->items.push_back(std::move(item));
    return true;
  }
  bool stroke(Path&& path, bool edge);
  bool fillArea(Path&& path, bool closedArc);
  void conic(Path* path, Point c, Point u, Point v, double t0, double t1, bool connect) const;
  void updateClip();

  Metafile* out_;
  Precisions pr_;
  Attributes attr_;
  std::vector<Colour> table_;
  std::vector<std::string> fonts_;
  Colour background_ = 0xFFFFFF;
  bool metricScaling_ = false;
  double metricFactor_ = 1;
  bool lineScaled_ = true, edgeScaled_ = true, markerScaled_ = true;
  Rect ext_{0, 0, 32767, 32767};  // left, top = first corner; right, bottom = second
  bool extentSet_ = false;
  Rect clipRect_;
  bool clipRectSet_ = false;
  bool clipOn_ = true;
  Clip clip_;
  bool inBody_ = false;
  bool done_ = false;
  bool begun_ = false;
  int width_ = 0, height_ = 0;
  double sx_ = 1, sy_ = 1;
  int depth_ = 0;
};

Code Reader::run(const std::uint8_t* data, std::size_t size, int* width, int* height) {
  const Code c = elements(data, size, false);
  if (c != imgx::kOk) {
    return c;
  }
  if (!begun_) {
    return imgx::kNotThisFormat;
  }
  if (width_ == 0) {
    // No picture body: the picture is empty, at the size its extent gives.
    if (const Code b = beginBody(); b != imgx::kOk) {
      return b;
    }
  }
  *width = width_;
  *height = height_;
  return imgx::kOk;
}

Code Reader::elements(const std::uint8_t* data, std::size_t size, bool nested) {
  std::size_t at = 0;
  std::vector<std::uint8_t> joined;
  while (!done_ && at + 2 <= size) {
    const unsigned head = (data[at] << 8) | data[at + 1];
    at += 2;
    const int cls = static_cast<int>(head >> 12);
    const int id = static_cast<int>((head >> 5) & 0x7F);
    std::size_t len = head & 0x1F;
    const std::uint8_t* params = data + at;
    if (len == 31) {
      // Long form, possibly in partitions.
      joined.clear();
      bool more = true;
      bool first = true;
      while (more) {
        if (at + 2 > size) {
          return imgx::kTruncated;
        }
        const unsigned w = (data[at] << 8) | data[at + 1];
        at += 2;
        more = (w & 0x8000) != 0;
        const std::size_t n = w & 0x7FFF;
        if (n > size - at) {
          return imgx::kTruncated;
        }
        if (first && !more) {
          params = data + at;
          len = n;
        } else {
          joined.insert(joined.end(), data + at, data + at + n);
          params = joined.data();
          len = joined.size();
        }
        first = false;
        at += n + (n & 1);
      }
    } else {
      if (len > size - at) {
        return imgx::kTruncated;
      }
      at += len + (len & 1);
    }
    if (!begun_ && !nested) {
      if (cls != 0 || id != 1) {
        return imgx::kNotThisFormat;
      }
      begun_ = true;
      continue;
    }
    Params p(params, len, pr_);
    if (const Code c = element(cls, id, p); c != imgx::kOk) {
      return c;
    }
  }
  return imgx::kOk;
}

Code Reader::element(int cls, int id, Params& p) {
  switch (cls) {
    case 0:
      if (id == 2) {
        done_ = true;
      } else if (id == 4) {
        return beginBody();
      } else if (id == 5 && inBody_) {
        done_ = true;  // the first picture only
      }
      return imgx::kOk;
    case 1: return descriptor(id, p);
    case 2: return pictureDescriptor(id, p);
    case 3: return control(id, p);
    case 4: return inBody_ ? primitive(id, p) : imgx::kOk;
    case 5: return attribute(id, p);
    default: return imgx::kOk;  // escapes, external elements, segments: nothing to draw
  }
}

Code Reader::descriptor(int id, Params& p) {
  switch (id) {
    case 3: pr_.vdcIsReal = p.e() == 1; break;
    case 4: {
      const std::int64_t b = p.i();
      if (!p.ok() || !ValidBits(b)) return imgx::kUnsupportedVariant;
      pr_.integer = static_cast<int>(b);
      break;
    }
    case 5:
      if (!ReadRealFormat(p, &pr_.real)) return imgx::kUnsupportedVariant;
      break;
    case 6:
    case 7:
    case 8: {
      const std::int64_t b = p.i();
      if (!p.ok() || !ValidBits(b)) return imgx::kUnsupportedVariant;
      (id == 6 ? pr_.index : id == 7 ? pr_.colour : pr_.colourIndex) = static_cast<int>(b);
      break;
    }
    case 9: {
      const std::uint64_t max = p.ci();
      if (p.ok() && max < 65536 && max + 1 > table_.size()) {
        const std::size_t old = table_.size();
        table_.resize(static_cast<std::size_t>(max) + 1);
        for (std::size_t i = old; i < table_.size(); ++i) table_[i] = table_[i % 8];
      }
      break;
    }
    case 10:
      for (double* v : {pr_.colourMin, pr_.colourMax}) {
        for (int k = 0; k < 3; ++k) v[k] = static_cast<double>(p.uint(pr_.colour));
      }
      break;
    case 12: {
      // Defaults replacement: elements inside, applied as if they came here.
      if (++depth_ > 4) return imgx::kCorrupt;
      const std::size_t n = p.left();
      const Code c = elements(p.rest(), n, true);
      --depth_;
      return c;
    }
    case 13:
      fonts_.clear();
      while (p.left() > 0 && p.ok() && fonts_.size() < 1024) fonts_.push_back(p.str());
      break;
    default: return imgx::kOk;
  }
  return p.ok() ? imgx::kOk : imgx::kCorrupt;
}

Code Reader::pictureDescriptor(int id, Params& p) {
  switch (id) {
    case 1:
      metricScaling_ = p.e() == 1;
      if (p.left() > 0) {
        // The factor is a floating-point real whatever the real precision says.
        metricFactor_ = p.real({false, pr_.real.fixed ? 32 : pr_.real.bits});
      }
      break;
    case 2: pr_.directColour = p.e() == 1; break;
    case 3: lineScaled_ = p.e() == 1; break;
    case 4: markerScaled_ = p.e() == 1; break;
    case 5: edgeScaled_ = p.e() == 1; break;
    case 6: {
      const Point a = p.point(), b = p.point();
      ext_ = {a.x, a.y, b.x, b.y};
      extentSet_ = true;
      break;
    }
    case 7: {
      double c[3];
      for (double& v : c) v = static_cast<double>(p.uint(pr_.colour));
      background_ = scaleDirect(c);
      break;
    }
    default: return imgx::kOk;
  }
  return p.ok() ? imgx::kOk : imgx::kCorrupt;
}

Code Reader::beginBody() {
  if (!extentSet_ && pr_.vdcIsReal) {
    ext_ = {0, 0, 1, 1};
  }
  const double ew = std::fabs(ext_.right - ext_.left), eh = std::fabs(ext_.bottom - ext_.top);
  if (!(ew > 0) || !(eh > 0) || !std::isfinite(ew) || !std::isfinite(eh)) {
    return imgx::kBadDimensions;
  }
  double w = ew, h = eh;
  if (metricScaling_ && metricFactor_ > 0) {
    w = ew * metricFactor_ * 96 / 25.4;
    h = eh * metricFactor_ * 96 / 25.4;
  }
  if (!std::isfinite(w) || !std::isfinite(h) || !(w > 0) || !(h > 0)) {
    return imgx::kBadDimensions;
  }
  const double longest = std::max(w, h);
  if (longest < 16 || longest > 2048) {
    w = w * 1024 / longest;
    h = h * 1024 / longest;
  }
  width_ = std::max(1, static_cast<int>(std::lround(w)));
  height_ = std::max(1, static_cast<int>(std::lround(h)));
  // VDC x runs from the first corner's x (left) to the second's; y from the first
  // corner's y at the bottom to the second's at the top.
  sx_ = width_ / (ext_.right - ext_.left);
  sy_ = -height_ / (ext_.bottom - ext_.top);
  const Rect vdc = ext_;
  ext_ = {vdc.left, vdc.bottom, vdc.right, vdc.top};  // map() subtracts (left, top of picture)
  out_->frame = {0, 0, double(width_), double(height_)};
  out_->background = background_;
  out_->unitsPerInch = 96;
  inBody_ = true;
  if (attr_.charHeight < 0) attr_.charHeight = eh / 100;
  if (attr_.markerSize < 0) attr_.markerSize = markerScaled_ ? 5 : eh / 100;
  updateClip();
  return imgx::kOk;
}

void Reader::updateClip() {
  if (!inBody_ || !clipOn_ || !clipRectSet_) {
    clip_ = nullptr;
    return;
  }
  const Point a = map({clipRect_.left, clipRect_.top}), b = map({clipRect_.right, clipRect_.bottom});
  auto steps = std::make_shared<std::vector<ClipStep>>();
  steps->push_back({false, {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)}});
  clip_ = std::move(steps);
}

Code Reader::control(int id, Params& p) {
  switch (id) {
    case 1: {
      const std::int64_t b = p.i();
      if (!p.ok() || (b != 16 && b != 24 && b != 32)) return imgx::kUnsupportedVariant;
      pr_.vdcInteger = static_cast<int>(b);
      break;
    }
    case 2:
      if (!ReadRealFormat(p, &pr_.vdcReal)) return imgx::kUnsupportedVariant;
      break;
    case 5: {
      const Point a = p.point(), b = p.point();
      clipRect_ = {a.x, a.y, b.x, b.y};
      clipRectSet_ = true;
      updateClip();
      break;
    }
    case 6:
      clipOn_ = p.e() == 1;
      updateClip();
      break;
    default: return imgx::kOk;
  }
  return p.ok() ? imgx::kOk : imgx::kCorrupt;
}

Code Reader::attribute(int id, Params& p) {
  switch (id) {
    case 2: attr_.lineType = static_cast<int>(p.ix()); break;
    case 3: attr_.lineWidth = lineScaled_ ? p.r() : p.vdc(); break;
    case 4: attr_.lineColour = colour(p); break;
    case 6: attr_.markerType = static_cast<int>(p.ix()); break;
    case 7: attr_.markerSize = markerScaled_ ? p.r() * 5 : p.vdc(); break;
    case 8: attr_.markerColour = colour(p); break;
    case 10: attr_.font = static_cast<int>(p.ix()); break;
    case 14: attr_.textColour = colour(p); break;
    case 15: attr_.charHeight = p.vdc(); break;
    case 16: attr_.up = p.point(); attr_.base = p.point(); break;
    case 18: attr_.alignH = p.e(); attr_.alignV = p.e(); break;
    case 22: attr_.interior = p.e(); break;
    case 23: attr_.fillColour = colour(p); break;
    case 24: attr_.hatch = static_cast<int>(p.ix()); break;
    case 27: attr_.edgeType = static_cast<int>(p.ix()); break;
    case 28: attr_.edgeWidth = edgeScaled_ ? p.r() : p.vdc(); break;
    case 29: attr_.edgeColour = colour(p); break;
    case 30: attr_.edgeVisible = p.e() == 1; break;
    case 34: {
      std::uint64_t i = p.ci();
      while (p.ok() && p.left() >= 3 * static_cast<std::size_t>(pr_.colour) / 8) {
        const Colour c = direct(p, pr_.colour);
        if (!p.ok()) break;
        if (i < 65536) {
          if (i >= table_.size()) table_.resize(static_cast<std::size_t>(i) + 1, 0);
          table_[static_cast<std::size_t>(i)] = c;
        }
        ++i;
      }
      return imgx::kOk;
    }
    default: return imgx::kOk;
  }
  return p.ok() ? imgx::kOk : imgx::kCorrupt;
}

LineStyle StyleOf(int type) {
  switch (type) {
    case 2: return LineStyle::kDash;
    case 3: return LineStyle::kDot;
    case 4: return LineStyle::kDashDot;
    case 5: return LineStyle::kDashDotDot;
    default: return LineStyle::kSolid;
  }
}

bool Reader::stroke(Path&& path, bool edge) {
  Item item;
  item.kind = Item::kShape;
  ShapeItem& s = item.shape;
  s.stroke = true;
  s.pen.style = StyleOf(edge ? attr_.edgeType : attr_.lineType);
  s.pen.width = edge ? width(attr_.edgeWidth, edgeScaled_) : width(attr_.lineWidth, lineScaled_);
  if (s.pen.width <= 1) s.pen.width = 0;
  s.pen.colour = edge ? attr_.edgeColour : attr_.lineColour;
  s.pen.cap = LineCap::kFlat;
  s.pen.join = LineJoin::kMiter;
  s.opaqueBackground = false;
  s.path = std::move(path);
  return push(std::move(item));
}

// A closed area: filled by the interior style, outlined when edges are visible.
bool Reader::fillArea(Path&& path, bool /*closedArc*/) {
  Item item;
  item.kind = Item::kShape;
  ShapeItem& s = item.shape;
  s.evenOdd = true;
  s.opaqueBackground = false;
  switch (attr_.interior) {
    case 1:
    case 2:  // patterns are drawn in the fill colour
      s.fill = true;
      s.brush.kind = BrushKind::kSolid;
      s.brush.colour = attr_.fillColour;
      break;
    case 3: {
      static constexpr int kHatch[] = {0, 0, 1, 3, 2, 4, 5};  // CGM hatch index -> tile
      s.fill = true;
      s.brush.kind = BrushKind::kHatch;
      s.brush.colour = attr_.fillColour;
      s.brush.hatch = attr_.hatch >= 1 && attr_.hatch <= 6 ? kHatch[attr_.hatch] : 0;
      break;
    }
    default: break;
  }
  // Hollow interiors show their boundary in the fill colour even without edges.
  if (attr_.interior == 0 && !attr_.edgeVisible) {
    s.stroke = true;
    s.pen.width = 0;
    s.pen.colour = attr_.fillColour;
  }
  if (attr_.edgeVisible) {
    s.stroke = true;
    s.pen.style = StyleOf(attr_.edgeType);
    s.pen.width = width(attr_.edgeWidth, edgeScaled_);
    if (s.pen.width <= 1) s.pen.width = 0;
    s.pen.colour = attr_.edgeColour;
    s.pen.join = LineJoin::kMiter;
  }
  if (!s.fill && !s.stroke) {
    return true;
  }
  s.path = std::move(path);
  return push(std::move(item));
}

// The conic c + u cos t + v sin t from t0 to t1, in picture units.
void Reader::conic(Path* path, Point c, Point u, Point v, double t0, double t1, bool connect) const {
  Path unit;
  unit.arc({0, 0}, 1, 1, t0, t1, false);
  auto at = [&](Point q) { return map({c.x + u.x * q.x + v.x * q.y, c.y + u.y * q.x + v.y * q.y}); };
  for (const PathOp& op : unit.ops()) {
    if (op.kind == PathOp::kMove) {
      if (connect && !path->empty()) {
        path->lineTo(at(op.p[0]));
      } else {
        path->moveTo(at(op.p[0]));
      }
    } else if (op.kind == PathOp::kCurve) {
      path->curveTo(at(op.p[0]), at(op.p[1]), at(op.p[2]));
    }
  }
}

Code Reader::primitive(int id, Params& p) {
  auto corrupt = [&]() { return p.ok() ? imgx::kOk : imgx::kCorrupt; };
  const std::size_t ps = p.pointSize();
  switch (id) {
    case 1:    // polyline
    case 2:    // disjoint polyline
    case 7: {  // polygon
      const std::size_t n = p.left() / ps;
      if (n > kMaxPathPoints) return imgx::kCorrupt;
      Path path;
      for (std::size_t i = 0; i < n; ++i) {
        const Point q = map(p.point());
        if (i == 0 || (id == 2 && i % 2 == 0)) {
          path.moveTo(q);
        } else {
          path.lineTo(q);
        }
      }
      if (n == 0) return imgx::kOk;
      if (id == 7) {
        path.close();
        return fillArea(std::move(path), false) ? corrupt() : imgx::kCorrupt;
      }
      return stroke(std::move(path), false) ? corrupt() : imgx::kCorrupt;
    }
    case 3: {  // polymarker
      const std::size_t n = p.left() / ps;
      if (n > kMaxPathPoints) return imgx::kCorrupt;
      const double r = std::max(1.0, (markerScaled_ ? attr_.markerSize : mapLength(attr_.markerSize)) / 2);
      Path path;
      for (std::size_t i = 0; i < n; ++i) {
        const Point q = map(p.point());
        if (attr_.markerType == 1) {
          path.rectangle({q.x - 0.5, q.y - 0.5, q.x + 0.5, q.y + 0.5});
        } else if (attr_.markerType == 4) {
          path.ellipse({q.x - r, q.y - r, q.x + r, q.y + r});
        } else {
          const bool plus = attr_.markerType == 2 || attr_.markerType == 3;
          const bool cross = attr_.markerType == 5 || attr_.markerType == 3;
          if (plus) {
            path.moveTo({q.x - r, q.y}); path.lineTo({q.x + r, q.y});
            path.moveTo({q.x, q.y - r}); path.lineTo({q.x, q.y + r});
          }
          if (cross) {
            path.moveTo({q.x - r, q.y - r}); path.lineTo({q.x + r, q.y + r});
            path.moveTo({q.x - r, q.y + r}); path.lineTo({q.x + r, q.y - r});
          }
        }
      }
      Item item;
      item.kind = Item::kShape;
      item.shape.path = std::move(path);
      item.shape.stroke = true;
      item.shape.pen.colour = attr_.markerColour;
      item.shape.fill = attr_.markerType == 1;
      item.shape.brush.colour = attr_.markerColour;
      return push(std::move(item)) ? corrupt() : imgx::kCorrupt;
    }
    case 4:    // text
    case 5:    // restricted text
    case 6: {  // append text
      Point at{};
      if (id == 5) {
        p.vdc();
        p.vdc();
      }
      if (id != 6) at = p.point();
      p.e();
      const std::string s = p.str();
      if (!p.ok()) return imgx::kCorrupt;
      if (id == 6) {
        if (!out_->items.empty() && out_->items.back().kind == Item::kText) {
          out_->items.back().text.utf8 += TextToUtf8(s, kLatin1);
        }
        return imgx::kOk;
      }
      Item item;
      item.kind = Item::kText;
      TextItem& t = item.text;
      t.origin = map(at);
      t.utf8 = TextToUtf8(s, kLatin1);
      t.colour = attr_.textColour;
      t.font.height = std::fabs(attr_.charHeight * sy_) / 0.8;  // cap height -> em
      const int f = attr_.font - 1;
      t.font.face = f >= 0 && static_cast<std::size_t>(f) < fonts_.size() ? fonts_[f] : "sans-serif";
      const double angle = std::atan2(attr_.base.y, attr_.base.x);
      t.angle = sy_ < 0 ? angle : -angle;
      t.alignX = attr_.alignH == 2 ? 1 : (attr_.alignH == 3 ? 2 : 0);
      t.alignY = attr_.alignV == 1 || attr_.alignV == 2 ? 0 : attr_.alignV == 3 ? 3 : attr_.alignV == 5 ? 2 : 1;
      return push(std::move(item)) ? imgx::kOk : imgx::kCorrupt;
    }
    case 8: {  // polygon set: points with edge flags
      const std::size_t n = p.left() / (ps + 2);
      if (n > kMaxPathPoints) return imgx::kCorrupt;
      Path path;
      bool start = true;
      for (std::size_t i = 0; i < n; ++i) {
        const Point q = map(p.point());
        const int flag = p.e();
        if (start) {
          path.moveTo(q);
          start = false;
        } else {
          path.lineTo(q);
        }
        if (flag == 2 || flag == 3) {
          path.close();
          start = true;
        }
      }
      if (!start) path.close();
      if (n == 0) return imgx::kOk;
      return fillArea(std::move(path), false) ? corrupt() : imgx::kCorrupt;
    }
    case 9: {  // cell array
      const Point P = p.point(), Q = p.point(), R = p.point();
      const std::int64_t nx = p.i(), ny = p.i();
      std::int64_t prec = p.i();
      const int mode = p.e();
      if (!p.ok()) return imgx::kCorrupt;
      if (nx <= 0 || ny <= 0 || nx > 32767 || ny > 32767 ||
          static_cast<std::uint64_t>(nx * ny) > kMaxBitmapPixels) {
        return imgx::kCorrupt;
      }
      if (prec == 0) prec = pr_.directColour ? pr_.colour : pr_.colourIndex;
      if (prec != 1 && prec != 2 && prec != 4 && prec != 8 && prec != 16 && prec != 24 && prec != 32) {
        return imgx::kCorrupt;
      }
      const int bitsPerCell = static_cast<int>(pr_.directColour ? 3 * prec : prec);
      if (mode == 1) {
        // Packed rows, each starting on a word boundary: the data must hold them.
        const std::uint64_t rowBytes = (static_cast<std::uint64_t>(nx) * bitsPerCell + 15) / 16 * 2;
        if (rowBytes * static_cast<std::uint64_t>(ny) > p.left() + 1) return imgx::kCorrupt;
      }
      auto bitmap = std::make_shared<Bitmap>();
      bitmap->width = static_cast<int>(nx);
      bitmap->height = static_cast<int>(ny);
      bitmap->bgrx.assign(static_cast<std::size_t>(nx * ny) * 4, 0);
      const std::uint8_t* d = p.rest();
      const std::size_t avail = p.left();
      std::size_t bit = 0;
      auto bits = [&](int n) -> std::uint64_t {
        std::uint64_t v = 0;
        for (int k = 0; k < n; ++k) {
          const std::size_t byte = bit / 8;
          const int b = byte < avail ? (d[byte] >> (7 - bit % 8)) & 1 : 0;
          v = (v << 1) | static_cast<std::uint64_t>(b);
          ++bit;
        }
        return v;
      };
      auto cell = [&]() -> Colour {
        if (!pr_.directColour) return indexed(bits(static_cast<int>(prec)));
        double c[3];
        for (double& v : c) v = static_cast<double>(bits(static_cast<int>(prec)));
        // Local precisions other than the colour precision scale to the extent's span.
        if (prec != pr_.colour) {
          const double full = std::ldexp(1.0, static_cast<int>(prec)) - 1;
          for (int k = 0; k < 3; ++k) {
            c[k] = pr_.colourMin[k] + c[k] / full * (pr_.colourMax[k] - pr_.colourMin[k]);
          }
        }
        return scaleDirect(c);
      };
      auto* px = reinterpret_cast<std::uint32_t*>(bitmap->bgrx.data());
      auto native = [](Colour c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); };
      for (std::int64_t y = 0; y < ny; ++y) {
        std::int64_t x = 0;
        if (mode == 1) {
          for (; x < nx; ++x) px[y * nx + x] = native(cell());
        } else {
          while (x < nx && bit / 8 < avail) {
            const std::int64_t count = static_cast<std::int64_t>(bits(pr_.integer));
            const std::uint32_t c = native(cell());
            if (count <= 0) return imgx::kCorrupt;
            for (std::int64_t k = 0; k < count && x < nx; ++k, ++x) px[y * nx + x] = c;
          }
        }
        bit = (bit + 15) / 16 * 16;
      }
      // Axis-aligned cell arrays only: P the first cell's corner, R the end of the first
      // row, Q the far corner.
      const Point mp = map(P), mq = map(Q), mr = map(R);
      if (std::fabs(mr.y - mp.y) > 1e-9 || std::fabs(mq.x - mr.x) > 1e-9) {
        return imgx::kOk;
      }
      Item item;
      item.kind = Item::kImage;
      item.image.bitmap = std::move(bitmap);
      item.image.srcW = static_cast<int>(nx);
      item.image.srcH = static_cast<int>(ny);
      item.image.dest = {mp.x, mp.y, mr.x, mq.y};
      return push(std::move(item)) ? imgx::kOk : imgx::kCorrupt;
    }
    case 11: {  // rectangle
      const Point a = map(p.point()), b = map(p.point());
      if (!p.ok()) return imgx::kCorrupt;
      Path path;
      path.rectangle({a.x, a.y, b.x, b.y});
      return fillArea(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
    }
    case 12: {  // circle
      const Point c = p.point();
      const double r = p.vdc();
      if (!p.ok()) return imgx::kCorrupt;
      Path path;
      conic(&path, c, {r, 0}, {0, r}, 0, 2 * M_PI, false);
      path.close();
      return fillArea(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
    }
    case 13:    // circular arc through three points
    case 14: {  // closed
      const Point a = p.point(), b = p.point(), c = p.point();
      const int close = id == 14 ? p.e() : -1;
      if (!p.ok()) return imgx::kCorrupt;
      // The circle through a, b and c.
      const double d = 2 * (a.x * (b.y - c.y) + b.x * (c.y - a.y) + c.x * (a.y - b.y));
      if (std::fabs(d) < 1e-12) {
        Path path;
        path.moveTo(map(a));
        path.lineTo(map(c));
        return stroke(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
      }
      const double a2 = a.x * a.x + a.y * a.y, b2 = b.x * b.x + b.y * b.y, c2 = c.x * c.x + c.y * c.y;
      const Point o{(a2 * (b.y - c.y) + b2 * (c.y - a.y) + c2 * (a.y - b.y)) / d,
                    (a2 * (c.x - b.x) + b2 * (a.x - c.x) + c2 * (b.x - a.x)) / d};
      const double r = std::hypot(a.x - o.x, a.y - o.y);
      double t0 = std::atan2(a.y - o.y, a.x - o.x), t1 = std::atan2(b.y - o.y, b.x - o.x),
             t2 = std::atan2(c.y - o.y, c.x - o.x);
      // Counter-clockwise from a to c when b lies on that way, else clockwise.
      auto ccw = [](double from, double to) { double s = to - from; while (s < 0) s += 2 * M_PI; return s; };
      const bool forward = ccw(t0, t1) <= ccw(t0, t2);
      if (forward) {
        t2 = t0 + ccw(t0, t2);
      } else {
        t2 = t0 - ccw(t2, t0);
      }
      Path path;
      if (close == 0) path.moveTo(map(o));
      conic(&path, o, {r, 0}, {0, r}, t0, t2, close == 0);
      if (close >= 0) {
        path.close();
        return fillArea(std::move(path), true) ? imgx::kOk : imgx::kCorrupt;
      }
      return stroke(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
    }
    case 15:    // circular arc centre
    case 16: {  // closed
      const Point c = p.point();
      const double sx = p.vdc(), sy = p.vdc(), ex = p.vdc(), ey = p.vdc();
      const double r = p.vdc();
      const int close = id == 16 ? p.e() : -1;
      if (!p.ok()) return imgx::kCorrupt;
      const double t0 = std::atan2(sy, sx);
      double t1 = std::atan2(ey, ex);
      if (t1 <= t0) t1 += 2 * M_PI;
      Path path;
      if (close == 0) path.moveTo(map(c));
      conic(&path, c, {r, 0}, {0, r}, t0, t1, close == 0);
      if (close >= 0) {
        path.close();
        return fillArea(std::move(path), true) ? imgx::kOk : imgx::kCorrupt;
      }
      return stroke(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
    }
    case 17:    // ellipse
    case 18:    // elliptical arc
    case 19: {  // closed
      const Point c = p.point(), d1 = p.point(), d2 = p.point();
      const Point u{d1.x - c.x, d1.y - c.y}, v{d2.x - c.x, d2.y - c.y};
      double t0 = 0, t1 = 2 * M_PI;
      if (id != 17) {
        const double sx = p.vdc(), sy = p.vdc(), ex = p.vdc(), ey = p.vdc();
        // The vectors in the (u, v) frame give the parametric angles.
        const double det = u.x * v.y - u.y * v.x;
        if (std::fabs(det) < 1e-12) return imgx::kOk;
        auto param = [&](double x, double y) {
          return std::atan2((u.x * y - u.y * x) / det, (v.y * x - v.x * y) / det);
        };
        t0 = param(sx, sy);
        t1 = param(ex, ey);
        if (t1 <= t0) t1 += 2 * M_PI;
      }
      const int close = id == 19 ? p.e() : (id == 17 ? 1 : -1);
      if (!p.ok()) return imgx::kCorrupt;
      Path path;
      if (close == 0) path.moveTo(map(c));
      conic(&path, c, u, v, t0, t1, close == 0);
      if (close >= 0) {
        path.close();
        return fillArea(std::move(path), true) ? imgx::kOk : imgx::kCorrupt;
      }
      return stroke(std::move(path), false) ? imgx::kOk : imgx::kCorrupt;
    }
    default: return imgx::kOk;
  }
}

}  // namespace

Code ParseCgm(const std::uint8_t* data, std::size_t size, Metafile* out, int* width, int* height) {
  std::size_t i = 0;
  while (i < size && (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t')) ++i;
  if (size - i >= 5 && (std::memcmp(data + i, "BEGMF", 5) == 0 || std::memcmp(data + i, "begmf", 5) == 0)) {
    return imgx::kUnsupportedVariant;  // the clear-text encoding
  }
  try {
    *out = Metafile{};
    Reader reader(out);
    const Code c = reader.run(data, size, width, height);
    if (c != imgx::kOk) {
      *out = Metafile{};
    }
    return c;
  } catch (const std::bad_alloc&) {
    *out = Metafile{};
    return imgx::kNoMemory;
  }
}

}  // namespace km::meta

namespace km::imgx {

Code DecodeCGM(ProgressWindow progress, const std::string& path, MetafileHandle* out, int* width, int* height) {
  return DecodeMetafileWith(meta::ParseCgm, progress, path, out, width, height);
}

}  // namespace km::imgx
