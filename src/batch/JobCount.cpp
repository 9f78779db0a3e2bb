#include "batch/JobCount.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace km {

int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) {
      return count;
    }
  }
  const unsigned machine = std::thread::hardware_concurrency();
  return machine > 0 ? static_cast<int>(std::min<unsigned>(machine, kMaxJobs)) : 1;
}

bool ParseJobCount(const std::string& text, int* jobs) {
  if (text.empty() || text.size() > 3) {
    return false;
  }
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  if (value > kMaxJobs) {
    return false;
  }
  *jobs = value;
  return true;
}

int EffectiveJobs(int jobs) {
  return std::clamp(jobs <= 0 ? UsableCores() : jobs, 1, kMaxJobs);
}

}  // namespace km
