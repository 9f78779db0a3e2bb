// Draws the sample images and writes the sample scripts of examples/, and the built-in
// preview picture of res/. Run by hand when they need to change:
//   kilnmark_make_examples <repository root>
// Everything is drawn from formulas, so the files are the same on every run.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>

#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "script/ScriptFile.h"

namespace {

using km::Dib;
using km::DibHandle;
namespace imgx = km::imgx;

constexpr double kPi = std::numbers::pi;

// A picture with a sky gradient, a sun, hills and a house: smooth areas, hard edges and
// a few saturated colours, so every command has something to work on.
DibHandle DrawLandscape(int w, int h, double phase) {
  DibHandle dib;
  if (Dib::Create(w, h, 24, 0, &dib) != km::kOk) {
    return nullptr;
  }
  const double sunX = w * (0.25 + 0.5 * phase);
  const double sunY = h * 0.28;
  const double sunR = h * 0.12;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = dib->row(h - 1 - y);  // y from the top
    const double t = static_cast<double>(y) / h;
    const double hill = h * (0.62 + 0.08 * std::sin(phase * 3.0));
    for (int x = 0; x < w; ++x) {
      const double u = static_cast<double>(x) / w;
      double r = 40 + 120 * t;
      double g = 90 + 110 * t;
      double b = 200 + 40 * (1 - t);
      const double dx = x - sunX;
      const double dy = y - sunY;
      if (dx * dx + dy * dy < sunR * sunR) {
        r = 255, g = 210, b = 60;
      }
      const double ridge = hill + h * 0.07 * std::sin(2 * kPi * (u * 1.5 + phase)) +
                           h * 0.03 * std::sin(2 * kPi * u * 7);
      if (y > ridge) {
        const double d = (y - ridge) / (h - ridge + 1);
        r = 30 + 60 * d;
        g = 120 + 70 * std::sin(3 * kPi * d + u * 4);
        b = 40 + 30 * d;
      }
      const bool wall = u > 0.62 && u < 0.80 && t > 0.55 && t < 0.78;
      const bool roof = t > 0.42 && t <= 0.55 && std::fabs(u - 0.71) < (t - 0.42) * 0.9;
      const bool door = u > 0.69 && u < 0.73 && t > 0.66 && t < 0.78;
      if (roof) {
        r = 170, g = 40, b = 35;
      } else if (door) {
        r = 90, g = 55, b = 25;
      } else if (wall) {
        r = 235, g = 225, b = 200;
      }
      row[3 * x] = static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, b))));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, g))));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, r))));
    }
  }
  return dib;
}

// An 8-bit greyscale test chart: ramps and circles.
DibHandle DrawChart(int w, int h) {
  DibHandle dib;
  if (Dib::Create(w, h, 8, 256, &dib) != km::kOk) {
    return nullptr;
  }
  for (int i = 0; i < 256; ++i) {
    dib->colors()[i] = km::RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                   static_cast<std::uint8_t>(i), 0};
  }
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = dib->row(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      int v = x * 255 / (w - 1);
      if (y > h / 2) {
        const double dx = x - w * 0.5;
        const double dy = y - h * 0.75;
        v = (static_cast<int>(std::sqrt(dx * dx + dy * dy)) / 12) % 2 == 0 ? 40 : 215;
      }
      row[x] = static_cast<std::uint8_t>(v);
    }
  }
  return dib;
}

// A 16-colour drawing: stripes of the first 16 table entries.
DibHandle DrawSixteen(int w, int h) {
  DibHandle dib;
  if (Dib::Create(w, h, 4, 16, &dib) != km::kOk) {
    return nullptr;
  }
  static const int kColors[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  for (int i = 0; i < 16; ++i) {
    dib->colors()[i] = km::RgbQuad{static_cast<std::uint8_t>(kColors[i][2]), static_cast<std::uint8_t>(kColors[i][1]),
                                   static_cast<std::uint8_t>(kColors[i][0]), 0};
  }
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = dib->row(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const int v = ((x / 20) + (y / 20)) % 16;
      if (x % 2 == 0) {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0x0F) | (v << 4));
      } else {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0xF0) | v);
      }
    }
  }
  return dib;
}

bool Check(int code, const std::string& what) {
  if (code != 0) {
    std::fprintf(stderr, "%s: code %d\n", what.c_str(), code);
    return false;
  }
  return true;
}

std::unique_ptr<km::CScriptCommand> Command(int code) {
  auto c = std::make_unique<km::CScriptCommand>(code);
  c->Int1 = c->Int2 = c->Int3 = c->Int4 = c->Int5 = 0;
  return c;
}

// "Set Output Options": format is the output list's 0-based index.
std::unique_ptr<km::CScriptCommand> Output(int format, int subType, const std::string& folder) {
  auto c = Command(544);
  c->Int1 = format;
  c->Int2 = subType;
  c->Int3 = 300;
  c->Int4 = 15;
  c->Text1 = folder;
  return c;
}

bool SaveScript(const std::string& path, km::CScript& script) {
  std::string message;
  if (km::WriteScriptFile(path, script, &message) != 0) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <repository root>\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root = argv[1];
  const fs::path images = root / "examples" / "images";
  fs::create_directories(images);
  bool ok = true;

  DibHandle a = DrawLandscape(1024, 768, 0.1);
  DibHandle b = DrawLandscape(800, 600, 0.6);
  DibHandle c = DrawLandscape(640, 480, 0.9);
  DibHandle chart = DrawChart(400, 300);
  DibHandle sixteen = DrawSixteen(320, 200);
  ok = ok && a && b && c && chart && sixteen;
  ok = ok && Check(imgx::EncodeJPG(nullptr, (images / "meadow.jpg").string(), a.get(), 90, 300, 0), "meadow.jpg");
  ok = ok && Check(imgx::EncodePNG(nullptr, (images / "evening.png").string(), b.get(), nullptr, 5, 0, 0, -1),
                   "evening.png");
  ok = ok && Check(imgx::EncodeTIF(nullptr, (images / "morning.tif").string(), c.get(), nullptr, 5, 0, 300),
                   "morning.tif");
  ok = ok && Check(imgx::EncodeBMP(nullptr, (images / "chart.bmp").string(), chart.get(), 0), "chart.bmp");
  ok = ok && Check(imgx::EncodePCX(nullptr, (images / "stripes.pcx").string(), sixteen.get(), 2, 300), "stripes.pcx");

  DibHandle preview = DrawLandscape(276, 187, 0.35);
  ok = ok && preview &&
       Check(imgx::EncodeBMP(nullptr, (root / "res" / "Preview.bmp").string(), preview.get(), 0), "Preview.bmp");

  // Web thumbnails: 640 x 480, sharpened, 256 colours, GIF 89a.
  km::CScript web;
  auto resize = Command(501);
  resize->Int1 = 2;
  web.Append(std::move(resize));
  web.Append(Command(541));
  auto colours = Command(522);
  colours->Int2 = 2;  // error diffusion
  web.Append(std::move(colours));
  web.Append(Output(5, 3, "out/examples/web-gif"));
  ok = ok && SaveScript((root / "examples" / "web-gif.rsq").string(), web);

  // Greyscale with an equalised histogram, PNG.
  km::CScript grey;
  grey.Append(Command(512));
  grey.Append(Command(513));
  grey.Append(Output(18, 0, "out/examples/grey-png"));
  ok = ok && SaveScript((root / "examples" / "grey-png.rsq").string(), grey);

  // Brighter, with more contrast, a white frame, JPEG.
  km::CScript framed;
  auto tone = Command(502);
  tone->Int1 = 10;
  tone->Int2 = 15;
  framed.Append(std::move(tone));
  auto border = Command(509);
  border->Int1 = border->Int2 = border->Int3 = border->Int4 = 12;
  border->Color1 = km::MakeRgb(255, 255, 255);
  framed.Append(std::move(border));
  framed.Append(Command(523));
  framed.Append(Output(9, 0, "out/examples/framed-jpg"));
  ok = ok && SaveScript((root / "examples" / "framed-jpg.rsq").string(), framed);

  // The pictures as they are read, PNG: what scripts/convert-webp-svg.sh runs over the
  // WebP and SVG samples of examples/filters/.
  km::CScript png;
  png.Append(Output(18, 0, "out/examples/filters-png"));
  ok = ok && SaveScript((root / "examples" / "filters-png.rsq").string(), png);

  return ok ? 0 : 1;
}
