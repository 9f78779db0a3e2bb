#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "geometry/GeometryTestUtil.h"
#include "imaging/geometry/Geometry.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

using test::GetPixel;
using test::SetPixel;

TEST(Borders, LeftBordersOnAOneBitRowShareItsFirstByte) {
  DibHandle src = test::MakeDib(5, 2, 1);
  for (int x : {0, 2, 3}) {
    SetPixel(*src, x, 0, 1);
    SetPixel(*src, x, 1, 1);
  }
  DibHandle out;
  ASSERT_EQ(AddBordersDIB(nullptr, src.get(), &out, 0, 0, 0, 3, 1, 0, 0), kOk);
  ASSERT_EQ(out->width(), 8);
  EXPECT_EQ(out->row(0)[0], 0xF6);  // 111 then 10110
  EXPECT_EQ(out->row(1)[0], 0xF6);
  EXPECT_EQ(out->row(0)[1], 0);
  ASSERT_EQ(AddBordersDIB(nullptr, src.get(), &out, 0, 0, 0, 3, 0, 0, 0), kOk);
  EXPECT_EQ(out->row(0)[0], 0x16);
}

TEST(Borders, FourBitFillsOnlyTheNibblesOfTheImage) {
  DibHandle src = test::MakeDib(3, 1, 4);
  SetPixel(*src, 0, 0, 1);
  SetPixel(*src, 1, 0, 2);
  SetPixel(*src, 2, 0, 3);
  DibHandle out;
  ASSERT_EQ(AddBordersDIB(nullptr, src.get(), &out, 1, 0, 2, 1, 0xA, 0, 0), kOk);
  ASSERT_EQ(out->width(), 6);
  ASSERT_EQ(out->height(), 2);
  const std::uint8_t middle[4] = {0xA1, 0x23, 0xAA, 0};
  EXPECT_EQ(std::memcmp(out->row(0), middle, 4), 0);
  const std::uint8_t top[4] = {0xAA, 0xAA, 0xAA, 0};
  EXPECT_EQ(std::memcmp(out->row(1), top, 4), 0);
  ASSERT_EQ(AddBordersDIB(nullptr, src.get(), &out, 1, 0, 0, 0, 5, 0, 0), kOk);
  EXPECT_EQ(out->row(1)[0], 0x55);
  EXPECT_EQ(out->row(1)[1], 0x50);  // the padding nibble stays clear
}

TEST(Borders, CentringOneHundredAndOneOnOneHundredAndFour) {
  // The canvas arithmetic gives left 1, right 2, top 1, bottom 2.
  DibHandle src = test::MakeRgb(101, 101, 0, 0, 0);
  test::FillRandom(*src, 5);
  DibHandle out;
  ASSERT_EQ(AddBordersDIB(nullptr, src.get(), &out, 1, 2, 2, 1, 0xFF, 0x80, 0x01), kOk);
  ASSERT_EQ(out->width(), 104);
  ASSERT_EQ(out->height(), 104);
  EXPECT_EQ(GetPixel(*out, 1, 1), GetPixel(*src, 0, 0));
  EXPECT_EQ(GetPixel(*out, 101, 101), GetPixel(*src, 100, 100));
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{0, 50}, std::pair{102, 50}, std::pair{103, 50},
                             std::pair{50, 0}, std::pair{50, 102}, std::pair{50, 103}}) {
    EXPECT_EQ(GetPixel(*out, x, y), 0xFF8001u) << x << "," << y;
  }
}

TEST(Borders, ReportsAtAQuarterThreeQuartersAndTheEnd) {
  DibHandle src = test::MakeDib(7, 3, 1);
  test::RecordingSink sink;
  DibHandle out;
  ASSERT_EQ(AddBordersDIB(&sink, src.get(), &out, 2, 2, 2, 2, 1, 0, 0), kOk);
  EXPECT_EQ(sink.reports, (std::vector<int>{25, 75, 100}));
  test::RecordingSink late(2);  // cancel seen at the second test, after the source rows
  EXPECT_EQ(AddBordersDIB(&late, src.get(), &out, 2, 2, 2, 2, 1, 0, 0), kCancelled);
  EXPECT_EQ(out, nullptr);
}

TEST(Borders, Refusals) {
  DibHandle src = test::MakeGrey(10, 10);
  DibHandle out;
  EXPECT_EQ(AddBordersDIB(nullptr, src.get(), &out, -1, 0, 0, 0, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(AddBordersDIB(nullptr, src.get(), &out, 0, 0, 32760, 0, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(AddBordersDIB(nullptr, nullptr, &out, 1, 1, 1, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
}  // namespace km
