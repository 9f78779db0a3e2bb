#include "console/ConsoleRunner.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "CoreVersion.h"
#include "StringTable.h"
#include "app/CommandLineRun.h"
#include "batch/BatchRun.h"
#include "console/ClusterOptions.h"
#include "console/JobsOption.h"
#include "console/ScriptText.h"
#include "fileio/FileTypeTable.h"
#include "fileio/filters/ImportFilters.h"
#include "imaging/MemoryCeiling.h"
#include "script/CommandLine.h"
#include "script/ScriptFile.h"

namespace km {

namespace {

constexpr int kTextUsage = 2600;      // the console runner's --help text
constexpr int kTextBadMemoryLimit = 2601;
constexpr int kTextBadJobs = 2610;
constexpr int kTextAbortQuestion = 2029;
constexpr char kNoAutoOrient[] = "--no-auto-orient";
constexpr char kStripMetadata[] = "--strip-metadata";

// Ctrl+C: the first press cancels the step in hand and asks the run to stop at its
// next check point, the second ends the process at once (removing the files of the
// outputs being written: NUL-terminated paths, one after another, of every write in
// progress; paths that do not fit are left to the next run's clean-up).
volatile sig_atomic_t gInterrupts = 0;
std::atomic<BatchRun*> gRun{nullptr};
char gTemporaryFiles[1 << 16];
std::atomic<int> gTemporaryBytes{0};  // written by the workers, read by the handler on any thread
static_assert(std::atomic<BatchRun*>::is_always_lock_free, "read in the signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "read in the signal handler");

extern "C" void OnInterrupt(int) {
  gInterrupts = gInterrupts + 1;
  if (gInterrupts >= 2) {
    const int bytes = gTemporaryBytes.load(std::memory_order_acquire);
    for (int at = 0; at < bytes;) {
      const char* path = gTemporaryFiles + at;
      ::unlink(path);
      at += static_cast<int>(std::strlen(path) + 1);
    }
    ::_exit(kExitAborted);
  }
  if (BatchRun* run = gRun.load()) {
    run->RequestAbort();
  }
}

class InterruptGuard {
public:
  InterruptGuard() {
    gInterrupts = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { ::sigaction(SIGINT, &previous_, nullptr); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
  struct sigaction previous_ {};
};

class InterruptProgress final : public ProgressSink {
public:
  void report(int) override {}
  bool cancelled() override { return gInterrupts > 0; }
};

// Messages go to standard error. Questions are asked on the terminal when the run
// stops for errors ("-e") and standard input is one; otherwise the answer is the safe
// one: do not overwrite, and do stop when the user pressed Ctrl+C.
class ConsoleMessages final : public MessageService {
public:
  explicit ConsoleMessages(bool ask) : ask_(ask && ::isatty(STDIN_FILENO) != 0) {}

  MessageAnswer show(const std::string& text, MessageIcon, MessageButtons buttons) override {
    if (buttons == MessageButtons::Ok) {
      std::cerr << text << std::endl;
      return MessageAnswer::Ok;
    }
    const bool abortQuestion = text == LoadString(kTextAbortQuestion);
    if (!ask_) {
      return abortQuestion ? MessageAnswer::Yes : MessageAnswer::No;
    }
    std::cerr << '\n' << text << " [y/n] " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) {
      return abortQuestion ? MessageAnswer::Yes : MessageAnswer::No;
    }
    const bool yes = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
    return yes ? MessageAnswer::Yes : MessageAnswer::No;
  }

private:
  bool ask_;
};

// Prints each log line as it is written and, on a terminal, keeps one progress line
// below the log. With JSON lines it hands each file's record to their writer; when
// they go to standard output, nothing else does.
class ConsoleObserver final : public BatchObserver {
public:
  explicit ConsoleObserver(JsonLinesTarget& records)
      : records_(records.writer()),
        printLog_(!records.onStandardOutput()),
        terminal_(printLog_ && ::isatty(STDOUT_FILENO) != 0),
        start_(Clock::now()) {}

  void logLineAdded(const std::string& line) override {
    if (printLog_) {
      Print(line);
    }
  }
  void logLineChanged(const std::string& line) override {
    if (printLog_) {
      Print(line);
    }
  }
  void fileFinished(const FileResult& record) override {
    if (records_ != nullptr) {
      records_->write(record);
    }
  }

  void fileStarted(int number, int total, bool scanning) override {
    number_ = number;
    total_ = total;
    scanning_ = scanning;
    if (number == 1) {
      start_ = Clock::now();
    }
    DrawProgress();
  }

  void abortCleared() override { gInterrupts = 0; }
  ProgressWindow progress() override { return &progress_; }

  void temporaryOutput(const std::vector<std::string>& paths, bool writing) override {
    gTemporaryBytes.store(0, std::memory_order_release);
    if (!writing) {
      return;
    }
    std::size_t bytes = 0;
    for (const std::string& path : paths) {
      if (bytes + path.size() + 1 <= sizeof gTemporaryFiles) {
        std::memcpy(gTemporaryFiles + bytes, path.c_str(), path.size() + 1);
        bytes += path.size() + 1;
      }
    }
    gTemporaryBytes.store(static_cast<int>(bytes), std::memory_order_release);
  }

  void runFinished(const BatchOutcome&) override { ClearProgress(); }

private:
  using Clock = std::chrono::steady_clock;

  static std::string Clock2(long long seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", seconds / 60, seconds % 60);
    return buffer;
  }

  void ClearProgress() {
    if (terminal_ && drawn_) {
      std::cout << "\r\033[K" << std::flush;
      drawn_ = false;
    }
  }

  void Print(const std::string& line) {
    ClearProgress();
    std::cout << line << '\n';
    DrawProgress();
  }

  void DrawProgress() {
    if (!terminal_ || number_ == 0) {
      std::cout << std::flush;
      return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count();
    std::string text = FormatString(scanning_ ? 2078 : 2070, number_, total_) + "  " + Clock2(elapsed);
    if (number_ > 1) {
      const long long remaining = elapsed * (total_ - number_ + 1) / (number_ - 1);
      text += " / " + Clock2(remaining) + " left";
    }
    std::cout << "\r\033[K" << text << std::flush;
    drawn_ = true;
  }

  JsonLinesWriter* records_;
  bool printLog_;
  bool terminal_;
  bool drawn_ = false;
  bool scanning_ = false;
  int number_ = 0;
  int total_ = 0;
  Clock::time_point start_;
  InterruptProgress progress_;
};

void PrintUsage(std::ostream& out) { out << LoadString(kTextUsage) << '\n'; }

// Takes "--memory-limit SIZE" and "--memory-limit=SIZE" out of the arguments. False
// for a size ParseMemorySize refuses or a missing one.
bool TakeMemoryLimit(std::vector<std::string>* arguments, std::uint64_t* limit) {
  static const std::string kOption = "--memory-limit";
  for (std::size_t i = 0; i < arguments->size();) {
    std::string& a = (*arguments)[i];
    std::string value;
    std::size_t taken = 1;
    if (a == kOption) {
      if (i + 1 >= arguments->size()) {
        return false;
      }
      value = (*arguments)[i + 1];
      taken = 2;
    } else if (a.compare(0, kOption.size() + 1, kOption + "=") == 0) {
      value = a.substr(kOption.size() + 1);
    } else {
      ++i;
      continue;
    }
    if (!ParseMemorySize(value.c_str(), limit)) {
      return false;
    }
    arguments->erase(arguments->begin() + static_cast<std::ptrdiff_t>(i),
                     arguments->begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  return true;
}

}  // namespace

int RunConsole(const std::vector<std::string>& given, Profile& profile) {
  if (int status = 0; RunScriptTextOption(given, std::cout, std::cerr, &status)) {
    return status;  // --describe, --to-json, --from-json
  }
  // The photograph switches and the memory ceiling of this program come out before
  // the shared grammar sees the line.
  std::vector<std::string> arguments;
  bool noAutoOrient = false;
  bool stripMetadata = false;
  for (const std::string& a : given) {
    if (a == kNoAutoOrient) {
      noAutoOrient = true;
    } else if (a == kStripMetadata) {
      stripMetadata = true;
    } else {
      arguments.push_back(a);
    }
  }
  std::uint64_t memoryLimit = 0;
  if (!TakeMemoryLimit(&arguments, &memoryLimit)) {
    std::cerr << LoadString(kTextBadMemoryLimit) << '\n';
    return kExitRefused;
  }
  ClusterOptions cluster;
  if (const int refused = TakeClusterOptions(&arguments, &cluster); refused != 0) {
    std::cerr << LoadString(refused) << '\n';
    return kExitRefused;
  }
  int jobs = 0;  // one per usable core
  if (!TakeJobsOption(&arguments, &jobs)) {
    std::cerr << LoadString(kTextBadJobs) << '\n';
    return kExitRefused;
  }
  for (const std::string& a : arguments) {
    if (a == "--help") {
      PrintUsage(std::cout);
      return kExitConverted;
    }
    if (a == "--version") {
      std::cout << "kilnmark-batch " << CoreVersion() << '\n';  // program name and number, not prose
      return kExitConverted;
    }
  }

  CommandLineRecord record;
  StartSettings start;
  std::string message;
  if (PrepareStart(arguments, &record, &start, &message) != 0) {
    std::cerr << message << '\n';
    return kExitRefused;
  }
  if (start.startMode == 0) {
    PrintUsage(std::cerr);
    return kExitRefused;
  }

  CScript script;
  if (ReadScriptFile(start.scriptPath, &script, &message) != 0) {
    std::cerr << message << '\n';
    return kExitRefused;
  }

  ConsoleMessages messages(record.errorMessages != 0);
  CommandLineInput input;
  input.scriptPath = start.scriptPath;
  input.filePattern = start.listFile.empty() ? start.filePattern : std::string();
  input.listFile = start.listFile;
  input.logFile = start.logFile;
  input.showErrors = record.errorMessages != 0;
  input.minimise = record.minimise != 0;
  input.keepOpen = record.keepOpen != 0;

  BatchSettings settings;
  if (PrepareCommandLineRun(script, input, profile, messages, &settings) != 0) {
    return kExitRefused;
  }
  settings.memoryLimit = memoryLimit;
  settings.jobs = jobs;
  settings.noAutoOrient = noAutoOrient;
  settings.stripMetadata = stripMetadata;
  JsonLinesTarget records;
  if (!records.Open(cluster, &settings, &message)) {
    std::cerr << message << '\n';
    if (settings.temporaryList) {
      std::remove(settings.listFile.c_str());
    }
    return kExitRefused;
  }

  InterruptGuard interrupts;
  ConsoleObserver observer(records);
  const FileTypeTable types = LoadFileTypeTable(profile);
  BatchRun run(script, settings, profile, observer, messages, types);
  gRun.store(&run);
  if (gInterrupts > 0) {
    run.RequestAbort();  // pressed before the run could hear it
  }
  const int reached = run.RunBatch();
  gRun.store(nullptr);
  if (reached == 0) {
    return kExitRefused;
  }
  const BatchOutcome& outcome = run.outcome();
  if (outcome.aborted) {
    return kExitAborted;
  }
  // A file left alone by --skip-existing already has its output.
  return outcome.converted + outcome.skipped == outcome.total ? kExitConverted : kExitSomeFailed;
}

}  // namespace km
