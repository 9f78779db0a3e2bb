#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodePCX;
using imgx::EncodePCX;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodePCX(nullptr, path, out); }

// A 128-byte header for hand-made files.
Bytes PcxHeader(int version, int bpp, int planes, int width, int height, int bytesPerLine) {
  Bytes b = {0x0A, static_cast<std::uint8_t>(version), 1, static_cast<std::uint8_t>(bpp)};
  Put16le(b, 0);
  Put16le(b, 0);
  Put16le(b, static_cast<unsigned>(width - 1));
  Put16le(b, static_cast<unsigned>(height - 1));
  Put16le(b, 72);
  Put16le(b, 72);
  b.resize(65, 0);
  b.push_back(static_cast<std::uint8_t>(planes));
  Put16le(b, static_cast<unsigned>(bytesPerLine));
  b.resize(128, 0);
  return b;
}

// version, bits, width
class PcxRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(PcxRoundTrip, KeepsEveryPixel) {
  const auto [version, bits, width] = GetParam();
  DibHandle src = bits == 24 ? MakeDib(width, 7, 24) : RandomPaletteImage(width, 7, bits, 0, 11);
  if (bits == 24) {
    FillRandom(*src, 5);
  }
  if (version == 0) {  // no palette: black and white
    src->colors()[0] = RgbQuad{0, 0, 0, 0};
    src->colors()[1] = RgbQuad{255, 255, 255, 0};
  }
  const std::string path = Path("a.pcx");
  ASSERT_EQ(EncodePCX(nullptr, path, src.get(), version, 150), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(DecodePCX(nullptr, path, &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
  EXPECT_EQ(back->bitCount(), bits);
  EXPECT_EQ(back->header().biXPelsPerMeter, 5906);  // 150 dpi
}

INSTANTIATE_TEST_SUITE_P(Depths, PcxRoundTrip,
                         testing::Values(std::tuple{0, 1, 13}, std::tuple{2, 1, 1}, std::tuple{2, 4, 9},
                                         std::tuple{5, 1, 17}, std::tuple{5, 4, 3}, std::tuple{5, 8, 31},
                                         std::tuple{5, 24, 5}));

TEST_F(CodecTest, PcxRefusesDepthsItsVersionCannotHold) {
  DibHandle grey = MakeGrey(4, 4);
  EXPECT_EQ(EncodePCX(nullptr, Path("a.pcx"), grey.get(), 0, 300), imgx::kDepthNotWritable);
  EXPECT_EQ(EncodePCX(nullptr, Path("a.pcx"), grey.get(), 2, 300), imgx::kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(Path("a.pcx")));
}

TEST_F(CodecTest, PcxRunsMayCrossLinesButNotTheImageEnd) {
  // 8-bit, 3 x 2, bytes per line 4: one run of 8 bytes fills both lines.
  Bytes b = PcxHeader(5, 8, 1, 3, 2, 4);
  b.push_back(0xC8);
  b.push_back(0x07);
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "cross.pcx", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 2, 1), 7u);
  EXPECT_EQ(out->colors()[7].rgbRed, 7);  // no palette at the end: grey levels

  b = PcxHeader(5, 8, 1, 3, 2, 4);
  b.push_back(0xC9);
  b.push_back(0x07);
  EXPECT_EQ(DecodeBytes(Decode, "past.pcx", b, &out), imgx::kCorrupt);
  b.resize(b.size() - 1);
  EXPECT_EQ(DecodeBytes(Decode, "cut.pcx", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, PcxReadsTheTrailingPaletteAndTwoBitCga) {
  Bytes b = PcxHeader(5, 8, 1, 2, 1, 2);
  b.push_back(0x01);
  b.push_back(0xC1);
  b.push_back(0xC5);  // a literal 0xC5 needs a run of one
  b.push_back(0x0C);
  for (int i = 0; i < 256; ++i) {
    b.push_back(static_cast<std::uint8_t>(i));
    b.push_back(static_cast<std::uint8_t>(255 - i));
    b.push_back(9);
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "pal.pcx", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 1, 0), 0xC5u);
  EXPECT_EQ(out->colors()[0xC5].rgbGreen, 255 - 0xC5);

  // Two bits a pixel, one plane: 4 pixels in one byte, colours from the header.
  b = PcxHeader(5, 2, 1, 4, 1, 2);
  for (int i = 0; i < 12; ++i) {
    b[16 + i] = static_cast<std::uint8_t>(i * 20);
  }
  b.push_back(0x1B);  // 00 01 10 11
  b.push_back(0x00);
  ASSERT_EQ(DecodeBytes(Decode, "cga.pcx", b, &out), imgx::kOk);
  EXPECT_EQ(out->bitCount(), 4);
  EXPECT_EQ(GetPixel(*out, 3, 0), 3u);
  EXPECT_EQ(out->colors()[3].rgbRed, 180);
}

TEST_F(CodecTest, PcxHeaderFaults) {
  DibHandle out;
  Bytes b = PcxHeader(5, 8, 1, 3, 2, 4);
  b[8] = 0;  // xMax 0 below xMin 5
  b[4] = 5;
  EXPECT_EQ(DecodeBytes(Decode, "xmin.pcx", b, &out), imgx::kBadDimensions);
  b = PcxHeader(5, 8, 1, 40000, 1, 40000);
  EXPECT_EQ(DecodeBytes(Decode, "wide.pcx", b, &out), imgx::kBadDimensions);
  b = PcxHeader(5, 8, 1, 30000, 30000, 30000);
  b.push_back(0xFF);
  EXPECT_EQ(DecodeBytes(Decode, "huge.pcx", b, &out), imgx::kTruncated);
  b = PcxHeader(5, 8, 1, 9, 1, 4);
  EXPECT_EQ(DecodeBytes(Decode, "short_line.pcx", b, &out), imgx::kCorrupt);
  b = PcxHeader(5, 3, 1, 9, 1, 4);
  EXPECT_EQ(DecodeBytes(Decode, "bpp3.pcx", b, &out), imgx::kUnsupportedVariant);
  b.resize(60);
  EXPECT_EQ(DecodeBytes(Decode, "header.pcx", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, PcxPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("pcxtoppm");
  KM_REQUIRE_PEER("ppmtopcx");
  DibHandle src = RandomPaletteImage(19, 5, 8, 0, 3);
  const std::string ours = Path("ours.pcx");
  ASSERT_EQ(EncodePCX(nullptr, ours, src.get(), 5, 300), imgx::kOk);
  DibHandle seen = NetpbmRead("pcxtoppm", ours);
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  DibHandle rgb = MakeDib(21, 6, 24);
  FillRandom(*rgb, 9);
  ASSERT_TRUE(WritePnmFile(*rgb, Path("in.ppm")));
  ASSERT_EQ(RunPeer({"ppmtopcx", "-24bit", Path("in.ppm")}, {}, Path("theirs.pcx")), 0);
  DibHandle back;
  ASSERT_EQ(DecodePCX(nullptr, Path("theirs.pcx"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*rgb, *back));

  // Sixteen colours: the peer writes four one-bit planes; 200 colours: 8 bits.
  for (int colors : {16, 200}) {
    DibHandle pal = RandomPaletteImage(23, 5, 8, colors, 4);
    ASSERT_TRUE(WritePnmFile(*pal, Path("pal.ppm")));
    ASSERT_EQ(RunPeer({"ppmtopcx", Path("pal.ppm")}, {}, Path("theirs_pal.pcx")), 0);
    ASSERT_EQ(DecodePCX(nullptr, Path("theirs_pal.pcx"), &back), imgx::kOk);
    EXPECT_EQ(back->bitCount(), colors == 16 ? 4 : 8);
    EXPECT_TRUE(SameColours(*pal, *back)) << colors;
  }
}

}  // namespace
}  // namespace km::test
