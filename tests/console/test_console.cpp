#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "console/ConsoleRunner.h"
#include "fileio/PhotoTestKit.h"
#include "fileio/ReadImage.h"
#include "fileio/WriteImage.h"
#include "fileio/imgx/Imgx.h"
#include "script/ScriptFile.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;

// A temporary folder with input images, a script and an output folder name.
class ConsoleRun : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = test::MakeTempDir("console");
    setenv("XDG_STATE_HOME", root_.c_str(), 1);
    fs::create_directories(root_ + "/in");
    for (const char* name : {"a.bmp", "b.bmp"}) {
      DibHandle img = test::MakeRgb(5, 3, 10, 20, 30);
      ASSERT_EQ(imgx::EncodeBMP(nullptr, root_ + "/in/" + name, img.get(), 0), 0);
    }
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Flip, then write BMP into root/out; withOutput false leaves out "Set Output Options".
  // formatIndex is the command's stored format (0-based: 0 is BMP).
  std::string WriteScript(bool withOutput, int formatIndex = 0) {
    CScript script;
    script.Append(std::make_unique<CScriptCommand>(506));
    if (withOutput) {
      auto out = std::make_unique<CScriptCommand>(544);
      out->Int1 = formatIndex;
      out->Int2 = 1;  // Windows RGB
      out->Int3 = 300;
      out->Int4 = 15;
      out->Int5 = 0;
      out->Text1 = root_ + "/out";
      script.Append(std::move(out));
    }
    const std::string path = root_ + (withOutput ? "/flip.rsq" : "/nooutput.rsq");
    std::string message;
    EXPECT_EQ(WriteScriptFile(path, script, &message), 0) << message;
    return path;
  }

  int Run(const std::vector<std::string>& args) {
    MemoryProfile profile;
    return RunConsole(args, profile);
  }

  std::string root_;
};

TEST_F(ConsoleRun, ConvertsEveryFileOfAPatternAndAnswersZero) {
  const std::string script = WriteScript(true);
  EXPECT_EQ(Run({script, root_ + "/in/*.bmp"}), kExitConverted);
  EXPECT_TRUE(fs::exists(root_ + "/out/a.bmp"));
  EXPECT_TRUE(fs::exists(root_ + "/out/b.bmp"));
  EXPECT_TRUE(fs::exists(root_ + "/kilnmark/CURRENT.LOG"));
  // No temporary file is left in the output folder.
  int files = 0;
  for (const auto& e : fs::directory_iterator(root_ + "/out")) {
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    ++files;
  }
  EXPECT_EQ(files, 2);
}

TEST_F(ConsoleRun, ScriptNameWithoutExtensionGetsRsq) {
  WriteScript(true);
  EXPECT_EQ(Run({root_ + "/flip", root_ + "/in/a.bmp"}), kExitConverted);
  EXPECT_TRUE(fs::exists(root_ + "/out/a.bmp"));
  EXPECT_FALSE(fs::exists(root_ + "/out/b.bmp"));  // a name without wildcards is one file
}

TEST_F(ConsoleRun, AFileThatFailsMakesTheStatusOne) {
  const std::string script = WriteScript(true);
  std::ofstream(root_ + "/in/c.bmp") << "not an image";
  EXPECT_EQ(Run({script, root_ + "/in/*.bmp"}), kExitSomeFailed);
  EXPECT_TRUE(fs::exists(root_ + "/out/a.bmp"));
  EXPECT_FALSE(fs::exists(root_ + "/out/c.bmp"));
}

// A damaged or hand-made script whose "Set Output Options" names a format or sub-type
// outside the lists writes nothing, so the run does not report success.
TEST_F(ConsoleRun, AnOutputOutsideTheListsAnswersOne) {
  const std::string script = WriteScript(true, 39);  // format 40 of 27
  const std::string log = root_ + "/run.log";
  EXPECT_EQ(Run({script, root_ + "/in/a.bmp", "-l", log}), kExitSomeFailed);
  EXPECT_TRUE(fs::is_empty(root_ + "/out"));
  std::ifstream in(log, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Saving " + root_ + "/out/a\r\nAn invalid parameter was passed to a function\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("0 File(s) successfully converted.\r\n"), std::string::npos) << text;
}

TEST_F(ConsoleRun, ListFileAndLogFile) {
  const std::string script = WriteScript(true);
  const std::string list = root_ + "/list.txt";
  std::ofstream(list) << root_ << "/in/b.bmp\r\n";
  const std::string log = root_ + "/run.log";
  EXPECT_EQ(Run({script, "-@", list, "-l", log}), kExitConverted);
  EXPECT_TRUE(fs::exists(root_ + "/out/b.bmp"));
  EXPECT_FALSE(fs::exists(root_ + "/out/a.bmp"));
  std::ifstream in(log, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Reading " + root_ + "/in/b.bmp\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("1 File(s) successfully converted.\r\n"), std::string::npos) << text;
  EXPECT_TRUE(fs::exists(list));  // a list named on the command line stays
}

TEST_F(ConsoleRun, RefusalsAnswerTwo) {
  const std::string script = WriteScript(true);
  EXPECT_EQ(Run({"-r", script}), kExitRefused);                       // switch before the script
  EXPECT_EQ(Run({script, "a*.bmp", "b*.bmp"}), kExitRefused);         // two file specifications
  EXPECT_EQ(Run({script, "-l"}), kExitRefused);                       // log file name missing
  EXPECT_EQ(Run({root_ + "/missing.rsq", "x.bmp"}), kExitRefused);    // script cannot be opened
  EXPECT_EQ(Run({WriteScript(false), root_ + "/in/*.bmp"}), kExitRefused);  // no "Set Output Options"
  std::ofstream(root_ + "/junk.rsq") << "TAVO Batch Scrip";
  EXPECT_EQ(Run({root_ + "/junk.rsq", root_ + "/in/*.bmp"}), kExitRefused);  // not a script file
  EXPECT_EQ(Run({}), kExitRefused);  // nothing to run
  EXPECT_FALSE(fs::exists(root_ + "/out"));
}

TEST_F(ConsoleRun, HelpAndVersionAnswerZero) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(Run({"--help"}), kExitConverted);
  const std::string help = testing::internal::GetCapturedStdout();
  EXPECT_NE(help.find("--no-auto-orient"), std::string::npos) << help;
  EXPECT_NE(help.find("--strip-metadata"), std::string::npos) << help;
  EXPECT_EQ(Run({"--version"}), kExitConverted);
}

// A photograph taken with the camera turned a quarter clockwise, 8 x 4 as stored, with
// its make in the EXIF; the script flips it and writes JPEG.
TEST_F(ConsoleRun, PhotographSwitchesHoldForTheRun) {
  DibHandle stored = test::MakeRgb(8, 4, 90, 120, 200);
  const std::string photo = root_ + "/in/photo.jpg";
  ASSERT_EQ(imgx::EncodeJPG(nullptr, photo, stored.get(), 90, 72, 0), 0);
  test::EditMetadata(photo, [](Exiv2::Image& image) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = std::string("Kilnmark Optics");
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    image.setExifData(exif);
  });
  const std::string script = WriteScript(true, kOutJPG - 1);
  const std::string out = root_ + "/out/photo.jpg";
  InputPreferences asStored;
  asStored.autoOrient = 0;
  auto read = [&] { return ReadImageFile(nullptr, FileTypeTable(), asStored, out, -1); };

  ASSERT_EQ(Run({script, photo}), kExitConverted);
  EXPECT_EQ(read().image->width(), 4);  // turned upright
  EXPECT_EQ(test::ReadMetadataOf(out).Exif("Exif.Image.Make"), "Kilnmark Optics");

  // Anywhere on the line.
  ASSERT_EQ(Run({"--no-auto-orient", script, photo, "--strip-metadata"}), kExitConverted);
  EXPECT_EQ(read().image->width(), 8);  // as stored
  EXPECT_TRUE(test::ReadMetadataOf(out).exif.empty());
}

}  // namespace
}  // namespace km
