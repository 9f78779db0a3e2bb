#include <gtest/gtest.h>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"

namespace km {
namespace {

TEST(FileTypeTable, BuiltInEntriesAreSortedByKeyWithTheirCodes) {
  FileTypeTable table;
  const std::pair<const char*, ImageTypeCode> expected[] = {
      {"BMP", 0},   {"CGM", 111}, {"CLP", 2},   {"CUT", 3},   {"DIB", 4},   {"GIF", 6},   {"IFF", 7},
      {"IMG", 8},   {"JIF", 10},  {"JPG", 11},  {"LBM", 12},  {"MAC", 13},  {"MSP", 14},  {"PBM", 107},
      {"PCD", 15},  {"PCT", 113}, {"PCX", 16},  {"PGM", 108}, {"PIC", 17},  {"PIC", 112}, {"PNG", 110},
      {"PPM", 109}, {"PSD", 106}, {"RAS", 18},  {"RLE", 19},  {"TGA", 20},  {"TIF", 21},  {"WMF", 22},
      {"WPG", 23},
  };
  ASSERT_EQ(table.entryCount(), 29);
  for (int i = 1; i <= 29; ++i) {
    EXPECT_EQ(table.entry(i).key, expected[i - 1].first) << i;
    EXPECT_EQ(table.entry(i).type, expected[i - 1].second) << i;
  }
}

TEST(FileTypeTable, FilterTextStartsWithAllFilesAndSplitsEachPair) {
  FileTypeTable table;
  const std::string text = table.filterText();
  const std::string head = std::string("All Files") + '\0' + "*.*" + '\0' + "BMP - OS/2 or Windows Bitmap" + '\0' +
                           "*.BMP" + '\0' + "CGM - ";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - 6), std::string("*.WPG") + '\0');
  // Two NULs per pair: "All Files" and 29 entries.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\0'), 60);
}

TEST(FileTypeTable, AddedEntriesSortCaseInsensitivelyAfterEqualKeys) {
  FileTypeTable table;
  ASSERT_TRUE(table.addEntry("gif - first filter|*.gif|", 508));
  ASSERT_TRUE(table.addEntry("ABC - early|*.ABC|", 509));
  EXPECT_EQ(table.entry(1).key, "ABC");
  EXPECT_EQ(table.entry(7).key, "GIF");  // the built-in GIF keeps its place
  EXPECT_EQ(table.entry(8).key, "gif");
  EXPECT_EQ(table.entry(8).type, 508);
  EXPECT_EQ(table.findKey("GIF", true), 0);  // exact keys: the filter's is lower case
}

TEST(FileTypeTable, ExtensionKeys) {
  EXPECT_EQ(ExtensionKey("/a/b/photo.jpg"), "JPG");
  EXPECT_EQ(ExtensionKey("/a/b/x.tg"), "TG ");
  EXPECT_EQ(ExtensionKey("/a/b/x.jpeg"), "");
  EXPECT_EQ(ExtensionKey("/a.gif/b/x"), "");
  EXPECT_EQ(ExtensionKey("x."), "   ");
}

class ResolveType : public testing::Test {
protected:
  FileTypeTable table;
  test::TempFolder dir{"resolve"};
  std::string png() {
    const std::string p = dir.path("content");
    test::WriteBytes(p, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0});
    return p;
  }
};

TEST_F(ResolveType, ChosenEntryWinsThenExtensionThenContent) {
  EXPECT_EQ(ResolveImageType(table, "/x/any.gif", 19), 17);   // PIC, PC Paint
  EXPECT_EQ(ResolveImageType(table, "/x/any.gif", 20), 112);  // PIC, Lotus
  EXPECT_EQ(ResolveImageType(table, "/x/any.gif", 30), kTypeNotRecognised);
  EXPECT_EQ(ResolveImageType(table, "/x/any.GiF", 0), 6);
  EXPECT_EQ(ResolveImageType(table, "/x/any.pic", -1), 17);  // the first PIC key names PC Paint
  const std::string p = png();
  for (const char* name : {"/pic.jpeg", "/pic", "/pic.xyz"}) {
    std::filesystem::copy_file(p, dir.path(name + 1));
    EXPECT_EQ(ResolveImageType(table, dir.path(name + 1), 0), 110) << name;
  }
}

TEST_F(ResolveType, LibraryCodesThatMeanNothingBecomeNotRecognised) {
  // A filter slot code outside the table is 500 + slot; 500 itself is refused.
  ASSERT_TRUE(table.addEntry("ZZZ - odd|*.ZZZ|", 500));
  ASSERT_TRUE(table.addEntry("ZZY - odd|*.ZZY|", 104));
  ASSERT_TRUE(table.addEntry("ZZX - odd|*.ZZX|", 506));
  EXPECT_EQ(ResolveImageType(table, "/a.zzz", 0), kTypeNotRecognised);
  EXPECT_EQ(ResolveImageType(table, "/a.zzy", 0), kTypeNotRecognised);
  EXPECT_EQ(ResolveImageType(table, "/a.zzx", 0), 506);
}

}  // namespace
}  // namespace km
