#include <gtest/gtest.h>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeMAC;
using imgx::EncodeMAC;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeMAC(nullptr, path, out); }

DibHandle Picture(std::uint32_t seed) {
  DibHandle dib = MakeDib(576, 720, 1);
  dib->colors()[0] = RgbQuad{255, 255, 255, 0};
  FillRandom(*dib, seed);
  for (int x = 0; x < 576; ++x) {
    SetPixel(*dib, x, 10, 1);  // a black row packs into runs
  }
  return dib;
}

class MacRoundTrip : public CodecTest, public testing::WithParamInterface<int> {};

TEST_P(MacRoundTrip, KeepsEveryPixel) {
  const int withoutHeader = GetParam();
  DibHandle src = Picture(3);
  ASSERT_EQ(EncodeMAC(nullptr, Path("a.mac"), src.get(), withoutHeader), imgx::kOk);
  const Bytes file = ReadBytes(Path("a.mac"));
  if (withoutHeader == 0) {
    EXPECT_EQ(file[1], 5);  // the name "a.mac"
    EXPECT_EQ(std::string(file.begin() + 65, file.begin() + 69), "PNTG");
  } else {
    EXPECT_EQ(file[1], 0);
  }
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.mac"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *back, 0, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(SubTypes, MacRoundTrip, testing::Values(0, 1));

TEST_F(CodecTest, MacRunsMayCrossRowsButNotTheEnd) {
  Bytes b(512, 0);
  b.push_back(0x81);  // 128 bytes of 0xAA: row 0 and 56 bytes of row 1
  b.push_back(0xAA);
  for (int i = 0; i < 404; ++i) {  // 404 * 128 = the remaining 51712 bytes
    b.push_back(0x81);
    b.push_back(0x00);
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "cross.mac", b, &out), imgx::kOk);
  const std::vector<std::uint32_t> px = RgbPixels(*out);
  EXPECT_EQ(px[576 + 440], 0u);         // row 1, byte 55 is still 0xAA: black, white
  EXPECT_EQ(px[576 + 441], 0xFFFFFFu);
  EXPECT_EQ(px[576 + 446], 0u);
  EXPECT_EQ(px[576 + 448], 0xFFFFFFu);  // byte 56 comes from the zero runs: white
  b.push_back(0x00);
  b.push_back(0x00);  // trailing bytes after the picture are ignored
  ASSERT_EQ(DecodeBytes(Decode, "tail.mac", b, &out), imgx::kOk);
  b.resize(b.size() - 4);
  b.push_back(0x82);  // the last run now holds 127 bytes where 128 are left: then one more run of 127
  b.push_back(0x00);
  b.push_back(0x82);
  b.push_back(0x00);
  EXPECT_EQ(DecodeBytes(Decode, "past.mac", b, &out), imgx::kCorrupt);
  b.resize(700);
  EXPECT_EQ(DecodeBytes(Decode, "short.mac", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, MacWritesOnlyItsOwnSize) {
  DibHandle small = MakeDib(640, 480, 1);
  EXPECT_EQ(EncodeMAC(nullptr, Path("a.mac"), small.get(), 1), imgx::kBadDimensions);
  DibHandle grey = MakeGrey(576, 720);
  EXPECT_EQ(EncodeMAC(nullptr, Path("a.mac"), grey.get(), 1), imgx::kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(Path("a.mac")));
}

TEST_F(CodecTest, MacPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("macptopbm");
  KM_REQUIRE_PEER("pbmtomacp");
  DibHandle src = Picture(8);
  ASSERT_EQ(EncodeMAC(nullptr, Path("ours.mac"), src.get(), 1), imgx::kOk);
  DibHandle seen = NetpbmRead("macptopbm", Path("ours.mac"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  ASSERT_TRUE(NetpbmWriteBitmap(*src, "pbmtomacp", Path("theirs.mac")));
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.mac"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));
}

}  // namespace
}  // namespace km::test
