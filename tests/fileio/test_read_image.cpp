#include <gtest/gtest.h>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"

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

TEST_F(ReadImage, MetafilesHaveNoReader) {
  test::WriteBytes(dir.path("a.wmf"), {0xD7, 0xCD, 0xC6, 0x9A, 0, 0});
  EXPECT_EQ(Read(dir.path("a.wmf")), 1000);
  EXPECT_EQ(type, 22);
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
