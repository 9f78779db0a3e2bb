#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodePSD;
using imgx::EncodePSD;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodePSD(nullptr, path, out); }

Bytes PsdStart(int channels, int width, int height, int depth, int mode) {
  Bytes b = {'8', 'B', 'P', 'S'};
  Put16be(b, 1);
  b.resize(b.size() + 6, 0);
  Put16be(b, static_cast<unsigned>(channels));
  Put32be(b, static_cast<std::uint32_t>(height));
  Put32be(b, static_cast<std::uint32_t>(width));
  Put16be(b, static_cast<unsigned>(depth));
  Put16be(b, static_cast<unsigned>(mode));
  return b;
}

// bits, grey flag, width
class PsdRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(PsdRoundTrip, KeepsEveryColour) {
  const auto [bits, grey, width] = GetParam();
  DibHandle src;
  if (bits == 24) {
    src = MakeDib(width, 5, 24);
  } else if (grey) {
    src = MakeGrey(width, 5);
  } else {
    src = RandomPaletteImage(width, 5, bits, 0, 9);
  }
  FillRandom(*src, 12);
  ASSERT_EQ(EncodePSD(nullptr, Path("a.psd"), src.get(), grey), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.psd"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
  EXPECT_EQ(IsDIBGreyScaled(back.get()), grey != 0);
  EXPECT_EQ(ReadBytes(Path("a.psd"))[25], bits == 24 ? 3 : (grey ? 1 : 2));  // colour mode
}

INSTANTIATE_TEST_SUITE_P(Depths, PsdRoundTrip,
                         testing::Values(std::tuple{1, 0, 9}, std::tuple{4, 0, 5}, std::tuple{8, 0, 1},
                                         std::tuple{8, 1, 200}, std::tuple{24, 0, 3}, std::tuple{24, 0, 131}));

TEST_F(CodecTest, PsdReadsRawCmykAndSixteenBitGrey) {
  // CMYK, raw, 1 x 1, stored inverted: C 255 (no cyan), M 0, Y 255, K 128.
  Bytes b = PsdStart(4, 1, 1, 8, 4);
  Put32be(b, 0);
  Put32be(b, 0);
  Put32be(b, 0);
  Put16be(b, 0);
  for (int v : {255, 0, 255, 128}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "cmyk.psd", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0x800080u);  // 255 * 128 / 255 = 128

  b = PsdStart(1, 2, 1, 16, 1);
  Put32be(b, 0);
  Put32be(b, 0);
  Put32be(b, 0);
  Put16be(b, 0);
  Put16be(b, 0xABCD);
  Put16be(b, 0x0102);
  ASSERT_EQ(DecodeBytes(Decode, "grey16.psd", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xABu);
  EXPECT_EQ(GetPixel(*out, 1, 0), 0x01u);
}

TEST_F(CodecTest, PsdPackBitsRowsMustFillTheirRowExactly) {
  auto file = [](const Bytes& row) {
    Bytes b = PsdStart(1, 4, 1, 8, 1);
    Put32be(b, 0);
    Put32be(b, 0);
    Put32be(b, 0);
    Put16be(b, 1);
    Put16be(b, static_cast<unsigned>(row.size()));
    b.insert(b.end(), row.begin(), row.end());
    return b;
  };
  DibHandle out;
  // A run of four sevens, a no-op (0x80), then nothing: the row is full.
  ASSERT_EQ(DecodeBytes(Decode, "ok.psd", file({0xFD, 7, 0x80}), &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 3, 0), 7u);
  EXPECT_EQ(DecodeBytes(Decode, "over.psd", file({0xFC, 7}), &out), imgx::kCorrupt);   // 5 bytes in a 4-byte row
  EXPECT_EQ(DecodeBytes(Decode, "short.psd", file({0xFE, 7}), &out), imgx::kTruncated);  // 3 of 4 bytes
}

TEST_F(CodecTest, PsdFaults) {
  DibHandle out;
  Bytes b = PsdStart(3, 40000, 1, 8, 3);
  EXPECT_EQ(DecodeBytes(Decode, "wide.psd", b, &out), imgx::kBadDimensions);
  b = PsdStart(3, 30000, 30000, 8, 3);
  Put32be(b, 0);
  Put32be(b, 0);
  Put32be(b, 0);
  Put16be(b, 0);
  EXPECT_EQ(DecodeBytes(Decode, "huge.psd", b, &out), imgx::kTruncated);
  b = PsdStart(1, 4, 4, 8, 2);
  Put32be(b, 12);  // an indexed image needs 768 bytes of colours
  b.resize(b.size() + 12, 0);
  Put32be(b, 0);
  Put32be(b, 0);
  Put16be(b, 0);
  b.resize(b.size() + 16, 0);
  EXPECT_EQ(DecodeBytes(Decode, "palette.psd", b, &out), imgx::kCorrupt);
  b = PsdStart(2, 4, 4, 8, 3);
  EXPECT_EQ(DecodeBytes(Decode, "channels.psd", b, &out), imgx::kCorrupt);
  b = PsdStart(3, 4, 4, 8, 3);
  Put32be(b, 0xFFFFFFF0u);  // a section longer than the file
  EXPECT_EQ(DecodeBytes(Decode, "section.psd", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, PsdPeerReadsOursAndWeReadItsFiles) {
  KM_REQUIRE_PEER("convert-im6.q16");
  DibHandle src = MakeDib(23, 6, 24);
  FillRandom(*src, 7);
  ASSERT_EQ(EncodePSD(nullptr, Path("ours.psd"), src.get(), 0), imgx::kOk);
  DibHandle seen = PeerRead(Path("ours.psd"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  ASSERT_TRUE(PeerWrite(*src, Path("theirs.psd")));
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.psd"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));
}

}  // namespace
}  // namespace km::test
