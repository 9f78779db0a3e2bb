#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/FileTypeRegistration.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Registration : public ::testing::Test {
protected:
  void SetUp() override {
    home_ = test::MakeTempDir("xdgdata");
    const char* old = std::getenv("XDG_DATA_HOME");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_DATA_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("XDG_DATA_HOME", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
    std::filesystem::remove_all(home_);
  }
  std::string home_;
  std::optional<std::string> saved_;
};

TEST_F(Registration, WritesTheThreeFilesForTheRunningProgram) {
  EXPECT_EQ(UserDataHome(), home_);
  ASSERT_TRUE(RegisterScriptFileType(RunningProgramPath(), UserDataHome(), false));
  std::string mime = ReadText(home_ + "/mime/packages/kilnmark-script.xml");
  EXPECT_NE(mime.find("<comment>Tavo Kilnmark Script File</comment>"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.rsq\"/>"), std::string::npos);
  EXPECT_NE(mime.find("type=\"application/x-kilnmark-script\""), std::string::npos);
  // The package installed system-wide is the same text.
  EXPECT_EQ(ReadText(std::string(KILNMARK_TEST_DATA) + "/../../res/kilnmark-script.xml"), mime);

  std::string desktop = ReadText(home_ + "/applications/kilnmark.desktop");
  EXPECT_NE(desktop.find("Exec=\"" + RunningProgramPath() + "\" %f\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("MimeType=application/x-kilnmark-script;"), std::string::npos);
  // This entry shadows the installed one, so it names the installed icon too.
  EXPECT_NE(desktop.find("Icon=kilnmark\n"), std::string::npos);

  EXPECT_EQ(ReadText(home_ + "/applications/mimeapps.list"),
            "[Default Applications]\napplication/x-kilnmark-script=kilnmark.desktop\n");
}

TEST_F(Registration, OverwritesAnotherClaimAndKeepsOtherLines) {
  std::filesystem::create_directories(home_ + "/applications");
  std::ofstream(home_ + "/applications/mimeapps.list")
      << "[Added Associations]\nimage/png=viewer.desktop;\n\n[Default Applications]\n"
         "application/x-kilnmark-script=other.desktop\ntext/plain=editor.desktop\n";
  std::ofstream(home_ + "/applications/kilnmark.desktop") << "stale";
  ASSERT_TRUE(RegisterScriptFileType("/opt/k/bin/kilnmark", home_, false));
  EXPECT_EQ(ReadText(home_ + "/applications/mimeapps.list"),
            "[Added Associations]\nimage/png=viewer.desktop;\n\n[Default Applications]\n"
            "application/x-kilnmark-script=kilnmark.desktop\ntext/plain=editor.desktop\n");
  EXPECT_NE(ReadText(home_ + "/applications/kilnmark.desktop").find("Exec=\"/opt/k/bin/kilnmark\" %f"),
            std::string::npos);
  // A second start changes nothing further.
  ASSERT_TRUE(RegisterScriptFileType("/opt/k/bin/kilnmark", home_, false));
  EXPECT_NE(ReadText(home_ + "/applications/mimeapps.list").find("=kilnmark.desktop\ntext/plain"),
            std::string::npos);
}

TEST_F(Registration, AFailedFirstWriteSkipsTheRest) {
  std::ofstream(home_ + "/mime") << "a file where a folder should be";
  EXPECT_FALSE(RegisterScriptFileType("/opt/k/bin/kilnmark", home_, false));
  EXPECT_FALSE(std::filesystem::exists(home_ + "/applications"));
}

TEST(DesktopExec, QuotesAndEscapes) {
  EXPECT_EQ(DesktopExecLine("/usr/bin/kilnmark"), "\"/usr/bin/kilnmark\" %f");
  EXPECT_EQ(DesktopExecLine("/a b/k"), "\"/a b/k\" %f");
  EXPECT_EQ(DesktopExecLine("/x$y/100%"), "\"/x\\\\$y/100%%\" %f");
  EXPECT_EQ(DesktopExecLine("/q\"/k"), "\"/q\\\\\"/k\" %f");
}

}  // namespace
}  // namespace km
