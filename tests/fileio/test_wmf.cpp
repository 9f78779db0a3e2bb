// Windows metafiles: files built record by record with the pixels they must give worked
// out by hand, the drawing state (mapping, saved states, mixes, clipping), bitmaps,
// refusals of broken files, and the writer read back by us and by libwmf.

#include <gtest/gtest.h>

#include <cstdlib>

#include "MetaTestUtil.h"
#include "WmfBuilder.h"
#include "fileio/WriteImage.h"
#include "fileio/meta/WmfReader.h"

namespace km {
namespace {

using test::Pixels;
using test::WmfBuilder;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xFF0000, kBlue = 0x0000FF;
// The same colours as metafile COLORREF values (0x00BBGGRR).
constexpr std::uint32_t kRefRed = 0x0000FF, kRefBlue = 0xFF0000, kRefGreen = 0x00FF00;

// A 20 x 10 placeable picture at 96 units per inch: one unit is one pixel. Object 0 is
// a null pen, object 1 a red brush.
WmfBuilder Canvas() {
  return WmfBuilder::Placeable(0, 0, 20, 10, 96).pen(5, 0, 0).brush(0, kRefRed).select(0).select(1);
}

TEST(WmfShapes, FilledRectangleCoversThePixelsInsideItsEdges) {
  Pixels px;
  ASSERT_EQ(test::DecodeWmfBytes(Canvas().rectangle(2, 2, 8, 6).bytes(), &px), imgx::kOk);
  EXPECT_EQ(px.width, 20);
  EXPECT_EQ(px.height, 10);
  EXPECT_TRUE(px.onlyRect(kRed, 2, 2, 8, 6, kWhite)) << px.rows();
}

TEST(WmfShapes, OnePixelLineLightsEveryPixelButTheLast) {
  Pixels px;
  auto file = WmfBuilder::Placeable(0, 0, 20, 10, 96).pen(0, 0, 0).select(0).moveTo(3, 5).lineTo(12, 5).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kBlack, 3, 5, 12, 6, kWhite)) << px.rows();
}

TEST(WmfShapes, RectangleOutlineAndFill) {
  // A one-pixel black pen round a red interior.
  Pixels px;
  auto file = WmfBuilder::Placeable(0, 0, 20, 10, 96).pen(0, 1, 0).brush(0, kRefRed).select(0).select(1)
                  .rectangle(2, 2, 10, 8).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.at(5, 2), kBlack) << px.rows();
  EXPECT_EQ(px.at(2, 5), kBlack);
  EXPECT_EQ(px.at(5, 5), kRed);
  EXPECT_EQ(px.at(1, 1), kWhite);
  EXPECT_EQ(px.at(12, 5), kWhite);
}

TEST(WmfShapes, PolyPolygonFillModes) {
  // Two nested squares drawn the same way round: alternate leaves the inner one
  // empty, winding fills it.
  for (int mode : {1, 2}) {
    Pixels px;
    auto file = Canvas()
                    .rec(0x0106, {mode})
                    .words(0x0538, {2, 4, 4, 0, 0, 10, 0, 10, 10, 0, 10, 3, 3, 7, 3, 7, 7, 3, 7})
                    .bytes();
    ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
    EXPECT_EQ(px.count(kRed, 0, 0, 10, 10), mode == 1 ? 100 - 16 : 100) << px.rows();
    EXPECT_EQ(px.at(5, 5), mode == 1 ? kWhite : kRed);
  }
}

TEST(WmfShapes, EllipseIsSymmetricAndInsideItsBox) {
  Pixels px;
  auto file = WmfBuilder::Placeable(0, 0, 40, 40, 96).pen(5, 0, 0).brush(0, kRefBlue).select(0).select(1)
                  .ellipse(0, 0, 40, 40).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.at(20, 20), kBlue);
  EXPECT_EQ(px.at(0, 0), kWhite);
  EXPECT_EQ(px.at(39, 39), kWhite);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(px.at(x, y), px.at(39 - x, y)) << x << "," << y;
  // The area of a circle of radius 20, within a few edge pixels.
  EXPECT_NEAR(px.count(kBlue), 1257, 40);
}

TEST(WmfMapping, WindowExtentStretchesOntoTheBounds) {
  // A 10 x 5 window on the 20 x 10 picture: each logical unit is 2 x 2 pixels.
  Pixels px;
  auto file = Canvas().windowOrg(0, 0).windowExt(10, 5).rectangle(1, 1, 3, 2).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kRed, 2, 2, 6, 4, kWhite)) << px.rows();
}

TEST(WmfMapping, WindowOriginShifts) {
  Pixels px;
  auto file = Canvas().windowOrg(-5, -1).windowExt(20, 10).rectangle(0, 0, 2, 2).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kRed, 5, 1, 7, 3, kWhite)) << px.rows();
}

TEST(WmfMapping, MetricModeTurnsYUpwards) {
  // MM_LOENGLISH: 0.01 inch a unit, y upwards, 0.96 pixels a unit at 96 per inch. The
  // window origin (0, 10) is the picture's top-left corner, so the rectangle
  // (0, 10)..(4, 8) covers x 0..3.84 and y 0..1.92: pixel columns 0..3, rows 0..1.
  Pixels px;
  auto file = Canvas().mapMode(4).windowOrg(0, 10).rectangle(0, 10, 4, 8).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_TRUE(px.onlyRect(kRed, 0, 0, 4, 2, kWhite)) << px.rows();
}

TEST(WmfState, RestoreDcBringsBackTheSavedBrush) {
  Pixels px;
  auto file = Canvas()
                  .brush(0, kRefBlue)  // object 2
                  .rec(0x001E, {})     // SaveDC with the red brush
                  .select(2)
                  .rec(0x0127, {-1})   // RestoreDC(-1)
                  .rectangle(0, 0, 4, 4)
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(kRed), 16);
  EXPECT_EQ(px.count(kBlue), 0);
}

TEST(WmfState, DeletedSlotIsReusedByTheNextObject) {
  Pixels px;
  auto file = Canvas().remove(1).brush(0, kRefBlue).select(1).rectangle(0, 0, 2, 2).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(kBlue), 4);
}

TEST(WmfState, Rop2NotAndXor) {
  // R2_NOT turns white black; R2_XORPEN with red (FF0000) over black gives red, over
  // white gives cyan.
  Pixels px;
  auto file = Canvas()
                  .rec(0x0104, {6})  // R2_NOT
                  .rectangle(0, 0, 10, 10)
                  .rec(0x0104, {7})  // R2_XORPEN
                  .rectangle(5, 0, 15, 10)
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.at(2, 5), kBlack);
  EXPECT_EQ(px.at(7, 5), kRed);
  EXPECT_EQ(px.at(12, 5), 0x00FFFFu);
  EXPECT_EQ(px.at(17, 5), kWhite);
}

TEST(WmfState, ClipRectanglesIntersectAndExclude) {
  Pixels px;
  auto file = Canvas()
                  .rec(0x0416, {8, 16, 2, 4})  // IntersectClipRect(4, 2, 16, 8)
                  .rec(0x0415, {6, 12, 4, 8})  // ExcludeClipRect(8, 4, 12, 6)
                  .rectangle(0, 0, 20, 10)
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(kRed), 12 * 6 - 4 * 2) << px.rows();
  EXPECT_EQ(px.at(9, 5), kWhite);
  EXPECT_EQ(px.at(4, 2), kRed);
  EXPECT_EQ(px.at(3, 2), kWhite);
}

TEST(WmfState, HatchedBrushWithTransparentBackground) {
  Pixels px;
  auto file = WmfBuilder::Placeable(0, 0, 16, 16, 96).pen(5, 0, 0).brush(2, kRefBlue, 0).select(0).select(1)
                  .rec(0x0102, {1})  // transparent
                  .rectangle(0, 0, 16, 16).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  // Horizontal hatch: one row in eight.
  EXPECT_EQ(px.count(kBlue), 2 * 16);
  EXPECT_EQ(px.count(kWhite), 14 * 16);
}

TEST(WmfBitmaps, StretchDibScalesEachPixelToABlock) {
  Pixels px;
  auto file = WmfBuilder::Placeable(0, 0, 8, 8, 96)
                  .stretchDib(2, 2, 4, 4, 2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000})
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(0xFF0000, 2, 2, 4, 4), 4) << px.rows();
  EXPECT_EQ(px.count(0x00FF00, 4, 2, 6, 4), 4);
  EXPECT_EQ(px.count(0x0000FF, 2, 4, 4, 6), 4);
  EXPECT_EQ(px.count(0x000000, 4, 4, 6, 6), 4);
  EXPECT_EQ(px.count(kWhite), 64 - 16);
}

TEST(WmfBitmaps, SourceInvertCombinesWithThePicture) {
  // SRCINVERT (XOR) of white over a red rectangle gives cyan there, black elsewhere.
  Pixels px;
  auto file = Canvas().rectangle(0, 0, 10, 10)
                  .stretchDib(0, 0, 20, 10, 1, 1, {0xFFFFFF}, 0x00660046)
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.at(5, 5), 0x00FFFFu);
  EXPECT_EQ(px.at(15, 5), kBlack);
}

TEST(WmfText, TextLandsAtItsReferencePointInItsColour) {
  Pixels px;
  // Font: height -20 (em 20), face "DejaVu Sans"; text colour red, transparent background.
  std::vector<std::uint8_t> font;
  for (int w : {-20, 0, 0, 0, 400}) WmfBuilder::put16(font, static_cast<std::uint16_t>(w));
  for (int i = 0; i < 8; ++i) font.push_back(0);
  for (char c : std::string("DejaVu Sans")) font.push_back(static_cast<std::uint8_t>(c));
  font.push_back(0);
  auto file = WmfBuilder::Placeable(0, 0, 100, 40, 96)
                  .raw(0x02FB, font).select(0)
                  .rec(0x0209, {int(kRefRed & 0xFFFF), int(kRefRed >> 16)})
                  .rec(0x0102, {1})
                  .raw(0x0521, {4, 0, 'H', 'I', 'H', 'I', 5, 0, 10, 0})  // TextOut at (10, 5)
                  .bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  // Top-aligned: the glyphs lie right of x = 10 and below y = 5, within one em.
  EXPECT_GT(px.count(kRed, 10, 5, 70, 26), 40);
  EXPECT_EQ(px.count(kRed) - px.count(kRed, 10, 5, 70, 26), 0);
}

TEST(WmfText, LargeGlyphsAreFilledAsOutlines) {
  // An em of 300 pixels: the capital H's two stems and bar cover thousands of pixels.
  Pixels px;
  std::vector<std::uint8_t> font;
  for (int w : {-300, 0, 0, 0, 400}) WmfBuilder::put16(font, static_cast<std::uint16_t>(w));
  for (int i = 0; i < 8; ++i) font.push_back(0);
  for (char c : std::string("DejaVu Sans")) font.push_back(static_cast<std::uint8_t>(c));
  font.push_back(0);
  auto file = WmfBuilder::Placeable(0, 0, 300, 320, 96).raw(0x02FB, font).select(0)
                  .rec(0x0209, {int(kRefRed & 0xFFFF), int(kRefRed >> 16)}).rec(0x0102, {1})
                  .raw(0x0521, {1, 0, 'H', 0, 0, 0, 10, 0}).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_GT(px.count(kRed), 5000);
  EXPECT_EQ(px.count(kRed, 0, 0, 10, 320), 0);
}

TEST(WmfMapping, RepeatedScalingKeepsTheExtentFinite) {
  WmfBuilder b = Canvas().windowOrg(0, 0).windowExt(20, 10);
  for (int i = 0; i < 200; ++i) b.rec(0x0410, {1, 30000, 1, 30000});  // ScaleWindowExt x30000
  Pixels px;
  ASSERT_EQ(test::DecodeWmfBytes(b.rectangle(0, 0, 10, 10).bytes(), &px), imgx::kOk);
  EXPECT_LE(px.count(kRed), 200);
}

TEST(WmfPlain, SizeComesFromTheSettingsOrTheWindow) {
  auto file = WmfBuilder::Plain().windowOrg(0, 0).windowExt(50, 25).pen(5, 0, 0).brush(0, kRefRed)
                  .select(0).select(1).rectangle(0, 0, 25, 25).bytes();
  Pixels px;
  ASSERT_EQ(test::DecodeWmfBytes(file, &px, 100, 60), imgx::kOk);
  EXPECT_EQ(px.width, 100);
  EXPECT_EQ(px.height, 60);
  EXPECT_TRUE(px.onlyRect(kRed, 0, 0, 50, 60, kWhite));
  ASSERT_EQ(test::DecodeWmfBytes(file, &px, 0, 0), imgx::kOk);
  EXPECT_EQ(px.width, 50);
  EXPECT_EQ(px.height, 25);
}

TEST(WmfRefusals, BrokenFilesGiveCodes) {
  const auto good = Canvas().rectangle(0, 0, 4, 4).bytes();
  // Cut inside the last record.
  auto cut = good;
  cut.resize(cut.size() - 10);
  EXPECT_EQ(test::DecodeWmfBytes(cut, nullptr), imgx::kTruncated);
  // A record claiming more words than the file has.
  EXPECT_EQ(test::DecodeWmfBytes(Canvas().lyingRecord(0x041B, 100000, {0, 0, 4, 0, 4, 0, 0, 0}).bytes(false),
                                 nullptr),
            imgx::kTruncated);
  // A record of fewer than three words.
  EXPECT_EQ(test::DecodeWmfBytes(Canvas().lyingRecord(0x041B, 2, {}).bytes(), nullptr), imgx::kCorrupt);
  // A polygon whose count passes its record.
  EXPECT_EQ(test::DecodeWmfBytes(Canvas().words(0x0324, {30000, 0, 0, 5, 5}).bytes(), nullptr), imgx::kCorrupt);
  // Saved states nested beyond the bound.
  WmfBuilder deep = Canvas();
  for (int i = 0; i <= meta::kMaxSavedStates; ++i) deep.rec(0x001E, {});
  EXPECT_EQ(test::DecodeWmfBytes(deep.bytes(), nullptr), imgx::kCorrupt);
  // Bounds that make a picture far beyond the largest image.
  EXPECT_EQ(test::DecodeWmfBytes(WmfBuilder::Placeable(-32000, -32000, 32000, 32000, 1).rectangle(0, 0, 1, 1).bytes(),
                                 nullptr),
            imgx::kBadDimensions);
  // Units per inch of zero.
  EXPECT_EQ(test::DecodeWmfBytes(WmfBuilder::Placeable(0, 0, 10, 10, 0).bytes(), nullptr), imgx::kCorrupt);
  // Not a metafile.
  EXPECT_EQ(test::DecodeWmfBytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr),
            imgx::kNotThisFormat);
}

TEST(WmfRefusals, UnknownRecordsAreSkippedBySize) {
  Pixels px;
  auto file = Canvas().rec(0x0BEE, {1, 2, 3, 4, 5}).rectangle(0, 0, 2, 2).bytes();
  ASSERT_EQ(test::DecodeWmfBytes(file, &px), imgx::kOk);
  EXPECT_EQ(px.count(kRed), 4);
}

}  // namespace
}  // namespace km
