// Draws the program's icon: the scalable SVG and PNGs of every size a desktop asks for,
// in the hicolor theme layout under the given folder:
//
//   MakeIcons <share/icons/hicolor>
//     scalable/apps/kilnmark.svg, <n>x<n>/apps/kilnmark.png for n = 16 ... 256
//
// One list of shapes on a 256 x 256 canvas feeds both the SVG writer and the painter,
// so the two stay the same picture.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

struct Shape {
  enum Kind { RoundRect, Circle, Polygon } kind;
  std::vector<double> v;  // RoundRect: x y w h radius; Circle: cx cy r; Polygon: x y pairs
  const char* fill;       // "#rrggbb"
};

// A sheet with three script lines, and a picture (sky, sun, hills) in front of it, on a
// kiln-red tile.
const std::vector<Shape> kShapes = {
    {Shape::RoundRect, {8, 8, 240, 240, 44}, "#b5502d"},
    {Shape::RoundRect, {36, 30, 130, 160, 12}, "#fdf8f0"},
    {Shape::RoundRect, {56, 56, 90, 16, 6}, "#8a3a1f"},
    {Shape::RoundRect, {56, 88, 90, 16, 6}, "#8a3a1f"},
    {Shape::RoundRect, {56, 120, 60, 16, 6}, "#8a3a1f"},
    {Shape::RoundRect, {96, 104, 130, 116, 12}, "#ffffff"},
    {Shape::RoundRect, {108, 116, 106, 92, 4}, "#6fb7e8"},
    {Shape::Circle, {186, 142, 14}, "#ffd34d"},
    {Shape::Polygon, {108, 208, 144, 156, 170, 184, 188, 164, 214, 196, 214, 208}, "#3f8f4a"},
};

std::string SvgText() {
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
  char buf[256];
  for (const Shape& sh : kShapes) {
    const auto& v = sh.v;
    switch (sh.kind) {
      case Shape::RoundRect:
        std::snprintf(buf, sizeof buf,
                      "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" fill=\"%s\"/>\n", v[0],
                      v[1], v[2], v[3], v[4], sh.fill);
        s += buf;
        break;
      case Shape::Circle:
        std::snprintf(buf, sizeof buf, "  <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"%s\"/>\n", v[0], v[1], v[2],
                      sh.fill);
        s += buf;
        break;
      case Shape::Polygon: {
        s += "  <polygon points=\"";
        for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
          std::snprintf(buf, sizeof buf, "%s%g,%g", i == 0 ? "" : " ", v[i], v[i + 1]);
          s += buf;
        }
        s += "\" fill=\"" + std::string(sh.fill) + "\"/>\n";
        break;
      }
    }
  }
  return s + "</svg>\n";
}

QImage Render(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  p.setPen(Qt::NoPen);
  for (const Shape& sh : kShapes) {
    const auto& v = sh.v;
    p.setBrush(QColor(QString::fromLatin1(sh.fill)));
    switch (sh.kind) {
      case Shape::RoundRect:
        p.drawRoundedRect(QRectF(v[0], v[1], v[2], v[3]), v[4], v[4]);
        break;
      case Shape::Circle:
        p.drawEllipse(QPointF(v[0], v[1]), v[2], v[2]);
        break;
      case Shape::Polygon: {
        QPolygonF poly;
        for (std::size_t i = 0; i + 1 < v.size(); i += 2) poly << QPointF(v[i], v[i + 1]);
        p.drawPolygon(poly);
        break;
      }
    }
  }
  p.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s HICOLOR-FOLDER\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root(argv[1]);
  std::error_code ec;
  fs::create_directories(root / "scalable" / "apps", ec);
  std::ofstream svg(root / "scalable" / "apps" / "kilnmark.svg", std::ios::binary);
  svg << SvgText();
  if (!svg.flush()) {
    std::fprintf(stderr, "cannot write the SVG icon\n");
    return 1;
  }
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    fs::create_directories(root / dir / "apps", ec);
    const fs::path file = root / dir / "apps" / "kilnmark.png";
    if (!Render(size).save(QString::fromStdString(file.string()), "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      return 1;
    }
  }
  return 0;
}
