#include <gtest/gtest.h>

#include <cstring>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

using test::GetPixel;

struct BmpCase {
  int kind;  // 0 Windows RGB, 1 OS/2, 2 Windows RLE
  int bits;
  int width;
};

std::string CaseName(const testing::TestParamInfo<BmpCase>& i) {
  static const char* kKinds[] = {"Windows", "Os2", "Rle"};
  return std::string(kKinds[i.param.kind]) + std::to_string(i.param.bits) + "bit" + std::to_string(i.param.width) +
         "wide";
}

std::vector<BmpCase> AllCases() {
  std::vector<BmpCase> v;
  for (int kind : {0, 1}) {
    for (int bits : {1, 4, 8, 24}) {
      for (int width : {1, 7, 33}) {
        v.push_back({kind, bits, width});
      }
    }
  }
  for (int bits : {4, 8}) {
    for (int width : {1, 6, 7, 300}) {
      v.push_back({2, bits, width});
    }
  }
  return v;
}

class BmpRoundTrip : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpRoundTrip, ReadsBackIdenticalPixels) {
  const BmpCase c = GetParam();
  test::TempFolder dir("bmp");
  DibHandle src = test::MakePatterned(c.width, 5, c.bits, 11u + c.width);
  if (c.kind == 2) {
    // Long runs as well as noise, so both encoded and absolute runs occur.
    for (int x = 0; x < c.width / 2; ++x) {
      test::SetPixel(*src, x, 1, 3);
      test::SetPixel(*src, x, 2, x % 2);
    }
  }
  const std::string path = dir.path("x.bmp");
  ASSERT_EQ(EncodeBMP(nullptr, path, src.get(), c.kind), kOk);
  DibHandle back;
  ASSERT_EQ(DecodeBMP(nullptr, path, &back), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*src, *back, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTrip, testing::ValuesIn(AllCases()), CaseName);

TEST(BmpEncode, RleRefusesOtherDepths) {
  test::TempFolder dir("bmp");
  DibHandle rgb = test::MakeRgb(4, 4, 1, 2, 3);
  EXPECT_EQ(EncodeBMP(nullptr, dir.path("x.bmp"), rgb.get(), 2), kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(dir.path("x.bmp")));
}

TEST(BmpEncode, Rle8BytesAreTheExpectedRuns) {
  test::TempFolder dir("bmp");
  DibHandle src = test::MakeGrey(8, 1);
  const std::uint8_t px[8] = {5, 5, 5, 5, 1, 2, 3, 9};
  std::memcpy(src->row(0), px, 8);
  ASSERT_EQ(EncodeBMP(nullptr, dir.path("x.bmp"), src.get(), 2), kOk);
  const auto bytes = test::ReadBytes(dir.path("x.bmp"));
  const std::uint32_t off = bytes[10] | bytes[11] << 8;
  const std::vector<std::uint8_t> data(bytes.begin() + off, bytes.end());
  // run of four 5s, absolute run 1 2 3 9, end of bitmap
  EXPECT_EQ(data, (std::vector<std::uint8_t>{4, 5, 0, 4, 1, 2, 3, 9, 0, 1}));
  EXPECT_EQ(bytes[30], 1);  // BI_RLE8
}

// A file assembled by hand: 14-byte file header, info header, table, data.
std::vector<std::uint8_t> Bmp(std::int32_t w, std::int32_t h, int bits, std::uint32_t compression,
                              const std::vector<std::uint8_t>& table, const std::vector<std::uint8_t>& data,
                              std::uint32_t clrUsed = 0, const std::vector<std::uint32_t>& masks = {}) {
  ByteWriter b;
  b.bytes("BM", 2);
  b.u32le(0);
  b.u32le(0);
  b.u32le(static_cast<std::uint32_t>(14 + 40 + 4 * masks.size() + table.size()));
  b.u32le(40);
  b.u32le(static_cast<std::uint32_t>(w));
  b.u32le(static_cast<std::uint32_t>(h));
  b.u16le(1);
  b.u16le(static_cast<unsigned>(bits));
  b.u32le(compression);
  b.u32le(static_cast<std::uint32_t>(data.size()));
  b.u32le(3780);
  b.u32le(3780);
  b.u32le(clrUsed);
  b.u32le(0);
  for (std::uint32_t m : masks) {
    b.u32le(m);
  }
  b.bytes(table.data(), table.size());
  b.bytes(data.data(), data.size());
  return b.bytes();
}

DibHandle DecodeBytes(const std::vector<std::uint8_t>& file, Code* code) {
  test::TempFolder dir("bmp");
  test::WriteBytes(dir.path("in.bmp"), file);
  DibHandle dib;
  *code = DecodeBMP(nullptr, dir.path("in.bmp"), &dib);
  return dib;
}

TEST(BmpDecode, TopDownRowsComeOutBottomUp) {
  // 2 x 2, 24-bit, top row red then green, bottom row blue then white.
  const std::vector<std::uint8_t> data = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  Code c = 0;
  DibHandle dib = DecodeBytes(Bmp(2, -2, 24, 0, {}, data), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0xFF0000u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(*dib, 0, 1), 0x0000FFu);
  EXPECT_EQ(GetPixel(*dib, 1, 1), 0xFFFFFFu);
  EXPECT_EQ(dib->header().biXPelsPerMeter, 3780);
}

TEST(BmpDecode, SixteenBitsWidenThroughDefaultAndFieldMasks) {
  // 5-5-5 by default: 0x7FFF white, 0x7C00 red; 5-6-5 fields: 0x07E0 green, 0x001F blue.
  Code c = 0;
  DibHandle d555 = DecodeBytes(Bmp(2, 1, 16, 0, {}, {0xFF, 0x7F, 0x00, 0x7C}), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(d555->bitCount(), 24);
  EXPECT_EQ(GetPixel(*d555, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(*d555, 1, 0), 0xFF0000u);
  DibHandle d565 = DecodeBytes(Bmp(2, 1, 16, 3, {}, {0xE0, 0x07, 0x10, 0x00}, 0, {0xF800, 0x07E0, 0x001F}), &c);
  ASSERT_EQ(c, kOk);
  // blue 16 of 31 scales to (16 * 255 + 15) / 31 = 132
  EXPECT_EQ(GetPixel(*d565, 0, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(*d565, 1, 0), 132u);
}

TEST(BmpDecode, ThirtyTwoBitsDropAlpha) {
  Code c = 0;
  DibHandle dib = DecodeBytes(Bmp(1, 1, 32, 0, {}, {0x10, 0x20, 0x30, 0x99}), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0x302010u);
}

TEST(BmpDecode, Rle8DeltaAndEndOfLineLeaveSkippedPixelsAtZero) {
  // 4 x 3: bottom row "7 7", delta (1, 1) to x = 3 of row 1, one 9, end of bitmap.
  const std::vector<std::uint8_t> table(4 * 16, 0);
  const std::vector<std::uint8_t> data = {2, 7, 0, 0, 0, 2, 3, 0, 1, 9, 0, 1};
  Code c = 0;
  DibHandle dib = DecodeBytes(Bmp(4, 3, 8, 1, table, data, 16), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 2), 7u);
  EXPECT_EQ(GetPixel(*dib, 1, 2), 7u);
  EXPECT_EQ(GetPixel(*dib, 2, 2), 0u);
  EXPECT_EQ(GetPixel(*dib, 3, 1), 9u);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0u);
}

TEST(BmpDecode, Rle4AlternatesTheTwoNibbles) {
  const std::vector<std::uint8_t> table(4 * 16, 0);
  // five pixels 1 2 1 2 1, then absolute 3 pixels 4 5 6 (padded), end of bitmap
  const std::vector<std::uint8_t> data = {5, 0x12, 0, 3, 0x45, 0x60, 0, 1};
  Code c = 0;
  DibHandle dib = DecodeBytes(Bmp(8, 1, 4, 2, table, data), &c);
  ASSERT_EQ(c, kOk);
  const std::uint32_t expect[8] = {1, 2, 1, 2, 1, 4, 5, 6};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), expect[x]) << x;
  }
}

TEST(BmpDecode, TwoBitsWidenToFour) {
  const std::vector<std::uint8_t> table = {0, 0, 0, 0, 1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0};
  Code c = 0;
  DibHandle dib = DecodeBytes(Bmp(4, 1, 2, 0, table, {0x1B, 0, 0, 0}), &c);  // 0 1 2 3
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(dib->bitCount(), 4);
  EXPECT_EQ(dib->colorCount(), 4);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), static_cast<std::uint32_t>(x));
  }
}

TEST(BmpPeer, PeerReadsOurFilesAndWeReadTheirs) {
  KM_REQUIRE_PEER_CONVERT();
  test::TempFolder dir("bmp");
  DibHandle src = test::MakePatterned(13, 6, 8, 5);
  ASSERT_EQ(EncodeBMP(nullptr, dir.path("ours.bmp"), src.get(), 2), kOk);
  DibHandle seen = test::PeerRead(dir.path("ours.bmp"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *seen, 0, &why)) << why;

  DibHandle rgb = test::MakePatterned(11, 5, 24, 9);
  ASSERT_TRUE(test::PeerWrite(*rgb, dir.path("theirs.bmp"), {"-type", "TrueColor"}));
  DibHandle back;
  ASSERT_EQ(DecodeBMP(nullptr, dir.path("theirs.bmp"), &back), kOk);
  EXPECT_TRUE(test::SameColours(*rgb, *back, 0, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
