// The command-line start: a script's "Set Output Options" becomes the run settings and
// the stored output options, and the input list is made from the pattern or named list.

#include <gtest/gtest.h>

#include "app/CommandLineRun.h"
#include "batch/BatchTestKit.h"
#include "fileio/LibraryText.h"
#include "common/Settings.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;

class CommandLineStart : public ::testing::Test {
protected:
  void SetUp() override {
    options = AddCommand(script, 544, {9, 1, 150, 20, 0x0305});
    options->Text1 = folder.out();
    options->Color1 = 0x00112233;
    input.scriptPath = folder.root() + "/job.rsq";
  }
  void TearDown() override {
    if (settings.temporaryList) {
      std::remove(settings.listFile.c_str());
    }
  }

  BatchFolder folder{"batch-cmdline"};
  CScript script;
  CScriptCommand* options = nullptr;
  CommandLineInput input;
  MemoryProfile profile;
  FakeMessageService messages;
  BatchSettings settings;
};

TEST_F(CommandLineStart, RefusesAScriptWithoutSetOutputOptions) {
  CScript bare;
  AddCommand(bare, 506);
  input.filePattern = folder.in() + "/*.bmp";
  settings.outputFolder = "untouched";
  EXPECT_EQ(PrepareCommandLineRun(bare, input, profile, messages, &settings), -2086);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text,
            "The specified script does not include a \"Set Output Options\" command.  This command is required for "
            "any script which is to be used in batch mode.");
  EXPECT_EQ(settings.outputFolder, "untouched");
  EXPECT_FALSE(profile.contains(settings::kScriptRun, settings::kOutDPI));
}

TEST_F(CommandLineStart, TakesTheOutputSettingsFromSetOutputOptions) {
  input.filePattern = folder.in() + "/*.bmp";
  input.showErrors = true;
  input.minimise = true;
  input.logFile = folder.root() + "/run.log";
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  EXPECT_EQ(settings.outputFolder, folder.out());
  EXPECT_EQ(settings.outputFormat, 10);  // stored 0-based: 9 is JPG
  EXPECT_EQ(settings.subType, 1);
  EXPECT_EQ(settings.inputTypeIndex, -1);
  EXPECT_TRUE(settings.commandLineRun);
  EXPECT_TRUE(settings.showErrors);
  EXPECT_TRUE(settings.minimise);
  EXPECT_TRUE(settings.closeAtEnd);
  EXPECT_EQ(settings.logFile, input.logFile);
  EXPECT_EQ(settings.scriptPath, input.scriptPath);
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutDPI, 0), 150);
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutCompression, 0), 20);
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutTransType, 0), 3);  // high byte of 0x0305
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutTransIndex, 0), 5);  // low byte
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutTransColor, 0), 0x00112233);
  EXPECT_TRUE(messages.shown.empty());

  // Only the low word's two bytes count.
  options->Int5 = 0x7A02FF;
  input.keepOpen = true;
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutTransType, 0), 2);
  EXPECT_EQ(profile.getInt(settings::kScriptRun, settings::kOutTransIndex, 0), 255);
  EXPECT_FALSE(settings.closeAtEnd);
}

TEST_F(CommandLineStart, PatternWithAFolderListsItsMatches) {
  WriteText(folder.inPath("b.bmp"), "x");
  WriteText(folder.inPath("a.bmp"), "x");
  WriteText(folder.inPath("c.gif"), "x");
  input.filePattern = folder.in() + "/*.bmp";
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  EXPECT_EQ(settings.inputFolder, folder.in());
  EXPECT_FALSE(settings.fullPathLines);
  EXPECT_TRUE(settings.temporaryList);
  Lines lines;
  ASSERT_TRUE(ReadListFile(settings.listFile, &lines));
  EXPECT_EQ(lines, (Lines{"a.bmp", "b.bmp"}));
}

TEST_F(CommandLineStart, NameWithoutWildcardsIsThatOneFile) {
  WriteText(folder.inPath("a.bmp"), "x");
  WriteText(folder.inPath("b.bmp"), "x");
  for (const char* name : {"b.bmp", "absent.bmp"}) {
    input.filePattern = folder.in() + "/" + name;
    ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
    Lines lines;
    ASSERT_TRUE(ReadListFile(settings.listFile, &lines));
    EXPECT_EQ(lines, Lines{name});
    std::remove(settings.listFile.c_str());
  }
  settings.temporaryList = false;
}

TEST_F(CommandLineStart, PatternWithoutAFolderMeansFullPathLines) {
  WriteText(folder.inPath("a.bmp"), "x");
  const fs::path before = fs::current_path();
  fs::current_path(folder.in());
  input.filePattern = "*.bmp";
  const int code = PrepareCommandLineRun(script, input, profile, messages, &settings);
  fs::current_path(before);
  ASSERT_EQ(code, 0);
  EXPECT_TRUE(settings.fullPathLines);
  EXPECT_EQ(settings.inputFolder, ".");
  Lines lines;
  ASSERT_TRUE(ReadListFile(settings.listFile, &lines));
  EXPECT_EQ(lines, Lines{"a.bmp"});
}

TEST_F(CommandLineStart, NamedListFileIsUsedAsItIs) {
  input.listFile = folder.listPath();
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  EXPECT_EQ(settings.listFile, folder.listPath());
  EXPECT_TRUE(settings.fullPathLines);
  EXPECT_EQ(settings.inputFolder, ".");
  EXPECT_FALSE(settings.temporaryList);
}

TEST_F(CommandLineStart, NeitherPatternNorListShowsTheInvalidParameterMessage) {
  settings.outputFolder = "untouched";
  EXPECT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), -5000);
  ASSERT_EQ(messages.shown.size(), 1u);
  // The library's own words for code 101.
  EXPECT_EQ(messages.last().text, LibraryErrorText(101));
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);
  EXPECT_EQ(settings.outputFolder, "untouched");
}

// The whole command-line course: a pattern, the run, and the temporary list removed.
TEST_F(CommandLineStart, RunFromAPatternRemovesItsTemporaryList) {
  WriteBmp(folder.inPath("one.bmp"), *MakeRgb(4, 2, 10, 20, 30));
  WriteBmp(folder.inPath("two.bmp"), *MakeRgb(2, 4, 30, 20, 10));
  options->Int1 = kOutDIB - 1;
  options->Int2 = 1;
  options->Text1 = folder.root() + "/new/out";
  input.filePattern = folder.in() + "/*.bmp";
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  settings.currentLogPath = folder.currentLog();
  const std::string list = settings.listFile;
  RecordingObserver observer;
  const RunResult r = RunOnce(script, settings, observer, messages, profile);
  EXPECT_EQ(r.outcome.converted, 2);
  EXPECT_EQ(FolderNames(options->Text1), (Lines{"one.dib", "two.dib"}));
  EXPECT_FALSE(fs::exists(list));
  settings.temporaryList = false;

  // The missing single file is logged as not converted.
  input.filePattern = folder.in() + "/three.bmp";
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  settings.currentLogPath = folder.currentLog();
  const RunResult missing = RunOnce(script, settings, observer, messages, profile);
  EXPECT_EQ(missing.log, (Lines{"Reading " + folder.in() + "/three.bmp", "An error occurred. File was not converted.",
                                "Batch processing complete.", "0 File(s) successfully converted."}));
  settings.temporaryList = false;
}

}  // namespace
}  // namespace km::test
