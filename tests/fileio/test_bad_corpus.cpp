// Every file under tests/data/bad/<format>/ is a small hostile or broken file that
// must be refused with a code and no image. Each folder's README says, one line per
// file, what the file guards against.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"

namespace km {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> BadFiles() {
  std::vector<std::string> files;
  const fs::path root = fs::path(KILNMARK_TEST_DATA) / "bad";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().filename() != "README") {
      files.push_back(fs::relative(it->path(), root).string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : info.param) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

class BadCorpus : public testing::TestWithParam<std::string> {};

TEST_P(BadCorpus, GivesACodeAndNoImage) {
  const std::string path = (fs::path(KILNMARK_TEST_DATA) / "bad" / GetParam()).string();
  FileTypeTable table;
  const ReadResult r = ReadImageFile(nullptr, table, InputPreferences{}, path, 0);
  EXPECT_NE(r.code, imgx::kOk) << path;
  EXPECT_EQ(r.image, nullptr);
  EXPECT_EQ(r.extra, nullptr);
}

TEST(BadCorpus, EveryFileHasItsNote) {
  const fs::path root = fs::path(KILNMARK_TEST_DATA) / "bad";
  for (const std::string& rel : BadFiles()) {
    const fs::path file = root / rel;
    const fs::path readme = file.parent_path() / "README";
    std::ifstream in(readme);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(file.filename().string()), std::string::npos) << rel << " has no line in " << readme;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BadCorpus, testing::ValuesIn(BadFiles()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BadCorpus);

}  // namespace
}  // namespace km
