// A batch run with several workers: the threads that convert files side by side, and
// the run's own thread, which reports their starts, writes their log blocks in list
// order and asks the abort question (the rules are in BatchRun.h).

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <thread>

#include "StringTable.h"
#include "batch/BatchWorkers.h"
#include "batch/FileOrder.h"
#include "imaging/MemoryCeiling.h"
#include "imaging/palette/Palette.h"

namespace km {

namespace {

// How often the run's thread looks at the abort flag while nothing else wakes it (the
// flag is set from signal handlers, which cannot wake a waiting thread).
constexpr auto kAbortPoll = std::chrono::milliseconds(50);

constexpr int kTextUserAbort = 1527;  // "User abort. Processing halted."

// A worker's view of the observer's sink: cancel only, progress is not reported from
// several files at once.
class CancelOnlySink final : public ProgressSink {
public:
  explicit CancelOnlySink(ProgressWindow inner) : inner_(inner) {}
  void report(int) override {}
  bool cancelled() override { return inner_->cancelled(); }

private:
  ProgressWindow inner_;
};

}  // namespace

BatchRun::~BatchRun() = default;

void BatchRun::NoteWorkerTemporary(const std::vector<std::string>& files, bool writing) {
  Workers& w = *workers_;
  const std::lock_guard<std::mutex> lock(w.temporariesMutex);
  for (const std::string& f : files) {
    if (writing) {
      w.temporaries.push_back(f);
    } else if (const auto it = std::find(w.temporaries.begin(), w.temporaries.end(), f); it != w.temporaries.end()) {
      w.temporaries.erase(it);
    }
  }
  if (w.temporaries.empty()) {
    observer_.temporaryOutput(files, false);
  } else {
    observer_.temporaryOutput(w.temporaries, true);
  }
}

bool BatchRun::WorkerStop() {
  Workers& w = *workers_;
  if (!abort_.load() && w.gate.load() == WorkerGate::kOpen) {
    return false;
  }
  std::unique_lock<std::mutex> lock(w.mutex);
  w.runWake.notify_one();
  w.workerWake.wait(lock, [&] {
    const WorkerGate gate = w.gate.load();
    return gate == WorkerGate::kStopped || (gate == WorkerGate::kOpen && !abort_.load());
  });
  return w.gate.load() == WorkerGate::kStopped;
}

void BatchRun::WorkerLoop(const RgbQuad* palette, int paletteCount, std::uint64_t ceiling) {
  Workers& w = *workers_;
  const ScopedMemoryBudget budget(ceiling);
  std::array<RgbQuad, kPaletteEntries> ownPalette{};
  std::copy(palette, palette + kPaletteEntries, ownPalette.begin());
  CancelOnlySink sink(w.sink);
  const int total = static_cast<int>(lines_.size());
  for (;;) {
    if (WorkerStop()) {
      break;
    }
    int index = 0;
    {
      std::unique_lock<std::mutex> lock(w.mutex);
      // No file is handed out while the abort question is open, and a file that shares
      // a path with earlier ones waits for them.
      w.workerWake.wait(lock, [&] {
        const WorkerGate gate = w.gate.load();
        return gate == WorkerGate::kStopped || w.next >= total ||
               (gate == WorkerGate::kOpen && !abort_.load() && w.WaitsOver(w.next));
      });
      if (w.gate.load() == WorkerGate::kStopped || w.next >= total) {
        break;
      }
      index = w.next++;
    }
    w.runWake.notify_one();
    auto job = std::make_unique<FileJob>();
    job->buffered = true;
    job->progress = w.sink != nullptr ? &sink : nullptr;
    ConvertOne(*job, lines_[static_cast<std::size_t>(index)], index + 1, ownPalette.data(), paletteCount);
    {
      const std::lock_guard<std::mutex> lock(w.mutex);
      w.ended[static_cast<std::size_t>(index)] = std::move(job);
      w.done[static_cast<std::size_t>(index)] = 1;
    }
    w.workerWake.notify_all();
    w.runWake.notify_one();
  }
  {
    const std::lock_guard<std::mutex> lock(w.mutex);
    --w.running;
  }
  w.runWake.notify_one();
}

void BatchRun::CoordinateWorkers() {
  Workers& w = *workers_;
  const int total = static_cast<int>(lines_.size());
  std::unique_lock<std::mutex> lock(w.mutex);
  for (;;) {
    if (w.reported < w.next) {
      const int number = ++w.reported;
      lock.unlock();
      ReportFileStart(number);
      TitleProgress(number, total);
      lock.lock();
      continue;
    }
    if (w.written < total && w.ended[static_cast<std::size_t>(w.written)]) {
      const std::unique_ptr<FileJob> job = std::move(w.ended[static_cast<std::size_t>(w.written)]);
      ++w.written;
      lock.unlock();
      for (const std::string& line : job->result.lines) {
        Log(line);
      }
      FileEnded(*job);
      lock.lock();
      continue;
    }
    if (w.gate.load() == WorkerGate::kOpen && abort_.load()) {
      w.gate.store(WorkerGate::kAsking);
      lock.unlock();
      const bool stop = ConfirmAbort();
      lock.lock();
      w.gate.store(stop ? WorkerGate::kStopped : WorkerGate::kOpen);
      w.workerWake.notify_all();
      continue;
    }
    if (w.running == 0 && w.written == w.next) {
      break;
    }
    w.runWake.wait_for(lock, kAbortPoll);
  }
}

void BatchRun::ConvertAtOnce(int workers, const RgbQuad* palette, int paletteCount, std::uint64_t ceiling) {
  const std::size_t total = lines_.size();
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  inputs.reserve(total);
  outputs.reserve(total);
  for (const std::string& line : lines_) {
    inputs.push_back(InputPath(line));
    outputs.push_back(OutputPath(line));
  }
  workers_ = std::make_unique<Workers>();
  Workers& w = *workers_;
  w.waits = SharedPathOrder(inputs, outputs);
  w.ended.resize(total);
  w.done.assign(total, 0);
  w.sink = observer_.progress();
  w.running = workers;
  // The run's ceiling, shared out: each worker's images are charged to its own budget.
  const std::uint64_t share = std::max<std::uint64_t>(1, ceiling / static_cast<std::uint64_t>(workers));

  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  for (int i = 0; i < workers; ++i) {
    try {
      threads.emplace_back([this, palette, paletteCount, share] { WorkerLoop(palette, paletteCount, share); });
    } catch (const std::system_error&) {
      const std::lock_guard<std::mutex> lock(w.mutex);
      w.running -= workers - i;  // the system gave no more threads: fewer workers
      break;
    }
  }
  if (threads.empty()) {
    workers_.reset();
    ConvertInTurn(palette, paletteCount);
    return;
  }
  CoordinateWorkers();
  for (std::thread& t : threads) {
    t.join();
  }
  workers_.reset();
  if (aborted_) {
    Log(LoadString(kTextUserAbort));
  }
}

}  // namespace km
