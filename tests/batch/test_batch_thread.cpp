// The engine on a worker thread, as a window runs it: every observer call arrives on
// the worker, each question waits until the window's thread answers it, and "&Abort"
// pressed on either thread stops the run at its next check point.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "BatchTestKit.h"
#include "batch/BatchThread.h"
#include "common/PostedMessages.h"
#include "script/CommandCodes.h"

namespace km::test {
namespace {

using Lines = std::vector<std::string>;
using Message = PostedMessageService::Message;
using namespace std::chrono_literals;

// The window's side of the message service: what the worker posted, in order.
class WindowQueue {
public:
  void Post(const Message& m) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_.push_back(m);
    }
    arrived_.notify_all();
  }
  // The next posted message; none when nothing comes within the time.
  std::optional<Message> Next(std::chrono::milliseconds within = 20s) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, within, [this] { return !posted_.empty(); })) {
      return std::nullopt;
    }
    Message m = posted_.front();
    posted_.pop_front();
    return m;
  }

private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> posted_;
};

// Records the log and the threads it was called on; presses "&Abort" when the files
// named in abortAt start.
class ThreadObserver : public BatchObserver {
public:
  void statusLine1(const std::string&) override { Note(); }
  void statusLine2(const std::string&) override { Note(); }
  void logLineAdded(const std::string& line) override {
    Note();
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(line);
  }
  void mainStatus(const std::string&) override { Note(); }
  void fileStarted(int number, int, bool) override {
    Note();
    if (abortAt.count(number) != 0) {
      run->RequestAbort();
    }
  }
  void commandStarting(int) override { Note(); }
  void abortCleared() override {
    Note();
    ++cleared;
  }
  void runFinished(const BatchOutcome& outcome) override {
    Note();
    finishedConverted = outcome.converted;
  }

  std::size_t logSize() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_.size();
  }
  std::set<std::thread::id> threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

  BatchRun* run = nullptr;
  std::set<int> abortAt;
  int cleared = 0;            // read after Join
  int finishedConverted = -1;  // read after Join

private:
  void Note() {
    std::lock_guard<std::mutex> lock(mutex_);
    threads_.insert(std::this_thread::get_id());
  }
  std::mutex mutex_;
  Lines log_;
  std::set<std::thread::id> threads_;
};

// Three 6 x 4 images; b.bmp already has an output; a script of flip, mirror and "Set
// Output Options"; the run interrupts for errors, so it asks before overwriting.
class BatchThreadTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
      WriteBmp(folder.inPath(name), *MakeMarkedRgb(6, 4, 0x336699, 0xFF0000));
    }
    folder.WriteList({"a.bmp", "b.bmp", "c.bmp"});
    fs::create_directories(folder.out());
    WriteText(folder.outPath("b.bmp"), "the file from an earlier run");
    AddCommand(script, kFlipImage);
    AddCommand(script, kMirrorImage);
    AddCommand(script, kSetOutputOptions);
    settings = folder.Settings();
    settings.showErrors = true;
  }

  // Takes the next message, checks it is `text` with Yes and No, and checks that the
  // worker stands still while it waits.
  Message Question(const std::string& text) {
    const std::optional<Message> m = window.Next();
    EXPECT_TRUE(m.has_value()) << "no question: " << text;
    if (!m) {
      return {};
    }
    EXPECT_EQ(m->text, text);
    EXPECT_EQ(m->buttons, MessageButtons::YesNo);
    EXPECT_EQ(m->icon, MessageIcon::Question);
    const std::size_t before = observer.logSize();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(observer.logSize(), before) << "the run went on without its answer";
    return *m;
  }

  Lines Converted(const char* name) const { return ConvertedLines(folder.inPath(name), folder.outPath(name)); }

  BatchFolder folder{"batch-thread"};
  CScript script;
  BatchSettings settings;
  MemoryProfile profile;
  const FileTypeTable types;
  WindowQueue window;
  PostedMessageService messages{[this](const Message& m) { window.Post(m); }};
  ThreadObserver observer;
};

TEST_F(BatchThreadTest, QuestionsAreAnsweredFromTheWindowThread) {
  BatchRun run(script, settings, profile, observer, messages, types);
  observer.run = &run;
  observer.abortAt = {2, 3};
  BatchThread worker;
  ASSERT_TRUE(worker.Start(run));

  // File 2: "&Abort" pressed as it starts; No goes on with the same file.
  const Message abort2 = Question("Are you sure you want to abort processing?");
  EXPECT_FALSE(worker.Start(run));  // a second start while running is ignored
  EXPECT_FALSE(worker.finished());
  messages.answer(abort2.id, MessageAnswer::No);
  // Its output exists: overwrite it.
  const Message overwrite = Question("The filename \"" + folder.outPath("b.bmp") +
                                     "\" is in use. Do you wish to overwrite this file?");
  messages.answer(overwrite.id + 1, MessageAnswer::No);  // not the waiting one: ignored
  messages.answer(overwrite.id, MessageAnswer::Yes);
  // File 3: pressed again; Yes stops the run.
  const Message abort3 = Question("Are you sure you want to abort processing?");
  messages.answer(abort3.id, MessageAnswer::Yes);

  EXPECT_EQ(worker.Join(), 1);
  EXPECT_TRUE(worker.finished());
  EXPECT_FALSE(window.Next(0ms).has_value());
  EXPECT_EQ(run.log(), Join({Converted("a.bmp"), Converted("b.bmp"), {"Output file exists. Overwriting."},
                             {"Reading " + folder.inPath("c.bmp"), "User abort. Processing halted."}, EndLines(2)}));
  EXPECT_TRUE(run.outcome().aborted);
  EXPECT_EQ(observer.cleared, 1);
  EXPECT_EQ(observer.finishedConverted, 2);

  // Every observer call came on the worker, none on this thread.
  const std::set<std::thread::id> threads = observer.threads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());

  // File 2 received both commands after the No: flipped and mirrored, the marked corner
  // is now bottom-right.
  EXPECT_EQ(FolderNames(folder.out()), (Lines{"a.bmp", "b.bmp"}));
  DibHandle b = ReadBmp(folder.outPath("b.bmp"));
  ASSERT_TRUE(b);
  EXPECT_EQ(GetPixel(*b, 5, 3), 0xFF0000u);
  EXPECT_EQ(GetPixel(*b, 0, 0), 0x336699u);
}

// A window that closes while a question is open: it stops the run without asking and
// closes its message service; the open question takes its cautious answer (No: do not
// overwrite) and the run ends at its next check point.
TEST_F(BatchThreadTest, AClosingWindowStopsTheRunWithoutAsking) {
  BatchRun run(script, settings, profile, observer, messages, types);
  BatchThread worker;
  ASSERT_TRUE(worker.Start(run));
  Question("The filename \"" + folder.outPath("b.bmp") + "\" is in use. Do you wish to overwrite this file?");
  run.StopWithoutAsking();
  EXPECT_TRUE(run.abortRequested());
  messages.close();
  EXPECT_EQ(worker.Join(), 1);
  EXPECT_FALSE(window.Next(0ms).has_value());
  EXPECT_EQ(run.log(), Join({Converted("a.bmp"), Converted("b.bmp"), {"Output file exists. Not overwriting."},
                             {"User abort. Processing halted."}, EndLines(1)}));
  EXPECT_EQ(FileTextOf(folder.outPath("b.bmp")), "the file from an earlier run");
  EXPECT_EQ(observer.cleared, 0);
}

TEST(BatchThread, JoinWithoutAStartAnswersMinusOne) {
  BatchThread worker;
  EXPECT_FALSE(worker.started());
  EXPECT_EQ(worker.Join(), -1);
}

}  // namespace
}  // namespace km::test
