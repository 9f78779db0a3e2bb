#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeIMG;
using imgx::EncodeIMG;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeIMG(nullptr, path, out); }

Bytes ImgHeader(int headerWords, int planes, int patternLength, int width, int height) {
  Bytes b;
  for (int v : {1, headerWords, planes, patternLength, 85, 85, width, height}) {
    Put16be(b, static_cast<unsigned>(v));
  }
  return b;
}

enum Kind { kBlackWhite, kTwoColours, kGrey };

// kind, width
class ImgRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<Kind, int>> {};

TEST_P(ImgRoundTrip, KeepsEveryColour) {
  const auto [kind, width] = GetParam();
  DibHandle src = kind == kGrey ? MakeGrey(width, 9) : RandomPaletteImage(width, 9, 1, 0, 2);
  if (kind == kBlackWhite) {
    src->colors()[0] = RgbQuad{0, 0, 0, 0};
    src->colors()[1] = RgbQuad{255, 255, 255, 0};
  }
  FillRandom(*src, 14);
  for (int y = 3; y < 7; ++y) {  // identical lines are written once with a repeat
    for (int x = 0; x < width; ++x) {
      SetPixel(*src, x, y, x % 3 == 0 ? 1 : 0);
    }
  }
  ASSERT_EQ(EncodeIMG(nullptr, Path("a.img"), src.get()), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.img"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
  EXPECT_EQ(back->bitCount(), kind == kGrey ? 8 : 1);
  EXPECT_EQ(IsDIBGreyScaled(back.get()), kind == kGrey);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImgRoundTrip,
                         testing::Combine(testing::Values(kBlackWhite, kTwoColours, kGrey),
                                          testing::Values(1, 13, 300)));

TEST_F(CodecTest, ImgReadsPlanesPatternsAndRepeats) {
  Bytes b = ImgHeader(8, 2, 2, 16, 3);
  // Line 0: plane 0 = pattern AA 55 once, plane 1 = two bytes of FF.
  // Lines 1-2: repeat 2, plane 0 = two zero bytes, plane 1 = literal 0F F0.
  for (int v : {0x00, 0x01, 0xAA, 0x55, 0x82, 0x00, 0x00, 0xFF, 0x02, 0x02, 0x80, 0x02, 0x0F, 0xF0}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "planes.img", b, &out), imgx::kOk);
  EXPECT_EQ(out->bitCount(), 4);
  EXPECT_EQ(GetPixel(*out, 0, 0), 3u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 2u);
  EXPECT_EQ(GetPixel(*out, 9, 0), 3u);  // 0x55: bit 6 of the second byte
  EXPECT_EQ(GetPixel(*out, 3, 2), 0u);
  EXPECT_EQ(GetPixel(*out, 4, 2), 2u);
  EXPECT_EQ(GetPixel(*out, 12, 1), 0u);
  EXPECT_EQ(out->colors()[2].rgbRed, 255);  // the VDI colours: 2 red, 3 green
  EXPECT_EQ(out->colors()[3].rgbGreen, 255);

  b[b.size() - 6] = 0x03;  // a repeat of three lines where two are left
  EXPECT_EQ(DecodeBytes(Decode, "repeat.img", b, &out), imgx::kCorrupt);
  b[b.size() - 6] = 0x02;
  b[b.size() - 5] = 0x03;  // three zero bytes in a plane of two... crossing into plane 1
  b[b.size() - 3] = 0x01;
  b.pop_back();
  ASSERT_EQ(DecodeBytes(Decode, "shift.img", b, &out), imgx::kOk);  // runs may pass between planes
  b[b.size() - 4] = 0x05;  // five: past the scan line
  EXPECT_EQ(DecodeBytes(Decode, "over.img", b, &out), imgx::kCorrupt);
  b.resize(b.size() - 3);
  b.back() = 0x02;
  EXPECT_EQ(DecodeBytes(Decode, "cut.img", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, ImgReadsTheExtendedPalette) {
  Bytes b = ImgHeader(17, 1, 1, 8, 1);
  PutText(b, "XIMG");
  Put16be(b, 0);
  for (int v : {1000, 0, 0, 0, 0, 500}) {
    Put16be(b, static_cast<unsigned>(v));
  }
  b.push_back(0x80);
  b.push_back(1);
  b.push_back(0x0F);
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "ximg.img", b, &out), imgx::kOk);
  EXPECT_EQ(RgbPixels(*out)[0], 0xFF0000u);
  EXPECT_EQ(RgbPixels(*out)[7], 0x000080u);  // 500 of 1000 -> 128
  b[3] = 16;  // header too short for the two colours it announces
  EXPECT_EQ(DecodeBytes(Decode, "ximgshort.img", b, &out), imgx::kCorrupt);
}

TEST_F(CodecTest, ImgFaults) {
  DibHandle out;
  EXPECT_EQ(DecodeBytes(Decode, "planes.img", ImgHeader(8, 9, 2, 8, 8), &out), imgx::kUnsupportedVariant);
  EXPECT_EQ(DecodeBytes(Decode, "zero.img", ImgHeader(8, 1, 2, 0, 8), &out), imgx::kBadDimensions);
  EXPECT_EQ(DecodeBytes(Decode, "pattern.img", ImgHeader(8, 1, 0, 8, 8), &out), imgx::kCorrupt);
  EXPECT_EQ(DecodeBytes(Decode, "header.img", ImgHeader(200, 1, 2, 8, 8), &out), imgx::kTruncated);
  Bytes b = ImgHeader(8, 8, 2, 32767, 32767);
  b.resize(40, 0);
  EXPECT_EQ(DecodeBytes(Decode, "huge.img", b, &out), imgx::kTruncated);
  EXPECT_EQ(EncodeIMG(nullptr, Path("x.img"), MakeRgb(2, 2, 0, 0, 0).get()), imgx::kDepthNotWritable);
}

TEST_F(CodecTest, ImgPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("gemtopnm");
  KM_REQUIRE_PEER("pbmtogem");
  DibHandle src = MakeDib(37, 11, 1);
  src->colors()[1] = RgbQuad{255, 255, 255, 0};
  FillRandom(*src, 19);
  ASSERT_EQ(EncodeIMG(nullptr, Path("ours.img"), src.get()), imgx::kOk);
  DibHandle seen = NetpbmRead("gemtopnm", Path("ours.img"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  ASSERT_TRUE(NetpbmWriteBitmap(*src, "pbmtogem", Path("theirs.img")));
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.img"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));
}

}  // namespace
}  // namespace km::test
