#include "console/JobsOption.h"

#include <cstddef>

#include "batch/JobCount.h"

namespace km {

bool TakeJobsOption(std::vector<std::string>* arguments, int* jobs) {
  static const std::string kShort = "-j";
  static const std::string kLong = "--jobs";
  auto& a = *arguments;
  for (std::size_t i = 0; i < a.size();) {
    std::string value;
    std::size_t taken = 1;
    if (a[i] == kShort || a[i] == kLong) {
      if (i + 1 >= a.size()) {
        return false;
      }
      value = a[i + 1];
      taken = 2;
    } else if (a[i].compare(0, kLong.size() + 1, kLong + "=") == 0) {
      value = a[i].substr(kLong.size() + 1);
    } else if (a[i].size() > kShort.size() && a[i].compare(0, kShort.size(), kShort) == 0 &&
               a[i][kShort.size()] >= '0' && a[i][kShort.size()] <= '9') {
      value = a[i].substr(kShort.size());
    } else {
      ++i;
      continue;
    }
    if (!ParseJobCount(value, jobs)) {
      return false;
    }
    a.erase(a.begin() + static_cast<std::ptrdiff_t>(i), a.begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  return true;
}

}  // namespace km
