#pragma once

// The state a batch run's workers share with the run's thread (BatchWorkers.cpp).

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "batch/BatchRun.h"

namespace km {

// Whether workers may go on: open, waiting for the answer to the abort question, or
// stopped by a Yes.
enum class WorkerGate { kOpen, kAsking, kStopped };

struct BatchRun::Workers {
  std::mutex mutex;
  std::condition_variable runWake;     // the run's thread: a start, a block, a worker ended
  std::condition_variable workerWake;  // workers: the abort answer, a file ended
  std::atomic<WorkerGate> gate{WorkerGate::kOpen};
  int next = 0;      // the next file to hand out (0-based)
  int reported = 0;  // files whose start the observer has heard of
  int written = 0;   // files whose block is in the log
  int running = 0;   // workers not yet ended
  std::vector<std::unique_ptr<FileJob>> ended;  // by list index, until written
  std::vector<char> done;                       // by list index: the file has ended
  std::vector<std::vector<int>> waits;          // SharedPathOrder
  ProgressWindow sink = nullptr;                // the observer's, read once

  std::mutex temporariesMutex;
  std::vector<std::string> temporaries;  // the files of every write in progress

  bool WaitsOver(int index) const {
    const auto& wait = waits[static_cast<std::size_t>(index)];
    return std::all_of(wait.begin(), wait.end(), [this](int j) { return done[static_cast<std::size_t>(j)] != 0; });
  }
};

}  // namespace km
