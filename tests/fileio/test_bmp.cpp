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

TEST(BmpDecode, RleRunsPastTheWidthAreClippedAtIt) {
  const std::vector<std::uint8_t> table(4 * 16, 0);
  Code c = 0;
  // 3 x 2 RLE8: bottom row 2 x 7 and a run of 4 x 5 (the padding, as some writers code
  // it), end of line; top row an absolute run 1 2 3 4 5, end of bitmap.
  DibHandle dib = DecodeBytes(Bmp(3, 2, 8, 1, table, {2, 7, 4, 5, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, 16), &c);
  ASSERT_EQ(c, kOk);
  const std::uint32_t rle8[2][3] = {{1, 2, 3}, {7, 7, 5}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(GetPixel(*dib, x, y), rle8[y][x]) << x << "," << y;
    }
  }
  // 5 x 1 RLE4: a run of 7 alternating 1 and 2, then an absolute run past the width
  // that writes nothing.
  dib = DecodeBytes(Bmp(5, 1, 4, 2, table, {7, 0x12, 0, 3, 0x34, 0x50, 0, 1}), &c);
  ASSERT_EQ(c, kOk);
  const std::uint32_t rle4[5] = {1, 2, 1, 2, 1};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), rle4[x]) << x;
  }
  // What stays corrupt: a delta past the row, a run below the last row.
  EXPECT_EQ(DecodeBytes(Bmp(3, 2, 8, 1, table, {0, 2, 4, 0, 1, 1, 0, 1}, 16), &c), nullptr);
  EXPECT_EQ(c, kCorrupt);
  EXPECT_EQ(DecodeBytes(Bmp(3, 1, 8, 1, table, {0, 0, 1, 1, 0, 1}, 16), &c), nullptr);
  EXPECT_EQ(c, kCorrupt);
}

TEST(BmpDecode, PackedDibWithoutFileHeaderReadsByItsInfoHeader) {
  test::TempFolder dir("bmp");
  for (const int bits : {1, 8, 24}) {
    DibHandle src = test::MakePatterned(9, 4, bits, 3u + bits);
    ASSERT_EQ(EncodeBMP(nullptr, dir.path("x.bmp"), src.get(), 0), kOk);
    const auto bytes = test::ReadBytes(dir.path("x.bmp"));
    test::WriteBytes(dir.path("x.dib"), std::vector<std::uint8_t>(bytes.begin() + 14, bytes.end()));
    DibHandle back;
    ASSERT_EQ(DecodeBMP(nullptr, dir.path("x.dib"), &back), kOk) << bits;
    std::string why;
    EXPECT_TRUE(test::SamePixels(*src, *back, &why)) << why;
    // Typed by its contents too, as a DIB.
    std::uint16_t type = 0;
    ASSERT_EQ(ImageType(dir.path("x.dib"), &type), kOk);
    EXPECT_EQ(type, 4);
  }
  // 16-bit bit fields: the masks follow the 40-byte header.
  const auto file = Bmp(2, 1, 16, 3, {}, {0xE0, 0x07, 0x1F, 0x00}, 0, {0xF800, 0x07E0, 0x001F});
  test::WriteBytes(dir.path("f.dib"), std::vector<std::uint8_t>(file.begin() + 14, file.end()));
  DibHandle fields;
  ASSERT_EQ(DecodeBMP(nullptr, dir.path("f.dib"), &fields), kOk);
  EXPECT_EQ(GetPixel(*fields, 0, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(*fields, 1, 0), 0x0000FFu);
  // Neither "BM" nor a known info header size.
  test::WriteBytes(dir.path("n.dib"), std::vector<std::uint8_t>(file.begin() + 15, file.end()));
  DibHandle none;
  EXPECT_EQ(DecodeBMP(nullptr, dir.path("n.dib"), &none), kNotThisFormat);
}

// An OS/2 1.x file of 8 bits whose table holds `entries` entries (3 bytes each) before
// the pixel offset.
std::vector<std::uint8_t> Os2Bmp(int entries, const std::vector<std::uint8_t>& pixels) {
  ByteWriter b;
  b.bytes("BM", 2);
  b.u32le(0);
  b.u32le(0);
  b.u32le(static_cast<std::uint32_t>(14 + 12 + 3 * entries));
  b.u32le(12);
  b.u16le(4);
  b.u16le(1);
  b.u16le(1);
  b.u16le(8);
  for (int i = 0; i < entries; ++i) {
    b.u8(static_cast<unsigned>(10 * i));  // blue
    b.u8(static_cast<unsigned>(20 * i));  // green
    b.u8(static_cast<unsigned>(30 * i));  // red
  }
  b.bytes(pixels.data(), pixels.size());
  return b.bytes();
}

TEST(BmpDecode, Os2TableShorterThanTheDepthTakesWhatTheOffsetLeaves) {
  Code c = 0;
  DibHandle dib = DecodeBytes(Os2Bmp(3, {2, 0, 1, 2}), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(dib->colorCount(), 3);
  EXPECT_EQ(test::RgbPixels(*dib), (std::vector<std::uint32_t>{0x3C2814, 0x000000, 0x1E140A, 0x3C2814}));
  // An index past the three entries is still corrupt.
  EXPECT_EQ(DecodeBytes(Os2Bmp(3, {3, 0, 0, 0}), &c), nullptr);
  EXPECT_EQ(c, kCorrupt);
}

TEST(BmpPeer, RleFilesWithCodedPaddingReadAsThePeerReadsThem) {
  // ImageMagick writes RLE8 only; it codes each row's padding as a run past the width.
  KM_REQUIRE_PEER("convert-im6.q16");
  test::TempFolder dir("bmp");
  for (const int width : {5, 6, 7, 13}) {
    DibHandle src = test::MakePatterned(width, 4, 24, 40u + width);
    const std::string in = dir.path("in.ppm");
    const std::string path = dir.path("rle_" + std::to_string(width) + ".bmp");
    ASSERT_TRUE(test::WritePnmFile(*src, in));
    ASSERT_EQ(test::RunPeer({"convert-im6.q16", in, "-colors", "8", "-compress", "RLE", "bmp3:" + path}), 0);
    DibHandle seen = test::PeerRead(path);
    ASSERT_NE(seen, nullptr);
    DibHandle back;
    ASSERT_EQ(DecodeBMP(nullptr, path, &back), kOk) << path;
    EXPECT_EQ(back->bitCount(), 8);
    std::string why;
    EXPECT_TRUE(test::SameColours(*seen, *back, 0, &why)) << path << ": " << why;
  }
}

}  // namespace
}  // namespace km::imgx
