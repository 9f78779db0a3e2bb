#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeIFF;
using imgx::EncodeIFF;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeIFF(nullptr, path, out); }

void Chunk(Bytes& b, const std::string& id, const Bytes& data) {
  PutText(b, id);
  Put32be(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) {
    b.push_back(0);
  }
}

Bytes Bmhd(int width, int height, int planes, int masking, int compression) {
  Bytes b;
  Put16be(b, static_cast<unsigned>(width));
  Put16be(b, static_cast<unsigned>(height));
  Put32be(b, 0);
  b.push_back(static_cast<std::uint8_t>(planes));
  b.push_back(static_cast<std::uint8_t>(masking));
  b.push_back(static_cast<std::uint8_t>(compression));
  b.resize(20, 0);
  return b;
}

Bytes Form(const std::string& kind, const std::vector<std::pair<std::string, Bytes>>& chunks) {
  Bytes body;
  PutText(body, kind);
  for (const auto& [id, data] : chunks) {
    Chunk(body, id, data);
  }
  Bytes b;
  PutText(b, "FORM");
  Put32be(b, static_cast<std::uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// bits, compressed, width
class IffRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(IffRoundTrip, KeepsEveryPixel) {
  const auto [bits, compressed, width] = GetParam();
  DibHandle src = RandomPaletteImage(width, 6, bits, 0, 10);
  for (int x = 0; x < width; ++x) {
    SetPixel(*src, x, 4, 1);
  }
  ASSERT_EQ(EncodeIFF(nullptr, Path("a.lbm"), src.get(), compressed), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.lbm"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SamePixels(*src, *back, &why)) << why;
  EXPECT_EQ(ReadBytes(Path("a.lbm"))[30], compressed);  // BMHD compression byte
}

INSTANTIATE_TEST_SUITE_P(SubTypes, IffRoundTrip,
                         testing::Combine(testing::Values(1, 4, 8), testing::Values(0, 1),
                                          testing::Values(1, 17, 203)));

TEST_F(CodecTest, IffReadsChunkyPbmWithAnOversizedColourMap) {
  Bytes cmap;
  for (int i = 0; i < 300; ++i) {  // 300 colours for a 256-entry table
    for (int k = 0; k < 3; ++k) {
      cmap.push_back(static_cast<std::uint8_t>(i + k));
    }
  }
  // 3 x 2, rows of 4 bytes: "four sevens", "literal 1 2 3 0".
  const Bytes body = {0xFD, 7, 0x03, 1, 2, 3, 0};
  Bytes b = Form("PBM ", {{"BMHD", Bmhd(3, 2, 8, 0, 1)}, {"CMAP", cmap}, {"BODY", body}});
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "chunky.lbm", b, &out), imgx::kOk);
  EXPECT_EQ(out->bitCount(), 8);
  EXPECT_EQ(GetPixel(*out, 2, 0), 7u);
  EXPECT_EQ(GetPixel(*out, 2, 1), 3u);
  EXPECT_EQ(out->colors()[255].rgbRed, 255);
  EXPECT_EQ(out->colors()[255].rgbBlue, 1);  // (255 + 2) & 0xFF

  // One plane with four colours in CMAP, a mask plane after each row, and a run
  // that passes from the picture plane into the mask plane.
  b = Form("ILBM", {{"BMHD", Bmhd(16, 1, 1, 1, 1)}, {"CMAP", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                    {"BODY", {0xFD, 0x80}}});
  ASSERT_EQ(DecodeBytes(Decode, "mask.iff", b, &out), imgx::kOk);
  EXPECT_EQ(out->colorCount(), 2);
  EXPECT_EQ(GetPixel(*out, 0, 0), 1u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 0u);
  EXPECT_EQ(out->colors()[1].rgbRed, 4);
}

TEST_F(CodecTest, IffExtraHalfBriteDoublesThePalette) {
  Bytes cmap(96, 200);
  Bytes camg;
  Put32be(camg, 0x80);
  const Bytes body(6 * 2, 0xFF);  // one pixel, all six planes set: index 63
  Bytes b = Form("ILBM", {{"BMHD", Bmhd(1, 1, 6, 0, 0)}, {"CMAP", cmap}, {"CAMG", camg}, {"BODY", body}});
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "ehb.iff", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 63u);
  EXPECT_EQ(out->colors()[63].rgbGreen, 100);
}

// The BODY of one row of `width` pixel values spread over `planes` planes.
Bytes PlaneRow(const std::vector<std::uint32_t>& values, int planes) {
  const std::size_t planeBytes = (values.size() + 15) / 16 * 2;
  Bytes row(planeBytes * static_cast<std::size_t>(planes), 0);
  for (int p = 0; p < planes; ++p) {
    for (std::size_t x = 0; x < values.size(); ++x) {
      if ((values[x] >> p) & 1u) {
        row[planeBytes * static_cast<std::size_t>(p) + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return row;
}

TEST_F(CodecTest, IffHoldAndModifyStartsEachRowFromColourZero) {
  Bytes camg;
  Put32be(camg, 0x800);
  // HAM6: base colours 0 = (200, 100, 50), 2 = (0x13, 0x57, 0x9B). A modify replaces the
  // high four bits of one channel and keeps its low four.
  Bytes cmap(48, 0);
  const std::uint8_t c0[3] = {200, 100, 50};
  const std::uint8_t c2[3] = {0x13, 0x57, 0x9B};
  std::copy(c0, c0 + 3, cmap.begin());
  std::copy(c2, c2 + 3, cmap.begin() + 6);
  // blue 5, red 3, green 15, base 2, blue 0
  Bytes body = PlaneRow({0x15, 0x23, 0x3F, 0x02, 0x10}, 6);
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "ham6.iff",
                        Form("ILBM", {{"BMHD", Bmhd(5, 1, 6, 0, 0)}, {"CMAP", cmap}, {"CAMG", camg}, {"BODY", body}}),
                        &out),
            imgx::kOk);
  ASSERT_EQ(out->bitCount(), 24);
  // 50 = 0x32 -> 0x52; 200 = 0xC8 -> 0x38; 100 = 0x64 -> 0xF4; then 0x9B -> 0x0B.
  EXPECT_EQ(RgbPixels(*out),
            (std::vector<std::uint32_t>{0xC86452, 0x386452, 0x38F452, 0x13579B, 0x13570B}));

  // HAM8: six-bit values replace the high six bits; 64 base colours.
  Bytes cmap8(192, 0);
  cmap8[0] = 201;  // colour 0: (201, 0, 0)
  body = PlaneRow({0x45, 0x80 | 63, 0xC0 | 1}, 8);
  ASSERT_EQ(DecodeBytes(Decode, "ham8.iff",
                        Form("ILBM", {{"BMHD", Bmhd(3, 1, 8, 0, 0)}, {"CMAP", cmap8}, {"CAMG", camg}, {"BODY", body}}),
                        &out),
            imgx::kOk);
  // blue 5 << 2 = 20; red 201 & 3 | 63 << 2 = 253; green 1 << 2 = 4.
  EXPECT_EQ(RgbPixels(*out), (std::vector<std::uint32_t>{0xC90014, 0xFD0014, 0xFD0414}));
}

TEST_F(CodecTest, IffDeepPicturesReadAsTrueColour) {
  // 24 planes: red in planes 0..7, green 8..15, blue 16..23; 32 planes add alpha.
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "deep24.iff",
                        Form("ILBM", {{"BMHD", Bmhd(2, 1, 24, 0, 0)}, {"BODY", PlaneRow({0x123456, 0xFEDCBA}, 24)}}),
                        &out),
            imgx::kOk);
  EXPECT_EQ(RgbPixels(*out), (std::vector<std::uint32_t>{0x563412, 0xBADCFE}));
  // Compressed, with a mask plane after the 32 picture planes.
  Bytes row = PlaneRow({0x80123456, 0x7FFEDCBA}, 32);
  row.resize(row.size() + 2, 0xFF);
  Bytes packed;
  for (std::uint8_t b : row) {  // literal runs of one byte each
    packed.push_back(0);
    packed.push_back(b);
  }
  ASSERT_EQ(DecodeBytes(Decode, "deep32.iff",
                        Form("ILBM", {{"BMHD", Bmhd(2, 1, 32, 1, 1)}, {"BODY", packed}}), &out),
            imgx::kOk);
  EXPECT_EQ(RgbPixels(*out), (std::vector<std::uint32_t>{0x563412, 0xBADCFE}));
}

TEST_F(CodecTest, IffExtraHalfBriteHalvesColoursEvenWhenCmapStoresSixtyFour) {
  Bytes cmap(192, 0);
  cmap[0] = 200;  // colour 0 red 200; stored colour 32 says (7, 7, 7)
  cmap[96] = cmap[97] = cmap[98] = 7;
  Bytes camg;
  Put32be(camg, 0x80);
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "ehb.iff",
                        Form("ILBM", {{"BMHD", Bmhd(2, 1, 6, 0, 0)}, {"CMAP", cmap}, {"CAMG", camg},
                                      {"BODY", PlaneRow({0, 32}, 6)}}),
                        &out),
            imgx::kOk);
  EXPECT_EQ(RgbPixels(*out), (std::vector<std::uint32_t>{0xC80000, 0x640000}));
}

TEST_F(CodecTest, IffFaults) {
  DibHandle out;
  const Bytes h = Bmhd(8, 2, 1, 0, 1);
  EXPECT_EQ(DecodeBytes(Decode, "over.iff", Form("ILBM", {{"BMHD", h}, {"BODY", {0xFC, 0, 0xFE, 0}}}), &out),
            imgx::kCorrupt);  // five bytes in a two-byte row
  EXPECT_EQ(DecodeBytes(Decode, "short.iff", Form("ILBM", {{"BMHD", h}, {"BODY", {0xFF, 0}}}), &out),
            imgx::kTruncated);
  Bytes b = Form("ILBM", {{"BMHD", h}, {"BODY", {0xFF, 0, 0xFF, 0}}});
  b.resize(b.size() - 2);  // the BODY chunk claims more than the file holds
  EXPECT_EQ(DecodeBytes(Decode, "body.iff", b, &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "nobmhd.iff", Form("ILBM", {{"BODY", {0}}}), &out), imgx::kCorrupt);
  // Depths without a meaning of their own, and hold-and-modify outside HAM6 and HAM8.
  EXPECT_EQ(DecodeBytes(Decode, "deep.iff", Form("ILBM", {{"BMHD", Bmhd(1, 1, 12, 0, 0)}, {"BODY", Bytes(24, 0)}}), &out),
            imgx::kUnsupportedVariant);
  Bytes ham;
  Put32be(ham, 0x800);
  EXPECT_EQ(DecodeBytes(Decode, "ham5.iff",
                        Form("ILBM", {{"BMHD", Bmhd(1, 1, 5, 0, 0)}, {"CAMG", ham}, {"BODY", Bytes(10, 0)}}), &out),
            imgx::kUnsupportedVariant);
  EXPECT_EQ(DecodeBytes(Decode, "hampbm.iff",
                        Form("PBM ", {{"BMHD", Bmhd(1, 1, 8, 0, 0)}, {"CAMG", ham}, {"BODY", Bytes(2, 0)}}), &out),
            imgx::kUnsupportedVariant);
  EXPECT_EQ(DecodeBytes(Decode, "huge.iff",
                        Form("ILBM", {{"BMHD", Bmhd(32767, 32767, 8, 0, 1)}, {"BODY", Bytes(64, 0x81)}}), &out),
            imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "zero.iff", Form("ILBM", {{"BMHD", Bmhd(0, 1, 1, 0, 0)}, {"BODY", {0}}}), &out),
            imgx::kBadDimensions);
  EXPECT_EQ(EncodeIFF(nullptr, Path("x.iff"), MakeRgb(2, 2, 0, 0, 0).get(), 1), imgx::kDepthNotWritable);
}

TEST_F(CodecTest, IffPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("ilbmtoppm");
  KM_REQUIRE_PEER("ppmtoilbm");
  DibHandle src = RandomPaletteImage(27, 7, 4, 0, 4);
  ASSERT_EQ(EncodeIFF(nullptr, Path("ours.iff"), src.get(), 1), imgx::kOk);
  DibHandle seen = NetpbmRead("ilbmtoppm", Path("ours.iff"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  ASSERT_TRUE(WritePnmFile(*src, Path("in.ppm")));
  ASSERT_EQ(RunPeer({"ppmtoilbm", Path("in.ppm")}, {}, Path("theirs.iff")), 0);
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.iff"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));
}

// ppmtoilbm writes 24 planes for pictures of many colours, and HAM6 and HAM8 when
// asked; its colour 0 is black, so ilbmtoppm (which starts HAM rows from black) and
// we agree on every pixel.
TEST_F(CodecTest, IffPeerDeepAndHamFilesReadAsIlbmtoppmReadsThem) {
  KM_REQUIRE_PEER("ilbmtoppm");
  KM_REQUIRE_PEER("ppmtoilbm");
  DibHandle src = MakeDib(37, 9, 24, 0);
  FillRandom(*src, 77);
  ASSERT_TRUE(WritePnmFile(*src, Path("in.ppm")));
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"-ham6"}, std::vector<std::string>{"-ham8"}}) {
    std::vector<std::string> argv = {"ppmtoilbm"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(Path("in.ppm"));
    ASSERT_EQ(RunPeer(argv, {}, Path("theirs.iff")), 0);
    DibHandle seen = NetpbmRead("ilbmtoppm", Path("theirs.iff"));
    ASSERT_NE(seen, nullptr);
    DibHandle back;
    ASSERT_EQ(Decode(Path("theirs.iff"), &back), imgx::kOk);
    EXPECT_EQ(back->bitCount(), 24);
    std::string why;
    EXPECT_TRUE(SameColours(*seen, *back, 0, &why)) << (options.empty() ? "deep" : options[0]) << ": " << why;
  }
}

}  // namespace
}  // namespace km::test
