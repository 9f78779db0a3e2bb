#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "script/CommandLine.h"
#include "support/DibTestUtil.h"
#include "support/FakeMessageService.h"

namespace km {
namespace {

using Args = std::vector<std::string>;

bool Accepts(const Args& args) {
  CommandLineRecord r;
  return ParseCommandLine(args, &r);
}

struct LineCase {
  const char* name;
  Args args;
  bool accepted;
};

class CommandLineGrammar : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineGrammar, AcceptsOrRefuses) {
  EXPECT_EQ(Accepts(GetParam().args), GetParam().accepted);
}

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineGrammar,
    ::testing::Values(
        LineCase{"none", {}, true},
        LineCase{"scriptOnly", {"s"}, true},
        LineCase{"absoluteScript", {"/home/u/s.rsq"}, true},
        LineCase{"patternRun", {"s", "*.bmp", "/r"}, true},
        LineCase{"everything", {"s", "-@", "list.txt", "-l", "log.txt", "/e", "/i", "/n", "/r"}, true},
        LineCase{"capitalSwitches", {"s", "/E", "/I", "-N", "-R", "/L", "x.log"}, true},
        LineCase{"switchBeforeScript", {"/r", "s"}, false},
        LineCase{"dashSwitchBeforeScript", {"-r", "s"}, false},
        LineCase{"twoPatterns", {"s", "a*.bmp", "b*.bmp"}, false},
        LineCase{"patternThenList", {"s", "*.bmp", "/@", "l.txt"}, false},
        LineCase{"listThenPattern", {"s", "/@", "l.txt", "*.bmp"}, false},
        LineCase{"twoLists", {"s", "/@", "a.txt", "/@", "b.txt"}, false},
        LineCase{"listWithWildcard", {"s", "/@", "l*.txt"}, false},
        LineCase{"logWithWildcard", {"s", "/l", "l?.txt"}, false},
        LineCase{"scriptWithWildcard", {"s*.rsq"}, false},
        LineCase{"logLast", {"s", "/l"}, false},
        LineCase{"listLast", {"s", "-@"}, false},
        LineCase{"secondLog", {"s", "/l", "a.log", "/l", "b.log"}, false},
        LineCase{"unknownSwitch", {"s", "/x"}, false},
        LineCase{"longDashSwitch", {"s", "-rn"}, false},
        LineCase{"bareDash", {"s", "-"}, false},
        LineCase{"atIsExact", {"s", "/@x"}, true},  // three characters: a plain pattern
        LineCase{"repeatedFlag", {"s", "/r", "/r"}, true},
        LineCase{"absolutePattern", {"s", "/data/in/*.tif"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLine, SlashIsASwitchOnlyForOneCharacter) {
  std::string t;
  EXPECT_TRUE(SplitSwitch("/r", &t));
  EXPECT_EQ(t, "r");
  EXPECT_TRUE(SplitSwitch("-@", &t));
  EXPECT_EQ(t, "@");
  EXPECT_TRUE(SplitSwitch("-long", &t));
  EXPECT_EQ(t, "long");
  EXPECT_FALSE(SplitSwitch("/tmp", &t));
  EXPECT_EQ(t, "/tmp");
  EXPECT_FALSE(SplitSwitch("/", &t));
  EXPECT_FALSE(SplitSwitch("", &t));
}

TEST(CommandLine, RecordFields) {
  CommandLineRecord r;
  ASSERT_TRUE(ParseCommandLine({"job", "-@", "in.lst", "/l", "out.log", "/e", "/n", "/r"}, &r));
  EXPECT_EQ(r.scriptPath, "job");
  EXPECT_EQ(r.listFile, "in.lst");
  EXPECT_EQ(r.logFile, "out.log");
  EXPECT_EQ(r.filePattern, "");
  EXPECT_EQ(r.shellCommand, 0);
  EXPECT_EQ(r.errorMessages, 1);
  EXPECT_EQ(r.minimise, 0);
  EXPECT_EQ(r.keepOpen, 1);
  EXPECT_EQ(r.mode, 2);
  EXPECT_EQ(r.parseState, 1);
}

TEST(CommandLine, ScriptExtensionLooksAtTheNameOnly) {
  EXPECT_EQ(WithScriptExtension("myscript"), "myscript.rsq");
  EXPECT_EQ(WithScriptExtension("my.script"), "my.script");
  EXPECT_EQ(WithScriptExtension("/home/dir.x/name"), "/home/dir.x/name.rsq");
  EXPECT_EQ(WithScriptExtension("dir.x/name.old"), "dir.x/name.old");
  EXPECT_EQ(WithScriptExtension(".hidden"), ".hidden");
}

class StartUp : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = test::MakeTempDir("startup");
    std::ofstream(dir_ + "/job.rsq") << "x";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(StartUp, NoArgumentsOpensAnEmptyEditor) {
  StartSettings s;
  std::string message;
  EXPECT_EQ(PrepareStart({}, nullptr, &s, &message), 0);
  EXPECT_EQ(s.startMode, 0);
  EXPECT_EQ(s.scriptPath, "");
  EXPECT_EQ(s.runWithoutInterrupting, 1);
  EXPECT_EQ(s.closeAtEnd, 1);
}

TEST_F(StartUp, ScriptAndRunOverEverything) {
  StartSettings s;
  std::string message;
  ASSERT_EQ(PrepareStart({dir_ + "/job", "/r"}, nullptr, &s, &message), 0) << message;
  EXPECT_EQ(s.startMode, 2);
  EXPECT_EQ(s.scriptPath, dir_ + "/job.rsq");
  EXPECT_EQ(s.filePattern, "*.*");
  EXPECT_EQ(s.runWithoutInterrupting, 1);
  EXPECT_EQ(s.closeAtEnd, 1);
  EXPECT_EQ(s.minimise, 0);
}

TEST_F(StartUp, FlagsAndPatternAreHandedOver) {
  StartSettings s;
  std::string message;
  ASSERT_EQ(PrepareStart({dir_ + "/./job.rsq", "*.bmp", "-e", "-i", "-n", "-l", "run.log"},
                         nullptr, &s, &message), 0);
  EXPECT_EQ(s.startMode, 1);
  EXPECT_EQ(s.scriptPath, dir_ + "/job.rsq");
  EXPECT_EQ(s.filePattern, "*.bmp");
  EXPECT_EQ(s.logFile, "run.log");
  EXPECT_EQ(s.runWithoutInterrupting, 0);
  EXPECT_EQ(s.minimise, 1);
  EXPECT_EQ(s.closeAtEnd, 0);
}

TEST_F(StartUp, RelativeScriptBecomesAbsolute) {
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  StartSettings s;
  std::string message;
  EXPECT_EQ(PrepareStart({"job"}, nullptr, &s, &message), 0);
  std::filesystem::current_path(old);
  EXPECT_EQ(s.scriptPath, dir_ + "/job.rsq");
}

TEST_F(StartUp, RefusalsAreShown) {
  FakeMessageService messages;
  StartSettings s;
  EXPECT_FALSE(PrepareStart({"/r", dir_ + "/job"}, messages, &s));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text,
            "An invalid set of command line parameters was specified.  Please refer to the "
            "printed or online documentation for assistance.");

  EXPECT_FALSE(PrepareStart({dir_ + "/missing"}, messages, &s));
  EXPECT_EQ(messages.last().text,
            "The script could not be loaded because no such file or directory");
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);

  EXPECT_FALSE(PrepareStart({dir_}, messages, &s));  // "startup-..." has no dot: + ".rsq"
  EXPECT_EQ(messages.shown.size(), 3u);
  EXPECT_TRUE(PrepareStart({dir_ + "/job"}, messages, &s));
  EXPECT_EQ(messages.shown.size(), 3u);
}

TEST(Display, DepthAboveEightCountsAsTwentyFour) {
  EXPECT_EQ(DisplayDepth(32), 24);
  EXPECT_EQ(DisplayDepth(16), 24);
  EXPECT_EQ(DisplayDepth(8), 8);
  EXPECT_EQ(DisplayDepth(4), 4);
  EXPECT_EQ(DisplayDepth(1), 1);
}

}  // namespace
}  // namespace km
