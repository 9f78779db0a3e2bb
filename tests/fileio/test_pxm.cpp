#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodePXM;
using imgx::EncodePXM;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodePXM(nullptr, path, out); }

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// kind (0 PBM, 1 PGM, 2 PPM), subType, width
class PxmRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(PxmRoundTrip, KeepsEveryPixel) {
  const auto [kind, subType, width] = GetParam();
  DibHandle src;
  if (kind == 0) {
    src = MakeDib(width, 5, 1);
    src->colors()[1] = RgbQuad{255, 255, 255, 0};
  } else if (kind == 1) {
    src = MakeGrey(width, 5);
  } else {
    src = MakeDib(width, 5, 24);
  }
  FillRandom(*src, 21);
  const std::string path = Path("a.pnm");
  ASSERT_EQ(EncodePXM(nullptr, path, src.get(), subType, "Kilnmark"), imgx::kOk);
  const Bytes file = ReadBytes(path);
  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file[1], '1' + kind + 3 * subType);
  DibHandle back;
  ASSERT_EQ(DecodePXM(nullptr, path, &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
  EXPECT_EQ(back->bitCount(), src->bitCount());
}

INSTANTIATE_TEST_SUITE_P(Kinds, PxmRoundTrip,
                         testing::Combine(testing::Values(0, 1, 2), testing::Values(0, 1), testing::Values(1, 9, 71)));

TEST_F(CodecTest, PxmScalesEveryMaxval) {
  DibHandle out;
  // ASCII grey with maxval 15 and comments between the fields.
  ASSERT_EQ(DecodeBytes(Decode, "a.pgm", Text("P2 # c\n3 1\n# another\n15\n0 7 15\n"), &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 119u);  // (7 * 255 + 7) / 15
  EXPECT_EQ(GetPixel(*out, 2, 0), 255u);
  // Binary colour with maxval 1000: two bytes a sample, big-endian.
  Bytes b = Text("P6\n1 1\n1000\n");
  for (unsigned v : {1000u, 500u, 1u}) {
    Put16be(b, v);
  }
  ASSERT_EQ(DecodeBytes(Decode, "b.ppm", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xFF8000u);  // 500 -> 128 (127.5 rounds up), 1 -> 0
  // ASCII bitmap digits need no separators; 1 is black.
  ASSERT_EQ(DecodeBytes(Decode, "c.pbm", Text("P1\n3 2\n101\n0 1 0\n"), &out), imgx::kOk);
  EXPECT_EQ(RgbPixels(*out), (std::vector<std::uint32_t>{0, 0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF}));
  // Binary grey with maxval 3.
  b = Text("P5 2 1 3 ");
  b.push_back(3);
  b.push_back(1);
  ASSERT_EQ(DecodeBytes(Decode, "d.pgm", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 1, 0), 85u);
}

TEST_F(CodecTest, PxmFaults) {
  DibHandle out;
  EXPECT_EQ(DecodeBytes(Decode, "a.pgm", Text("P2 2 1 15 3 16\n"), &out), imgx::kCorrupt);
  Bytes b = Text("P5 2 1 100 ");
  b.push_back(3);
  b.push_back(101);
  EXPECT_EQ(DecodeBytes(Decode, "b.pgm", b, &out), imgx::kCorrupt);
  EXPECT_EQ(DecodeBytes(Decode, "c.ppm", Text("P6 2 2 255\nabc"), &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "d.ppm", Text("P6 32767 32767 255\n\1\2\3"), &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "e.ppm", Text("P6 99999 1 255\n"), &out), imgx::kBadDimensions);
  EXPECT_EQ(DecodeBytes(Decode, "f.ppm", Text("P3 0 1 255\n"), &out), imgx::kBadDimensions);
  EXPECT_EQ(DecodeBytes(Decode, "g.ppm", Text("P3 1 1 0\n0 0 0"), &out), imgx::kCorrupt);
  EXPECT_EQ(DecodeBytes(Decode, "h.ppm", Text("P3 1 1 255\n0 0"), &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "i.pbm", Text("P1 2 1 1 2"), &out), imgx::kCorrupt);
  EXPECT_EQ(DecodeBytes(Decode, "j.pbm", Text("P7 2 1"), &out), imgx::kNotThisFormat);
}

TEST_F(CodecTest, PxmWritesColourImagesAsPpmAndTheCreator) {
  DibHandle src = RandomPaletteImage(5, 2, 8, 0, 1);
  ASSERT_EQ(EncodePXM(nullptr, Path("a.ppm"), src.get(), 0, "Kilnmark 1.0"), imgx::kOk);
  const Bytes file = ReadBytes(Path("a.ppm"));
  const std::string text(file.begin(), file.end());
  EXPECT_EQ(text.rfind("P3\n# CREATOR: Kilnmark 1.0\n5 2\n255\n", 0), 0u) << text;
  for (std::size_t at = 0, next = 0; at < text.size(); at = next + 1) {
    next = text.find('\n', at);
    ASSERT_NE(next, std::string::npos);
    EXPECT_LE(next - at, 70u);
  }
}

TEST_F(CodecTest, PxmNetpbmReadsOursAndWeReadItsPlainForm) {
  KM_REQUIRE_PEER("pnmtoplainpnm");
  DibHandle bitmap = MakeDib(13, 4, 1);
  bitmap->colors()[1] = RgbQuad{255, 255, 255, 0};
  DibHandle grey = MakeGrey(11, 3);
  DibHandle rgb = MakeDib(13, 4, 24);
  int kind = 0;
  for (Dib* src : {bitmap.get(), grey.get(), rgb.get()}) {
    FillRandom(*src, 2);
    ASSERT_EQ(EncodePXM(nullptr, Path("ours.pnm"), src, 1, "k"), imgx::kOk);
    DibHandle parsed = ReadPnmFile(Path("ours.pnm"));  // the test helpers' own parser
    ASSERT_NE(parsed, nullptr);
    EXPECT_TRUE(SameColours(*src, *parsed)) << kind;
    ASSERT_EQ(RunPeer({"pnmtoplainpnm", Path("ours.pnm")}, {}, Path("plain.pnm")), 0);
    EXPECT_EQ(ReadBytes(Path("plain.pnm"))[1], '1' + kind);
    DibHandle back;
    ASSERT_EQ(Decode(Path("plain.pnm"), &back), imgx::kOk);
    EXPECT_TRUE(SameColours(*src, *back)) << kind;
    ++kind;
  }
}

}  // namespace
}  // namespace km::test
