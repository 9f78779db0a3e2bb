// Windows metafiles against libwmf's wmf2gd: the files EncodeWMF writes come back with
// the same pixels from our reader and from wmf2gd; a drawing built record by record
// renders here and there with few differing pixels (the share is printed).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "MetaTestUtil.h"
#include "WmfBuilder.h"
#include "fileio/WriteImage.h"

namespace km {
namespace {

using test::Pixels;
using test::WmfBuilder;

// wmf2gd's rendering of `path` at exactly width x height, as pixels.
bool PeerRender(const std::string& path, int width, int height, Pixels* out) {
  const std::string png = path + ".png";
  const int rc = test::RunPeer({"wmf2gd", "--maxwidth=" + std::to_string(width),
                                "--maxheight=" + std::to_string(height), "--maxsize", "-t", "png", "-o", png, path});
  if (rc != 0) return false;
  DibHandle dib;
  imgx::ExtraHandle extra;
  std::int16_t transparent = -1;
  if (imgx::DecodePNG(nullptr, png, &dib, &extra, &transparent) != imgx::kOk) return false;
  *out = test::ToPixels(*dib);
  return true;
}

imgx::Code WriteWmf(const Dib& dib, const std::string& path) {
  std::unique_ptr<LogPalette> palette;
  EXPECT_EQ(PaletteFromDIB(&dib, &palette), km::kOk);
  return imgx::EncodeWMF(nullptr, path, &dib, palette.get());
}

TEST(WmfWriter, OurReaderGivesBackEveryPixel) {
  test::TempFolder dir("wmfw");
  for (int bits : {1, 4, 8, 24}) {
    for (int width : {1, 7, 32}) {
      DibHandle src = test::MakePatterned(width, 5, bits, 17u + static_cast<unsigned>(bits));
      const std::string path = dir.path("o.wmf");
      ASSERT_EQ(WriteWmf(*src, path), imgx::kOk);
      DibHandle back;
      ASSERT_EQ(imgx::DecodeWMF(nullptr, path, &back, 0, 0, 0), imgx::kOk);
      std::string why;
      EXPECT_TRUE(test::SameColours(*src, *back, 0, &why)) << bits << " bits, width " << width << ": " << why;
    }
  }
}

TEST(WmfWriter, RecordsFollowTheLayout) {
  test::TempFolder dir("wmfl");
  DibHandle src = test::MakePatterned(3, 2, 8, 5);
  const std::string path = dir.path("o.wmf");
  ASSERT_EQ(WriteWmf(*src, path), imgx::kOk);
  const std::vector<std::uint8_t> b = test::ReadBytes(path);
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(b[at] | (b[at + 1] << 8)); };
  auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
  ASSERT_GT(b.size(), 40u);
  EXPECT_EQ(u32(0), 0x9AC6CDD7u);
  EXPECT_EQ(u16(10), 3u);   // right
  EXPECT_EQ(u16(12), 2u);   // bottom
  EXPECT_EQ(u16(14), 96u);  // units per inch
  unsigned sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= u16(i);
  EXPECT_EQ(u16(20), sum);
  EXPECT_EQ(u32(22 + 6) * 2, b.size() - 22);  // file size in words
  // Records: map mode, window origin and extent, palette (256 entries), select,
  // realize, StretchDIBits, end.
  std::vector<unsigned> functions;
  std::uint32_t largest = 0;
  for (std::size_t at = 40; at + 6 <= b.size();) {
    const std::uint32_t words = u32(at);
    functions.push_back(u16(at + 4));
    largest = std::max(largest, words);
    at += words * 2;
  }
  EXPECT_EQ(functions, (std::vector<unsigned>{0x0103, 0x020B, 0x020C, 0x00F7, 0x0234, 0x0035, 0x0F43, 0x0000}));
  EXPECT_EQ(u32(22 + 12), largest);
}

// ImageMagick reads metafiles through libwmf; at 96 dots per inch our files map one
// unit to one pixel and it gives back every pixel. (wmf2gd has no density option: it
// renders at 72 per inch and smooths bitmaps when it scales them.)
bool HaveImageMagickWmf() {
  test::TempFolder dir("imwmf");
  const std::string list = dir.path("formats");
  if (test::RunPeer({"convert-im6.q16", "-list", "format"}, {}, list) != 0) return false;
  const std::vector<std::uint8_t> bytes = test::ReadBytes(list);
  return std::string(bytes.begin(), bytes.end()).find(" WMF") != std::string::npos;
}

bool ImageMagickRender(const std::string& path, Pixels* out) {
  const std::string ppm = path + ".ppm";
  if (test::RunPeer({"convert-im6.q16", "-density", "96", "+antialias", path, ppm}) != 0) return false;
  DibHandle dib = test::ReadPnmFile(ppm);
  if (!dib) return false;
  *out = test::ToPixels(*dib);
  return true;
}

TEST(WmfWriter, ImageMagickGivesBackEveryPixel) {
  if (!HaveImageMagickWmf()) GTEST_SKIP() << "ImageMagick without its WMF coder";
  test::TempFolder dir("wmfp");
  for (int bits : {1, 4, 8, 24}) {
    DibHandle src = test::MakePatterned(23, 11, bits, 3u + static_cast<unsigned>(bits));
    const std::string path = dir.path("o.wmf");
    ASSERT_EQ(WriteWmf(*src, path), imgx::kOk);
    Pixels peer;
    ASSERT_TRUE(ImageMagickRender(path, &peer)) << bits;
    EXPECT_EQ(peer.rgb, test::ToPixels(*src).rgb) << bits << " bits";
  }
}

// A drawing with the common records: pens of several widths and styles, solid and
// hatched brushes, rectangles, ellipses, polygons, arcs, pies, chords, round
// rectangles, a polyline and a bitmap, on a window of its own.
std::vector<std::uint8_t> Drawing() {
  WmfBuilder b = WmfBuilder::Placeable(0, 0, 400, 300, 96);
  b.objects(16).mapMode(8).windowOrg(0, 0).windowExt(800, 600);
  // A white background over the whole window first: libwmf fits the bounds of what is
  // drawn to its picture, so the drawing must reach the window's edges.
  b.pen(5, 0, 0).select(0).brush(0, 0xFFFFFF).select(1).rectangle(0, 0, 800, 600).remove(0).remove(1);
  b.pen(0, 0, 0x000000).select(0);                   // 0 black hairline
  b.brush(0, 0x0000FF).select(1);                    // 1 red
  b.rectangle(20, 20, 200, 140);
  b.brush(0, 0xFF0000).select(2);                    // 2 blue
  b.ellipse(240, 20, 460, 180);
  b.pen(0, 6, 0x008000).select(3);                   // 3 green, 6 units wide
  b.brush(2, 0x00FFFF, 3).select(4);                 // 4 yellow rising hatch
  b.polygon({520, 40, 760, 60, 700, 220, 560, 180});
  b.select(0).brush(0, 0x808080).select(5);          // 5 grey
  b.rec(0x081A, {250, 780, 500, 600, 480, 780, 300, 560});  // pie
  b.rec(0x0830, {400, 20, 300, 200, 520, 220, 300, 20});    // chord
  b.rec(0x061C, {40, 60, 560, 460, 420, 260});              // round rectangle
  b.pen(0, 2, 0xFF00FF).select(6);
  b.polyline({20, 560, 120, 440, 220, 560, 320, 440});
  b.rec(0x0817, {580, 780, 440, 780, 590, 790, 430, 600});  // arc
  std::vector<std::uint32_t> rgb;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) rgb.push_back(((x + y) & 1) ? 0x2040A0u : 0xE0C020u);
  b.stretchDib(600, 300, 160, 120, 8, 8, rgb);
  return b.bytes();
}

// The share of pixels where two renders differ, printed for the record.
double DifferingShare(const Pixels& a, const Pixels& b, const char* peer) {
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  if (a.rgb.size() != b.rgb.size()) return 100;
  int differ = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) differ += a.rgb[i] != b.rgb[i];
  const double share = 100.0 * differ / static_cast<double>(a.rgb.size());
  std::printf("[ %s ] %d of %zu pixels differ (%.2f%%)\n", peer, differ, a.rgb.size(), share);
  return share;
}

// Where the renders part (measured on this drawing): wmf2gd leaves the ellipse
// unfilled, squares the round rectangle's corners, smooths the bitmap, spaces its
// hatch lines differently and draws the pie and chord radii its own way; ImageMagick
// places the stretched bitmap elsewhere and blurs it, and widens one-pixel outlines.
// Straight edges of rectangles and polygons agree pixel for pixel with wmf2gd.
TEST(WmfPeers, DrawingAgreesWithLibwmf) {
  KM_REQUIRE_PEER("wmf2gd");
  test::TempFolder dir("wmfd");
  const std::string path = dir.path("d.wmf");
  test::WriteBytes(path, Drawing());
  Pixels ours, peer;
  ASSERT_EQ(test::DecodeWmfBytes(Drawing(), &ours), imgx::kOk);
  ASSERT_TRUE(PeerRender(path, ours.width, ours.height, &peer));
  EXPECT_LT(DifferingShare(ours, peer, "wmf2gd"), 16.0);
  // The red rectangle with its black hairline, edge for edge.
  for (int y = 5; y < 75; ++y)
    for (int x = 5; x < 105; ++x) ASSERT_EQ(ours.at(x, y), peer.at(x, y)) << x << "," << y;
}

TEST(WmfPeers, DrawingAgreesWithImageMagick) {
  if (!HaveImageMagickWmf()) GTEST_SKIP() << "ImageMagick without its WMF coder";
  test::TempFolder dir("wmfi");
  const std::string path = dir.path("d.wmf");
  test::WriteBytes(path, Drawing());
  Pixels ours, peer;
  ASSERT_EQ(test::DecodeWmfBytes(Drawing(), &ours), imgx::kOk);
  ASSERT_TRUE(ImageMagickRender(path, &peer));
  EXPECT_LT(DifferingShare(ours, peer, "ImageMagick"), 16.0);
}

}  // namespace
}  // namespace km
