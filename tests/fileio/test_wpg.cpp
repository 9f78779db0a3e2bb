// WordPerfect graphics: hand-built 5.x files with every packing code, round trips of
// the three written versions, the peer reading what we write, and the bad-file corpus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileio/LegacyBadFiles.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

using km::test::GetPixel;

struct Wpg {
  std::vector<std::uint8_t> b{0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 0x16, 1, 0, 0, 0, 0, 0};
  void u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
  void u16(unsigned v) { u8(v & 0xFF); u8(v >> 8); }
  void record(unsigned type, const std::vector<std::uint8_t>& body) {
    u8(type);
    if (body.size() < 0xFF) {
      u8(static_cast<unsigned>(body.size()));
    } else {
      u8(0xFF);
      u16(static_cast<unsigned>(body.size()));
    }
    b.insert(b.end(), body.begin(), body.end());
  }
};

std::vector<std::uint8_t> Le16(std::initializer_list<unsigned> values) {
  std::vector<std::uint8_t> out;
  for (unsigned v : values) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  return out;
}

class WpgTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = km::test::MakeTempDir("wpg"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_ + "/t.wpg";
    EXPECT_EQ(WriteFileBytes(path, bytes), kOk);
    return path;
  }
  std::string dir_;
};

TEST_F(WpgTest, EveryPackingCodeOfVersionOne) {
  // 4 x 4, 8 bits, rows top first:
  //   row 0: 0x84 5        four 5s
  //   row 1: 0x02 1 2 then 0x80 2   literal 1 2, then two 0xFF
  //   rows 2, 3: 0x00 2    row 1 twice more
  Wpg f;
  f.record(0x0F, {1, 0, 0, 0, 0, 0});
  std::vector<std::uint8_t> map = Le16({254, 2});
  map.insert(map.end(), {10, 20, 30, 40, 50, 60});
  f.record(0x0E, map);
  std::vector<std::uint8_t> bm = Le16({4, 4, 8, 300, 300});
  bm.insert(bm.end(), {0x84, 5, 0x02, 1, 2, 0x80, 2, 0x00, 2});
  f.record(0x0B, bm);
  f.record(0x10, {});
  DibHandle dib;
  ASSERT_EQ(DecodeWPG(nullptr, Write(f.b), &dib), kOk);
  ASSERT_EQ(ValidateDib(dib.get()), kOk);
  ASSERT_EQ(dib->bitCount(), 8);
  const std::uint32_t rest[4] = {1, 2, 255, 255};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), 5u);
    for (int y = 1; y < 4; ++y) {
      EXPECT_EQ(GetPixel(*dib, x, y), rest[x]) << x << "," << y;
    }
  }
  EXPECT_EQ(dib->colors()[254].rgbRed, 10);
  EXPECT_EQ(dib->colors()[255].rgbBlue, 60);
}

TEST_F(WpgTest, VersionFiveOneBitmapWithTwoBitPixels) {
  Wpg f;
  std::vector<std::uint8_t> bm = Le16({0, 0, 0, 100, 100, 5, 1, 2, 75, 75});
  bm.insert(bm.end(), {0x02, 0x1B, 0x80});  // two literal bytes: 0 1 2 3, 2 (padding bits ignored)
  f.record(0x14, bm);
  DibHandle dib;
  ASSERT_EQ(DecodeWPG(nullptr, Write(f.b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 4);
  const std::uint32_t want[5] = {0, 1, 2, 3, 2};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), want[x]);
  }
}

class WpgRoundTrip : public WpgTest, public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(WpgRoundTrip, PixelsAndPaletteSurvive) {
  const auto [version, bits, width] = GetParam();
  DibHandle src = km::test::MakeDib(width, 9, bits);
  for (int i = 0; i < src->colorCount(); ++i) {
    src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i ^ 0x5A),
                               static_cast<std::uint8_t>(255 - i), 0};
  }
  km::test::FillRandom(*src, 11u + bits);
  for (int y = 4; y < 8; ++y) {  // equal rows, for the row repeat
    for (int x = 0; x < width; ++x) {
      km::test::SetPixel(*src, x, y, x % 3 == 0 ? 1u : 0u);
    }
  }
  const std::string path = dir_ + "/rt.wpg";
  ASSERT_EQ(EncodeWPG(nullptr, path, src.get(), version, 300), kOk);
  DibHandle back;
  ASSERT_EQ(DecodeWPG(nullptr, path, &back), kOk);
  std::string why;
  EXPECT_TRUE(km::test::SamePixels(*src, *back, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Versions, WpgRoundTrip,
                         ::testing::Combine(::testing::Values(50, 51, 60), ::testing::Values(1, 4, 8),
                                            ::testing::Values(1, 13, 300)));

TEST_F(WpgTest, TwentyFourBitsIsNotWritable) {
  DibHandle src = km::test::MakeRgb(3, 3, 1, 2, 3);
  EXPECT_EQ(EncodeWPG(nullptr, dir_ + "/x.wpg", src.get(), 50, 300), kDepthNotWritable);
}

TEST_F(WpgTest, PeerReadsEveryVersionWeWrite) {
  KM_REQUIRE_PEER_CONVERT();
  for (const int version : {50, 51, 60}) {
    for (const int bits : {1, 4, 8}) {
      DibHandle src = km::test::MakeDib(23, 6, bits);
      for (int i = 0; i < src->colorCount(); ++i) {
        src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i), 90, static_cast<std::uint8_t>(3 * i), 0};
      }
      km::test::FillRandom(*src, 21u);
      for (int x = 0; x < 23; ++x) {
        for (int y = 2; y < 5; ++y) {
          km::test::SetPixel(*src, x, y, x / 8 % 2);
        }
      }
      const std::string path = dir_ + "/peer" + std::to_string(version) + "_" + std::to_string(bits) + ".wpg";
      ASSERT_EQ(EncodeWPG(nullptr, path, src.get(), version, 150), kOk);
      DibHandle seen = km::test::PeerRead(path);
      ASSERT_NE(seen, nullptr) << version << "/" << bits;
      std::string why;
      EXPECT_TRUE(km::test::SameColours(*src, *seen, 0, &why)) << version << "/" << bits << ": " << why;
    }
  }
}

TEST(WpgBadFiles, EveryFileGivesACodeAndNoImage) {
  km::test::ExpectBadCorpus("wpg", [](const std::string& path, DibHandle* out) {
    return DecodeWPG(nullptr, path, out);
  });
}

}  // namespace
}  // namespace km::imgx
