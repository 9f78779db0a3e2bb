// Palette files: text palettes and RIFF palettes, well-formed and malformed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/palette/Palette.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using test::Rgb;
using test::operator==;

const RgbQuad kMarker{0xAB, 0xAB, 0xAB, 0xAB};

class PaletteFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = test::MakeTempDir("palfiles");
    std::fill(palette_, palette_ + 256, kMarker);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& bytes, const std::string& name = "p.pal") {
    const std::string path = dir_ + "/" + name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  OpResult Text(const std::string& bytes) { return ReadTextPalette(Write(bytes), palette_, &count_); }
  OpResult Riff(const std::string& bytes) { return ReadRiffPalette(Write(bytes), palette_, &count_); }

  std::string dir_;
  RgbQuad palette_[256];
  int count_ = -1;
};

// "TAVO-PAL", "0100", the count, then colour lines i: (i, 2i, 3i) mod 256.
std::string TextFile(int count, int lines, const std::string& signature = "TAVO-PAL") {
  std::string s = signature + "\r\n0100\r\n" + std::to_string(count) + "\r\n";
  for (int i = 0; i < lines; ++i) {
    s += std::to_string(i % 256) + " " + std::to_string(2 * i % 256) + " " + std::to_string(3 * i % 256) + "\r\n";
  }
  return s;
}

TEST_F(PaletteFiles, TextSignatureInAnyCase) {
  for (const char* sig : {"TAVO-PAL", "tavo-pal", "Tavo-Pal"}) {
    ASSERT_EQ(Text(TextFile(16, 16, sig)), kOk) << sig;
    EXPECT_EQ(count_, 16);
    EXPECT_EQ(palette_[5], (Rgb{5, 10, 15}));
    EXPECT_EQ(palette_[15], (Rgb{15, 30, 45}));
    EXPECT_EQ(palette_[15].rgbReserved, 0);
  }
}

TEST_F(PaletteFiles, TextValuesAreClamped) {
  std::string s = TextFile(16, 0) + "300 -5 7\r\n";
  for (int i = 1; i < 16; ++i) {
    s += "0 0 0\r\n";
  }
  ASSERT_EQ(Text(s), kOk);
  EXPECT_EQ(palette_[0], (Rgb{255, 0, 7}));
}

TEST_F(PaletteFiles, TextReadsExactlyTheCountedLines) {
  ASSERT_EQ(Text(TextFile(16, 40)), kOk);
  EXPECT_EQ(count_, 16);
  EXPECT_EQ(palette_[15], (Rgb{15, 30, 45}));
  EXPECT_EQ(palette_[16].rgbRed, kMarker.rgbRed);
  ASSERT_EQ(Text(TextFile(256, 256)), kOk);
  EXPECT_EQ(count_, 256);
  EXPECT_EQ(palette_[255], (Rgb{255, 254, 253}));
}

struct TextCase {
  const char* name;
  std::string bytes;
  OpResult expected;
};

class TextMalformed : public PaletteFiles, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextMalformed, GivesItsCode) {
  EXPECT_EQ(Text(GetParam().bytes), GetParam().expected);
  EXPECT_EQ(palette_[0].rgbRed, kMarker.rgbRed);  // nothing written on failure
}

std::string Header16() { return "TAVO-PAL\r\n0100\r\n16\r\n"; }

INSTANTIATE_TEST_SUITE_P(
    Cases, TextMalformed,
    ::testing::Values(
        TextCase{"other signature", "TAVO-PAX\r\n0100\r\n16\r\n", kNotAPalette},
        TextCase{"version", "TAVO-PAL\r\n0200\r\n16\r\n", kBadPaletteVersion},
        TextCase{"count 17", "TAVO-PAL\r\n0100\r\n17\r\n", kBadPaletteCount},
        TextCase{"count 255", "TAVO-PAL\r\n0100\r\n255\r\n", kBadPaletteCount},
        TextCase{"count letters", "TAVO-PAL\r\n0100\r\n1x\r\n", kBadPaletteCount},
        TextCase{"four digits", Header16() + "1234 0 0\r\n", kNotAPalette},
        TextCase{"no separators", Header16() + "123456789\r\n", kNotAPalette},
        TextCase{"blue without CR", Header16() + "1 2 3 4\r\n", kNotAPalette},
        TextCase{"two numbers", Header16() + "1 2\r\n", kNotAPalette},
        TextCase{"letters", Header16() + "a b c\r\n", kNotAPalette},
        TextCase{"lone minus", Header16() + "- 0 0\r\n", kNotAPalette},
        TextCase{"empty file", "", kFileShortRead}),
    [](const auto& info) { return test::SafeName(info.param.name); });

TEST_F(PaletteFiles, TextTruncatedAtEveryByte) {
  const std::string full = TextFile(16, 16);
  const std::size_t header = 20;
  for (std::size_t len = 0; len <= full.size(); ++len) {
    std::fill(palette_, palette_ + 256, kMarker);
    const OpResult rc = Text(full.substr(0, len));
    if (len < header) {
      EXPECT_EQ(rc, kFileShortRead) << len;
    } else if (len + 1 < full.size()) {
      EXPECT_EQ(rc, kNotAPalette) << len;
      EXPECT_EQ(count_, 0);
    } else {
      // Only the last LF missing: it is skipped unread.
      EXPECT_EQ(rc, kOk) << len;
    }
  }
}

// A RIFF "PAL " form with one "data" chunk: version 0x300, n, then n entries
// (red i, green 2i, blue 255 - i, flags 0). extra bytes are appended to the chunk.
std::string RiffFile(int n, int entries, int extra = 0, std::string before = "") {
  std::string data;
  data += '\x00';
  data += '\x03';
  data += static_cast<char>(n & 0xFF);
  data += static_cast<char>((n >> 8) & 0xFF);
  for (int i = 0; i < entries; ++i) {
    data += static_cast<char>(i);
    data += static_cast<char>(2 * i);
    data += static_cast<char>(255 - i);
    data += '\x05';
  }
  data.append(static_cast<std::size_t>(extra), '\0');
  auto le32 = [](std::size_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  std::string chunk = "data" + le32(data.size()) + data;
  std::string body = "PAL " + before + chunk;
  return "RIFF" + le32(body.size()) + body;
}

TEST_F(PaletteFiles, RiffOfTwentyEntriesReports256) {
  ASSERT_EQ(Riff(RiffFile(20, 20)), kOk);
  EXPECT_EQ(count_, 256);
  EXPECT_EQ(palette_[0], (Rgb{0, 0, 255}));
  EXPECT_EQ(palette_[19], (Rgb{19, 38, 236}));
  EXPECT_EQ(palette_[19].rgbReserved, 0);
  EXPECT_EQ(palette_[20].rgbRed, kMarker.rgbRed);
}

TEST_F(PaletteFiles, RiffOfSixteenOrFewerReports16) {
  ASSERT_EQ(Riff(RiffFile(16, 16)), kOk);
  EXPECT_EQ(count_, 16);
  ASSERT_EQ(Riff(RiffFile(3, 3)), kOk);
  EXPECT_EQ(count_, 16);
  ASSERT_EQ(Riff(RiffFile(256, 256)), kOk);
  EXPECT_EQ(count_, 256);
}

TEST_F(PaletteFiles, RiffSkipsOtherChunksWithTheirPadding) {
  const std::string junk = std::string("fact") + '\x03' + '\0' + '\0' + '\0' + "abc" + '\0';
  ASSERT_EQ(Riff(RiffFile(2, 2, 0, junk)), kOk);
  EXPECT_EQ(palette_[1], (Rgb{1, 2, 254}));
}

struct RiffCase {
  const char* name;
  std::string bytes;
  OpResult expected;
};

class RiffMalformed : public PaletteFiles, public ::testing::WithParamInterface<RiffCase> {};

TEST_P(RiffMalformed, GivesItsCode) {
  EXPECT_EQ(Riff(GetParam().bytes), GetParam().expected);
  EXPECT_EQ(palette_[0].rgbRed, kMarker.rgbRed);
}

std::string WithFormType(std::string f, const char* type) {
  f.replace(8, 4, type);
  return f;
}

std::string DataSize(std::string f, std::uint32_t size) {
  for (int i = 0; i < 4; ++i) f[static_cast<std::size_t>(16 + i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RiffMalformed,
    ::testing::Values(
        RiffCase{"n 0", RiffFile(0, 0), kBadPaletteCount},
        RiffCase{"n 300", RiffFile(300, 300), kBadPaletteCount},
        RiffCase{"n past the chunk", RiffFile(20, 10), kBadPaletteCount},
        RiffCase{"size not a multiple of 4", RiffFile(16, 16, 2), kBadPaletteCount},
        RiffCase{"chunk size past the end", DataSize(RiffFile(16, 16), 1000), kFileShortRead},
        RiffCase{"chunk size 4 GB", DataSize(RiffFile(16, 16), 0xFFFFFFF0u), kFileShortRead},
        RiffCase{"empty chunk", DataSize(RiffFile(0, 0), 0), kBadPaletteCount},
        RiffCase{"other form", WithFormType(RiffFile(16, 16), "RMID"), kNotAPalette},
        RiffCase{"no data chunk",
                 std::string("RIFF") + '\x0c' + std::string(3, '\0') + "PAL " + "fact" + std::string(4, '\0'),
                 kNotAPalette},
        RiffCase{"junk chunk past the end",
                 RiffFile(16, 16, 0, std::string("junk") + '\xff' + '\xff' + '\xff' + '\x7f'), kNotAPalette},
        RiffCase{"text palette", TextFile(16, 16), kNotAPalette},
        RiffCase{"empty file", "", kNotAPalette}),
    [](const auto& info) { return test::SafeName(info.param.name); });

TEST_F(PaletteFiles, RiffTruncatedAtEveryByte) {
  const std::string full = RiffFile(16, 16);
  for (std::size_t len = 0; len < full.size(); ++len) {
    const OpResult rc = Riff(full.substr(0, len));
    EXPECT_EQ(rc, len < 20 ? kNotAPalette : kFileShortRead) << len;
  }
}

TEST_F(PaletteFiles, NeitherFormatIs312FromBoth) {
  const std::string path = Write("GIF89a and then some bytes of a picture");
  EXPECT_EQ(ReadTextPalette(path, palette_, &count_), kNotAPalette);
  EXPECT_EQ(ReadRiffPalette(path, palette_, &count_), kNotAPalette);
}

TEST_F(PaletteFiles, MissingFileOrArguments) {
  const std::string none = dir_ + "/none.pal";
  EXPECT_EQ(ReadTextPalette(none, palette_, &count_), kFileCannotOpen);
  EXPECT_EQ(ReadRiffPalette(none, palette_, &count_), kFileCannotOpen);
  const std::string path = Write(TextFile(16, 16));
  EXPECT_EQ(ReadTextPalette("", palette_, &count_), kInvalidArgument);
  EXPECT_EQ(ReadTextPalette(path, nullptr, &count_), kInvalidArgument);
  EXPECT_EQ(ReadTextPalette(path, palette_, nullptr), kInvalidArgument);
  EXPECT_EQ(ReadRiffPalette(path, nullptr, &count_), kInvalidArgument);
}

}  // namespace
}  // namespace km
