#include <gtest/gtest.h>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeMSP;
using imgx::EncodeMSP;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeMSP(nullptr, path, out); }

// The 32-byte header with its checksum (the XOR of the first 13 words is zero).
Bytes MspHeader(int version, int width, int height) {
  std::uint16_t words[16] = {static_cast<std::uint16_t>(version == 1 ? 0x6144 : 0x694C),
                             static_cast<std::uint16_t>(version == 1 ? 0x4D6E : 0x536E),
                             static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 1, 1, 1, 1,
                             0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i) {
    words[12] ^= words[i];
  }
  Bytes b;
  for (std::uint16_t w : words) {
    Put16le(b, w);
  }
  return b;
}

TEST_F(CodecTest, MspRoundTripAcrossWidthsAndTables) {
  for (int width : {1, 8, 13, 700}) {
    for (bool whiteFirst : {false, true}) {
      DibHandle src = MakeDib(width, 5, 1);
      src->colors()[whiteFirst ? 0 : 1] = RgbQuad{255, 255, 255, 0};
      FillRandom(*src, static_cast<std::uint32_t>(width));
      ASSERT_EQ(EncodeMSP(nullptr, Path("a.msp"), src.get()), imgx::kOk);
      const Bytes file = ReadBytes(Path("a.msp"));
      std::uint16_t x = 0;
      for (int i = 0; i < 13; ++i) {
        x ^= static_cast<std::uint16_t>(file[2 * i] | (file[2 * i + 1] << 8));
      }
      EXPECT_EQ(x, 0) << "checksum";
      DibHandle back;
      ASSERT_EQ(Decode(Path("a.msp"), &back), imgx::kOk);
      std::string why;
      EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << width << ": " << why;
    }
  }
}

TEST_F(CodecTest, MspReadsBothVersionsBuiltByHand) {
  // Version 1, 10 x 2: raw rows of two bytes, 1 = white.
  Bytes b = MspHeader(1, 10, 2);
  for (int v : {0xFF, 0xC0, 0x00, 0x40}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "v1.msp", b, &out), imgx::kOk);
  std::vector<std::uint32_t> px = RgbPixels(*out);
  EXPECT_EQ(px[9], 0xFFFFFFu);
  EXPECT_EQ(px[10], 0u);
  EXPECT_EQ(px[18], 0u);
  EXPECT_EQ(px[19], 0xFFFFFFu);

  // Version 2, 20 x 2 (3 bytes a row): the row map, then "run of 3 of 0x0F" and
  // "literal 1 byte 0x80, run of 2 of 0xFF".
  b = MspHeader(2, 20, 2);
  Put16le(b, 3);
  Put16le(b, 5);
  for (int v : {0, 3, 0x0F, 1, 0x80, 0, 2, 0xFF}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  ASSERT_EQ(DecodeBytes(Decode, "v2.msp", b, &out), imgx::kOk);
  px = RgbPixels(*out);
  EXPECT_EQ(px[3], 0u);
  EXPECT_EQ(px[4], 0xFFFFFFu);
  EXPECT_EQ(px[20], 0xFFFFFFu);
  EXPECT_EQ(px[21], 0u);
  EXPECT_EQ(px[39], 0xFFFFFFu);

  b[b.size() - 2] = 3;  // the last run now goes past its row
  EXPECT_EQ(DecodeBytes(Decode, "over.msp", b, &out), imgx::kCorrupt);
  b[b.size() - 2] = 1;  // and now leaves the row short
  EXPECT_EQ(DecodeBytes(Decode, "short.msp", b, &out), imgx::kCorrupt);
}

TEST_F(CodecTest, MspVersionTwoRowOfSizeZeroIsBlank) {
  // 16 x 3: row 0 black (run of 2 of 0x00), row 1 has no coded bytes, row 2 "0xF0 0x0F".
  Bytes b = MspHeader(2, 16, 3);
  Put16le(b, 3);
  Put16le(b, 0);
  Put16le(b, 3);
  for (int v : {0, 2, 0x00, 2, 0xF0, 0x0F}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "blank.msp", b, &out), imgx::kOk);
  const std::vector<std::uint32_t> px = RgbPixels(*out);
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(px[static_cast<std::size_t>(x)], 0u) << x;
    EXPECT_EQ(px[static_cast<std::size_t>(16 + x)], 0xFFFFFFu) << x;
    EXPECT_EQ(px[static_cast<std::size_t>(32 + x)], (x < 4 || x >= 12) ? 0xFFFFFFu : 0u) << x;
  }
}

TEST_F(CodecTest, MspFaults) {
  DibHandle out;
  Bytes b = MspHeader(2, 20, 2);
  Put16le(b, 3);
  Put16le(b, 60000);  // more than the file holds
  b.resize(b.size() + 8, 0);
  EXPECT_EQ(DecodeBytes(Decode, "map.msp", b, &out), imgx::kTruncated);
  b = MspHeader(1, 32767, 32767);
  b.resize(b.size() + 100, 0);
  EXPECT_EQ(DecodeBytes(Decode, "huge.msp", b, &out), imgx::kTruncated);
  b = MspHeader(2, 0, 2);
  EXPECT_EQ(DecodeBytes(Decode, "zero.msp", b, &out), imgx::kBadDimensions);
  b = MspHeader(2, 9000, 1);
  Put16le(b, 1);  // one byte cannot code a row of 1125 bytes
  b.push_back(0);
  EXPECT_EQ(DecodeBytes(Decode, "ratio.msp", b, &out), imgx::kCorrupt);
  b = MspHeader(1, 8, 8);
  b.resize(20);
  EXPECT_EQ(DecodeBytes(Decode, "header.msp", b, &out), imgx::kTruncated);
  EXPECT_EQ(EncodeMSP(nullptr, Path("x.msp"), MakeGrey(2, 2).get()), imgx::kDepthNotWritable);
}

}  // namespace
}  // namespace km::test
