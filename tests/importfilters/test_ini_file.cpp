// The INI files of the registration and of the host exchange: what a line means, and
// that a value which would start another line is refused.

#include "fileio/filters/IniFile.h"
#include "importfilters/FilterTestKit.h"

namespace km {
namespace {

using filters::IniEntries;

class IniFile : public test::FilterFolder {};

TEST_F(IniFile, SectionsKeysValuesAndComments) {
  test::WriteText(Path("a.ini"),
                  "; comment\r\n[Other]\nA=other\n  [ ms graphic import filters ]  \r\n"
                  "# comment\n  Key One = c:/x.so,EXT\r\nno equals sign\n=no key\nkey one=repeated\n"
                  "Path= leading and trailing blanks \n[Other]\nB=other\n");
  const IniEntries e = filters::ReadIniSection(Path("a.ini"), "MS Graphic Import Filters");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].first, "Key One");
  EXPECT_EQ(e[0].second, " c:/x.so,EXT");
  EXPECT_EQ(e[1].first, "Path");
  EXPECT_EQ(e[1].second, " leading and trailing blanks ");
  EXPECT_EQ(filters::IniValue(e, "KEY ONE"), " c:/x.so,EXT");
  EXPECT_EQ(filters::IniValue(e, "none", "def"), "def");
  EXPECT_TRUE(filters::ReadIniSection(Path("missing.ini"), "Other").empty());
}

TEST_F(IniFile, WrittenSectionReadsBackAndLineBreaksAreRefused) {
  IniEntries e = {{"Open", "/a b/c.svg "}, {"RetVal", ""}};
  filters::SetIniValue(&e, "retval", "5301");
  filters::SetIniValue(&e, "MetaFile", "/tmp/x.wmf");
  ASSERT_TRUE(filters::WriteIniSection(Path("x.ini"), "FLTRUN16", e));
  EXPECT_EQ(test::ReadText(Path("x.ini")), "[FLTRUN16]\nOpen=/a b/c.svg \nRetVal=5301\nMetaFile=/tmp/x.wmf\n");
  EXPECT_EQ(filters::ReadIniSection(Path("x.ini"), "fltrun16"), e);

  // A name carrying "\nFilter=..." must not become a second key.
  EXPECT_FALSE(filters::WriteIniSection(Path("y.ini"), "FLTRUN16", {{"Open", "a\nFilter=/tmp/evil.so"}}));
  EXPECT_FALSE(filters::WriteIniSection(Path("y.ini"), "FLTRUN16", {{"Open", "a\rb"}}));
  EXPECT_FALSE(std::filesystem::exists(Path("y.ini")));
  EXPECT_FALSE(std::filesystem::exists(Path("y.ini.new")));
}

}  // namespace
}  // namespace km
