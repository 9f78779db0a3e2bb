#pragma once

// The console runner's "-j N" / "--jobs N" / "--jobs=N" (also "-jN"): how many files
// it converts at once.

#include <string>
#include <vector>

namespace km {

// Takes every jobs option out of the arguments; the last one given wins. *jobs is left
// alone when there is none (0 there means one per usable core). False for a missing or
// refused count (batch/JobCount.h: 0..256).
bool TakeJobsOption(std::vector<std::string>* arguments, int* jobs);

}  // namespace km
