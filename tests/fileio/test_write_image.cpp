#include <gtest/gtest.h>

#include "fileio/WriteImage.h"
#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"

namespace km {
namespace {

DibHandle Mono(int w, int h) {
  DibHandle d = test::MakeDib(w, h, 1, 2);
  d->colors()[1] = RgbQuad{255, 255, 255, 0};
  return d;
}

struct DepthCase {
  const char* name;
  int format;
  int subType;
  int kind;  // 1, 4, 8 colour, 80 grey, 24
  int width;
  int height;
  int message;
};

DibHandle Make(int kind, int w, int h) {
  if (kind == 80) {
    return test::MakeGrey(w, h);
  }
  if (kind == 1) {
    return Mono(w, h);
  }
  return test::MakePatterned(w, h, kind, 1);
}

const DepthCase kDepthCases[] = {
    {"GifFrom24Bits", kOutGIF, 3, 24, 4, 4, 5009},
    {"GifFrom8Bits", kOutGIF, 3, 8, 4, 4, 0},
    {"JpgFrom8BitColour", kOutJPG, 0, 8, 4, 4, 5008},
    {"JpgFrom8BitGrey", kOutJPG, 0, 80, 4, 4, 0},
    {"JifFrom4Bits", kOutJIF, 1, 4, 4, 4, 5008},
    {"MacPaintWrongSize", kOutMAC, 0, 1, 640, 480, 5012},
    {"MacPaintRightSize", kOutMAC, 1, 1, 576, 720, 0},
    {"MacPaintRightSizeWrongDepth", kOutMAC, 0, 4, 576, 720, 5012},
    {"BmpRleFrom24", kOutBMP, 2, 24, 4, 4, 5010},
    {"BmpOs2From24", kOutBMP, 0, 24, 4, 4, 0},
    {"DibRleFrom4", kOutDIB, 2, 4, 4, 4, 0},
    {"CutFrom4", kOutCUT, 0, 4, 4, 4, 5006},
    {"ImgFromGrey", kOutIMG, 0, 80, 4, 4, 0},
    {"ImgFromColour", kOutIMG, 0, 8, 4, 4, 5011},
    {"MspFrom4", kOutMSP, 0, 4, 4, 4, 5007},
    {"PbmFrom1", kOutPBM, 1, 1, 4, 4, 0},
    {"PcxV0From4", kOutPCX, 0, 4, 4, 4, 5007},
    {"PcxV2From8", kOutPCX, 1, 8, 4, 4, 5013},
    {"PcxV2From4", kOutPCX, 1, 4, 4, 4, 0},
    {"PcxV5From24", kOutPCX, 2, 24, 4, 4, 0},
    {"PgmFromColour", kOutPGM, 0, 8, 4, 4, 5014},
    {"PpmFromGrey", kOutPPM, 0, 80, 4, 4, 5005},
    {"RasFrom4", kOutRAS, 0, 4, 4, 4, 5015},
    {"CisRleLarge", kOutRLE, 0, 1, 256, 192, 0},
    {"CisRleSmall", kOutRLE, 0, 1, 128, 96, 0},
    {"CisRleOtherSize", kOutRLE, 0, 1, 256, 96, 5017},
    {"WindowsRleFrom1", kOutRLE, 1, 1, 4, 4, 5010},
    {"Tga8From24", kOutTGA, 1, 24, 4, 4, 5006},
    {"Tga24From8", kOutTGA, 4, 8, 4, 4, 5005},
    {"TifFaxFrom8", kOutTIF, 0, 80, 4, 4, 5007},
    {"TifLzwFrom8", kOutTIF, 2, 80, 4, 4, 0},
    {"PngAnything", kOutPNG, 1, 4, 4, 4, 0},
    {"WpgFrom24", kOutWPG, 0, 24, 4, 4, 5009},
};

class OutputDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(OutputDepth, MessageOrNone) {
  const DepthCase& c = GetParam();
  DibHandle dib = Make(c.kind, c.width, c.height);
  EXPECT_EQ(CheckOutputDepth(c.format, c.subType, dib.get()), c.message);
}

INSTANTIATE_TEST_SUITE_P(Table, OutputDepth, testing::ValuesIn(kDepthCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(OutputDepthInvalid, NullImageIs5002) { EXPECT_EQ(CheckOutputDepth(kOutBMP, 0, nullptr), 5002); }

TEST(ReplaceExtension, NamesDotsAndFolders) {
  EXPECT_EQ(ReplaceExtension("/out/photo", kOutJPG), "/out/photo.jpg");
  EXPECT_EQ(ReplaceExtension("/out/holiday.2024.bmp", kOutJPG), "/out/holiday.2024.jpg");
  EXPECT_EQ(ReplaceExtension("/out.d/v1.2/photo", kOutTIF), "/out.d/v1.2/photo.tif");
  EXPECT_EQ(ReplaceExtension("/out.d/photo.gif", kOutPNG), "/out.d/photo.png");
  EXPECT_EQ(ReplaceExtension("photo.tga", kOutRLE), "photo.rle");
  const std::string deep = "/" + std::string(300, 'a') + "/" + std::string(300, 'b') + ".x";
  EXPECT_EQ(ReplaceExtension(deep, kOutWPG), deep.substr(0, deep.size() - 2) + ".wpg");
}

// Options with the given format and sub-type, the rest from `base`.
OutputOptions As(int format, int subType, OutputOptions base = {}) {
  base.format = format;
  base.subType = subType;
  return base;
}

// The lists a caller checks before writing: each format's sub-types count from 0.
TEST(IsOutputListed, FormatsOneToTwentySevenWithTheirSubTypes) {
  EXPECT_TRUE(IsOutputListed(kOutBMP, 2));
  EXPECT_FALSE(IsOutputListed(kOutBMP, 3));
  EXPECT_TRUE(IsOutputListed(kOutTGA, 5));  // six TGA sub-types
  EXPECT_FALSE(IsOutputListed(kOutTGA, 6));
  EXPECT_TRUE(IsOutputListed(kOutCLP, 0));  // "None" only
  EXPECT_FALSE(IsOutputListed(kOutCLP, 1));
  EXPECT_TRUE(IsOutputListed(kOutWPG, 2));
  EXPECT_FALSE(IsOutputListed(kOutWPG, -1));
  EXPECT_FALSE(IsOutputListed(0, 0));
  EXPECT_FALSE(IsOutputListed(28, 0));
}

class TransparencyRules : public testing::Test {
protected:
  OutputOptions options;
  void Set(int type, int index = -1, std::uint32_t colour = 0) {
    options.transparencyType = type;
    options.transparentIndex = index;
    options.transparentColor = colour;
  }
};

TEST_F(TransparencyRules, EachOutTransType) {
  DibHandle pal = test::MakeDib(2, 2, 4, 3);
  pal->colors()[0] = RgbQuad{0, 0, 0, 0};
  pal->colors()[1] = RgbQuad{0, 0, 200, 0};    // red 200
  pal->colors()[2] = RgbQuad{250, 250, 250, 0};
  Set(0);
  EXPECT_EQ(OutputTransparentIndex(options, pal.get(), 7), 7);
  Set(1);
  EXPECT_EQ(OutputTransparentIndex(options, pal.get(), 7), -1);
  Set(2, -1, MakeRgb(190, 10, 0));  // nearest: entry 1 (100 + 100 + 0 = 200 away)
  EXPECT_EQ(OutputTransparentIndex(options, pal.get(), 7), 1);
  Set(3, 2);
  EXPECT_EQ(OutputTransparentIndex(options, pal.get(), 7), 2);
  // A table of 2^bits entries (biClrUsed 0) is searched whole, not taken as empty.
  DibHandle full = test::MakePatterned(2, 2, 4, 1);
  ASSERT_EQ(full->header().biClrUsed, 16u);
  BitmapInfoHeader h = full->header();
  h.biClrUsed = 0;
  full->setHeader(h);
  const RgbQuad q = full->colors()[9];
  Set(2, -1, MakeRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
  EXPECT_EQ(OutputTransparentIndex(options, full.get(), 7), 9);
  DibHandle rgb = test::MakeRgb(2, 2, 1, 2, 3);
  Set(2, -1, MakeRgb(1, 2, 3));
  EXPECT_EQ(OutputTransparentIndex(options, rgb.get(), 7), -1);
}

TEST_F(TransparencyRules, Gif87aNeverCarriesTransparency) {
  test::TempFolder dir("write");
  DibHandle pal = test::MakePatterned(3, 3, 8, 2);
  Set(3, 4);
  for (int subType : {0, 1, 2, 3}) {
    const std::string path = dir.path("t" + std::to_string(subType) + ".gif");
    options.format = kOutGIF;
    options.subType = subType;
    ASSERT_EQ(WriteImageFile(nullptr, options, path, pal.get(), nullptr, 0, 9), imgx::kOk);
    DibHandle back;
    std::int16_t t = 0;
    ASSERT_EQ(imgx::DecodeGIF(nullptr, path, &back, &t), imgx::kOk);
    EXPECT_EQ(t, subType >= 2 ? 4 : -1) << subType;
    const auto bytes = test::ReadBytes(path);
    EXPECT_EQ(bytes[4], subType >= 2 ? '9' : '7');
  }
}

TEST(WriteImageFile, SubTypesPickTheEncoderArguments) {
  test::TempFolder dir("write");
  OutputOptions options;
  options.compression = 15;
  options.dpi = 150;
  DibHandle pal = test::MakePatterned(5, 4, 8, 3);
  // BMP: 0 OS/2 (12-byte header), 1 Windows RGB, 2 Windows RLE (RLE8).
  ASSERT_EQ(WriteImageFile(nullptr, As(kOutBMP, 0, options), dir.path("a.bmp"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(test::ReadBytes(dir.path("a.bmp"))[14], 12);
  ASSERT_EQ(WriteImageFile(nullptr, As(kOutBMP, 1, options), dir.path("b.bmp"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(test::ReadBytes(dir.path("b.bmp"))[14], 40);
  ASSERT_EQ(WriteImageFile(nullptr, As(kOutRLE, 1, options), dir.path("c.rle"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(test::ReadBytes(dir.path("c.rle"))[30], 1);
  // JPG: quality 100 - 15 = 85 (first luminance entry 5), density 150 dpi, sub-type 1 progressive.
  DibHandle grey = test::MakeGrey(9, 9, 100);
  ASSERT_EQ(WriteImageFile(nullptr, As(kOutJPG, 1, options), dir.path("d.jpg"), grey.get(), nullptr, 1, -1), 0);
  const auto jpg = test::ReadBytes(dir.path("d.jpg"));
  EXPECT_EQ(jpg[13], 1);   // JFIF units: dots per inch
  EXPECT_EQ(jpg[15], 150);  // X density low byte
  bool progressive = false;
  for (std::size_t i = 0; i + 4 < jpg.size(); ++i) {
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xDB) {
      EXPECT_EQ(jpg[i + 5], 5);
    }
    progressive = progressive || (jpg[i] == 0xFF && jpg[i + 1] == 0xC2);
  }
  EXPECT_TRUE(progressive);
  // PNG sub-type 1 is interlaced (IHDR interlace byte).
  ASSERT_EQ(WriteImageFile(nullptr, As(kOutPNG, 1, options), dir.path("e.png"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(test::ReadBytes(dir.path("e.png"))[28], 1);
  // TIF sub-type 0 is Group 3 fax, which only 1-bit images reach.
  EXPECT_EQ(WriteImageFile(nullptr, As(kOutTIF, 0, options), dir.path("f.tif"), pal.get(), nullptr, 0, -1),
            imgx::kDepthNotWritable);
}

TEST(WriteImageFile, OutsideTheListsNothingIsWritten) {
  test::TempFolder dir("write");
  DibHandle pal = test::MakePatterned(2, 2, 8, 3);
  EXPECT_EQ(WriteImageFile(nullptr, As(0, 0), dir.path("a"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(WriteImageFile(nullptr, As(28, 0), dir.path("b"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(WriteImageFile(nullptr, As(kOutBMP, 3), dir.path("c"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_EQ(WriteImageFile(nullptr, As(kOutCLP, 1), dir.path("d"), pal.get(), nullptr, 0, -1), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path("")));
}

TEST(WriteImageFile, AFailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
  test::TempFolder dir("write");
  test::WriteBytes(dir.path("out.gif"), {'o', 'l', 'd'});
  DibHandle rgb = test::MakeRgb(3, 3, 1, 2, 3);
  EXPECT_EQ(WriteImageFile(nullptr, As(kOutGIF, 3), dir.path("out.gif"), rgb.get(), nullptr, 0, -1),
            imgx::kDepthNotWritable);
  EXPECT_EQ(test::ReadBytes(dir.path("out.gif")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path(""))) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(PaletteFromDIB, TableOrColourCube) {
  std::unique_ptr<LogPalette> pal;
  DibHandle four = test::MakeDib(2, 2, 4, 3);
  four->colors()[2] = RgbQuad{30, 20, 10, 0};
  ASSERT_EQ(PaletteFromDIB(four.get(), &pal), kOk);
  EXPECT_EQ(pal->version, 0x300);
  ASSERT_EQ(pal->entries.size(), 3u);
  EXPECT_EQ(pal->entries[2].red, 10);
  EXPECT_EQ(pal->entries[2].blue, 30);

  DibHandle rgb = test::MakeRgb(2, 2, 0, 0, 0);
  ASSERT_EQ(PaletteFromDIB(rgb.get(), &pal), kOk);
  ASSERT_EQ(pal->entries.size(), 256u);
  // entry 255: red 32 * 7, green 32 * 7, blue 64 * 3; entry 73: red 32, green 32, blue 64
  EXPECT_EQ(pal->entries[255].red, 224);
  EXPECT_EQ(pal->entries[255].green, 224);
  EXPECT_EQ(pal->entries[255].blue, 192);
  EXPECT_EQ(pal->entries[73].red, 32);
  EXPECT_EQ(pal->entries[73].green, 32);
  EXPECT_EQ(pal->entries[73].blue, 64);
  EXPECT_EQ(PaletteFromDIB(nullptr, &pal), kInvalidArgument);
}

}  // namespace
}  // namespace km
