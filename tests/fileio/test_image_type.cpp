#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"

namespace km::imgx {
namespace {

struct TypeCase {
  const char* name;
  std::string bytes;
  std::uint16_t type;
};

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) {
    s += static_cast<char>(b);
  }
  return s;
}

// A headerless MacPaint picture: version 2, 512-byte header, 720 rows of one run each.
std::string MacPaint() {
  std::string s = Bytes({0, 0, 0, 2}) + Zeros(508);
  for (int r = 0; r < 720; ++r) {
    s += Bytes({0xB9, 0x00});  // 72 zero bytes
  }
  return s;
}

std::string Targa() {
  return Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0}) + Zeros(18);
}

const TypeCase kCases[] = {
    {"png", "\x89PNG\r\n\x1A\n" + Zeros(8), 110},
    {"gif87a", "GIF87a" + Zeros(10), 6},
    {"gif89a", "GIF89a" + Zeros(10), 6},
    {"jpeg", Bytes({0xFF, 0xD8, 0xFF, 0xE0}) + Zeros(8), 11},
    {"tiffLittle", std::string("II*\0", 4) + Zeros(8), 21},
    {"tiffBig", std::string("MM\0*", 4) + Zeros(8), 21},
    {"bmpWindows", "BM" + Zeros(12) + Bytes({40, 0, 0, 0}) + Zeros(36), 0},
    {"bmpOs2", "BM" + Zeros(12) + Bytes({12, 0, 0, 0}) + Zeros(8), 0},
    {"bmpBadHeaderSize", "BM" + Zeros(12) + Bytes({41, 0, 0, 0}) + Zeros(36), 1000},
    {"psd", "8BPS" + Zeros(22), 106},
    {"sunRaster", Bytes({0x59, 0xA6, 0x6A, 0x95}) + Zeros(28), 18},
    {"cisRleHigh", "\x1BGH" + Zeros(4), 19},
    {"cisRleMedium", "\x1BGM" + Zeros(4), 19},
    {"iffIlbm", "FORM" + Zeros(4) + "ILBM", 7},
    {"iffPbm", "FORM" + Zeros(4) + "PBM ", 7},
    {"mspOld", "DanM" + Zeros(28), 14},
    {"mspNew", "LinS" + Zeros(28), 14},
    {"pcd", Zeros(2048) + "PCD_IPI" + Zeros(9), 15},
    {"wpg", "\xFFWPC" + Bytes({16, 0, 0, 0, 1, 0x16, 1, 0}) + Zeros(4), 23},
    {"pcPaint", Bytes({0x34, 0x12, 0x40, 0x01, 0xC8, 0, 0, 0, 0, 0, 0xFF, 0x02, 0, 0, 0, 0, 0}), 17},
    {"lotusPic", Bytes({1, 0, 0, 0, 1, 0, 8, 0, 0x44, 0, 0, 0, 0, 0x0C, 0x7F, 9, 6}), 506},
    {"macBinary", Zeros(65) + "PNTG" + Zeros(64), 13},
    {"macHeaderless", MacPaint(), 13},
    {"clipboard", Bytes({0x50, 0xC3, 1, 0}) + Zeros(8), 2},
    {"wmfPlaceable", Bytes({0xD7, 0xCD, 0xC6, 0x9A}) + Zeros(18), 22},
    {"wmfPlain", Bytes({1, 0, 9, 0, 0, 3}) + Zeros(12), 22},
    {"pbmAscii", "P1\n2 2\n0 1 1 0\n", 107},
    {"pgmBinary", "P5 1 1 255\n\x7F", 108},
    {"ppmComment", "P6#c\n1 1 255\n\1\2\3", 109},
    {"pcx", Bytes({0x0A, 5, 1, 8, 0, 0, 0, 0, 3, 0, 3, 0}) + Zeros(116), 16},
    {"pictWithHeader", Zeros(512) + Bytes({0, 0, 0, 0, 0, 0, 0, 10, 0, 10, 0x00, 0x11, 0x02, 0xFF}), 113},
    {"pictVersion1", Zeros(512) + Bytes({0, 0, 0, 0, 0, 0, 0, 10, 0, 10, 0x11, 0x01}), 113},
    {"gemImg", Bytes({0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 16, 0, 4}), 8},
    {"targa", Targa(), 20},
    {"haloCut", Bytes({4, 0, 2, 0, 0, 0, 3, 0, 0x84, 0x05, 0}), 3},
    {"cgmBinary", Bytes({0x00, 0x22, 0x01, 'A', 0x10, 0x22}), 111},
    {"cgmText", "BEGMF 'x';", 111},
    {"empty", "", 1000},
    {"text", "hello, world\n", 1000},
};

class ImageTypeByContent : public testing::TestWithParam<TypeCase> {};

TEST_P(ImageTypeByContent, Recognises) {
  const TypeCase& c = GetParam();
  const std::string dir = test::MakeTempDir("type");
  const std::string path = dir + "/file.xyz1";
  std::ofstream(path, std::ios::binary) << c.bytes;
  std::uint16_t type = 0;
  EXPECT_EQ(ImageType(path, &type), kOk);
  EXPECT_EQ(type, c.type);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Signatures, ImageTypeByContent, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImageTypeByContent, MissingFileCannotBeOpened) {
  std::uint16_t type = 0;
  EXPECT_EQ(ImageType("/nonexistent/dir/file.bmp", &type), kCannotOpen);
  EXPECT_EQ(type, kNoReader);
}

}  // namespace
}  // namespace km::imgx
