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

// A version 2 file: start record, a 256-entry palette (entry i = red i, green 255 - i,
// blue i / 2), one bitmap data record with the given depth code and compression, end.
std::vector<std::uint8_t> Wpg2(unsigned width, unsigned height, unsigned depthCode, unsigned compression,
                               const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> b{0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 0x16, 2, 0, 0, 0, 0, 0};
  auto record = [&b](unsigned type, const std::vector<std::uint8_t>& body) {
    b.insert(b.end(), {0x01, static_cast<std::uint8_t>(type), 0});
    if (body.size() < 0xFF) {
      b.push_back(static_cast<std::uint8_t>(body.size()));
    } else {
      b.push_back(0xFF);
      b.push_back(static_cast<std::uint8_t>(body.size() & 0xFF));
      b.push_back(static_cast<std::uint8_t>(body.size() >> 8));
    }
    b.insert(b.end(), body.begin(), body.end());
  };
  std::vector<std::uint8_t> start = Le16({300, 300});
  start.push_back(0);
  const std::vector<std::uint8_t> box = Le16({0, 0, width, height});
  start.insert(start.end(), box.begin(), box.end());
  record(0x01, start);
  std::vector<std::uint8_t> palette = Le16({0, 256});
  for (unsigned i = 0; i < 256; ++i) {
    palette.insert(palette.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i / 2), 0});
  }
  record(0x0C, palette);
  std::vector<std::uint8_t> bitmap = Le16({width, height});
  bitmap.push_back(static_cast<std::uint8_t>(depthCode));
  bitmap.push_back(static_cast<std::uint8_t>(compression));
  bitmap.insert(bitmap.end(), data.begin(), data.end());
  record(0x0E, bitmap);
  record(0x02, {});
  return b;
}

TEST_F(WpgTest, VersionTwoRunLengthCodes) {
  // 5 x 4, 8 bits:
  //   row 0: 0x84 7           five 7s
  //   row 1: 0x01 1 2         literal 1 2; 0xFD 1: two more 7s; 0xFF 0: one 0xFF
  //   row 2: 0xFE 0           row 1 again
  //   row 3: 0x7F 2           three 0s; 0x7D 1: one-byte samples; 0x81 9: two 9s
  const std::vector<std::uint8_t> data = {0x84, 7,    0x01, 1,    2, 0xFD, 1, 0xFF, 0,
                                          0xFE, 0,    0x7F, 2,    0x7D, 1, 0x81, 9};
  const std::string path = Write(Wpg2(5, 4, 4, 1, data));
  DibHandle dib;
  ASSERT_EQ(DecodeWPG(nullptr, path, &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 8);
  const std::uint32_t want[4][5] = {{7, 7, 7, 7, 7}, {1, 2, 7, 7, 255}, {1, 2, 7, 7, 255}, {0, 0, 0, 9, 9}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(GetPixel(*dib, x, y), want[y][x]) << x << "," << y;
    }
  }
  EXPECT_EQ(dib->colors()[9].rgbGreen, 246);

  // 1 bit, 10 x 3 (two bytes a row): one run of six 0xA5 bytes covers all three rows.
  ASSERT_EQ(DecodeWPG(nullptr, Write(Wpg2(10, 3, 1, 1, {0x85, 0xA5})), &dib), kOk);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(GetPixel(*dib, 0, y), 1u);
    EXPECT_EQ(GetPixel(*dib, 1, y), 0u);
    EXPECT_EQ(GetPixel(*dib, 8, y), 1u);
    EXPECT_EQ(GetPixel(*dib, 9, y), 0u);
  }
}

TEST_F(WpgTest, VersionTwoRunLengthFaults) {
  const std::vector<std::pair<std::vector<std::uint8_t>, Code>> cases = {
      {{0x84, 7, 0x7E, 0x84, 7}, kUnsupportedVariant},  // XOR rows: readers disagree on it
      {{0x7D, 2, 0x84, 7, 0x84, 7}, kUnsupportedVariant},  // two-byte samples
      {{0xFE, 1}, kCorrupt},                           // a row repeat before any row
      {{0x01, 1, 2, 0xFE, 1}, kCorrupt},               // a row repeat inside a row
      {{0x84, 7, 0xFE, 1}, kCorrupt},                  // two more rows in a two-row picture
      {{0x84, 7, 0x85, 7}, kCorrupt},                  // a run past the picture
      {{0x84, 7, 0x09, 1, 2}, kCorrupt},               // a literal past the picture
      {{0x84, 7, 0x03, 1, 2}, kTruncated},             // a literal cut short
      {{0x84, 7}, kTruncated},                         // one row of two
  };
  for (const auto& [data, code] : cases) {
    DibHandle dib;
    EXPECT_EQ(DecodeWPG(nullptr, Write(Wpg2(5, 2, 4, 1, data)), &dib), code) << data.size();
    EXPECT_EQ(dib, nullptr);
  }
  DibHandle dib;
  EXPECT_EQ(DecodeWPG(nullptr, Write(Wpg2(5, 2, 4, 2, {0x84, 7, 0x84, 7})), &dib), kUnsupportedVariant);
}

TEST_F(WpgTest, PeerReadsVersionTwoRunLengthAsWeDo) {
  KM_REQUIRE_PEER("convert-im6.q16");
  const std::vector<std::uint8_t> data = {0x84, 7,    0x01, 1,    2, 0xFD, 1, 0xFF, 0,
                                          0xFE, 0,    0x7F, 2,    0x7D, 1, 0x81, 9};
  const std::string path = Write(Wpg2(5, 4, 4, 1, data));
  DibHandle ours;
  ASSERT_EQ(DecodeWPG(nullptr, path, &ours), kOk);
  DibHandle seen = km::test::PeerRead(path);
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(km::test::SameColours(*ours, *seen, 0, &why)) << why;
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
