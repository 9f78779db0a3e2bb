// PC Paint pictures: files built byte by byte from the published layout, round trips
// for the depths the writer accepts, and the bad-file corpus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"
#include "fileio/LegacyBadFiles.h"

namespace km::imgx {
namespace {

using km::test::GetPixel;
using km::test::SetPixel;

struct PicFile {
  std::vector<std::uint8_t> b;
  void u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
  void u16(unsigned v) { u8(v & 0xFF); u8(v >> 8); }
  void header(int w, int h, unsigned planeInfo, unsigned palType, const std::vector<std::uint8_t>& pal) {
    u16(0x1234);
    u16(w);
    u16(h);
    u16(0);
    u16(0);
    u8(planeInfo);
    u8(0xFF);
    u8('L');
    u16(palType);
    u16(static_cast<unsigned>(pal.size()));
    b.insert(b.end(), pal.begin(), pal.end());
  }
  // One block around packed data.
  void block(unsigned unpacked, unsigned marker, const std::vector<std::uint8_t>& data) {
    u16(static_cast<unsigned>(data.size() + 5));
    u16(unpacked);
    u8(marker);
    b.insert(b.end(), data.begin(), data.end());
  }
};

class PicTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = km::test::MakeTempDir("pic"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_ + "/t.pic";
    EXPECT_EQ(WriteFileBytes(path, bytes), kOk);
    return path;
  }
  std::string dir_;
};

TEST_F(PicTest, EightBitVgaWithBothRunForms) {
  // 5 x 2, bottom row first: bottom = 7 7 7 7 7 (marker, count 5), top = 1 2 3 then
  // marker, 0, 16-bit count 2, value 9.
  PicFile f;
  std::vector<std::uint8_t> pal(768, 0);
  pal[3 * 7] = 63;      // entry 7 red 63 -> 255
  pal[3 * 9 + 1] = 32;  // entry 9 green 32 -> 130
  pal[3 * 1 + 2] = 1;   // entry 1 blue 1 -> 4
  f.header(5, 2, 0x08, 4, pal);
  f.u16(1);
  f.block(10, 0xEE, {0xEE, 5, 7, 1, 2, 3, 0xEE, 0, 2, 0, 9});
  DibHandle dib;
  ASSERT_EQ(DecodePIC(nullptr, Write(f.b), &dib), kOk);
  ASSERT_EQ(ValidateDib(dib.get()), kOk);
  ASSERT_EQ(dib->bitCount(), 8);
  const std::uint32_t top[5] = {1, 2, 3, 9, 9};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 1), 7u);
    EXPECT_EQ(GetPixel(*dib, x, 0), top[x]);
  }
  EXPECT_EQ(dib->colors()[7].rgbRed, 255);
  EXPECT_EQ(dib->colors()[9].rgbGreen, 130);
  EXPECT_EQ(dib->colors()[1].rgbBlue, 4);
}

TEST_F(PicTest, EgaPlanesCombineIntoFourBits) {
  // 3 x 1, four planes of one byte each: plane p holds bit p of every pixel.
  // Pixels 5 (0101), 10 (1010), 15 (1111).
  PicFile f;
  f.header(3, 1, 0x31, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0x3F});
  f.u16(0);  // stored without packing
  f.u8(0xA0);  // plane 0: 1 0 1
  f.u8(0x60);  // plane 1: 0 1 1
  f.u8(0xA0);  // plane 2: 1 0 1
  f.u8(0x60);  // plane 3: 0 1 1
  DibHandle dib;
  ASSERT_EQ(DecodePIC(nullptr, Write(f.b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 4);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 5u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 10u);
  EXPECT_EQ(GetPixel(*dib, 2, 0), 15u);
  // EGA colour 5 = blue 2/3 + red 2/3; 0x3F = white.
  EXPECT_EQ(dib->colors()[5].rgbRed, 0xAA);
  EXPECT_EQ(dib->colors()[5].rgbGreen, 0);
  EXPECT_EQ(dib->colors()[5].rgbBlue, 0xAA);
  EXPECT_EQ(dib->colors()[15].rgbGreen, 0xFF);
}

TEST_F(PicTest, CgaTwoBitsWidenToFour) {
  PicFile f;
  f.header(4, 1, 0x02, 1, {1, 1});  // background blue, palette 1
  f.u16(0);
  f.u8(0x1B);  // 0 1 2 3
  DibHandle dib;
  ASSERT_EQ(DecodePIC(nullptr, Write(f.b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 4);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), static_cast<std::uint32_t>(x));
  }
  EXPECT_EQ(dib->colors()[0].rgbBlue, 0xAA);
  EXPECT_EQ(dib->colors()[3].rgbRed, 0xAA);  // light grey
}

TEST_F(PicTest, NotPcPaintAnswers315) {
  // The start of a Lotus picture.
  DibHandle dib;
  EXPECT_EQ(DecodePIC(nullptr, Write({0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x44, 0x00, 0x00, 0x00}),
                      &dib),
            kNotPcPaint);
  EXPECT_EQ(dib, nullptr);
}

// Colours whose channels survive the 6-bit palette: level k widened.
std::uint8_t Level(int k) { return static_cast<std::uint8_t>((k << 2) | (k >> 4)); }

class PicRoundTrip : public PicTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(PicRoundTrip, PixelsAndPaletteSurvive) {
  const auto [bits, width] = GetParam();
  DibHandle src = km::test::MakeDib(width, 7, bits);
  for (int i = 0; i < src->colorCount(); ++i) {
    src->colors()[i] = RgbQuad{Level((i * 7) % 64), Level((i * 13) % 64), Level((i * 29) % 64), 0};
  }
  km::test::FillRandom(*src, 77u + bits);
  // A long run so the packer emits runs, including one longer than 255.
  if (bits == 8) {
    for (int x = 0; x < width; ++x) {
      SetPixel(*src, x, 3, 200);
    }
  }
  const std::string path = dir_ + "/rt.pic";
  ASSERT_EQ(EncodePIC(nullptr, path, src.get()), kOk);
  DibHandle back;
  ASSERT_EQ(DecodePIC(nullptr, path, &back), kOk);
  std::string why;
  EXPECT_TRUE(km::test::SamePixels(*src, *back, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Depths, PicRoundTrip,
                         ::testing::Combine(::testing::Values(1, 4, 8), ::testing::Values(1, 13, 301)));

TEST_F(PicTest, TwentyFourBitsIsNotWritable) {
  DibHandle src = km::test::MakeRgb(3, 3, 1, 2, 3);
  EXPECT_EQ(EncodePIC(nullptr, dir_ + "/x.pic", src.get()), kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/x.pic"));
}

TEST(PicBadFiles, EveryFileGivesACodeAndNoImage) {
  km::test::ExpectBadCorpus("pic", [](const std::string& path, DibHandle* out) {
    return DecodePIC(nullptr, path, out);
  });
}

}  // namespace
}  // namespace km::imgx
