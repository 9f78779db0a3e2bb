#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/SettingsProfile.h"
#include "common/Settings.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SettingsProfileTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = test::MakeTempDir("profile");
    ini_ = dir_ + "/Tavo Kilnmark.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
  std::string ini_;
};

TEST_F(SettingsProfileTest, MissingValuesReadAsTheirDefaults) {
  SettingsProfile p(ini_);
  EXPECT_EQ(p.getInt(settings::kScriptRun, settings::kOutDPI, settings::kOutDPIDefault), 300);
  EXPECT_EQ(p.getInt(settings::kScriptRun, settings::kOutTransIndex, settings::kOutTransIndexDefault), -1);
  EXPECT_EQ(p.getString(settings::kImportFilters, settings::kINISection, settings::kINISectionDefault),
            "MS Graphic Import Filters");
  EXPECT_TRUE(p.getBinary(settings::kCustomColors, settings::kColorRefs).empty());
}

TEST_F(SettingsProfileTest, ValuesSurviveTheFile) {
  std::vector<std::uint8_t> colors(64);
  for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = static_cast<std::uint8_t>(i * 7);
  {
    SettingsProfile p(ini_);
    p.setString(settings::kGeneral, settings::kScriptDir, "/home/u/scripts");
    p.setString(settings::kGeneral, settings::kPreviewImage, "Internal Preview");
    p.setInt(settings::kScriptRun, settings::kOutTransColor, static_cast<int>(0x00FF8000));
    p.setInt(settings::kBatchSubTypes, "TIFF", 2);
    p.setInt(settings::kFormat, settings::kWMFPrompt, 0);
    p.setBinary(settings::kCustomColors, settings::kColorRefs, colors);
  }
  SettingsProfile p(ini_);
  EXPECT_EQ(p.getString(settings::kGeneral, settings::kScriptDir, "x"), "/home/u/scripts");
  EXPECT_EQ(p.getString(settings::kGeneral, settings::kPreviewImage, ""), "Internal Preview");
  EXPECT_EQ(p.getInt(settings::kScriptRun, settings::kOutTransColor, 0), 0x00FF8000);
  EXPECT_EQ(p.getInt(settings::kBatchSubTypes, "TIFF", 0), 2);
  EXPECT_EQ(p.getInt(settings::kFormat, settings::kWMFPrompt, 1), 0);
  EXPECT_EQ(p.getBinary(settings::kCustomColors, settings::kColorRefs), colors);
  // The sections keep their names in the file.
  std::string text = ReadText(ini_);
  EXPECT_NE(text.find("[%General]"), std::string::npos) << text;
  EXPECT_NE(text.find("[ScriptRun]"), std::string::npos);
  EXPECT_NE(text.find("ScriptDir=/home/u/scripts"), std::string::npos);
}

TEST_F(SettingsProfileTest, NonNumericTextReadsAsTheDefault) {
  std::ofstream(ini_) << "[Format]\nWMF_Width=wide\nWMF_Height=250\n";
  SettingsProfile p(ini_);
  EXPECT_EQ(p.getInt(settings::kFormat, settings::kWMFWidth, 100), 100);
  EXPECT_EQ(p.getInt(settings::kFormat, settings::kWMFHeight, 100), 250);
}

TEST(SettingsProfileLocation, UserFileIsTavoKilnmarkIni) {
  SettingsProfile p;
  const std::string name = p.fileName();
  const std::string tail = "/Tavo/Tavo Kilnmark.ini";
  ASSERT_GE(name.size(), tail.size());
  EXPECT_EQ(name.substr(name.size() - tail.size()), tail);
}

}  // namespace
}  // namespace km
