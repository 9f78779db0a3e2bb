#pragma once

// Progress sinks for the geometry tests.

#include <vector>

#include "imaging/Progress.h"

namespace km::test {

// Records every percentage; answers "cancel" once `cancelAfter` reports were made
// (never when it is negative).
class RecordingSink : public ProgressSink {
public:
  explicit RecordingSink(int cancelAfter = -1) : cancelAfter_(cancelAfter) {}
  void report(int percent) override { reports.push_back(percent); }
  bool cancelled() override { return cancelAfter_ >= 0 && static_cast<int>(reports.size()) >= cancelAfter_; }
  std::vector<int> reports;

private:
  int cancelAfter_;
};

}  // namespace km::test
