// The standard 16- and 256-colour palettes: the lookup file, ordered dither thresholds
// and rules, error diffusion against the reference colours, progress and cancel.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/ProgramFile.h"
#include "imaging/palette/Palette.h"
#include "imaging/palette/StandardTables.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using test::PictureRow;

const std::string kPalx = std::string(KILNMARK_BIN_DIR) + "/PALX.DAT";

TEST(PalxFile, BuiltNextToTheExecutablesWithBothTables) {
  std::ifstream in(kPalx, std::ios::binary);
  ASSERT_TRUE(in) << kPalx;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), kLookupFileSize);
  auto at16 = [&](int r, int g, int b) { return static_cast<int>(bytes[ColorKey15(r, g, b)]); };
  auto at256 = [&](int r, int g, int b) { return static_cast<int>(bytes[kLookupTableSize + ColorKey15(r, g, b)]); };
  EXPECT_EQ(at16(0, 0, 0), 0);
  EXPECT_EQ(at16(255, 0, 0), 9);
  EXPECT_EQ(at16(128, 0, 0), 1);
  EXPECT_EQ(at16(192, 192, 192), 7);
  EXPECT_EQ(at16(255, 255, 255), 15);
  EXPECT_EQ(at256(255, 255, 255), 215);
  EXPECT_EQ(at256(0, 0, 0), 0);
  EXPECT_EQ(at256(102, 51, 255), 2 + 6 + 180);
}

TEST(PalxFile, FoundBesideTheRunningProgram) {
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::equivalent(ProgramFilePath("PALX.DAT"), kPalx));
  // A file that is nowhere still gets the path beside the program, which fails to open.
  EXPECT_EQ(fs::path(ProgramFilePath("NOSUCH.DAT")).parent_path(), fs::canonical(KILNMARK_BIN_DIR));
}

struct ThresholdCase {
  int x, y, colors, expected;
};

class ThresholdTest : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(ThresholdTest, RoundsHalfUp) {
  const ThresholdCase& c = GetParam();
  EXPECT_EQ(OrderedDitherThreshold(c.x, c.y, c.colors), c.expected);
}

// B[3][0] = 15 twice gives 255: 50 and 253. (1, 0): 16 * 12 = 192 gives 37.5 -> 38 and
// 190.5 -> 191. (0, 1): 16 * 8 = 128: 25 and 127. (4, 0): B[0][0] * 16 + B[1][0] = 12.
INSTANTIATE_TEST_SUITE_P(HandWorked, ThresholdTest,
                         ::testing::Values(ThresholdCase{0, 0, 256, 0}, ThresholdCase{15, 0, 256, 50},
                                           ThresholdCase{15, 0, 16, 253}, ThresholdCase{1, 0, 256, 38},
                                           ThresholdCase{1, 0, 16, 191}, ThresholdCase{0, 1, 256, 25},
                                           ThresholdCase{0, 1, 16, 127}, ThresholdCase{4, 0, 16, 12},
                                           ThresholdCase{4, 0, 256, 2}));

DibHandle Solid(int w, int h, int r, int g, int b) {
  return test::MakeRgb(w, h, static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
}

TEST(OrderedDither16, Grey128IsIndex8AtEveryThreshold) {
  DibHandle img = Solid(16, 16, 128, 128, 128);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 1, false, ""), kOk);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(test::GetPixel(*out, x, y), 8u) << x << "," << y;
    }
  }
  EXPECT_EQ(out->colors()[8].rgbRed, 128);
  EXPECT_EQ(out->colors()[7].rgbRed, 192);
}

struct Ordered16Case {
  const char* name;
  int r, g, b;
  std::vector<int> expected;  // pixels x = 0, 1, 4 of stored row 0: thresholds 0, 191, 12
};

class Ordered16Test : public ::testing::TestWithParam<Ordered16Case> {};

TEST_P(Ordered16Test, GreyAndColourRules) {
  const Ordered16Case& c = GetParam();
  DibHandle img = Solid(5, 1, c.r, c.g, c.b);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 1, false, ""), kOk);
  const auto row = PictureRow(*out, 0);
  EXPECT_EQ((std::vector<int>{row[0], row[1], row[4]}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Ordered16Test,
    ::testing::Values(
        // v < 128: 8 when t / 2 < v (0 < 100, 95 < 100, 6 < 100).
        Ordered16Case{"grey100", 100, 100, 100, {8, 8, 8}},
        // 95 is not below 90.
        Ordered16Case{"grey90", 90, 90, 90, {8, 0, 8}},
        // 128..191: 7 when (t / 4 | 0x80) < v: 128 < 150, 175 !< 150, 131 < 150.
        Ordered16Case{"grey150", 150, 150, 150, {7, 8, 7}},
        // above 191: 7 when v < (t / 4 | 0xC0): 200 !< 192, 200 < 239, 200 !< 195.
        Ordered16Case{"grey200", 200, 200, 200, {15, 7, 15}},
        // colour: [t < r] + 2 [t < g] + 4 [t < b], plus 8 when a channel is above 128.
        Ordered16Case{"red200", 200, 0, 0, {9, 9, 9}}, Ordered16Case{"red180blue10", 180, 0, 10, {13, 8, 9}},
        Ordered16Case{"dark", 100, 50, 0, {3, 0, 3}}),
    [](const auto& info) { return test::SafeName(info.param.name); });

TEST(OrderedDither256, LevelsPlusThresholdedRemainders) {
  // red 112 = 2 * 51 + 10, green 0, blue 255 = 5 * 51: threshold 0 lifts red a level,
  // threshold 38 (x = 1) does not.
  DibHandle img = Solid(2, 1, 112, 0, 255);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 1, false, ""), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{183, 182}));
  EXPECT_EQ(out->colors()[183].rgbRed, 153);
  EXPECT_EQ(out->colors()[183].rgbBlue, 255);
  EXPECT_EQ(out->colors()[255].rgbRed, 0);
}

TEST(OrderedDither256, RowCounterIsTheStoredRowNumber) {
  // Height 2: the top row is stored row 1, whose thresholds are column (x, 1): 25 at x 0.
  DibHandle img = Solid(1, 2, 51 + 20, 0, 0);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 1, false, ""), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 1u);  // 25 !< 20
  EXPECT_EQ(test::GetPixel(*out, 0, 1), 2u);  // 0 < 20
}

TEST(StandardPalette, NearestColourThroughTheLookupFile) {
  DibHandle img = test::MakeDib(3, 1, 24);
  test::SetPixel(*img, 0, 0, 0xFA0505);
  test::SetPixel(*img, 1, 0, 0xC0C0C0);
  test::SetPixel(*img, 2, 0, 0x000000);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 0, false, kPalx), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{9, 7, 0}));
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 0, false, kPalx), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{5, 4 + 24 + 144, 0}));
}

TEST(StandardPalette, FourBitSourceIsRemappedThroughTheTable) {
  DibHandle img = test::MakeDib(2, 1, 4, 2);
  img->colors()[0] = test::Quad(250, 5, 5);
  img->colors()[1] = test::Quad(0, 0, 250);
  test::SetPixel(*img, 1, 0, 1);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 0, false, kPalx), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{9, 12}));
}

TEST(StandardPalette, ErrorDiffusion16MeasuresAgainstTheReferenceColours) {
  // Red 100 (key 12, widened 99) is entry 1, whose reference red is 170: e = -70, right
  // share -33. 67 (widened 66) is still entry 1: e = -103, right share -47. 53 is black.
  // Measured against the output colour 128 all three would stay on entry 1.
  DibHandle img = Solid(3, 1, 100, 0, 0);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 2, false, kPalx), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(out->colors()[1].rgbRed, 128);
}

class TempFolder : public ::testing::Test {
protected:
  void SetUp() override { dir_ = test::MakeTempDir("palx"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(TempFolder, MissingOrShortLookupFile) {
  DibHandle img = Solid(4, 4, 10, 20, 30);
  DibHandle out;
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 0, false, dir_ + "/none.dat"), kTableCannotOpen);
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 2, false, ""), kTableCannotOpen);
  const std::string shortFile = dir_ + "/PALX.DAT";
  {
    std::ofstream f(shortFile, std::ios::binary);
    std::vector<char> bytes(40000, 0);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 0, false, shortFile), kFileShortRead);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 0, false, shortFile), kOk);
}

TEST_F(TempFolder, DamagedTableCannotNamePastSixteenColours) {
  const std::string path = dir_ + "/PALX.DAT";
  {
    std::ofstream f(path, std::ios::binary);
    std::vector<char> bytes(kLookupFileSize, static_cast<char>(0xFF));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  DibHandle img = Solid(4, 4, 10, 20, 30);
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 4, 2, false, path), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 15u);
}

TEST(StandardPalette, ProgressAndCancel) {
  DibHandle img = Solid(3, 4, 10, 20, 30);
  test::RecordingProgress progress;
  DibHandle out;
  ASSERT_EQ(StandardPaletteDIB(&progress, img.get(), &out, 8, 1, false, ""), kOk);
  EXPECT_EQ(progress.reports, (std::vector<int>{0, 25, 50, 75, 100, 100}));

  test::RecordingProgress stop(2);
  EXPECT_EQ(StandardPaletteDIB(&stop, img.get(), &out, 8, 0, false, kPalx), kCancelled);
  EXPECT_EQ(out, nullptr);
}

TEST(StandardPalette, RefusesBadArguments) {
  DibHandle img = Solid(3, 4, 10, 20, 30);
  DibHandle mono = test::MakeDib(3, 4, 1);
  DibHandle out;
  EXPECT_EQ(StandardPaletteDIB(nullptr, mono.get(), &out, 8, 1, false, ""), kInvalidArgument);
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 24, 1, false, ""), kInvalidArgument);
  EXPECT_EQ(StandardPaletteDIB(nullptr, img.get(), &out, 8, 3, false, ""), kInvalidArgument);
  EXPECT_EQ(StandardPaletteDIB(nullptr, nullptr, &out, 8, 1, false, ""), kInvalidArgument);
}

}  // namespace
}  // namespace km
