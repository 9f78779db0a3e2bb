// The input list: list-file rules and the list made from a pattern.

#include <gtest/gtest.h>

#include <unistd.h>

#include "BatchTestKit.h"
#include "fileio/LibraryText.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;

struct ListCase {
  const char* name;
  std::string bytes;
  Lines lines;
};

class ListFileRules : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListFileRules, ReadsTheNamesUpToTheFirstEmptyLine) {
  BatchFolder f("batch-list");
  WriteText(f.listPath(), GetParam().bytes);
  Lines lines = {"stale"};
  ASSERT_TRUE(ReadListFile(f.listPath(), &lines));
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListFileRules,
    ::testing::Values(ListCase{"LineFeeds", "a.bmp\nb c.bmp\n", {"a.bmp", "b c.bmp"}},
                      ListCase{"CarriageReturnsIgnored", "a.bmp\r\nb.bmp\r\n", {"a.bmp", "b.bmp"}},
                      ListCase{"CarriageReturnInsideAName", "a\r.bmp\n", {"a.bmp"}},
                      ListCase{"NulBytes", std::string("a.bmp\0b.bmp\0", 12), {"a.bmp", "b.bmp"}},
                      ListCase{"MixedSeparators", std::string("a\0b\nc", 5), {"a", "b", "c"}},
                      ListCase{"NoFinalSeparator", "a\nb", {"a", "b"}},
                      ListCase{"EmptyLineEndsTheList", "a\n\nb\n", {"a"}},
                      ListCase{"CrLfEmptyLineEndsTheList", "a\r\n\r\nb\r\n", {"a"}},
                      ListCase{"DoubleNulEndsTheList", std::string("a\0\0b\0", 5), {"a"}},
                      ListCase{"EmptyFirstLine", "\na\n", {}},
                      ListCase{"OnlyCarriageReturns", "\r\r\r\nx\n", {}},
                      ListCase{"EmptyFile", "", {}},
                      ListCase{"BlanksAreNames", " \n", {" "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListFile, MissingFileIsRefused) {
  Lines lines = {"stale"};
  EXPECT_FALSE(ReadListFile("/nonexistent/kilnmark/list", &lines));
  EXPECT_TRUE(lines.empty());
}

// ---- BuildFileList ---------------------------------------------------------------------

class FileListTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"b.bmp", "A.BMP", "c.gif", "noext", ".hidden.bmp"}) {
      WriteText(folder.inPath(name), "x");
    }
    fs::create_directories(folder.inPath("sub.bmp"));
  }
  void TearDown() override {
    for (const auto& p : made) {
      std::remove(p.c_str());
    }
  }
  std::string Build(const std::string& pattern, const std::string& dir, const std::string& names = {}) {
    std::string path;
    EXPECT_TRUE(BuildFileList(&path, pattern, dir, names, messages));
    made.push_back(path);
    EXPECT_EQ(fs::path(path).parent_path(), fs::temp_directory_path());
    EXPECT_EQ(fs::path(path).filename().string().rfind("TMP", 0), 0u) << path;
    return FileTextOf(path);
  }

  BatchFolder folder{"batch-filelist"};
  FakeMessageService messages;
  Lines made;
};

TEST_F(FileListTest, PatternInAFolderListsMatchingFilesOnly) {
  // Matching ignores case; hidden files and folders are left out; names are sorted.
  EXPECT_EQ(Build("*.bmp", folder.in()), "A.BMP\nb.bmp\n");
  EXPECT_EQ(Build("?.gif", folder.in()), "c.gif\n");
  // "*.*" means every file, with or without a dot.
  EXPECT_EQ(Build("*.*", folder.in()), "A.BMP\nb.bmp\nc.gif\nnoext\n");
  EXPECT_EQ(Build("*.tif", folder.in()), "");
}

TEST_F(FileListTest, PatternWithoutAFolderKeepsItsFolderInEachLine) {
  EXPECT_EQ(Build(folder.in() + "/*.gif", ""), folder.in() + "/c.gif\n");
}

TEST_F(FileListTest, NamesAreWrittenUnchanged) {
  const std::string names("one\r\ntwo\0three", 14);
  EXPECT_EQ(Build("*.bmp", folder.in(), names), names);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace km::test
