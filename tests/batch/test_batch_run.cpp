// Whole runs over real files: the log lines of every kind of file in their order, the
// commands, the existing-file rule, the depth check, the optimum palette pass, the
// title and status lines, and CURRENT.LOG.

#include <gtest/gtest.h>

#include <cstring>

#include "BatchTestKit.h"
#include "fileio/IoSettings.h"
#include "script/CommandCodes.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;

class BatchRunTest : public ::testing::Test {
protected:
  BatchFolder folder{"batch-run"};
  CScript script;
  RecordingObserver observer;
  FakeMessageService messages;
  MemoryProfile profile;

  RunResult Run(const BatchSettings& settings) { return RunOnce(script, settings, observer, messages, profile); }
  RunResult Run() { return Run(folder.Settings()); }
};

// A readable file, a missing one, one of no known type, a damaged BMP and one on which
// the first command fails: each gets its own lines, in the order the run makes them.
class EveryKindOfFile : public BatchRunTest {
protected:
  void SetUp() override {
    WriteBmp(folder.inPath("good.bmp"), *MakeMarkedRgb(8, 6, 0x102030, 0xFFFFFF));
    WriteText(folder.inPath("junk.xyz"), std::string(200, 'z') + " plain words, not a picture\n");
    // A BMP header promising 8 x 8 at 24 bits, then nothing.
    auto good = FileBytesOf(folder.inPath("good.bmp"));
    WriteText(folder.inPath("broken.bmp"), std::string(good.begin(), good.begin() + 60));
    WriteBmp(folder.inPath("four.bmp"), *MakeSixteenColour(8, 8));
    folder.WriteList({"good.bmp", "missing.bmp", "junk.xyz", "broken.bmp", "four.bmp"});
    AddCommand(script, 531);  // edge enhance: needs true colour, so it fails on four.bmp
    AddCommand(script, 544);
    for (const auto& name : FolderNames(folder.in())) {
      before_.push_back(FileBytesOf(folder.inPath(name)));
    }
  }

  void ExpectInputsUnchanged() {
    std::vector<std::vector<std::uint8_t>> after;
    for (const auto& name : FolderNames(folder.in())) {
      after.push_back(FileBytesOf(folder.inPath(name)));
    }
    EXPECT_EQ(after, before_);
  }

  std::vector<std::string> ExpectedLog() const {
    return Join({
        ConvertedLines(folder.inPath("good.bmp"), folder.outPath("good.bmp")),
        {"Reading " + folder.inPath("missing.bmp"), "An error occurred. File was not converted."},
        {"Reading " + folder.inPath("junk.xyz"), "Unknown format. File skipped."},
        {"Reading " + folder.inPath("broken.bmp"), "An error occurred. File was not converted."},
        ConvertedLines(folder.inPath("four.bmp"), folder.outPath("four.bmp"),
                       {"Script Line 1 Error: A True Color or Greyscale image is required for this function"}),
        EndLines(2),
    });
  }

  std::vector<std::vector<std::uint8_t>> before_;
};

TEST_F(EveryKindOfFile, LogsEachFileInOrderAndOnlyLogs) {
  const RunResult r = Run();
  EXPECT_EQ(r.returned, 1);
  EXPECT_EQ(r.log, Lines(ExpectedLog()));
  EXPECT_EQ(observer.added, r.log);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(r.outcome.total, 5);
  EXPECT_EQ(r.outcome.converted, 2);
  EXPECT_EQ(r.outcome.failed, 3);
  EXPECT_FALSE(r.outcome.aborted);
  EXPECT_EQ(FolderNames(folder.out()), (std::vector<std::string>{"four.bmp", "good.bmp"}));
  ExpectInputsUnchanged();
  EXPECT_EQ(observer.finished, 1);
  EXPECT_EQ(observer.statuses, (std::vector<std::string>{"Running Batch Process", "Batch Process Complete"}));
}

TEST_F(EveryKindOfFile, ShowErrorsAlsoShowsEachMessage) {
  BatchSettings settings = folder.Settings();
  settings.showErrors = true;
  const RunResult r = Run(settings);
  EXPECT_EQ(r.log, Lines(ExpectedLog()));
  // The reader's failures in the library's words (stop icon), then the command's line.
  ASSERT_EQ(messages.shown.size(), 4u);
  EXPECT_EQ(messages.shown[0].text, "The file could not be opened.");
  EXPECT_EQ(messages.shown[1].text, "The file's format is not recognized.");
  EXPECT_EQ(messages.shown[3].text,
            "Script Line 1 Error: A True Color or Greyscale image is required for this function");
  for (const auto& m : messages.shown) {
    EXPECT_EQ(m.icon, MessageIcon::Stop) << m.text;
    EXPECT_EQ(m.buttons, MessageButtons::Ok) << m.text;
  }
  ExpectInputsUnchanged();
}

TEST_F(BatchRunTest, StatusLinesOfOneFile) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(4, 4, 1, 2, 3));
  folder.WriteList({"a.bmp"});
  AddCommand(script, 506);
  AddCommand(script, 544);
  Run();
  std::vector<std::string> shown;
  for (const auto& e : observer.events) {
    if (e.kind == "line1" || e.kind == "line2") {
      shown.push_back(e.kind + ":" + e.text);
    }
  }
  EXPECT_EQ(shown, Lines({"line1:Processing File 1 of 1", "line2:Reading File",
                                       "line2:Executing Script Line 1 of 2", "line2:Executing Script Line 2 of 2",
                                       "line2:Writing File", "line1:Batch Processing Complete", "line2:"}));
  EXPECT_TRUE(observer.titles.empty());  // the title changes only while minimised
}

TEST_F(BatchRunTest, FailingCommandKeepsTheImageAndLaterCommandsRun) {
  DibHandle source = MakeSixteenColour(8, 8);
  WriteBmp(folder.inPath("p.bmp"), *source);
  folder.WriteList({"p.bmp"});
  AddCommand(script, 531);             // -5004 on a 16-colour image
  AddCommand(script, 523);             // to 24 bits
  AddCommand(script, 506);             // flip
  AddCommand(script, 510, {0, 2, 2});  // a 2 x 2 canvas is smaller: -5003
  AddCommand(script, 544);
  const RunResult r = Run();
  EXPECT_EQ(r.log, Lines(Join({
                         ConvertedLines(
                             folder.inPath("p.bmp"), folder.outPath("p.bmp"),
                             {"Script Line 1 Error: A True Color or Greyscale image is required for this function",
                              "Script Line 4 Error: Enlarge Canvas - The image was already larger than the "
                              "specified size."}),
                         EndLines(1),
                     })));
  DibHandle written = ReadBmp(folder.outPath("p.bmp"));
  ASSERT_TRUE(written);
  ASSERT_EQ(written->bitCount(), 24);
  ASSERT_EQ(written->width(), 8);
  ASSERT_EQ(written->height(), 8);
  // Raised to 24 bits, then flipped top to bottom: row y holds source row 7 - y.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const RgbQuad c = source->colors()[(x + (7 - y)) % 16];
      const std::uint32_t rgb = static_cast<std::uint32_t>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue;
      ASSERT_EQ(GetPixel(*written, x, y), rgb) << x << "," << y;
    }
  }
}

TEST_F(BatchRunTest, EmptyListEndsAtOnce) {
  for (const std::string& list : {std::string(), std::string("\nlater.bmp\n"), std::string("\r\n")}) {
    WriteText(folder.listPath(), list);
    RecordingObserver fresh;
    const RunResult r = RunOnce(script, folder.Settings(), fresh, messages, profile);
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.log, Lines(EndLines(0)));
    EXPECT_EQ(r.outcome.total, 0);
    EXPECT_FALSE(fs::exists(folder.currentLog()));
  }
}

TEST_F(BatchRunTest, MissingListFileReturnsZero) {
  BatchSettings settings = folder.Settings();
  settings.listFile = folder.root() + "/no-such-list";
  const RunResult r = Run(settings);
  EXPECT_EQ(r.returned, 0);
  EXPECT_TRUE(r.log.empty());
  EXPECT_FALSE(r.outcome.listOpened);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text, LoadString(2019));
  EXPECT_EQ(messages.last().icon, MessageIcon::Exclamation);
}

TEST_F(BatchRunTest, FullPathLinesNameTheOutputAfterTheFileName) {
  WriteBmp(folder.inPath("x.y.bmp"), *MakeRgb(3, 3, 9, 9, 9));
  folder.WriteList({folder.inPath("x.y.bmp")});
  BatchSettings settings = folder.Settings();
  settings.fullPathLines = true;
  settings.inputFolder = ".";
  settings.outputFormat = kOutDIB;
  const RunResult r = Run(settings);
  EXPECT_EQ(r.log, Lines(Join({
                         ConvertedLines(folder.inPath("x.y.bmp"), folder.outPath("x.y.dib")),
                         EndLines(1),
                     })));
  EXPECT_EQ(FolderNames(folder.out()), std::vector<std::string>{"x.y.dib"});
}

TEST_F(BatchRunTest, MissingOutputFolderIsCreated) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(3, 3, 1, 1, 1));
  folder.WriteList({"a.bmp"});
  BatchSettings settings = folder.Settings();
  settings.outputFolder = folder.root() + "/made/on/demand";
  const RunResult r = Run(settings);
  EXPECT_EQ(r.outcome.converted, 1);
  EXPECT_TRUE(fs::is_regular_file(settings.outputFolder + "/a.bmp"));
}

// With the output folder the input folder and the same format, the run must not
// replace its own input, even though existing outputs are otherwise overwritten.
TEST_F(BatchRunTest, InputIsNeverOverwrittenByItsOwnOutput) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(3, 3, 1, 1, 1));
  const auto before = FileBytesOf(folder.inPath("a.bmp"));
  folder.WriteList({"a.bmp"});
  BatchSettings settings = folder.Settings();
  settings.outputFolder = folder.root() + "/in";
  const RunResult r = Run(settings);
  EXPECT_EQ(r.outcome.converted, 0);
  EXPECT_EQ(FileBytesOf(folder.inPath("a.bmp")), before);
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "Output file exists. Not overwriting."), r.log.end());
}

// A file name near the system's 255-byte limit: the temporary output name must not
// be longer than the name it becomes.
TEST_F(BatchRunTest, LongestFileNamesAreWritten) {
  const std::string name = std::string(251, 'n') + ".bmp";
  WriteBmp(folder.inPath(name), *MakeRgb(2, 2, 1, 2, 3));
  folder.WriteList({name});
  const RunResult r = Run();
  EXPECT_EQ(r.log, Join({ConvertedLines(folder.inPath(name), folder.outPath(name)), EndLines(1)}));
  EXPECT_EQ(FolderNames(folder.out()), Lines{name});
}

// ---- An output file that already exists ------------------------------------------

struct ExistingCase {
  const char* name;
  bool showErrors;
  MessageAnswer answer;
  bool overwritten;
};

class ExistingOutput : public BatchRunTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingOutput, FollowsTheFlagAndTheAnswer) {
  const ExistingCase& c = GetParam();
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(5, 5, 200, 100, 50));
  fs::create_directories(folder.out());
  WriteText(folder.outPath("a.bmp"), "previous contents");
  folder.WriteList({"a.bmp"});
  AddCommand(script, 544);
  messages.answers.push_back(c.answer);
  BatchSettings settings = folder.Settings();
  settings.showErrors = c.showErrors;
  const RunResult r = Run(settings);

  const std::string output = folder.outPath("a.bmp");
  EXPECT_EQ(r.log, Lines(Join({
                         ConvertedLines(folder.inPath("a.bmp"), output),
                         {c.overwritten ? "Output file exists. Overwriting." : "Output file exists. Not overwriting."},
                         EndLines(c.overwritten ? 1 : 0),
                     })));
  if (c.showErrors) {
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last().text,
              "The filename \"" + output + "\" is in use. Do you wish to overwrite this file?");
    EXPECT_EQ(messages.last().buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages.last().icon, MessageIcon::Question);
  } else {
    EXPECT_TRUE(messages.shown.empty());
  }
  EXPECT_EQ(FileTextOf(output) == "previous contents", !c.overwritten);
  if (c.overwritten) {
    DibHandle written = ReadBmp(output);
    ASSERT_TRUE(written);
    EXPECT_EQ(GetPixel(*written, 4, 4), 0xC86432u);
  }
  EXPECT_EQ(FolderNames(folder.out()), std::vector<std::string>{"a.bmp"});
  // Declining the overwrite ends the file before the point where CURRENT.LOG is saved.
  EXPECT_EQ(fs::exists(folder.currentLog()), c.overwritten);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExistingOutput,
                         ::testing::Values(ExistingCase{"QuietOverwrites", false, MessageAnswer::No, true},
                                           ExistingCase{"AskedYes", true, MessageAnswer::Yes, true},
                                           ExistingCase{"AskedNo", true, MessageAnswer::No, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Depth check -------------------------------------------------------------------

TEST_F(BatchRunTest, JpegFromSixteenColoursFailsTheDepthCheckAndTheRunGoesOn) {
  for (const bool showErrors : {false, true}) {
    SCOPED_TRACE(showErrors);
    BatchFolder f("batch-depth");
    WriteBmp(f.inPath("a.bmp"), *MakeSixteenColour(6, 6));
    WriteBmp(f.inPath("b.bmp"), *MakeSixteenColour(7, 3));
    WriteBmp(f.inPath("c.bmp"), *MakeRgb(5, 4, 90, 120, 150));
    f.WriteList({"a.bmp", "b.bmp", "c.bmp"});
    AddCommand(script, 544);
    BatchSettings settings = f.Settings();
    settings.outputFormat = kOutJPG;
    settings.subType = 0;
    settings.showErrors = showErrors;
    FakeMessageService shown;
    RecordingObserver watcher;
    const RunResult r = RunOnce(script, settings, watcher, shown, profile);
    const std::string depth = "The image must be 24bpp or 8bpp greyscale to save in this format";
    EXPECT_EQ(r.log, Lines(Join({
                           ConvertedLines(f.inPath("a.bmp"), f.outPath("a.jpg")),
                           {depth},
                           ConvertedLines(f.inPath("b.bmp"), f.outPath("b.jpg")),
                           {depth},
                           ConvertedLines(f.inPath("c.bmp"), f.outPath("c.jpg")),
                           EndLines(1),
                       })));
    EXPECT_EQ(FolderNames(f.out()), Lines{"c.jpg"});
    EXPECT_EQ(r.outcome.failed, 2);
    ASSERT_EQ(shown.shown.size(), showErrors ? 2u : 0u);
    EXPECT_EQ(r.outcome.converted, 1);
    for (const auto& m : shown.shown) {
      EXPECT_EQ(m.text, depth);
      EXPECT_EQ(m.icon, MessageIcon::None);
    }
    // The file got as far as writing, so CURRENT.LOG was saved.
    EXPECT_TRUE(fs::exists(f.currentLog()));
    script.RemoveAll();
  }
}

// The reader's transparent index reaches the GIF writer as it is ("OutTransType" 0:
// keep the input's transparency); an input without one gives an output without one.
TEST_F(BatchRunTest, TransparentIndexOfTheInputIsKept) {
  DibHandle image = MakeDib(4, 4, 8, 16);
  for (int i = 0; i < 16; ++i) {
    image->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 15), 0, 0, 0};
  }
  ASSERT_EQ(imgx::EncodeGIF(nullptr, folder.inPath("keyed.gif"), image.get(), 1, 0, 5), 0);
  ASSERT_EQ(imgx::EncodeGIF(nullptr, folder.inPath("plain.gif"), image.get(), 1, 0, -1), 0);
  folder.WriteList({"keyed.gif", "plain.gif"});
  AddCommand(script, 544);
  BatchSettings settings = folder.Settings();
  settings.outputFormat = kOutGIF;
  settings.subType = 3;  // 89a, not interlaced
  const RunResult r = Run(settings);
  ASSERT_EQ(r.outcome.converted, 2);
  for (const auto& [name, expected] : {std::pair{"keyed.gif", 5}, std::pair{"plain.gif", -1}}) {
    DibHandle read;
    std::int16_t transparent = 99;
    ASSERT_EQ(imgx::DecodeGIF(nullptr, folder.outPath(name), &read, &transparent), 0) << name;
    EXPECT_EQ(transparent, expected) << name;
  }
}

// ---- "Apply Fully Optimized Palette" -------------------------------------------------

TEST_F(BatchRunTest, OptimumPaletteIsGatheredOverEveryInputFirst) {
  WriteBmp(folder.inPath("blue.bmp"), *MakeRgb(8, 8, 0, 0, 255));
  WriteBmp(folder.inPath("red.bmp"), *MakeRgb(8, 8, 255, 0, 0));
  folder.WriteList({"blue.bmp", "gone.bmp", "red.bmp"});
  // 16 colours, no Windows colours, nearest colour, median cut.
  AddCommand(script, 519, {16, 0, 0, 0, 0});
  AddCommand(script, 544);
  BatchSettings settings = folder.Settings();
  settings.minimise = true;
  const RunResult r = Run(settings);
  const std::string notConverted = "An error occurred. File was not converted.";
  EXPECT_EQ(r.log, Lines(Join({
                         {"Gathering Data For Optimum Palette...", "Scanning " + folder.inPath("blue.bmp"),
                          "Scanning " + folder.inPath("gone.bmp"), notConverted, "Scanning " + folder.inPath("red.bmp"),
                          "Generating Palette...2 Colors Found"},
                         ConvertedLines(folder.inPath("blue.bmp"), folder.outPath("blue.bmp")),
                         {"Reading " + folder.inPath("gone.bmp"), notConverted},
                         ConvertedLines(folder.inPath("red.bmp"), folder.outPath("red.bmp")),
                         EndLines(2),
                     })));
  EXPECT_EQ(observer.changed, std::vector<std::string>{"Generating Palette...2 Colors Found"});

  // Every scan comes before the first file is converted.
  std::vector<std::string> order;
  for (const auto& e : observer.events) {
    if (e.kind == "scan" || e.kind == "file") {
      order.push_back(e.kind + std::to_string(e.a));
    }
  }
  EXPECT_EQ(order, Lines({"scan1", "scan2", "scan3", "file1", "file2", "file3"}));
  ASSERT_GE(observer.events.size(), 3u);
  EXPECT_EQ(observer.events[1].text, "Scanning File 1 of 3");
  EXPECT_EQ(observer.events[2].text, "Generating Optimum Palette");
  EXPECT_EQ(observer.titles, Lines({"job.rsq - Scanning File 1 of 3", "job.rsq - Scanning File 2 of 3",
                                    "job.rsq - Scanning File 3 of 3", "job.rsq - Processing File 1 of 3",
                                    "job.rsq - Processing File 2 of 3", "job.rsq - Processing File 3 of 3",
                                    "job.rsq - Finished (2 files converted)", ""}));

  // Both files carry the one palette, which holds both colours.
  DibHandle blue = ReadBmp(folder.outPath("blue.bmp"));
  DibHandle red = ReadBmp(folder.outPath("red.bmp"));
  ASSERT_TRUE(blue && red);
  ASSERT_EQ(blue->bitCount(), 8);
  ASSERT_EQ(red->bitCount(), 8);
  ASSERT_EQ(blue->colorCount(), red->colorCount());
  EXPECT_EQ(std::memcmp(blue->colors(), red->colors(), 4u * static_cast<std::size_t>(blue->colorCount())), 0);
  const RgbQuad b = blue->colors()[GetPixel(*blue, 3, 3)];
  const RgbQuad rr = red->colors()[GetPixel(*red, 3, 3)];
  EXPECT_GT(b.rgbBlue, 200);
  EXPECT_EQ(b.rgbRed, 0);
  EXPECT_GT(rr.rgbRed, 200);
  EXPECT_EQ(rr.rgbBlue, 0);
}

TEST_F(BatchRunTest, TitleFollowsTheRunOnlyWhileMinimised) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(2, 2, 0, 0, 0));
  folder.WriteList({"a.bmp", "a.bmp"});
  BatchSettings settings = folder.Settings();
  settings.minimise = true;
  Run(settings);
  EXPECT_EQ(observer.titles, Lines({"job.rsq - Processing File 1 of 2", "job.rsq - Processing File 2 of 2",
                                    "job.rsq - Finished (2 files converted)", ""}));
  EXPECT_EQ(TitleProgressText("/a/b/c.rsq", 3, 120, false), "c.rsq - Processing File 3 of 120");
  EXPECT_EQ(TitleProgressText("c.rsq", 3, 120, true), "c.rsq - Scanning File 3 of 120");
  EXPECT_EQ(TitleProgressText("c.rsq", 7, -1, false), "c.rsq - Finished (7 files converted)");
}

// ---- CURRENT.LOG and the -l log --------------------------------------------------------

TEST_F(BatchRunTest, CurrentLogIsRewrittenAfterEachFileThatReachesWriting) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(2, 2, 5, 5, 5));
  WriteBmp(folder.inPath("c.bmp"), *MakeRgb(2, 2, 6, 6, 6));
  folder.WriteList({"a.bmp", "missing.bmp", "c.bmp"});
  std::vector<std::string> seen;  // CURRENT.LOG as each file starts
  observer.onFileStarted = [&](int, bool) {
    seen.push_back(fs::exists(folder.currentLog()) ? FileTextOf(folder.currentLog()) : "(none)");
  };
  const RunResult r = Run();
  const auto fileA = ConvertedLines(folder.inPath("a.bmp"), folder.outPath("a.bmp"));
  const std::vector<std::string> missing = {"Reading " + folder.inPath("missing.bmp"),
                                            "An error occurred. File was not converted."};
  const auto fileC = ConvertedLines(folder.inPath("c.bmp"), folder.outPath("c.bmp"));
  auto crlf = [](const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) {
      text += l + "\r\n";
    }
    return text;
  };
  // The missing file never reaches writing: its lines arrive with the next file.
  EXPECT_EQ(seen, Lines({std::string("(none)"), crlf(fileA), crlf(fileA)}));
  EXPECT_EQ(FileTextOf(folder.currentLog()), crlf(Join({fileA, missing, fileC})));
  EXPECT_EQ(r.log, Join({fileA, missing, fileC, EndLines(2)}));
}

// The first save of a run replaces what an earlier run left; later saves only add the
// new lines, so the file is the whole log of this run and nothing else.
TEST_F(BatchRunTest, CurrentLogOfAnEarlierRunIsReplaced) {
  WriteText(folder.currentLog(), std::string(5000, 'x') + "\r\n");
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(2, 2, 5, 5, 5));
  WriteBmp(folder.inPath("b.bmp"), *MakeRgb(2, 2, 6, 6, 6));
  folder.WriteList({"a.bmp", "b.bmp"});
  const RunResult r = Run();
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(FileTextOf(folder.currentLog()), &lines));
  const std::vector<std::string> expected(r.log.begin(), r.log.end() - 2);  // the closing lines stay out
  EXPECT_EQ(lines, expected);
}

TEST_F(BatchRunTest, CommandLineLogFileGetsTheWholeLogAtTheEnd) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(2, 2, 5, 5, 5));
  folder.WriteList({"a.bmp"});
  BatchSettings settings = folder.Settings();
  settings.commandLineRun = true;
  settings.logFile = folder.root() + "/run.log";
  const RunResult r = Run(settings);
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(FileTextOf(settings.logFile), &lines));
  EXPECT_EQ(lines, r.log);
  EXPECT_TRUE(fs::exists(folder.listPath()));  // a named list file stays
  EXPECT_TRUE(messages.shown.empty());

  settings.logFile = folder.root() + "/no/such/folder/run.log";
  Run(settings);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text.rfind("The log file could not be saved because ", 0), 0u) << messages.last().text;
  EXPECT_GT(messages.last().text.size(), std::string("The log file could not be saved because ").size());
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);
}

// ---- Output options -----------------------------------------------------------------

// A "Set Output Options" naming a format or sub-type outside the lists (a damaged or
// hand-made script) writes nothing: the invalid-parameter text is logged (and shown
// when the run interrupts for errors) and the file is not counted as converted.
TEST_F(BatchRunTest, AnOutputOutsideTheListsIsLoggedAndNotCounted) {
  struct Case {
    int format;
    int subType;
    const char* output;  // the name ReplaceExtension gives
  };
  for (const Case& c : {Case{kOutBMP, 3, "a.bmp"}, Case{kOutCLP, 1, "a.clp"}, Case{40, 0, "a"}}) {
    for (const bool showErrors : {false, true}) {
      SCOPED_TRACE(std::to_string(c.format) + "/" + std::to_string(c.subType));
      BatchFolder f("batch-unlisted");
      WriteBmp(f.inPath("a.bmp"), *MakeRgb(4, 4, 1, 2, 3));
      f.WriteList({"a.bmp"});
      AddCommand(script, kSetOutputOptions);
      BatchSettings settings = f.Settings();
      settings.outputFormat = c.format;
      settings.subType = c.subType;
      settings.showErrors = showErrors;
      FakeMessageService shown;
      RecordingObserver watcher;
      const RunResult r = RunOnce(script, settings, watcher, shown, profile);
      const std::string invalid = "An invalid parameter was passed to a function";
      EXPECT_EQ(r.log, Lines(Join({ConvertedLines(f.inPath("a.bmp"), f.outPath(c.output)), {invalid}, EndLines(0)})));
      EXPECT_EQ(r.outcome.converted, 0);
      EXPECT_EQ(r.outcome.failed, 1);
      EXPECT_TRUE(FolderNames(f.out()).empty());
      ASSERT_EQ(shown.shown.size(), showErrors ? 1u : 0u);
      if (showErrors) {
        EXPECT_EQ(shown.last().text, invalid);
      }
      script.RemoveAll();
    }
  }
}

// The stored output options are read when the run starts and hold for all of it.
TEST_F(BatchRunTest, StoredOutputOptionsReachTheWriter) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(4, 4, 1, 2, 3));
  folder.WriteList({"a.bmp"});
  AddCommand(script, kSetOutputOptions);
  OutputOptions stored;
  stored.dpi = 150;
  SaveOutputOptions(profile, stored);
  BatchSettings settings = folder.Settings();
  settings.outputFormat = kOutPCX;
  settings.subType = 2;  // version 5
  ASSERT_EQ(Run(settings).outcome.converted, 1);
  const std::vector<std::uint8_t> pcx = FileBytesOf(folder.outPath("a.pcx"));
  ASSERT_GT(pcx.size(), 16u);
  EXPECT_EQ(pcx[1], 5);                     // version
  EXPECT_EQ(pcx[12] | (pcx[13] << 8), 150);  // horizontal DPI
  // The run leaves metafiles of later runs to be read without asking.
  EXPECT_EQ(LoadInputPreferences(profile).metafilePrompt, 1);
}

TEST(SaveLogFileTest, EndsEveryLineWithCrLfAndReplacesTheFile) {
  BatchFolder f("batch-savelog");
  const std::string path = f.root() + "/x.log";
  WriteText(path, "a much longer previous text that must not survive\n");
  std::string reason;
  ASSERT_TRUE(SaveLogFile(path, {"one", "", "three"}, &reason));
  EXPECT_EQ(FileTextOf(path), "one\r\n\r\nthree\r\n");
  ASSERT_TRUE(SaveLogFile(path, {}, &reason));
  EXPECT_EQ(FileTextOf(path), "");
  EXPECT_FALSE(SaveLogFile(f.root() + "/missing/x.log", {"a"}, &reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace km::test
