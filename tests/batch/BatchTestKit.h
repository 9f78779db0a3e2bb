#pragma once

// Shared pieces of the batch tests: a temporary folder with input images written by
// the BMP encoder, scripts built in code, an observer that records what the status
// window would show and can press "&Abort" at a chosen moment, and a run helper.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "StringTable.h"
#include "batch/BatchRun.h"
#include "batch/ListFile.h"
#include "batch/LogFile.h"
#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/WriteImage.h"
#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"
#include "support/FakeMessageService.h"

namespace km::test {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> FileBytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string FileTextOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The names in a folder, sorted (hidden ones included: temporary outputs must not
// survive a run).
inline std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The lines of a CR LF text; false when a line feed is not preceded by a carriage
// return or the text does not end with CR LF.
inline bool SplitCrLf(const std::string& text, std::vector<std::string>* lines) {
  lines->clear();
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string::npos || lf == start || text[lf - 1] != '\r') {
      return false;
    }
    lines->push_back(text.substr(start, lf - 1 - start));
    start = lf + 1;
  }
  return true;
}

// A 24-bit image: every pixel `colour` (0x00RRGGBB) except the top-left one, which is
// `corner`, so flips and mirrors can be told apart.
inline DibHandle MakeMarkedRgb(int width, int height, std::uint32_t colour, std::uint32_t corner) {
  DibHandle dib = MakeRgb(width, height, static_cast<std::uint8_t>(colour >> 16),
                          static_cast<std::uint8_t>(colour >> 8), static_cast<std::uint8_t>(colour));
  SetPixel(*dib, 0, 0, corner);
  return dib;
}

// A 4-bit image with 16 distinct colours, pixel x + y (mod 16).
inline DibHandle MakeSixteenColour(int width, int height) {
  DibHandle dib = MakeDib(width, height, 4, 16);
  for (int i = 0; i < 16; ++i) {
    dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 16),
                               static_cast<std::uint8_t>(i * 8), 0};
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      SetPixel(*dib, x, y, static_cast<std::uint32_t>((x + y) % 16));
    }
  }
  return dib;
}

inline void WriteBmp(const std::string& path, const Dib& dib) {
  ASSERT_EQ(imgx::EncodeBMP(nullptr, path, &dib, 0), 0) << path;
}

inline DibHandle ReadBmp(const std::string& path) {
  DibHandle dib;
  EXPECT_EQ(imgx::DecodeBMP(nullptr, path, &dib), 0) << path;
  return dib;
}

// Appends a command with the given integer fields (the rest stay unset).
inline CScriptCommand* AddCommand(CScript& script, int code, std::vector<std::int32_t> ints = {}) {
  auto command = std::make_unique<CScriptCommand>(code);
  std::int32_t* fields[] = {&command->Int1, &command->Int2, &command->Int3, &command->Int4, &command->Int5};
  for (std::size_t i = 0; i < ints.size() && i < 5; ++i) {
    *fields[i] = ints[i];
  }
  return script.Append(std::move(command));
}

// A status window that records everything and presses "&Abort" when `abortWhen`
// answers true for the event just seen. attach() connects it to the run it watches.
class RecordingObserver : public BatchObserver {
public:
  struct Event {
    std::string kind;  // "file", "scan", "command", "line1", "line2"
    int a = 0;         // file number ("file", "scan") or script line ("command")
    int b = 0;         // file total ("file", "scan") or the file in hand
    std::string text;
  };

  void statusLine1(const std::string& text) override { note({"line1", 0, currentFile_, text}); }
  void statusLine2(const std::string& text) override { note({"line2", 0, currentFile_, text}); }
  void logLineAdded(const std::string& line) override { added.push_back(line); }
  void logLineChanged(const std::string& line) override { changed.push_back(line); }
  void title(const std::string& text) override { titles.push_back(text); }
  void mainStatus(const std::string& text) override { statuses.push_back(text); }
  void fileStarted(int number, int total, bool scanning) override {
    note({scanning ? "scan" : "file", number, total, {}});
    if (onFileStarted) {
      onFileStarted(number, scanning);
    }
  }
  void commandStarting(int index) override { note({"command", index, currentFile_, {}}); }
  // Before attach(), the press waits for the run.
  void pressAbort() {
    if (run_ != nullptr) {
      run_->RequestAbort();
    } else {
      pressedEarly_ = true;
    }
  }
  void attach(BatchRun& run) {
    run_ = &run;
    if (pressedEarly_) {
      pressedEarly_ = false;
      run.RequestAbort();
    }
  }
  void abortCleared() override { ++cleared; }
  ProgressWindow progress() override { return sink; }
  void runFinished(const BatchOutcome&) override { ++finished; }

  // Set by a test: answers true for the event at which "&Abort" is pressed.
  std::function<bool(const Event&)> abortWhen;
  std::function<void(int, bool)> onFileStarted;
  ProgressWindow sink = nullptr;

  std::vector<Event> events;
  std::vector<std::string> added;
  std::vector<std::string> changed;
  std::vector<std::string> titles;
  std::vector<std::string> statuses;
  int cleared = 0;
  int finished = 0;

private:
  void note(const Event& e) {
    if (e.kind == "file" || e.kind == "scan") {
      currentFile_ = e.a;
    }
    events.push_back(e);
    if (abortWhen && abortWhen(events.back())) {
      pressAbort();
    }
  }
  BatchRun* run_ = nullptr;
  bool pressedEarly_ = false;
  int currentFile_ = 0;
};

// A progress sink that answers "cancelled" once armed.
class ArmedSink : public ProgressSink {
public:
  void report(int /*percent*/) override { ++reports; }
  bool cancelled() override { return armed; }
  bool armed = false;
  int reports = 0;
};

// A temporary folder holding "in/" (inputs), "out/" (outputs) and the run's logs.
class BatchFolder {
public:
  explicit BatchFolder(const std::string& tag) : root_(MakeTempDir(tag)) {
    fs::create_directories(in());
  }
  ~BatchFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  BatchFolder(const BatchFolder&) = delete;
  BatchFolder& operator=(const BatchFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string in() const { return root_ + "/in"; }
  std::string out() const { return root_ + "/out"; }
  std::string inPath(const std::string& name) const { return in() + "/" + name; }
  std::string outPath(const std::string& name) const { return out() + "/" + name; }
  std::string currentLog() const { return root_ + "/CURRENT.LOG"; }
  std::string listPath() const { return root_ + "/list.txt"; }

  // A list file naming `names` one per line (LF).
  void WriteList(const std::vector<std::string>& names) const {
    std::string text;
    for (const std::string& n : names) {
      text += n + "\n";
    }
    WriteText(listPath(), text);
  }

  // Settings for a run over the list file, names relative to in/, BMP (Windows RGB)
  // into out/.
  BatchSettings Settings() const {
    BatchSettings s;
    s.inputFolder = in();
    s.outputFolder = out();
    s.listFile = listPath();
    s.outputFormat = kOutBMP;
    s.subType = 1;
    s.currentLogPath = currentLog();
    s.scriptPath = root_ + "/job.rsq";
    return s;
  }

private:
  std::string root_;
};

// One run with its collaborators.
struct RunResult {
  int returned = -1;
  std::vector<std::string> log;
  BatchOutcome outcome;
};

inline RunResult RunOnce(const CScript& script, const BatchSettings& settings, RecordingObserver& observer,
                         FakeMessageService& messages, Profile& profile) {
  const FileTypeTable types;
  BatchRun run(script, settings, profile, observer, messages, types);
  observer.attach(run);
  RunResult r;
  r.returned = run.RunBatch();
  r.log = run.log();
  r.outcome = run.outcome();
  return r;
}

inline std::vector<std::string> EndLines(int converted) {
  return {"Batch processing complete.", std::to_string(converted) + " File(s) successfully converted."};
}

// The lines of one file that was read, ran `commandLines` and was saved to `output`.
inline std::vector<std::string> ConvertedLines(const std::string& input, const std::string& output,
                                               const std::vector<std::string>& commandLines = {}) {
  std::vector<std::string> lines = {"Reading " + input, "Executing Script Commands..."};
  lines.insert(lines.end(), commandLines.begin(), commandLines.end());
  lines.push_back("Script Complete");
  lines.push_back("Saving " + output);
  return lines;
}

inline std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

}  // namespace km::test
