#pragma once

// The display list every metafile reader fills and the renderer plays: a picture frame
// and a list of items (filled and stroked paths, text runs, bitmaps), each carrying the
// complete state it is drawn with. Coordinates are picture units, x to the right and y
// downwards; the frame says which rectangle of that space is the picture. The readers
// resolve their own coordinate systems (window and viewport, VDC extent, plot units)
// into picture units, so the renderer only scales the frame onto the output.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace km::meta {

struct Point {
  double x = 0;
  double y = 0;
};

struct Rect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// Colours as 0x00BBGGRR, the layout of the metafile's own colour values.
using Colour = std::uint32_t;

// A path: subpaths of line segments and cubic curves.
struct PathOp {
  enum Kind : std::uint8_t { kMove, kLine, kCurve, kClose };
  Kind kind = kMove;
  Point p[3];  // kMove/kLine: p[0]; kCurve: two control points and the end point
};

class Path {
public:
  void moveTo(Point p) { ops_.push_back({PathOp::kMove, {p, {}, {}}}); }
  void lineTo(Point p) { ops_.push_back({PathOp::kLine, {p, {}, {}}}); }
  void curveTo(Point a, Point b, Point c) { ops_.push_back({PathOp::kCurve, {a, b, c}}); }
  void close() { ops_.push_back({PathOp::kClose, {}}); }
  // An elliptical arc around `centre` with radii rx, ry from angle a0 to a1 (radians,
  // y downwards, so positive angles turn clockwise on screen), as cubic curves. Starts
  // a new subpath unless `connect` is set, in which case a line joins the current
  // point to the arc's start.
  void arc(Point centre, double rx, double ry, double a0, double a1, bool connect);
  void ellipse(const Rect& box);
  void rectangle(const Rect& box);
  bool empty() const { return ops_.empty(); }
  const std::vector<PathOp>& ops() const { return ops_; }

private:
  std::vector<PathOp> ops_;
};

enum class LineStyle : std::uint8_t { kSolid, kDash, kDot, kDashDot, kDashDotDot, kNone };
enum class LineCap : std::uint8_t { kRound, kSquare, kFlat };
enum class LineJoin : std::uint8_t { kRound, kBevel, kMiter };

struct Pen {
  LineStyle style = LineStyle::kSolid;
  double width = 0;  // picture units along x; 0 draws one pixel wide
  Colour colour = 0;
  LineCap cap = LineCap::kRound;
  LineJoin join = LineJoin::kRound;
};

// An 8-bit-per-channel picture, top row first, 4 bytes a pixel (blue, green, red, 0).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgrx;
};

enum class BrushKind : std::uint8_t { kNone, kSolid, kHatch, kPattern };

struct Brush {
  BrushKind kind = BrushKind::kSolid;
  Colour colour = 0xFFFFFF;
  int hatch = 0;  // 0 horizontal, 1 vertical, 2 falling diagonal, 3 rising, 4 cross, 5 diagonal cross
  std::shared_ptr<const Bitmap> pattern;
};

// A bitwise combination of the drawing colour P and the picture D: result bit for the
// pair (P, D) is bit (P * 2 + D) of `table`. 0xC is plain copy.
struct Mix {
  std::uint8_t table = 0xC;
  bool isCopy() const { return table == 0xC; }
};

// Clip: the frame, intersected with or less each rectangle in turn.
struct ClipStep {
  bool exclude = false;
  Rect rect;
};
using Clip = std::shared_ptr<const std::vector<ClipStep>>;

struct ShapeItem {
  Path path;
  bool fill = false;
  bool evenOdd = true;  // fill rule: alternate (even-odd) or winding
  Brush brush;
  bool stroke = false;
  Pen pen;
  bool opaqueBackground = false;  // gaps of dashed pens and hatches in the background colour
  Colour background = 0xFFFFFF;
  Mix mix;
};

struct Font {
  std::string face;  // asked of fontconfig; the nearest installed face is used
  double height = 0;   // em height in picture units along y
  double widthScale = 1;  // horizontal stretch of the glyphs
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

struct TextItem {
  Point origin;            // reference point
  std::string utf8;        // the characters
  std::vector<double> advances;  // per character, picture units; empty: the font's own
  Font font;
  double angle = 0;        // radians, counter-clockwise on screen
  int alignX = 0;          // 0 left, 1 centre, 2 right
  int alignY = 0;          // 0 top, 1 baseline, 2 bottom, 3 middle
  Colour colour = 0;
  bool opaqueBackground = false;
  Colour background = 0xFFFFFF;
  bool hasBox = false;     // a box in picture units that...
  bool boxOpaque = false;  // ...is filled with the background colour first
  bool clipToBox = false;  // ...clips the characters
  Rect box;
};

// A bitmap stretched onto a rectangle (left > right or top > bottom mirrors it),
// combined with the picture by a ternary raster operation of (pattern, source, dest).
struct ImageItem {
  std::shared_ptr<const Bitmap> bitmap;
  int srcX = 0, srcY = 0, srcW = 0, srcH = 0;  // source rectangle, top row 0
  Rect dest;
  std::uint8_t rop3 = 0xCC;  // 0xCC: source copy
  Colour patternColour = 0;
};

struct Item {
  enum Kind : std::uint8_t { kShape, kText, kImage };
  Kind kind = kShape;
  Clip clip;  // null: the whole picture
  ShapeItem shape;
  TextItem text;
  ImageItem image;
};

struct Metafile {
  Rect frame;                // the picture's rectangle in picture units
  double unitsPerInch = 96;  // picture units per inch, for the natural size
  Colour background = 0xFFFFFF;
  std::vector<Item> items;
};

// Bounds the readers keep to: items per picture and points per path, so that a small
// hostile file cannot ask for unbounded work.
inline constexpr std::size_t kMaxItems = 1u << 20;
inline constexpr std::size_t kMaxPathPoints = 1u << 22;

}  // namespace km::meta
