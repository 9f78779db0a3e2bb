// The input list: list-file rules, the list made from a pattern, and the command-line
// start that turns a script's "Set Output Options" into run settings.

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

// ---- The command-line start ------------------------------------------------------------

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
  input.fileSpec = folder.in() + "/*.bmp";
  settings.outputFolder = "untouched";
  EXPECT_EQ(PrepareCommandLineRun(bare, input, profile, messages, &settings), -2086);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text,
            "The specified script does not include a \"Set Output Options\" command.  This command is required for "
            "any script which is to be used in batch mode.");
  EXPECT_EQ(settings.outputFolder, "untouched");
  EXPECT_FALSE(profile.contains("ScriptRun", "OutDPI"));
}

TEST_F(CommandLineStart, TakesTheOutputSettingsFromSetOutputOptions) {
  input.fileSpec = folder.in() + "/*.bmp";
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
  EXPECT_EQ(profile.getInt("ScriptRun", "OutDPI", 0), 150);
  EXPECT_EQ(profile.getInt("ScriptRun", "OutCompression", 0), 20);
  EXPECT_EQ(profile.getInt("ScriptRun", "OutTransType", 0), 3);  // high byte of 0x0305
  EXPECT_EQ(profile.getInt("ScriptRun", "OutTransIndex", 0), 5);  // low byte
  EXPECT_EQ(profile.getInt("ScriptRun", "OutTransColor", 0), 0x00112233);
  EXPECT_TRUE(messages.shown.empty());

  // Only the low word's two bytes count.
  options->Int5 = 0x7A02FF;
  input.keepOpen = true;
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  EXPECT_EQ(profile.getInt("ScriptRun", "OutTransType", 0), 2);
  EXPECT_EQ(profile.getInt("ScriptRun", "OutTransIndex", 0), 255);
  EXPECT_FALSE(settings.closeAtEnd);
}

TEST_F(CommandLineStart, PatternWithAFolderListsItsMatches) {
  WriteText(folder.inPath("b.bmp"), "x");
  WriteText(folder.inPath("a.bmp"), "x");
  WriteText(folder.inPath("c.gif"), "x");
  input.fileSpec = folder.in() + "/*.bmp";
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
    input.fileSpec = folder.in() + "/" + name;
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
  input.fileSpec = "*.bmp";
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
  input.fileSpec = folder.in() + "/*.bmp";
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
  input.fileSpec = folder.in() + "/three.bmp";
  ASSERT_EQ(PrepareCommandLineRun(script, input, profile, messages, &settings), 0);
  settings.currentLogPath = folder.currentLog();
  const RunResult missing = RunOnce(script, settings, observer, messages, profile);
  EXPECT_EQ(missing.log, (Lines{"Reading " + folder.in() + "/three.bmp", "An error occurred. File was not converted.",
                                "Batch processing complete.", "0 File(s) successfully converted."}));
  settings.temporaryList = false;
}

}  // namespace
}  // namespace km::test
