#pragma once

// A batch run on a worker thread, for a window that stays live beside it.
//
//   BatchRun run(script, settings, runProfile, observer, postedMessages, types);
//   BatchThread worker;
//   worker.Start(run);           // UI thread; RunBatch now runs on the worker
//   ... "&Abort" -> run.RequestAbort(); observer calls arrive on the worker and are
//   ... forwarded to the UI thread; questions wait for PostedMessageService::answer ...
//   worker.Join();               // UI thread, after runFinished (or when closing:
//                                // run.StopWithoutAsking(); messages.close(); Join())
//
// Join must not be called while the run waits for an answer only the joining thread
// can give; close the message service first.

#include <atomic>
#include <thread>

#include "batch/BatchRun.h"

namespace km {

class BatchThread {
public:
  BatchThread() = default;
  // Joins a run still going (see above).
  ~BatchThread();
  BatchThread(const BatchThread&) = delete;
  BatchThread& operator=(const BatchThread&) = delete;

  // Starts run.RunBatch() on a new std::thread. False, and nothing started, while an
  // earlier run has not been joined: a second start while running is ignored.
  bool Start(BatchRun& run);

  // True from Start until Join.
  bool started() const { return thread_.joinable(); }
  // True once RunBatch has returned; any thread.
  bool finished() const { return finished_.load(); }

  // Waits for RunBatch to return and answers its result (1, or 0 when the list file
  // could not be read); -1 when nothing was started. Joining again answers the same.
  int Join();

private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
  int result_ = -1;
};

}  // namespace km
