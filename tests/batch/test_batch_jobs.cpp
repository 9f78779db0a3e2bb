// Several files at once: forty files of six formats (one not a picture, two with the
// same output name) give the outputs, the log, CURRENT.LOG and the file records of a
// one-at-a-time run, with and without the optimum palette pass; "&Abort" answered Yes
// leaves only whole outputs, answered No changes nothing; and the order kept between
// files that share a path.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>

#include "BatchTestKit.h"
#include "batch/FileOrder.h"
#include "batch/JobCount.h"
#include "script/CommandCodes.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;

// A picture of its own for every index: a diagonal ramp tinted by the index.
DibHandle MakeRamp(int width, int height, int index) {
  DibHandle dib = MakeDib(width, height, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto r = static_cast<std::uint32_t>((x * 255 / width + index * 13) & 0xFF);
      const auto g = static_cast<std::uint32_t>((y * 255 / height + index * 29) & 0xFF);
      const auto b = static_cast<std::uint32_t>(((x + y) * 4 + index * 7) & 0xFF);
      SetPixel(*dib, x, y, r << 16 | g << 8 | b);
    }
  }
  return dib;
}

// Records every file's record as the run hands it over.
class RecordsObserver : public RecordingObserver {
public:
  void fileFinished(const FileResult& result) override { records.push_back(result); }
  std::vector<FileResult> records;
};

struct RunFiles {
  RunResult result;
  std::string currentLog;
  std::map<std::string, std::vector<std::uint8_t>> outputs;  // by name, hidden ones too
  std::vector<FileResult> records;
  std::vector<std::string> added;  // the lines the observer was told of
};

class JobsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Lines names;
    for (int i = 0; i < 38; ++i) {
      const std::string stem = "p" + std::to_string(i / 10) + std::to_string(i % 10);
      const DibHandle ramp = MakeRamp(24 + i % 7, 16 + i % 5, i);
      std::string name;
      switch (i % 6) {
        case 0:
          name = stem + ".bmp";
          WriteBmp(folder.inPath(name), *ramp);
          break;
        case 1:
          name = stem + ".png";
          ASSERT_EQ(imgx::EncodePNG(nullptr, folder.inPath(name), ramp.get(), nullptr, 6, 0, 0, -1), 0);
          break;
        case 2:
          name = stem + ".jpg";
          ASSERT_EQ(imgx::EncodeJPG(nullptr, folder.inPath(name), ramp.get(), 90, 72, 0), 0);
          break;
        case 3:
          name = stem + ".tif";
          ASSERT_EQ(imgx::EncodeTIF(nullptr, folder.inPath(name), ramp.get(), nullptr, 5, 0, 72), 0);
          break;
        case 4:
          name = stem + ".pcx";
          ASSERT_EQ(imgx::EncodePCX(nullptr, folder.inPath(name), ramp.get(), 5, 72), 0);
          break;
        default:
          name = stem + ".gif";
          ASSERT_EQ(imgx::EncodeGIF(nullptr, folder.inPath(name), MakeSixteenColour(20 + i, 12).get(), 1, 0, -1), 0);
          break;
      }
      names.push_back(name);
    }
    // Not a picture, and a PNG whose output has the name of an earlier BMP's.
    WriteText(folder.inPath("notes.xyz"), std::string(200, 'z') + " plain words, not a picture\n");
    names.insert(names.begin() + 17, "notes.xyz");
    ASSERT_EQ(imgx::EncodePNG(nullptr, folder.inPath("p00.png"), MakeRamp(9, 9, 99).get(), nullptr, 6, 0, 0, -1), 0);
    names.push_back("p00.png");
    ASSERT_EQ(names.size(), 40u);
    folder.WriteList(names);
  }

  // One run with `jobs` workers; its outputs are then moved out of the way, so the next
  // run writes (and logs) the same paths.
  RunFiles Run(int jobs, const std::string& tag) {
    RecordsObserver observer;
    BatchSettings settings = folder.Settings();
    settings.jobs = jobs;
    settings.currentLogPath = folder.root() + "/CURRENT-" + tag + ".LOG";
    RunFiles r;
    r.result = RunOnce(script, settings, observer, messages, profile);
    r.currentLog = FileTextOf(settings.currentLogPath);
    for (const std::string& name : FolderNames(folder.out())) {
      r.outputs[name] = FileBytesOf(folder.outPath(name));
    }
    r.records = observer.records;
    r.added = observer.added;
    fs::rename(folder.out(), folder.root() + "/out-" + tag);
    return r;
  }

  static void ExpectSameRun(const RunFiles& one, const RunFiles& many) {
    EXPECT_EQ(many.result.log, one.result.log);
    EXPECT_EQ(many.added, one.added);
    EXPECT_EQ(many.currentLog, one.currentLog);
    EXPECT_EQ(many.outputs.size(), one.outputs.size());
    EXPECT_TRUE(many.outputs == one.outputs);
    EXPECT_EQ(many.result.outcome.converted, one.result.outcome.converted);
    EXPECT_EQ(many.result.outcome.failed, one.result.outcome.failed);
    ASSERT_EQ(many.records.size(), one.records.size());
    for (std::size_t i = 0; i < one.records.size(); ++i) {
      const FileResult& a = one.records[i];
      const FileResult& b = many.records[i];
      EXPECT_EQ(b.number, static_cast<int>(i) + 1);
      EXPECT_EQ(b.input, a.input);
      EXPECT_EQ(b.output, a.output);
      EXPECT_EQ(b.status, a.status) << a.input;
      EXPECT_EQ(b.code, a.code) << a.input;
      EXPECT_EQ(b.message, a.message);
      EXPECT_EQ(b.lines, a.lines);
    }
  }

  BatchFolder folder{"batch-jobs"};
  CScript script;
  FakeMessageService messages;
  MemoryProfile profile;
};

TEST_F(JobsTest, FourWorkersGiveTheOutputsLogAndRecordsOfOne) {
  AddCommand(script, 506);  // flip
  AddCommand(script, 531);  // edge enhance: fails on the 16-colour GIFs, which go on unchanged
  AddCommand(script, 544);
  const RunFiles one = Run(1, "one");
  const RunFiles four = Run(4, "four");
  ExpectSameRun(one, four);

  // What both runs did, worked out from the list: 39 pictures and a text file; the
  // PNG at the end overwrites the first BMP's output.
  EXPECT_EQ(one.result.outcome.total, 40);
  EXPECT_EQ(one.result.outcome.converted, 39);
  EXPECT_EQ(one.result.outcome.failed, 1);
  EXPECT_EQ(one.outputs.size(), 38u);
  const FileResult& notes = one.records[17];
  EXPECT_EQ(notes.status, FileStatus::kFailed);
  EXPECT_EQ(notes.message, "Unknown format. File skipped.");
  EXPECT_EQ(notes.lines, (Lines{"Reading " + folder.inPath("notes.xyz"), "Unknown format. File skipped."}));
  const FileResult& last = one.records[39];
  EXPECT_EQ(last.output, folder.outPath("p00.bmp"));
  EXPECT_EQ(last.lines[last.lines.size() - 1], "Output file exists. Overwriting.");
  EXPECT_EQ(one.records[5].lines[2], "Script Line 2 Error: A True Color or Greyscale image is required for this function");
  EXPECT_EQ(one.records[5].status, FileStatus::kConverted);
}

TEST_F(JobsTest, OptimumPalettePassThenFourWorkersGiveTheSameFiles) {
  AddCommand(script, 519, {16, 0, 0, 0, 0});
  AddCommand(script, 544);
  const RunFiles one = Run(1, "one");
  const RunFiles four = Run(4, "four");
  ExpectSameRun(one, four);
  // Every picture was scanned once, before the first file was read.
  const Lines& log = one.result.log;
  const auto firstReading =
      std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("Reading ", 0) == 0; });
  EXPECT_EQ(std::count_if(log.begin(), firstReading, [](const std::string& l) { return l.rfind("Scanning ", 0) == 0; }),
            40);
  EXPECT_EQ(one.result.outcome.converted, 39);
}

// More workers than files, and every file's record once, in order.
TEST_F(JobsTest, MoreWorkersThanFiles) {
  folder.WriteList({"p00.bmp", "p01.png", "p02.jpg"});
  AddCommand(script, 507);  // mirror
  const RunFiles one = Run(1, "one");
  const RunFiles many = Run(16, "many");
  ExpectSameRun(one, many);
  EXPECT_EQ(many.records.size(), 3u);
  EXPECT_EQ(many.outputs.size(), 3u);
}

// A sink that presses "&Abort" the first time a worker polls it, while the first file
// read by anyone is being decoded, and never cancels the step itself.
class AbortOnFirstPoll final : public ProgressSink {
public:
  explicit AbortOnFirstPoll(RecordingObserver& observer) : observer_(observer) {}
  void report(int) override {}
  bool cancelled() override {
    if (!pressed_.exchange(true)) observer_.pressAbort();
    return false;
  }

private:
  RecordingObserver& observer_;
  std::atomic<bool> pressed_{false};
};

// "&Abort" pressed while the first files are read: no file is handed out after the
// press, each file in hand finishes its read, stops at the check point after it, and
// nothing is written; the log holds their blocks, then the abort line.
TEST_F(JobsTest, AbortAnsweredYesStopsTheFilesInHandAndWritesNothing) {
  AddCommand(script, 506);
  AddCommand(script, 544);
  RecordsObserver observer;
  AbortOnFirstPoll sink(observer);
  observer.sink = &sink;
  messages.answers.push_back(MessageAnswer::Yes);
  BatchSettings settings = folder.Settings();
  settings.jobs = 3;
  const RunResult r = RunOnce(script, settings, observer, messages, profile);

  EXPECT_TRUE(r.outcome.aborted);
  EXPECT_EQ(r.outcome.converted, 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text, "Are you sure you want to abort processing?");
  ASSERT_GE(observer.records.size(), 1u);
  ASSERT_LE(observer.records.size(), 3u);
  Lines expected;
  for (std::size_t i = 0; i < observer.records.size(); ++i) {
    const FileResult& record = observer.records[i];
    EXPECT_EQ(record.number, static_cast<int>(i) + 1);
    EXPECT_EQ(record.status, FileStatus::kStopped);
    EXPECT_EQ(record.lines, Lines{"Reading " + record.input});
    expected.insert(expected.end(), record.lines.begin(), record.lines.end());
  }
  expected.push_back("User abort. Processing halted.");
  expected = Join({expected, EndLines(0)});
  EXPECT_EQ(r.log, expected);
  EXPECT_TRUE(FolderNames(folder.out()).empty());
}

TEST_F(JobsTest, AbortAnsweredNoChangesNothing) {
  AddCommand(script, 506);
  AddCommand(script, 544);
  const RunFiles one = Run(1, "one");

  RecordsObserver observer;
  observer.onFileStarted = [&observer](int number, bool) {
    if (number == 2) observer.pressAbort();
  };
  messages.answers.push_back(MessageAnswer::No);
  BatchSettings settings = folder.Settings();
  settings.jobs = 4;
  settings.currentLogPath = folder.root() + "/CURRENT-no.LOG";
  const RunResult r = RunOnce(script, settings, observer, messages, profile);
  EXPECT_FALSE(r.outcome.aborted);
  EXPECT_EQ(observer.cleared, 1);
  EXPECT_EQ(r.log, one.result.log);
  EXPECT_EQ(FileTextOf(settings.currentLogPath), one.currentLog);
  EXPECT_EQ(FolderNames(folder.out()).size(), one.outputs.size());
}

// The run's memory ceiling is shared out among its workers. Four 60 x 60 true-colour
// pictures (10840 bytes each as a Dib): with a ceiling of 32 KiB one worker holds a
// picture and its flipped copy (21680 bytes); four workers have 8 KiB each, so no
// picture can be decoded.
TEST_F(JobsTest, TheMemoryCeilingIsSharedAmongTheWorkers) {
  for (const char* name : {"m1.bmp", "m2.bmp", "m3.bmp", "m4.bmp"}) {
    WriteBmp(folder.inPath(name), *MakeRamp(60, 60, 3));
  }
  folder.WriteList({"m1.bmp", "m2.bmp", "m3.bmp", "m4.bmp"});
  AddCommand(script, 506);
  RecordsObserver observer;
  BatchSettings settings = folder.Settings();
  settings.memoryLimit = 32 * 1024;
  settings.jobs = 1;
  EXPECT_EQ(RunOnce(script, settings, observer, messages, profile).outcome.converted, 4);
  settings.jobs = 4;
  const RunResult four = RunOnce(script, settings, observer, messages, profile);
  EXPECT_EQ(four.outcome.converted, 0);
  EXPECT_EQ(four.outcome.failed, 4);
  EXPECT_EQ(four.log[1], "An error occurred. File was not converted.");
}

// "Interrupt processing to display error messages" asks its questions one file at a
// time: the run converts one file at a time (the status lines of each command are
// reported, which workers leave out).
TEST_F(JobsTest, ShowErrorsConvertsOneAtATime) {
  folder.WriteList({"p00.bmp", "p01.png"});
  AddCommand(script, 506);
  RecordsObserver observer;
  BatchSettings settings = folder.Settings();
  settings.jobs = 4;
  settings.showErrors = true;
  RunOnce(script, settings, observer, messages, profile);
  const auto commands = std::count_if(observer.events.begin(), observer.events.end(),
                                      [](const RecordingObserver::Event& e) { return e.kind == "command"; });
  EXPECT_EQ(commands, 2);
}

// "Add Noise" draws from the C library's one sequence, file after file: a script with
// it converts one file at a time, so from the same seed the run repeats exactly.
TEST_F(JobsTest, AddNoiseConvertsOneAtATimeSoTheRunRepeats) {
  folder.WriteList({"p00.bmp", "p01.png", "p03.tif", "p04.pcx", "p06.bmp", "p07.png"});
  AddCommand(script, 550, {60, 0});
  std::srand(1);
  const RunFiles one = Run(1, "one");
  std::srand(1);
  const RunFiles four = Run(4, "four");
  ExpectSameRun(one, four);
  EXPECT_EQ(four.outputs.size(), 6u);
}

// The order kept between files that share a path, worked out by hand: file 2 reads
// what file 0 writes (and writes it again), file 3 writes what file 1 reads, file 4
// reads (through "..") what file 3 writes; files 0 and 1 share nothing.
TEST(SharedPathOrderTest, WaitsForEveryEarlierFileThatTouchesAPathItWritesOrReads) {
  const std::vector<std::string> inputs = {"in/a.bmp", "in/b.png", "out/a.bmp", "in/c.bmp", "x/../in/b.png",
                                           "in/a.bmp"};
  const std::vector<std::string> outputs = {"out/a.bmp", "out/b.bmp", "out/a.bmp", "in/b.png", "out/d.bmp",
                                            "out/e.bmp"};
  const std::vector<std::vector<int>> expected = {{}, {}, {0}, {1}, {3}, {}};
  EXPECT_EQ(SharedPathOrder(inputs, outputs), expected);
}

TEST(JobCountTest, CountsAsTypedAndAsStored) {
  int jobs = -1;
  for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{{"0", 0}, {"1", 1}, {"256", 256}, {"007", 7}}) {
    EXPECT_TRUE(ParseJobCount(text, &jobs)) << text;
    EXPECT_EQ(jobs, value);
  }
  for (const char* bad : {"", "-1", "+2", "257", "1000", "2x", " 2", "1.5"}) {
    EXPECT_FALSE(ParseJobCount(bad, &jobs)) << bad;
  }
  EXPECT_GE(UsableCores(), 1);
  EXPECT_EQ(EffectiveJobs(0), UsableCores() > kMaxJobs ? kMaxJobs : UsableCores());
  EXPECT_EQ(EffectiveJobs(3), 3);
  EXPECT_EQ(EffectiveJobs(1000), kMaxJobs);
}

}  // namespace
}  // namespace km::test
