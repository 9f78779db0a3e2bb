#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeRAS;
using imgx::EncodeRAS;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeRAS(nullptr, path, out); }

Bytes RasHeader(int width, int height, int depth, int type, int mapType, int mapLength) {
  Bytes b;
  for (std::uint32_t v : {0x59A66A95u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                          static_cast<std::uint32_t>(depth), 0u, static_cast<std::uint32_t>(type),
                          static_cast<std::uint32_t>(mapType), static_cast<std::uint32_t>(mapLength)}) {
    Put32be(b, v);
  }
  return b;
}

// bits, black-and-white table (1 bit only), width
class RasRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, bool, int>> {};

TEST_P(RasRoundTrip, KeepsEveryColour) {
  const auto [bits, blackWhite, width] = GetParam();
  DibHandle src = bits == 24 ? MakeDib(width, 4, 24) : RandomPaletteImage(width, 4, bits, 0, 3);
  FillRandom(*src, 17);
  if (blackWhite) {
    src->colors()[0] = RgbQuad{255, 255, 255, 0};
    src->colors()[1] = RgbQuad{0, 0, 0, 0};
  }
  ASSERT_EQ(EncodeRAS(nullptr, Path("a.ras"), src.get()), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.ras"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
  EXPECT_EQ(back->bitCount(), blackWhite ? 1 : (bits == 24 ? 24 : 8));
}

INSTANTIATE_TEST_SUITE_P(Depths, RasRoundTrip,
                         testing::Values(std::tuple{1, true, 13}, std::tuple{1, false, 3}, std::tuple{4, false, 7},
                                         std::tuple{8, false, 1}, std::tuple{8, false, 33},
                                         std::tuple{24, false, 5}));

TEST_F(CodecTest, RasReadsByteEncodedAndRgbOrder) {
  // 8-bit grey without a map, 3 x 2 (rows padded to 4 bytes): a run of 5 crosses the
  // first row's end, "80 00" is a literal 0x80.
  Bytes b = RasHeader(3, 2, 8, 2, 0, 0);
  for (int v : {0x80, 4, 9, 0x80, 0x00, 1, 2}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "enc.ras", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 2, 0), 9u);
  EXPECT_EQ(GetPixel(*out, 0, 1), 9u);
  EXPECT_EQ(GetPixel(*out, 1, 1), 0x80u);
  EXPECT_EQ(GetPixel(*out, 2, 1), 1u);
  b = RasHeader(3, 2, 8, 2, 0, 0);
  for (int v : {0x80, 8, 9}) {  // nine bytes for an image of eight
    b.push_back(static_cast<std::uint8_t>(v));
  }
  EXPECT_EQ(DecodeBytes(Decode, "past.ras", b, &out), imgx::kCorrupt);

  // 32 bits, RGB order (type 3): pad byte first, then red, green, blue.
  b = RasHeader(1, 1, 32, 3, 0, 0);
  for (int v : {0, 0x11, 0x22, 0x33}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  ASSERT_EQ(DecodeBytes(Decode, "rgb.ras", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0x112233u);
}

TEST_F(CodecTest, RasFaults) {
  DibHandle out;
  Bytes b = RasHeader(2, 1, 8, 1, 1, 6);
  for (int v : {1, 2, 3, 4, 5, 6, 0, 2, 0, 0}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  EXPECT_EQ(DecodeBytes(Decode, "index.ras", b, &out), imgx::kCorrupt);  // index 2 of a 2-entry map
  EXPECT_EQ(DecodeBytes(Decode, "map.ras", RasHeader(2, 1, 8, 1, 1, 600), &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "wide.ras", RasHeader(70000, 1, 8, 1, 0, 0), &out), imgx::kBadDimensions);
  EXPECT_EQ(DecodeBytes(Decode, "huge.ras", RasHeader(30000, 30000, 24, 2, 0, 0), &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "depth.ras", RasHeader(2, 2, 4, 1, 0, 0), &out), imgx::kUnsupportedVariant);
}

TEST_F(CodecTest, RasPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("rasttopnm");
  KM_REQUIRE_PEER("pnmtorast");
  DibHandle src = RandomPaletteImage(11, 4, 8, 0, 5);
  ASSERT_EQ(EncodeRAS(nullptr, Path("ours.ras"), src.get()), imgx::kOk);
  DibHandle seen = NetpbmRead("rasttopnm", Path("ours.ras"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  DibHandle rgb = MakeDib(9, 5, 24);
  FillRandom(*rgb, 4);
  for (int x = 0; x < 9; ++x) {
    SetPixel(*rgb, x, 1, 0x808080);  // runs, and the escape byte itself
  }
  ASSERT_TRUE(WritePnmFile(*rgb, Path("in.ppm")));
  ASSERT_EQ(RunPeer({"pnmtorast", "-rle", Path("in.ppm")}, {}, Path("theirs.ras")), 0);
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.ras"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*rgb, *back));
}

}  // namespace
}  // namespace km::test
