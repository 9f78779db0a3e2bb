#pragma once

// Resuming a run: a file whose output is already there, and newer than the input, is
// left alone. Outputs are only ever renamed into place complete (batch/OutputFile.h),
// so an output that exists is whole, whatever happened to the run that wrote it.

#include <string>

namespace km {

// True when `output` is a regular file (or a link to one) whose modification time is
// later than that of `input`. False when either is missing or cannot be examined, so
// a doubtful file is converted again.
bool OutputIsCurrent(const std::string& input, const std::string& output);

}  // namespace km
