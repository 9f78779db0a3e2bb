#pragma once

// How many files a batch run converts at once.

#include <string>

namespace km {

// The most workers a run starts, whatever it is asked for.
inline constexpr int kMaxJobs = 256;

// The processors this process may run on (its affinity mask, else the machine's
// count), at least 1.
int UsableCores();

// A job count as typed after "-j" or "--jobs": a whole number 0..kMaxJobs, 0 meaning
// one job per usable core. False for anything else (empty, sign, other characters,
// too large).
bool ParseJobCount(const std::string& text, int* jobs);

// The workers a run starts for a stored or parsed count: 0 (or less) is one per usable
// core; the result is within 1..kMaxJobs.
int EffectiveJobs(int jobs);

}  // namespace km
