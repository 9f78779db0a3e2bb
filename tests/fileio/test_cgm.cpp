// CGM binary files built element by element, rendered through MetaToDIB at their
// natural size, with the pixels worked out by hand; the natural size rules; refusals.

#include <gtest/gtest.h>

#include "CgmBuilder.h"
#include "MetaTestUtil.h"

namespace km {
namespace {

using test::CgmBuilder;
using test::CgmParams;
using test::Pixels;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

imgx::Code ReadCgm(const std::vector<std::uint8_t>& bytes, Pixels* px, int* w = nullptr, int* h = nullptr) {
  test::TempFolder dir("cgm");
  const std::string path = dir.path("t.cgm");
  test::WriteBytes(path, bytes);
  imgx::MetafileHandle mf;
  int width = 0, height = 0;
  imgx::Code c = imgx::DecodeCGM(nullptr, path, &mf, &width, &height);
  EXPECT_EQ(c == imgx::kOk, mf != nullptr);
  if (c != imgx::kOk) return c;
  if (w) *w = width;
  if (h) *h = height;
  DibHandle dib;
  c = imgx::MetaToDIB(nullptr, mf.get(), &dib, 8, 0, 0, width, height, width, height, 0);
  if (c == imgx::kOk && px) *px = test::ToPixels(*dib);
  return c;
}

// A 100 x 50 VDC picture (y upwards): one VDC unit is one pixel, VDC y is 50 - row.
CgmBuilder Picture() { return CgmBuilder().extent(0, 0, 100, 50).body(); }

TEST(CgmShapes, SolidRectangleInTheDefaultColourTable) {
  // Index 2 of the default table is red. VDC (10, 10)-(30, 20) is x 10..30, rows 30..40.
  Pixels px;
  int w = 0, h = 0;
  ASSERT_EQ(ReadCgm(Picture().interior(1).fillIndex(2).rectangle(10, 10, 30, 20).bytes(), &px, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_TRUE(px.onlyRect(kRed, 10, 30, 30, 40, kWhite)) << px.rows();
}

TEST(CgmShapes, ColourTableAndDirectColour) {
  Pixels px;
  auto file = Picture()
                  .el(5, 34, CgmParams().u8(5).rgb(0, 0, 255))  // colour table: index 5 blue
                  .interior(1).fillIndex(5).rectangle(0, 0, 10, 10)
                  .bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kBlue, 0, 40, 10, 50, kWhite)) << px.rows();

  // Direct colour selection: the fill colour is three components.
  auto direct = CgmBuilder().el(2, 2, CgmParams().e(1)).extent(0, 0, 100, 50).body()
                    .interior(1).el(5, 23, CgmParams().rgb(0, 255, 0)).rectangle(90, 40, 100, 50).bytes();
  ASSERT_EQ(ReadCgm(direct, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kGreen, 90, 0, 100, 10, kWhite)) << px.rows();
}

TEST(CgmShapes, PolylineIsOnePixelWide) {
  // VDC y 25 is row 25; the line from x 10 to 40 lights columns 10..39.
  Pixels px;
  auto file = Picture().lineIndex(1).el(4, 1, CgmParams().pt(10, 25).pt(40, 25)).bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kBlack, 10, 25, 40, 26, kWhite)) << px.rows();
}

TEST(CgmShapes, PolygonSetKeepsItsHole) {
  // Two closed squares in one set: the inner one is a hole (flag 3 closes visibly).
  Pixels px;
  CgmParams p;
  for (auto [x, y, f] : {std::tuple{0, 0, 1}, {20, 0, 1}, {20, 20, 1}, {0, 20, 3},
                         {5, 5, 1}, {15, 5, 1}, {15, 15, 1}, {5, 15, 3}}) {
    p.pt(x, y).e(f);
  }
  ASSERT_EQ(ReadCgm(Picture().interior(1).fillIndex(1).el(4, 8, p).bytes(), &px), imgx::kOk);
  EXPECT_EQ(px.count(kBlack), 400 - 100) << px.rows();
  EXPECT_EQ(px.at(10, 40), kWhite);
  EXPECT_EQ(px.at(2, 48), kBlack);
}

TEST(CgmShapes, CircleAndEllipseAreRound) {
  Pixels px;
  auto file = Picture().interior(1).fillIndex(4)
                  .el(4, 12, CgmParams().pt(25, 25).s16(20))                  // circle, r 20
                  .el(4, 17, CgmParams().pt(75, 25).pt(95, 25).pt(75, 35))    // ellipse 20 x 10
                  .bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_NEAR(px.count(kBlue, 0, 0, 50, 50), 1257, 40);  // pi * 20^2
  EXPECT_NEAR(px.count(kBlue, 50, 0, 100, 50), 628, 30);  // pi * 20 * 10
  EXPECT_EQ(px.at(25, 25), kBlue);
  EXPECT_EQ(px.at(75, 25), kBlue);
  EXPECT_EQ(px.at(75, 12), kWhite);
}

TEST(CgmShapes, ArcCentreCloseAsPie) {
  // A quarter pie from 0 to 90 degrees (VDC y upwards): the upper right quadrant.
  Pixels px;
  auto file = Picture().interior(1).fillIndex(1)
                  .el(4, 16, CgmParams().pt(50, 25).s16(1).s16(0).s16(0).s16(1).s16(20).e(0))
                  .bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_NEAR(px.count(kBlack), 314, 25) << px.rows();
  EXPECT_EQ(px.count(kBlack, 0, 0, 50, 50), 0);
  EXPECT_EQ(px.count(kBlack, 0, 26, 100, 50), 0);
  EXPECT_EQ(px.at(55, 20), kBlack);
}

TEST(CgmShapes, CellArrayStretchesItsCells) {
  // 2 x 2 cells, indices 2 3 / 4 1 (packed, 8 bits each, rows padded to words), from
  // P = (0, 50) to Q = (20, 30) with the first row ending at R = (20, 50): 10 x 10 pixel cells.
  Pixels px;
  auto file = Picture()
                  .el(4, 9, CgmParams().pt(0, 50).pt(20, 30).pt(20, 50).s16(2).s16(2).s16(8).e(1)
                                .u8(2).u8(3).u8(4).u8(1))
                  .bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(kRed, 0, 0, 10, 10), 100) << px.rows();
  EXPECT_EQ(px.count(kGreen, 10, 0, 20, 10), 100);
  EXPECT_EQ(px.count(kBlue, 0, 10, 10, 20), 100);
  EXPECT_EQ(px.count(kBlack, 10, 10, 20, 20), 100);
  EXPECT_EQ(px.count(kWhite), 5000 - 400);
}

TEST(CgmShapes, ClipRectangleLimitsDrawing) {
  Pixels px;
  auto file = Picture().el(3, 5, CgmParams().pt(0, 0).pt(50, 50)).el(3, 6, CgmParams().e(1))
                  .interior(1).fillIndex(1).rectangle(0, 0, 100, 50).bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kBlack, 0, 0, 50, 50, kWhite));
}

TEST(CgmShapes, TextInItsColourAtItsPoint) {
  Pixels px;
  auto file = Picture().el(5, 14, CgmParams().u8(2)).el(5, 15, CgmParams().s16(10))
                  .el(4, 4, CgmParams().pt(10, 20).e(1).str("HI")).bytes();
  ASSERT_EQ(ReadCgm(file, &px), imgx::kOk);
  // Baseline at row 30, capitals about 10 pixels high, starting at x = 10.
  EXPECT_GT(px.count(kRed, 10, 18, 40, 31), 20) << px.rows();
  EXPECT_EQ(px.count(kRed) - px.count(kRed, 10, 18, 40, 31), 0);
}

TEST(CgmSize, NaturalSizeFollowsTheExtentAndScaling) {
  int w = 0, h = 0;
  ASSERT_EQ(ReadCgm(CgmBuilder().body().bytes(), nullptr, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 1024);  // default extent 0..32767 on both axes
  EXPECT_EQ(h, 1024);
  // Metric scaling, 0.5 mm per VDC unit: 254 x 127 units = 127 x 63.5 mm = 480 x 240 pixels.
  auto metric = CgmBuilder().el(2, 1, CgmParams().e(1).u8(0x3F).u8(0x00).u8(0x00).u8(0x00))
                    .extent(0, 0, 254, 127).body().bytes();
  ASSERT_EQ(ReadCgm(metric, nullptr, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 480);
  EXPECT_EQ(h, 240);
  // Real VDC 0..1: scaled to 1024 on the longer side.
  auto real = CgmBuilder().el(1, 3, CgmParams().e(1)).el(2, 6, CgmParams().fixed(0).fixed(0).fixed(1).fixed(0.5))
                  .body().bytes();
  ASSERT_EQ(ReadCgm(real, nullptr, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 512);
}

TEST(CgmRefusals, BrokenFilesGiveCodes) {
  // An element longer than what is left.
  auto cut = Picture().rectangle(0, 0, 10, 10).bytes(false);
  cut.erase(cut.end() - 3, cut.end());
  EXPECT_EQ(ReadCgm(cut, nullptr), imgx::kTruncated);
  // A long-form element whose length passes the end.
  auto longForm = Picture().bytes(false);
  for (int b : {0x40, 0xFF, 0x7F, 0xFF}) longForm.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(ReadCgm(longForm, nullptr), imgx::kTruncated);
  // Not starting with BEGIN METAFILE.
  EXPECT_EQ(ReadCgm({0x40, 0x80, 0, 0}, nullptr), imgx::kNotThisFormat);
  // The clear-text encoding.
  const std::string text = "BEGMF 'x';";
  EXPECT_EQ(ReadCgm(std::vector<std::uint8_t>(text.begin(), text.end()), nullptr), imgx::kUnsupportedVariant);
  // An integer precision the encoding does not have.
  EXPECT_EQ(ReadCgm(CgmBuilder().el(1, 4, CgmParams().s16(12)).body().bytes(), nullptr), imgx::kUnsupportedVariant);
  // An empty VDC extent.
  EXPECT_EQ(ReadCgm(CgmBuilder().extent(5, 5, 5, 9).body().bytes(), nullptr), imgx::kBadDimensions);
  // A cell array claiming far more cells than its data holds.
  auto cells = Picture().el(4, 9, CgmParams().pt(0, 0).pt(10, 10).pt(10, 0).s16(30000).s16(30000).s16(8).e(1))
                   .bytes();
  EXPECT_EQ(ReadCgm(cells, nullptr), imgx::kCorrupt);
}

}  // namespace
}  // namespace km
