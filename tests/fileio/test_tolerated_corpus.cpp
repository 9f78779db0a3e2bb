// Every file under tests/data/tolerated/<format>/ is a file that bends its format the
// way real writers do and that the common readers open; it must read, with the pixels
// its folder's README describes and this table lists.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;

struct Tolerated {
  const char* file;
  int width;
  int height;
  int bits;
  std::vector<std::uint32_t> pixels;  // top row first: indices, or 0xRRGGBB at 24 bits
};

const std::vector<Tolerated>& Expected() {
  static const std::vector<Tolerated> kFiles = {
      {"bmp/rle4-absolute-past-row-end.bmp", 4, 1, 4, {1, 2, 3, 4}},
      {"bmp/rle8-run-crosses-row-end.bmp", 4, 2, 8, {0, 0, 0, 0, 1, 1, 1, 1}},
      {"rle/windows-rle-run-crosses-row.rle", 2, 1, 8, {0, 0}},
      {"iff/ham.iff", 1, 1, 24, {0x000000}},
      {"iff/planes-24.iff", 1, 1, 24, {0x000000}},
      {"tif/bits-per-sample-three.tif", 4, 4, 8, std::vector<std::uint32_t>(16, 0)},
  };
  return kFiles;
}

class ToleratedCorpus : public testing::TestWithParam<Tolerated> {};

TEST_P(ToleratedCorpus, ReadsWithTheExpectedPixels) {
  const Tolerated& t = GetParam();
  const std::string path = (fs::path(KILNMARK_TEST_DATA) / "tolerated" / t.file).string();
  FileTypeTable table;
  const ReadResult r = ReadImageFile(nullptr, table, InputPreferences{}, path, 0);
  ASSERT_EQ(r.code, imgx::kOk) << path;
  ASSERT_NE(r.image, nullptr);
  ASSERT_EQ(r.image->width(), t.width);
  ASSERT_EQ(r.image->height(), t.height);
  ASSERT_EQ(r.image->bitCount(), t.bits);
  for (int y = 0; y < t.height; ++y) {
    for (int x = 0; x < t.width; ++x) {
      EXPECT_EQ(test::GetPixel(*r.image, x, y), t.pixels[static_cast<std::size_t>(y * t.width + x)])
          << t.file << " at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ToleratedCorpus, testing::ValuesIn(Expected()),
                         [](const testing::TestParamInfo<Tolerated>& info) {
                           std::string name;
                           for (const char c : std::string(info.param.file)) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

// Every file in the folders has its line in the table above and in its README.
TEST(ToleratedCorpus, EveryFileIsListedAndNoted) {
  const fs::path root = fs::path(KILNMARK_TEST_DATA) / "tolerated";
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README") {
      continue;
    }
    ++files;
    const std::string rel = fs::relative(entry.path(), root).string();
    bool listed = false;
    for (const Tolerated& t : Expected()) {
      listed = listed || rel == t.file;
    }
    EXPECT_TRUE(listed) << rel;
    std::ifstream in(entry.path().parent_path() / "README");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(entry.path().filename().string()), std::string::npos) << rel;
  }
  EXPECT_EQ(files, static_cast<int>(Expected().size()));
}

}  // namespace
}  // namespace km
