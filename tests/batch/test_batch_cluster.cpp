// Runs spread over machines: the parts of a list (--shard), leaving current outputs
// alone (--skip-existing) and the per-file records written as JSON lines. The JSON
// is checked with an independent, strict parser (nlohmann::json refuses malformed
// UTF-8 and unescaped control characters).

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "BatchTestKit.h"
#include "batch/JsonLines.h"
#include "batch/Shard.h"
#include "batch/SkipExisting.h"
#include "support/Base64Decode.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;
using FileClock = fs::file_time_type::clock;

void SetAge(const std::string& path, std::chrono::minutes age) {
  fs::last_write_time(path, FileClock::now() - age);
}

// ---- Parts of a list ----------------------------------------------------------------

TEST(Shard, TakesOnlyKOverNWithKFromOneToN) {
  struct Case {
    const char* text;
    int k;  // 0: refused
    int n;
  };
  const Case cases[] = {
      {"1/1", 1, 1},  {"2/4", 2, 4},   {"4/4", 4, 4},   {"10/12", 10, 12}, {"007/8", 7, 8},
      {"0/4", 0, 0},  {"5/4", 0, 0},   {"1/0", 0, 0},   {"-1/4", 0, 0},    {"+1/4", 0, 0},
      {" 1/4", 0, 0}, {"1/4 ", 0, 0},  {"1/", 0, 0},    {"/4", 0, 0},      {"14", 0, 0},
      {"1/4/2", 0, 0}, {"a/b", 0, 0},  {"1.5/4", 0, 0}, {"", 0, 0},        {"99999999999/99999999999", 0, 0},
  };
  for (const Case& c : cases) {
    ShardPart shard{3, 9};
    const bool parsed = ParseShard(c.text, &shard);
    EXPECT_EQ(parsed, c.k != 0) << c.text;
    if (c.k != 0) {
      EXPECT_EQ(shard.index, c.k) << c.text;
      EXPECT_EQ(shard.count, c.n) << c.text;
    } else {
      EXPECT_EQ(shard.index, 3) << c.text;  // unchanged
      EXPECT_EQ(shard.count, 9) << c.text;
    }
  }
}

TEST(Shard, PartsFollowSortedPositionsAndKeepTheListOrder) {
  // Sorted: a b c d e (positions 0..4).
  const Lines list = {"d", "a", "c", "b", "e"};
  EXPECT_EQ(SelectShard(list, {1, 2}), Lines({"a", "c", "e"}));  // positions 0, 2, 4
  EXPECT_EQ(SelectShard(list, {2, 2}), Lines({"d", "b"}));       // positions 1, 3
  EXPECT_EQ(SelectShard(list, {1, 3}), Lines({"d", "a"}));       // positions 0, 3
  EXPECT_EQ(SelectShard(list, {3, 3}), Lines({"c"}));            // position 2
  EXPECT_EQ(SelectShard(list, {5, 7}), Lines({"e"}));
  EXPECT_EQ(SelectShard(list, {6, 7}), Lines());
  EXPECT_EQ(SelectShard(list, {1, 1}), list);
  // Byte order: upper case before lower case, "/" before letters.
  EXPECT_EQ(SelectShard({"b", "B", "a/x", "a"}, {1, 2}), Lines({"B", "a/x"}));

  // For every N, the parts together hold each listed name exactly as often as the list,
  // and their sizes differ by one at most.
  Lines names;
  for (int i = 0; i < 13; ++i) {
    names.push_back("f" + std::to_string((i * 7) % 13) + ".png");
  }
  names.push_back("f3.png");  // listed twice
  for (int n = 1; n <= 16; ++n) {
    std::map<std::string, int> seen;
    std::size_t smallest = names.size();
    std::size_t largest = 0;
    for (int k = 1; k <= n; ++k) {
      const Lines part = SelectShard(names, {k, n});
      smallest = std::min(smallest, part.size());
      largest = std::max(largest, part.size());
      for (const std::string& name : part) {
        ++seen[name];
      }
    }
    std::map<std::string, int> listed;
    for (const std::string& name : names) {
      ++listed[name];
    }
    EXPECT_EQ(seen, listed) << n;
    EXPECT_LE(largest - smallest, 1u) << n;
  }
}

// ---- Current outputs ----------------------------------------------------------------

TEST(SkipExisting, OnlyAnOutputNewerThanItsInputIsCurrent) {
  BatchFolder folder("skip-rule");
  const std::string input = folder.inPath("a.bmp");
  const std::string output = folder.root() + "/a.jpg";
  WriteText(input, "in");
  WriteText(output, "out");
  const auto now = FileClock::now();
  fs::last_write_time(input, now - std::chrono::minutes(10));
  fs::last_write_time(output, now - std::chrono::minutes(5));
  EXPECT_TRUE(OutputIsCurrent(input, output));
  fs::last_write_time(output, now - std::chrono::minutes(10));  // the same time
  EXPECT_FALSE(OutputIsCurrent(input, output));
  fs::last_write_time(output, now - std::chrono::minutes(20));  // older
  EXPECT_FALSE(OutputIsCurrent(input, output));
  fs::last_write_time(output, now);
  EXPECT_FALSE(OutputIsCurrent(folder.inPath("gone.bmp"), output));  // no input
  EXPECT_FALSE(OutputIsCurrent(input, folder.root() + "/gone.jpg"));  // no output
  fs::create_directories(folder.root() + "/dir.jpg");
  EXPECT_FALSE(OutputIsCurrent(input, folder.root() + "/dir.jpg"));  // not a file
  fs::create_symlink(output, folder.root() + "/link.jpg");
  EXPECT_TRUE(OutputIsCurrent(input, folder.root() + "/link.jpg"));  // the target's time
}

// ---- JSON lines ---------------------------------------------------------------------

TEST(JsonLines, StringsAreEscapedAndBytesOutsideUtf8Replaced) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonString(std::string("\x01\b\f\n\r\t\x1f\x7f", 8)), "\"\\u0001\\b\\f\\n\\r\\t\\u001f\x7f\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  // Well-formed UTF-8 of every length passes unchanged: é, €, U+1F600.
  EXPECT_EQ(JsonString("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"");
  EXPECT_EQ(JsonString("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");  // U+10FFFF, the last
  struct Bad {
    std::string bytes;
    int replaced;  // U+FFFD written, one a byte
  };
  const Bad bad[] = {
      {"\xFF", 1},               // never in UTF-8
      {"\x80", 1},               // a continuation byte alone
      {"\xC0\x80", 2},           // overlong NUL
      {"\xC1\xBF", 2},           // overlong
      {"\xE0\x9F\xBF", 3},       // overlong three-byte form
      {"\xED\xA0\x80", 3},       // a surrogate, U+D800
      {"\xF4\x90\x80\x80", 4},   // above U+10FFFF
      {"\xF5\x80\x80\x80", 4},   // lead byte out of range
      {"\xE2\x82", 2},           // cut short
  };
  for (const Bad& b : bad) {
    std::string expected = "\"x";
    for (int i = 0; i < b.replaced; ++i) {
      expected += fffd;
    }
    expected += "y\"";
    EXPECT_EQ(JsonString("x" + b.bytes + "y"), expected) << b.bytes.size();
    EXPECT_FALSE(IsValidUtf8("x" + b.bytes + "y"));
  }
  // A cut-short sequence followed by ASCII keeps the ASCII.
  EXPECT_EQ(JsonString("\xE2\x82\""), "\"" + fffd + fffd + "\\\"\"");
  EXPECT_TRUE(IsValidUtf8("plain/\xC3\xA9.png"));
}

TEST(JsonLines, Base64FollowsRfc4648) {
  EXPECT_EQ(Base64(""), "");
  EXPECT_EQ(Base64("f"), "Zg==");
  EXPECT_EQ(Base64("fo"), "Zm8=");
  EXPECT_EQ(Base64("foo"), "Zm9v");
  EXPECT_EQ(Base64("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64("in/\xFF\xFE.bmp"), "aW4v//4uYm1w");
}

TEST(JsonLines, ALineHoldsEveryFieldInOrder) {
  FileResult r;
  r.input = "in/a b.png";
  r.output = "out/a b.jpg";
  r.status = FileStatus::kFailed;
  r.code = -5008;
  r.message = "The image must be 24bpp or 8bpp greyscale to save in this format";
  r.milliseconds = 1234;
  EXPECT_EQ(JsonLine(r),
            "{\"input\":\"in/a b.png\",\"output\":\"out/a b.jpg\",\"status\":\"failed\",\"code\":-5008,"
            "\"message\":\"The image must be 24bpp or 8bpp greyscale to save in this format\",\"milliseconds\":1234}");
  r.input = "in/\xFF\xFE.bmp";
  r.status = FileStatus::kSkipped;
  r.code = 0;
  r.message.clear();
  r.milliseconds = 0;
  EXPECT_EQ(JsonLine(r),
            "{\"input\":\"in/\xEF\xBF\xBD\xEF\xBF\xBD.bmp\",\"output\":\"out/a b.jpg\",\"status\":\"skipped\","
            "\"code\":0,\"message\":\"\",\"milliseconds\":0,\"input_base64\":\"aW4v//4uYm1w\"}");
  std::ostringstream out;
  JsonLinesWriter writer(out);
  writer.write(r);
  writer.write(r);
  EXPECT_EQ(out.str(), JsonLine(r) + "\n" + JsonLine(r) + "\n");
}

TEST(JsonLines, EveryLineParsesWhateverBytesAPathHolds) {
  std::mt19937 random(17);
  std::uniform_int_distribution<int> length(0, 24);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  for (int i = 0; i < 3000; ++i) {
    FileResult r;
    for (std::string* s : {&r.input, &r.output, &r.message}) {
      const int n = length(random);
      for (int k = 0; k < n; ++k) {
        // Half the strings are mostly text with a few stray bytes, half anything.
        const bool anything = i % 2 == 0 || k % 5 == 0;
        s->push_back(static_cast<char>(anything ? byte(random) : ascii(random)));
      }
    }
    r.code = byte(random) - 128;
    r.milliseconds = byte(random);
    const std::string line = JsonLine(r);
    ASSERT_EQ(line.find('\n'), std::string::npos);
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(line)) << line;
    ASSERT_TRUE(parsed.is_object());
    EXPECT_EQ(parsed.at("code").get<int>(), r.code);
    EXPECT_EQ(parsed.at("milliseconds").get<long long>(), r.milliseconds);
    for (const auto& [name, value] : {std::pair{"input", &r.input}, std::pair{"output", &r.output}}) {
      const bool valid = IsValidUtf8(*value);
      if (valid) {
        EXPECT_EQ(parsed.at(name).get<std::string>(), *value);
        EXPECT_FALSE(parsed.contains(std::string(name) + "_base64"));
      } else {
        ASSERT_TRUE(parsed.contains(std::string(name) + "_base64")) << line;
        EXPECT_EQ(test::FromBase64(parsed.at(std::string(name) + "_base64").get<std::string>()), *value);
      }
    }
    if (IsValidUtf8(r.message)) {
      EXPECT_EQ(parsed.at("message").get<std::string>(), r.message);
    }
  }
}

// ---- The engine ---------------------------------------------------------------------

// Records the per-file records as well as everything RecordingObserver sees.
class RecordsObserver : public RecordingObserver {
public:
  void fileFinished(const FileResult& record) override { records.push_back(record); }
  std::vector<FileResult> records;
};

class ClusterRun : public ::testing::Test {
protected:
  // `count` 6 x 4 pictures f00.bmp ... of different colours, written an hour ago.
  void WriteInputs(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string name = Name(i);
      WriteBmp(folder.inPath(name), *MakeMarkedRgb(6, 4, 0x102030u + 0x0D1707u * static_cast<unsigned>(i), 0xFF0000));
      SetAge(folder.inPath(name), std::chrono::minutes(60));
      names.push_back(name);
    }
  }
  static std::string Name(int i) { return (i < 10 ? "f0" : "f") + std::to_string(i) + ".bmp"; }

  RunResult Run(const BatchSettings& settings, RecordingObserver& watcher) {
    FakeMessageService quiet;
    quiet.answers.push_back(MessageAnswer::Yes);  // to the abort question, when pressed
    return RunOnce(script, settings, watcher, quiet, profile);
  }

  static Lines ReadingLines(const Lines& log) {
    Lines reading;
    for (const std::string& line : log) {
      if (line.rfind("Reading ", 0) == 0) {
        reading.push_back(line);
      }
    }
    return reading;
  }

  BatchFolder folder{"cluster"};
  CScript script;
  MemoryProfile profile;
  Lines names;
};

// The palette of "Apply Fully Optimized Palette" is gathered over the whole list in
// every part, so the parts write what one run writes, byte for byte.
TEST_F(ClusterRun, FourPartsRunOneAfterAnotherWriteExactlyWhatOneRunWrites) {
  WriteInputs(12);
  WriteText(folder.inPath("broken.bmp"), "not an image");
  // Listed backwards, with the broken file in the middle: 13 lines.
  Lines listed(names.rbegin(), names.rend());
  listed.insert(listed.begin() + 6, "broken.bmp");
  folder.WriteList(listed);
  AddCommand(script, 519, {8, 0, 0, 0, 0});  // 8 colours for 12 pictures: the mix matters
  AddCommand(script, 506);
  AddCommand(script, 544);

  BatchSettings whole = folder.Settings();
  whole.outputFolder = folder.root() + "/whole";
  RecordingObserver wholeWatcher;
  const RunResult one = Run(whole, wholeWatcher);
  ASSERT_EQ(one.outcome.converted, 12);

  // Sorted: broken.bmp, f00 ... f11. Part 1 holds positions 0, 4, 8, 12: broken.bmp,
  // f03, f07, f11, run in list order (f11 f10 f09 f08 f07 f06 broken.bmp f05 ...).
  const std::vector<Lines> expectedParts = {
      {"f11.bmp", "f07.bmp", "broken.bmp", "f03.bmp"},
      {"f08.bmp", "f04.bmp", "f00.bmp"},
      {"f09.bmp", "f05.bmp", "f01.bmp"},
      {"f10.bmp", "f06.bmp", "f02.bmp"},
  };
  Lines readAll;
  int converted = 0;
  for (int k = 1; k <= 4; ++k) {
    BatchSettings part = folder.Settings();
    part.outputFolder = folder.root() + "/parts";
    part.shard = {k, 4};
    RecordingObserver watcher;
    const RunResult r = Run(part, watcher);
    Lines expected;
    for (const std::string& name : expectedParts[static_cast<std::size_t>(k - 1)]) {
      expected.push_back("Reading " + folder.inPath(name));
    }
    EXPECT_EQ(ReadingLines(r.log), expected) << k;
    EXPECT_EQ(r.outcome.total, static_cast<int>(expected.size())) << k;
    readAll.insert(readAll.end(), expected.begin(), expected.end());
    converted += r.outcome.converted;
    // Each part scans the whole list for the palette.
    EXPECT_EQ(std::count_if(r.log.begin(), r.log.end(), [](const std::string& l) { return l.rfind("Scanning ", 0) == 0; }),
              13)
        << k;
  }
  // Every listed file was read by exactly one part.
  std::sort(readAll.begin(), readAll.end());
  Lines readOnce = ReadingLines(one.log);
  std::sort(readOnce.begin(), readOnce.end());
  EXPECT_EQ(readAll, readOnce);
  EXPECT_EQ(converted, 12);

  const Lines outputs = FolderNames(whole.outputFolder);
  ASSERT_EQ(outputs.size(), 12u);
  EXPECT_EQ(FolderNames(folder.root() + "/parts"), outputs);
  for (const std::string& name : outputs) {
    EXPECT_EQ(FileBytesOf(folder.root() + "/parts/" + name), FileBytesOf(whole.outputFolder + "/" + name)) << name;
  }
  // The palette really is shared: 8 colours for 12 pictures, the same table in every file.
  DibHandle first = ReadBmp(folder.root() + "/parts/f00.bmp");
  DibHandle last = ReadBmp(folder.root() + "/parts/f11.bmp");
  ASSERT_TRUE(first && last);
  ASSERT_EQ(first->bitCount(), 8);
  EXPECT_EQ(std::memcmp(first->colors(), last->colors(), 4u * static_cast<std::size_t>(first->colorCount())), 0);
}

TEST_F(ClusterRun, ARunStoppedHalfWayIsFinishedByConvertingOnlyTheRest) {
  WriteInputs(10);
  folder.WriteList(names);
  AddCommand(script, 506);
  AddCommand(script, 544);

  // Stopped when the sixth file starts: five outputs are written.
  RecordingObserver stopping;
  stopping.abortWhen = [](const RecordingObserver::Event& e) { return e.kind == "file" && e.a == 6; };
  BatchSettings settings = folder.Settings();
  settings.skipExisting = true;
  const RunResult stopped = Run(settings, stopping);
  ASSERT_TRUE(stopped.outcome.aborted);
  ASSERT_EQ(stopped.outcome.converted, 5);
  ASSERT_EQ(FolderNames(folder.out()).size(), 5u);
  std::map<std::string, fs::file_time_type> written;
  for (const std::string& name : FolderNames(folder.out())) {
    written[name] = fs::last_write_time(folder.outPath(name));
  }

  RecordingObserver resuming;
  const RunResult resumed = Run(settings, resuming);
  Lines expected;
  for (int i = 0; i < 5; ++i) {
    expected.push_back("Skipping " + folder.inPath(Name(i)) + ": output " + folder.outPath(Name(i)) + " is up to date.");
  }
  for (int i = 5; i < 10; ++i) {
    const Lines file = ConvertedLines(folder.inPath(Name(i)), folder.outPath(Name(i)));
    expected.insert(expected.end(), file.begin(), file.end());
  }
  const Lines end = EndLines(5);
  expected.insert(expected.end(), end.begin(), end.end());
  EXPECT_EQ(resumed.log, expected);
  EXPECT_EQ(resumed.outcome.skipped, 5);
  EXPECT_EQ(resumed.outcome.converted, 5);
  EXPECT_EQ(resumed.outcome.total, 10);
  for (const auto& [name, time] : written) {
    EXPECT_EQ(fs::last_write_time(folder.outPath(name)), time) << name << " was written again";
  }

  // The outputs are those of one uninterrupted run.
  BatchSettings fresh = folder.Settings();
  fresh.outputFolder = folder.root() + "/fresh";
  RecordingObserver once;
  ASSERT_EQ(Run(fresh, once).outcome.converted, 10);
  ASSERT_EQ(FolderNames(fresh.outputFolder), FolderNames(folder.out()));
  for (const std::string& name : FolderNames(folder.out())) {
    EXPECT_EQ(FileBytesOf(folder.outPath(name)), FileBytesOf(fresh.outputFolder + "/" + name)) << name;
  }

  // An input changed after its output was written, and a lost output, are done again.
  fs::last_write_time(folder.inPath(Name(3)), FileClock::now() + std::chrono::minutes(1));
  fs::remove(folder.outPath(Name(7)));
  RecordingObserver third;
  const RunResult again = Run(settings, third);
  EXPECT_EQ(ReadingLines(again.log), Lines({"Reading " + folder.inPath(Name(3)), "Reading " + folder.inPath(Name(7))}));
  EXPECT_EQ(again.outcome.skipped, 8);
  EXPECT_EQ(again.outcome.converted, 2);
}

TEST_F(ClusterRun, EachFileThatWasReachedHasOneRecordInListOrder) {
  WriteBmp(folder.inPath("a.bmp"), *MakeRgb(5, 4, 90, 120, 150));
  WriteBmp(folder.inPath("p.bmp"), *MakeSixteenColour(6, 3));
  WriteText(folder.inPath("x.txt"), "not an image");
  WriteBmp(folder.inPath("d.bmp"), *MakeRgb(5, 4, 1, 2, 3));
  SetAge(folder.inPath("d.bmp"), std::chrono::minutes(30));
  fs::create_directories(folder.out());
  WriteText(folder.outPath("d.bmp"), "done before");
  WriteBmp(folder.inPath("e.bmp"), *MakeRgb(5, 4, 4, 5, 6));
  WriteBmp(folder.inPath("f.bmp"), *MakeRgb(5, 4, 7, 8, 9));
  folder.WriteList({"a.bmp", "p.bmp", "x.txt", "d.bmp", "e.bmp", "f.bmp"});
  AddCommand(script, 531);  // -5004 on a 16-colour image; runs on 24 bits
  AddCommand(script, 544);

  RecordsObserver watcher;
  watcher.abortWhen = [](const RecordingObserver::Event& e) { return e.kind == "file" && e.a == 5; };
  BatchSettings settings = folder.Settings();
  settings.skipExisting = true;
  const RunResult r = Run(settings, watcher);
  ASSERT_TRUE(r.outcome.aborted);

  struct Expected {
    const char* name;
    const char* output;
    FileStatus status;
    int code;
    std::string message;
  };
  const Expected expected[] = {
      {"a.bmp", "a.bmp", FileStatus::kConverted, 0, ""},
      {"p.bmp", "p.bmp", FileStatus::kConverted, -5004,
       "Script Line 1 Error: A True Color or Greyscale image is required for this function"},
      {"x.txt", "x.bmp", FileStatus::kFailed, 103, "Unknown format. File skipped."},
      {"d.bmp", "d.bmp", FileStatus::kSkipped, 0, ""},
      {"e.bmp", "e.bmp", FileStatus::kStopped, -1527, "User abort. Processing halted."},
  };
  ASSERT_EQ(watcher.records.size(), std::size(expected));  // nothing for f.bmp
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const FileResult& got = watcher.records[i];
    const Expected& want = expected[i];
    EXPECT_EQ(got.input, folder.inPath(want.name)) << i;
    EXPECT_EQ(got.output, folder.outPath(want.output)) << i;
    EXPECT_EQ(got.status, want.status) << i;
    EXPECT_EQ(got.code, want.code) << i;
    EXPECT_EQ(got.message, want.message) << i;
    EXPECT_GE(got.milliseconds, 0) << i;
  }
  EXPECT_EQ(FileTextOf(folder.outPath("d.bmp")), "done before");
}

}  // namespace
}  // namespace km::test
