// Lotus 1-2-3 graph files built opcode by opcode, rendered through MetaToDIB at their
// natural size with the pixels worked out by hand; the image depth MetaToDIB chooses.

#include <gtest/gtest.h>

#include "CgmBuilder.h"
#include "MetaTestUtil.h"

namespace km {
namespace {

using test::LotusBuilder;
using test::Pixels;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xFF0000;

imgx::Code ReadLotus(const std::vector<std::uint8_t>& bytes, Pixels* px, int* w = nullptr, int* h = nullptr,
                     int bits = 8, int* depth = nullptr) {
  test::TempFolder dir("lpic");
  const std::string path = dir.path("t.pic");
  test::WriteBytes(path, bytes);
  imgx::MetafileHandle mf;
  int width = 0, height = 0;
  imgx::Code c = imgx::DecodeLPIC(nullptr, path, &mf, &width, &height);
  EXPECT_EQ(c == imgx::kOk, mf != nullptr);
  if (c != imgx::kOk) return c;
  if (w) *w = width;
  if (h) *h = height;
  DibHandle dib;
  c = imgx::MetaToDIB(nullptr, mf.get(), &dib, bits, 0, 0, width, height, width, height, 0);
  if (c == imgx::kOk) {
    if (px) *px = test::ToPixels(*dib);
    if (depth) *depth = dib->bitCount();
  }
  return c;
}

TEST(LotusPic, FilledPolygonAndLine) {
  // A 100 x 50 plot: x is the column, plot y is row 49 - y. The square (10, 10)-(30, 20)
  // covers columns 10..29 and rows 29..38; the line at y = 5 is row 44, columns 10..39.
  Pixels px;
  int w = 0, h = 0;
  auto file = LotusBuilder(100, 50)
                  .colour(1).op(0x30).op(3).xy(10, 10).xy(30, 10).xy(30, 20).xy(10, 20)
                  .colour(0).move(10, 5).draw(40, 5)
                  .bytes();
  ASSERT_EQ(ReadLotus(file, &px, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_EQ(px.count(kRed), 20 * 10) << px.rows();
  EXPECT_EQ(px.count(kRed, 10, 29, 30, 39), 200);
  EXPECT_EQ(px.count(kBlack), 30);
  EXPECT_EQ(px.count(kBlack, 10, 44, 40, 45), 30);
}

TEST(LotusPic, PrintGraphPlotIsScaledDown) {
  // The 3200 x 2311 plot of every 1-2-3 file: 1024 x 740 pixels, 0.32 a unit across and
  // 740 / 2311 = 0.320208 down.
  Pixels px;
  int w = 0, h = 0;
  auto file = LotusBuilder().colour(1).op(0x30).op(3).xy(0, 0).xy(1000, 0).xy(1000, 1000).xy(0, 1000).bytes();
  ASSERT_EQ(ReadLotus(file, &px, &w, &h), imgx::kOk);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 740);
  // x 0..320: columns 0..319; y from (2310 - 1000) * 0.320208 = 419.47 to 2310 * 0.320208
  // = 739.68: the rows whose centres lie between, 419..739.
  EXPECT_EQ(px.count(kRed), 320 * 321);
  EXPECT_EQ(px.at(0, 739), kRed);
  EXPECT_EQ(px.at(319, 419), kRed);
  EXPECT_EQ(px.at(320, 500), kWhite);
  EXPECT_EQ(px.at(100, 418), kWhite);
}

TEST(LotusPic, TextIsDrawnAroundItsPoint) {
  // Centred below the point (place 2): the text hangs under (50, 40) = column 50, row 9.
  Pixels px;
  auto file = LotusBuilder(100, 50).colour(1).op(0xAC).xy(8, 10).move(50, 40).text(2, "TT").bytes();
  ASSERT_EQ(ReadLotus(file, &px), imgx::kOk);
  EXPECT_GT(px.count(kRed), 10) << px.rows();
  EXPECT_EQ(px.count(kRed, 0, 0, 100, 9), 0);
  EXPECT_GT(px.count(kRed, 40, 9, 50, 25), 0);
  EXPECT_GT(px.count(kRed, 50, 9, 60, 25), 0);
}

TEST(LotusPic, RefusalsGiveCodes) {
  EXPECT_EQ(ReadLotus(LotusBuilder(100, 50).move(1, 1).bytes(false), nullptr), imgx::kTruncated);
  EXPECT_EQ(ReadLotus(LotusBuilder(100, 50).op(0x30).op(200).xy(0, 0).bytes(), nullptr), imgx::kTruncated);
  EXPECT_EQ(ReadLotus(LotusBuilder(100, 50).op(0x12).bytes(), nullptr), imgx::kCorrupt);
  EXPECT_EQ(ReadLotus({0x01, 0x00, 0x00, 0x00, 0x02}, nullptr), imgx::kNotThisFormat);
  EXPECT_EQ(ReadLotus(LotusBuilder(1, 1).bytes(), nullptr), imgx::kBadDimensions);
}

TEST(MetaToDib, DepthFollowsTheColoursUsed) {
  auto twoColours = LotusBuilder(100, 50).colour(1).op(0x30).op(2).xy(0, 0).xy(50, 0).xy(0, 40).bytes();
  int depth = 0;
  Pixels px;
  ASSERT_EQ(ReadLotus(twoColours, &px, nullptr, nullptr, 8, &depth), imgx::kOk);
  EXPECT_EQ(depth, 8);
  ASSERT_EQ(ReadLotus(twoColours, &px, nullptr, nullptr, 1, &depth), imgx::kOk);
  EXPECT_EQ(depth, 1);
  EXPECT_GT(px.count(kRed), 0);
  ASSERT_EQ(ReadLotus(twoColours, &px, nullptr, nullptr, 24, &depth), imgx::kOk);
  EXPECT_EQ(depth, 24);
  // Three colours do not fit in one bit.
  auto three = LotusBuilder(100, 50).colour(1).move(0, 0).draw(50, 0).colour(2).move(0, 10).draw(50, 10).bytes();
  ASSERT_EQ(ReadLotus(three, &px, nullptr, nullptr, 1, &depth), imgx::kOk);
  EXPECT_EQ(depth, 24);
}

TEST(MetaToDib, FrameAndSizeAreChecked) {
  imgx::MetafileHandle mf = std::make_unique<meta::Metafile>();
  DibHandle dib;
  EXPECT_EQ(imgx::MetaToDIB(nullptr, mf.get(), &dib, 8, 0, 0, 0, 10, 10, 10, 0), imgx::kBadDimensions);
  EXPECT_EQ(imgx::MetaToDIB(nullptr, mf.get(), &dib, 8, 0, 0, 10, 10, 0, 10, 0), imgx::kBadDimensions);
  EXPECT_EQ(imgx::MetaToDIB(nullptr, mf.get(), &dib, 8, 0, 0, 10, 10, 32767, 32767, 0), imgx::kBadDimensions);
  EXPECT_EQ(dib, nullptr);
  ASSERT_EQ(imgx::MetaToDIB(nullptr, mf.get(), &dib, 8, 0, 0, 10, 10, 3, 2, 0), imgx::kOk);
  EXPECT_EQ(dib->width(), 3);
  EXPECT_EQ(dib->height(), 2);
}

}  // namespace
}  // namespace km
