#include "batch/BatchThread.h"

namespace km {

BatchThread::~BatchThread() { Join(); }

bool BatchThread::Start(BatchRun& run) {
  if (thread_.joinable()) {
    return false;
  }
  finished_.store(false);
  result_ = -1;
  thread_ = std::thread([this, &run] {
    result_ = run.RunBatch();
    finished_.store(true);
  });
  return true;
}

int BatchThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
  return result_;
}

}  // namespace km
