// The "&Abort" button at every point the run looks at it, the answers Yes and No, and
// Escape (the progress sink's cancel) while a file is read or written: nothing partial
// or temporary is ever left in the output folder.

#include <gtest/gtest.h>

#include "BatchTestKit.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;
using Event = RecordingObserver::Event;

// Three 6 x 4 images, a script of flip, mirror and "Set Output Options".
class AbortTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
      WriteBmp(folder.inPath(name), *MakeMarkedRgb(6, 4, 0x336699, 0xFF0000));
    }
    folder.WriteList({"a.bmp", "b.bmp", "c.bmp"});
    AddCommand(script, 506);
    AddCommand(script, 507);
    AddCommand(script, 544);
  }

  RunResult Run() { return RunOnce(script, folder.Settings(), observer, messages, profile); }

  Lines Converted(const char* name) const {
    return ConvertedLines(folder.inPath(name), folder.outPath(name));
  }

  BatchFolder folder{"batch-abort"};
  CScript script;
  RecordingObserver observer;
  FakeMessageService messages;
  MemoryProfile profile;
};

struct AbortMoment {
  const char* name;
  std::function<bool(const Event&)> when;  // the event at which "&Abort" is pressed
  int converted;                           // files written before the run stops
  bool readSecond;                         // "Reading b.bmp" was logged
  bool executedSecond;                     // "Executing Script Commands..." for b.bmp
};

class AbortAt : public AbortTest, public ::testing::WithParamInterface<AbortMoment> {};

TEST_P(AbortAt, YesHaltsTheRunAndLeavesNoPartialFile) {
  const AbortMoment& m = GetParam();
  observer.abortWhen = m.when;
  messages.answers.push_back(MessageAnswer::Yes);
  const RunResult r = Run();

  Lines expected = Converted("a.bmp");
  if (m.converted == 2) {
    expected = Join({expected, Converted("b.bmp")});
  } else if (m.readSecond) {
    expected.push_back("Reading " + folder.inPath("b.bmp"));
    if (m.executedSecond) {
      expected.push_back("Executing Script Commands...");
    }
  }
  expected.push_back("User abort. Processing halted.");
  expected = Join({expected, EndLines(m.converted)});
  EXPECT_EQ(r.log, expected);
  EXPECT_EQ(r.returned, 1);
  EXPECT_TRUE(r.outcome.aborted);
  EXPECT_EQ(r.outcome.converted, m.converted);

  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text, "Are you sure you want to abort processing?");
  EXPECT_EQ(messages.last().buttons, MessageButtons::YesNo);

  // Only whole outputs, and no hidden temporary names.
  Lines outputs = {"a.bmp"};
  if (m.converted == 2) {
    outputs.push_back("b.bmp");
  }
  EXPECT_EQ(FolderNames(folder.out()), outputs);
  // The file in hand never reached writing, so CURRENT.LOG holds what came before it.
  std::vector<std::string> saved;
  ASSERT_TRUE(SplitCrLf(FileTextOf(folder.currentLog()), &saved));
  EXPECT_EQ(saved, m.converted == 2 ? Join({Converted("a.bmp"), Converted("b.bmp")}) : Converted("a.bmp"));
}

bool IsLine2(const Event& e, const char* text) { return e.kind == "line2" && e.text == text; }

INSTANTIATE_TEST_SUITE_P(
    Moments, AbortAt,
    ::testing::Values(
        // Pressed while file 2 is being read: the check after reading stops it.
        AbortMoment{"AfterReading", [](const Event& e) { return e.b == 2 && IsLine2(e, "Reading File"); }, 1, true,
                    false},
        // Pressed while the first command of file 2 runs: the check before command 2.
        AbortMoment{"BeforeACommand", [](const Event& e) { return e.kind == "command" && e.b == 2 && e.a == 0; }, 1,
                    true, true},
        // Pressed while file 2 is written: the check before file 3.
        AbortMoment{"BeforeTheNextFile", [](const Event& e) { return e.b == 2 && IsLine2(e, "Writing File"); }, 2,
                    false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AbortTest, PressedBeforeTheFirstFile) {
  observer.pressAbort();
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({{"User abort. Processing halted."}, EndLines(0)}));
  EXPECT_TRUE(FolderNames(folder.out()).empty());
  EXPECT_FALSE(fs::exists(folder.currentLog()));
}

TEST_F(AbortTest, NoClearsTheRequestAndTheSameFileGoesOn) {
  observer.abortWhen = [](const Event& e) { return e.kind == "command" && e.b == 2 && e.a == 0; };
  messages.answers.push_back(MessageAnswer::No);
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({Converted("a.bmp"), Converted("b.bmp"), Converted("c.bmp"), EndLines(3)}));
  EXPECT_EQ(observer.cleared, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_FALSE(r.outcome.aborted);
  // File 2 still received both commands: flipped and mirrored, the marked corner is
  // now bottom-right.
  DibHandle b = ReadBmp(folder.outPath("b.bmp"));
  ASSERT_TRUE(b);
  EXPECT_EQ(GetPixel(*b, 5, 3), 0xFF0000u);
  EXPECT_EQ(GetPixel(*b, 0, 0), 0x336699u);
}

TEST_F(AbortTest, DuringThePalettePassNothingIsConverted) {
  auto optimum = std::make_unique<CScriptCommand>(519);
  optimum->Int1 = 16;
  optimum->Int2 = optimum->Int3 = optimum->Int4 = optimum->Int5 = 0;
  script.InsertAfter(std::move(optimum), -1);
  observer.abortWhen = [](const Event& e) { return e.kind == "scan" && e.a == 2; };
  messages.answers.push_back(MessageAnswer::Yes);
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({{"Gathering Data For Optimum Palette...", "Scanning " + folder.inPath("a.bmp"),
                          "Scanning " + folder.inPath("b.bmp"), "User abort. Processing halted."},
                         EndLines(0)}));
  EXPECT_FALSE(fs::exists(folder.out()) && !FolderNames(folder.out()).empty());
}

// Escape while reading or writing skips the file; the run goes on with the next one.
TEST_F(AbortTest, EscapeWhileWritingLeavesThePreviousFileAndNoTemporary) {
  fs::create_directories(folder.out());
  WriteText(folder.outPath("b.bmp"), "the file from an earlier run");
  ArmedSink sink;
  observer.sink = &sink;
  observer.abortWhen = [&](const Event& e) {
    if (e.kind == "line2") {
      sink.armed = e.b == 2 && e.text == "Writing File";
    }
    return false;
  };
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({Converted("a.bmp"), Converted("b.bmp"),
                         {"Output file exists. Overwriting.", "User pressed ESC. File skipped."}, Converted("c.bmp"),
                         EndLines(2)}));
  EXPECT_GT(sink.reports, 0);
  EXPECT_EQ(FolderNames(folder.out()), (Lines{"a.bmp", "b.bmp", "c.bmp"}));
  EXPECT_EQ(FileTextOf(folder.outPath("b.bmp")), "the file from an earlier run");
}

TEST_F(AbortTest, EscapeWhileReadingSkipsTheFile) {
  ArmedSink sink;
  observer.sink = &sink;
  observer.abortWhen = [&](const Event& e) {
    if (e.kind == "line2") {
      sink.armed = e.b == 2 && e.text == "Reading File";
    }
    return false;
  };
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({Converted("a.bmp"),
                         {"Reading " + folder.inPath("b.bmp"), "User pressed ESC. File skipped."},
                         Converted("c.bmp"), EndLines(2)}));
  EXPECT_EQ(FolderNames(folder.out()), (Lines{"a.bmp", "c.bmp"}));
}

}  // namespace
}  // namespace km::test
