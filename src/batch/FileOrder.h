#pragma once

// The order several workers must keep between files of one list. Files that touch the
// same path keep their list order: a file that reads what an earlier file writes,
// writes what an earlier file reads, or writes the same output waits until that
// earlier file has ended, so every output and log line is what a one-at-a-time run
// gives. Paths are compared made absolute and lexically normal; two names for one
// file through links are not recognised.

#include <string>
#include <vector>

namespace km {

// For file i of the list (inputs[i] read, outputs[i] written): the earlier files it
// waits for, ascending. Empty for every file of a list whose paths are all distinct.
std::vector<std::vector<int>> SharedPathOrder(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& outputs);

}  // namespace km
