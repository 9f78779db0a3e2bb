// The import-filter slots built from the registration files: which lines take a slot,
// the entry texts and their order, the 42-slot limit, long extensions, the settings that
// switch filters off, rename the section and isolate them, and the user's file
// overriding the installed one.

#include <strings.h>

#include <cstdlib>
#include <string>

#include "common/Profile.h"
#include "common/Settings.h"
#include "fileio/ReadImage.h"
#include "fileio/filters/ImportFilters.h"
#include "fileio/imgx/Imgx.h"
#include "importfilters/FilterTestKit.h"

namespace km {
namespace {

using test::FilterFolder;
using test::TestFilter;

constexpr int kBuiltIns = 29;
constexpr char kSection[] = "MS Graphic Import Filters";

class FilterRegistration : public FilterFolder {};

TEST_F(FilterRegistration, UsableLinesTakeSlotsInOrderAndTheRestAreSkipped) {
  test::WriteText(Path("bogus.so"), "not a library");
  const std::string ini = Register({
      "Test A=" + TestFilter() + ",TA",
      "Short=ab,TB",                        // path under 3 characters
      "NoExt=" + TestFilter() + ",",        // no extension
      "Missing=" + Path("none.so") + ",TC", // no such file
      "Again=" + TestFilter() + ",ta",      // TA is taken (extensions compare upper-cased)
      "Bogus=bogus.so,TD",                  // relative to the file's folder; does not load
      "Web=" + TestFilter() + ",webp, opt words",
  });
  const FileTypeTable t = BuildFileTypeTable(1, kSection, {ini}, false);
  ASSERT_EQ(t.entryCount(), kBuiltIns + 3);

  EXPECT_EQ(t.slot(8).name, "Test A");
  EXPECT_EQ(t.slot(8).libraryPath, TestFilter());
  EXPECT_EQ(t.slot(8).kind, 0);
  EXPECT_EQ(t.slot(9).name, "Bogus");
  EXPECT_EQ(t.slot(9).libraryPath, Path("bogus.so"));
  EXPECT_EQ(t.slot(9).kind, 1);
  EXPECT_EQ(t.slot(10).extension, "WEBP");
  EXPECT_EQ(t.slot(10).options, "opt words");
  EXPECT_TRUE(t.slot(11).libraryPath.empty());

  const int ta = t.findKey("TA ", true);
  ASSERT_NE(ta, 0);
  EXPECT_EQ(t.entry(ta).text, "TA  - EXT: Test A|*.TA |");
  EXPECT_EQ(t.entry(ta).type, 508);
  EXPECT_EQ(t.entry(t.findKey("TD ", true)).text, "TD  -*EXT: Bogus|*.TD |");
  EXPECT_EQ(t.entry(t.findFilterExtension("WEBP")).text, "WEBP - EXT: Web|*.WEBP|");

  // The dialog's text splits each pair at its own separators, long extension or not.
  const std::string text = t.filterText();
  EXPECT_NE(text.find(std::string("TA  - EXT: Test A\0*.TA \0", 24)), std::string::npos);
  EXPECT_NE(text.find(std::string("WEBP - EXT: Web\0*.WEBP\0", 23)), std::string::npos);
  EXPECT_NE(text.find(std::string("GIF - CompuServe\0*.GIF\0", 23)), std::string::npos);

  // Keys stay sorted: the filters sit between the built-ins.
  for (int n = 2; n <= t.entryCount(); ++n) {
    EXPECT_LE(strcasecmp(t.entry(n - 1).key.c_str(), t.entry(n).key.c_str()), 0) << n;
  }
}

TEST_F(FilterRegistration, ExtensionsFindTheirFiltersAndLongOnesOnlyFilters) {
  const std::string ini = Register({"Test A=" + TestFilter() + ",TA", "Web=" + TestFilter() + ",WEBP"});
  const FileTypeTable t = BuildFileTypeTable(1, kSection, {ini}, false);
  test::WriteText(Path("x.ta"), "");
  EXPECT_EQ(ResolveImageType(t, Path("x.ta"), -1), 508);
  EXPECT_EQ(ResolveImageType(t, Path("x.WebP"), -1), 509);
  EXPECT_EQ(ResolveImageType(t, Path("x.webp"), 0), 509);
  // A four-letter extension no filter holds is typed by the file's contents.
  DibHandle img = test::MakeRgb(2, 2, 1, 2, 3);
  ASSERT_EQ(imgx::EncodeBMP(nullptr, Path("pic.webm"), img.get(), 0), 0);
  EXPECT_EQ(ResolveImageType(t, Path("pic.webm"), -1), 0);
}

TEST_F(FilterRegistration, OnlyFortyTwoSlotsAndTheFortyThirdIsIgnored) {
  std::vector<std::string> lines = {"Gone=" + Path("none.so") + ",ZZZ"};  // takes no slot
  for (int i = 0; i < 44; ++i) {
    lines.push_back("F" + std::to_string(i) + "=" + TestFilter() + ",E" + std::to_string(10 + i));
  }
  const FileTypeTable t = BuildFileTypeTable(1, kSection, {Register(lines)}, false);
  EXPECT_EQ(t.entryCount(), kBuiltIns + 42);
  EXPECT_EQ(t.slot(8).name, "F0");
  EXPECT_EQ(t.slot(49).name, "F41");
  EXPECT_NE(t.findKey("E51", true), 0);  // the 42nd
  EXPECT_EQ(t.findKey("E52", true), 0);  // the 43rd
  EXPECT_EQ(t.findKey("E53", true), 0);
  for (int s = 0; s < 8; ++s) {
    EXPECT_TRUE(t.slot(s).libraryPath.empty());
  }
}

TEST_F(FilterRegistration, FlagsSectionAndIsolation) {
  const std::string ini = Register({"Test A=" + TestFilter() + ",TA"}, "Mine");
  EXPECT_EQ(BuildFileTypeTable(0, "Mine", {ini}, false).entryCount(), kBuiltIns);
  EXPECT_EQ(BuildFileTypeTable(1, kSection, {ini}, false).entryCount(), kBuiltIns);
  EXPECT_EQ(BuildFileTypeTable(1, "mine", {ini}, false).entryCount(), kBuiltIns + 1);
  // Isolated: the library is not even tried here and runs in the host.
  const FileTypeTable isolated = BuildFileTypeTable(1, "Mine", {ini}, true);
  EXPECT_EQ(isolated.slot(8).kind, 1);
  EXPECT_EQ(isolated.entry(isolated.findKey("TA ", true)).text, "TA  -*EXT: Test A|*.TA |");
}

// The settings and both registration files: the user's (in a temporary settings
// folder) and the one installed with the program, which registers WebP and SVG.
TEST_F(FilterRegistration, SettingsAndTheUsersFileOverTheInstalledOne) {
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  std::filesystem::create_directories(Path("Tavo"));
  MemoryProfile profile;
  FileTypeTable t = LoadFileTypeTable(profile);
  ASSERT_EQ(t.entryCount(), kBuiltIns + 2) << "installed registration: " << InstalledFilterRegistration();
  EXPECT_EQ(t.slot(8).extension, "WEBP");
  EXPECT_EQ(t.slot(9).extension, "SVG");

  // The user's file comes first; an empty value under an installed name switches that
  // filter off.
  Register({"Test A=" + TestFilter() + ",TA", "Scalable Vector Graphics="}, kSection, "Tavo/ImportFilters.ini");
  t = LoadFileTypeTable(profile);
  ASSERT_EQ(t.entryCount(), kBuiltIns + 2);
  EXPECT_EQ(t.slot(8).name, "Test A");
  EXPECT_EQ(t.slot(9).extension, "WEBP");

  profile.setInt(settings::kImportFilters, settings::kIsolate, 1);
  t = LoadFileTypeTable(profile);
  EXPECT_EQ(t.slot(8).kind, 1);
  profile.setString(settings::kImportFilters, settings::kINISection, "Other");
  EXPECT_EQ(LoadFileTypeTable(profile).entryCount(), kBuiltIns);
  profile.setString(settings::kImportFilters, settings::kINISection, kSection);
  profile.setInt(settings::kImportFilters, settings::kEnable, 0);
  EXPECT_EQ(LoadFileTypeTable(profile).entryCount(), kBuiltIns);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace km
