#pragma once

namespace km {

// Where a long operation reports its progress and learns that the user wants it to
// stop. The GUI sets the cancel flag from Escape or "&Abort", the console runner from
// Ctrl+C.
class ProgressSink {
public:
  virtual ~ProgressSink() = default;
  virtual void report(int percent) = 0;
  virtual bool cancelled() = 0;
};

// Possibly null: then nothing is reported and cancel is never tested.
using ProgressWindow = ProgressSink*;

// Reports `done * 100 / total` and then tests for cancel, the step every operation
// makes before each row (or colour-table entry). True means: free the work, return 100.
inline bool ProgressStep(ProgressWindow progress, long long done, long long total) {
  if (progress == nullptr) {
    return false;
  }
  progress->report(total > 0 ? static_cast<int>(done * 100 / total) : 0);
  return progress->cancelled();
}

}  // namespace km
