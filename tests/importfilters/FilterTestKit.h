#pragma once

// What the import-filter tests share: the test filter's builds, a temporary folder with
// a registration file, and pixel colours read through the colour table.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/FileTypeTable.h"
#include "imaging/Dib.h"
#include "support/DibTestUtil.h"

namespace km::test {

// A build of the test filter: "kmtest-filter", "kmtest-filter-upper" (ImportGR only),
// "kmtest-filter-noimport", "kmtest-filter-noinfo".
inline std::string TestFilter(const std::string& build = "kmtest-filter") {
  return std::string(KILNMARK_TEST_FILTER_DIR) + "/" + build + ".so";
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// 0x00RRGGBB at (x, y), y = 0 the top row, through the colour table below 24 bits.
inline std::uint32_t ColourAt(const Dib& dib, int x, int y) {
  const std::uint32_t v = GetPixel(dib, x, y);
  if (dib.bitCount() == 24) {
    return v;
  }
  const RgbQuad q = dib.colors()[v];
  return static_cast<std::uint32_t>(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

// The test filter's picture, 4 x 2: red, green, blue, white over black, grey, yellow, cyan.
inline void ExpectTestPicture(const Dib* dib) {
  ASSERT_NE(dib, nullptr);
  ASSERT_EQ(dib->width(), 4);
  ASSERT_EQ(dib->height(), 2);
  const std::uint32_t want[2][4] = {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                                    {0x000000, 0x808080, 0xFFFF00, 0x00FFFF}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(ColourAt(*dib, x, y), want[y][x]) << "at " << x << "," << y;
    }
  }
}

// A temporary folder; the registration file ImportFilters.ini in it holds `section`.
class FilterFolder : public ::testing::Test {
protected:
  void SetUp() override { root_ = MakeTempDir("filters"); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  // Writes the registration file with lines "key=value" under [MS Graphic Import Filters].
  std::string Register(const std::vector<std::string>& lines, const std::string& section = "MS Graphic Import Filters",
                       const std::string& name = "ImportFilters.ini") {
    std::string text = "[" + section + "]\n";
    for (const std::string& l : lines) {
      text += l + "\n";
    }
    WriteText(Path(name), text);
    return Path(name);
  }

  std::string root_;
};

}  // namespace km::test
