#include <gtest/gtest.h>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "fileio/WriteImage.h"
#include "fileio/meta/Meta.h"
#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km {
namespace {

class ReadImage : public testing::Test {
protected:
  FileTypeTable table;
  InputPreferences preferences;
  test::TempFolder dir{"read"};
  DibHandle dib;
  ImageTypeCode type = 0;
  std::int16_t transparent = 99;
  imgx::ExtraHandle extra;

  imgx::Code Read(const std::string& path, int index = 0) {
    ReadResult r = ReadImageFile(nullptr, table, preferences, path, index);
    dib = std::move(r.image);
    type = r.type;
    transparent = r.transparentIndex;
    extra = std::move(r.extra);
    return r.code;
  }
};

TEST_F(ReadImage, MissingFileIs201) {
  EXPECT_EQ(Read(dir.path("none.bmp")), 201);
  EXPECT_EQ(dib, nullptr);
  EXPECT_EQ(transparent, -1);
}

TEST_F(ReadImage, UnknownContentIs103) {
  test::WriteBytes(dir.path("notes.txt1"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(Read(dir.path("notes.txt1")), 103);
  EXPECT_EQ(type, kTypeNotRecognised);
}

TEST_F(ReadImage, PlaceableMetafileReadsAtItsOwnSize) {
  DibHandle src = test::MakePatterned(9, 4, 24, 2);
  std::unique_ptr<LogPalette> palette;
  ASSERT_EQ(PaletteFromDIB(src.get(), &palette), km::kOk);
  ASSERT_EQ(imgx::EncodeWMF(nullptr, dir.path("a.wmf"), src.get(), palette.get()), imgx::kOk);
  preferences.metafileWidth = 50;  // for plain metafiles only
  ASSERT_EQ(Read(dir.path("a.wmf")), imgx::kOk);
  EXPECT_EQ(type, 22);
  EXPECT_TRUE(test::SameColours(*src, *dib));
  // A cut placeable header is a code now, not "no reader".
  test::WriteBytes(dir.path("b.wmf"), {0xD7, 0xCD, 0xC6, 0x9A, 0, 0});
  EXPECT_EQ(Read(dir.path("b.wmf")), imgx::kTruncated);
  EXPECT_EQ(dib, nullptr);
}

TEST_F(ReadImage, PlainMetafileTakesTheInputPreferencesSize) {
  // Header, a 10 x 10 window, a black brush filling the left half, end.
  std::vector<std::uint8_t> f = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 1, 0, 7, 0, 0, 0, 0, 0};
  auto rec = [&](std::initializer_list<int> words) {
    for (int w : words) {
      f.push_back(static_cast<std::uint8_t>(w & 0xFF));
      f.push_back(static_cast<std::uint8_t>((w >> 8) & 0xFF));
    }
  };
  rec({5, 0, 0x020B, 0, 0});                  // SetWindowOrg(0, 0)
  rec({5, 0, 0x020C, 10, 10});                // SetWindowExt(10, 10)
  rec({7, 0, 0x02FC, 0, 0, 0, 0});            // CreateBrushIndirect: solid black
  rec({4, 0, 0x012D, 0});                     // SelectObject(0)
  rec({7, 0, 0x041B, 10, 5, 0, 0});           // Rectangle(0, 0, 5, 10)
  rec({3, 0, 0});
  test::WriteBytes(dir.path("p.wmf"), f);
  preferences.metafileWidth = 40;
  preferences.metafileHeight = 20;
  ASSERT_EQ(Read(dir.path("p.wmf")), imgx::kOk);
  EXPECT_EQ(dib->width(), 40);
  EXPECT_EQ(dib->height(), 20);
  EXPECT_EQ(test::RgbPixels(*dib)[0], 0u);
  EXPECT_EQ(test::RgbPixels(*dib)[39], 0xFFFFFFu);
}

TEST_F(ReadImage, LotusDrawingWithThePcPaintExtensionTakesTheLotusPath) {
  std::vector<std::uint8_t> f = {1, 0, 0, 0, 1, 0, 8, 0, 0x44, 0, 0, 0, 0, 0, 99, 0, 49};  // 100 x 50
  for (int b : {0xB1, 0x30, 3, 0, 0, 0, 0, 0, 50, 0, 0, 0, 50, 0, 50, 0, 0, 0, 50, 0x60}) {
    f.push_back(static_cast<std::uint8_t>(b));
  }
  test::WriteBytes(dir.path("chart.pic"), f);
  ASSERT_EQ(Read(dir.path("chart.pic")), imgx::kOk);
  EXPECT_EQ(type, 17);
  EXPECT_EQ(dib->width(), 100);
  EXPECT_EQ(dib->height(), 50);
  // The filled square covers the left half in the second pen's red.
  EXPECT_EQ(test::RgbPixels(*dib)[0], 0xFF0000u);
  EXPECT_EQ(test::RgbPixels(*dib)[99], 0xFFFFFFu);
}

TEST_F(ReadImage, CgmReadsThroughTheMetafileRenderer) {
  // BEGIN METAFILE, VDC extent 0..20 x 0..10, BEGIN PICTURE and BODY, solid interior,
  // RECTANGLE (0, 0)-(10, 10) in the default foreground black, END PICTURE, END METAFILE.
  test::WriteBytes(dir.path("a.cgm"), {0x00, 0x21, 0x00, 0x00, 0x20, 0xC8, 0, 0, 0, 0, 0, 20, 0, 10, 0x00, 0x61,
                                       0x00, 0x00, 0x00, 0x80, 0x52, 0xC2, 0x00, 0x01, 0x41, 0x68, 0, 0, 0, 0, 0,
                                       10, 0, 10, 0x00, 0xA0, 0x00, 0x40});
  ASSERT_EQ(Read(dir.path("a.cgm")), imgx::kOk);
  EXPECT_EQ(type, 111);
  ASSERT_EQ(dib->width(), 20);
  ASSERT_EQ(dib->height(), 10);
  EXPECT_EQ(test::RgbPixels(*dib)[0], 0u);
  EXPECT_EQ(test::RgbPixels(*dib)[19], 0xFFFFFFu);
}

TEST_F(ReadImage, GifFillsTheTransparentIndex) {
  DibHandle src = test::MakePatterned(3, 3, 4, 1);
  ASSERT_EQ(imgx::EncodeGIF(nullptr, dir.path("a.gif"), src.get(), 1, 0, 5), imgx::kOk);
  ASSERT_EQ(Read(dir.path("a.gif")), imgx::kOk);
  EXPECT_EQ(type, 6);
  EXPECT_EQ(transparent, 5);
  EXPECT_TRUE(test::SamePixels(*src, *dib));
}

TEST_F(ReadImage, PngFillsExtraAndTransparentIndex) {
  DibHandle src = test::MakePatterned(3, 3, 8, 1);
  imgx::ImageExtra keep;
  keep.xDpi = 96;
  keep.yDpi = 96;
  ASSERT_EQ(imgx::EncodePNG(nullptr, dir.path("a.png"), src.get(), &keep, 5, 0, 0, 2), imgx::kOk);
  ASSERT_EQ(Read(dir.path("a.png")), imgx::kOk);
  EXPECT_EQ(transparent, 2);
  ASSERT_NE(extra, nullptr);
  EXPECT_NEAR(extra->xDpi, 96, 0.02);  // 3780 pixels a metre
}

TEST_F(ReadImage, RleFilesGoToTheDecoderTheirContentNames) {
  DibHandle pal = test::MakePatterned(5, 4, 8, 3);
  ASSERT_EQ(imgx::EncodeBMP(nullptr, dir.path("w.rle"), pal.get(), 2), imgx::kOk);
  ASSERT_EQ(Read(dir.path("w.rle")), imgx::kOk);
  EXPECT_EQ(type, 19);
  EXPECT_TRUE(test::SamePixels(*pal, *dib));

  DibHandle mono = test::MakeDib(128, 96, 1, 2);
  mono->colors()[1] = RgbQuad{255, 255, 255, 0};
  test::FillRandom(*mono, 2);
  ASSERT_EQ(imgx::EncodeCISRLE(nullptr, dir.path("c.rle"), mono.get()), imgx::kOk);
  ASSERT_EQ(Read(dir.path("c.rle")), imgx::kOk);
  EXPECT_TRUE(test::SamePixels(*mono, *dib));
}

TEST_F(ReadImage, ChosenEntryDecidesTheDecoder) {
  DibHandle src = test::MakePatterned(3, 3, 24, 1);
  ASSERT_EQ(imgx::EncodePNG(nullptr, dir.path("a.png"), src.get(), nullptr, 5, 0, 0, -1), imgx::kOk);
  // Entry 6 is GIF: the GIF decoder refuses the PNG and its code comes back.
  EXPECT_EQ(Read(dir.path("a.png"), 6), imgx::kNotThisFormat);
  EXPECT_EQ(type, 6);
  EXPECT_EQ(dib, nullptr);
  EXPECT_EQ(Read(dir.path("a.png"), 21), imgx::kOk);  // PNG
}

}  // namespace
}  // namespace km
