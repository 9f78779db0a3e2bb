#pragma once

// kilnmark-batch: runs a script over input files from the shell, with the program's
// command-line grammar, the log on standard output and an exit status:
//   0 every listed file was converted (or left alone by --skip-existing)
//   1 the run completed but some file failed or was skipped
//   2 a refused command line, an unreadable script or list, or a script without
//     "Set Output Options"
//   130 the user stopped the run (Ctrl+C)
// Besides the shared grammar it takes "--no-auto-orient" (photographs stay as stored)
// and "--strip-metadata" (outputs keep a photograph's ICC profile only), anywhere on the
// line, for this run only; "-j N" / "--jobs N" (files converted at once; one per
// usable core when not given); and the options of console/ClusterOptions.h for runs
// spread over machines.

#include <string>
#include <vector>

#include "common/Profile.h"

namespace km {

inline constexpr int kExitConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitRefused = 2;
inline constexpr int kExitAborted = 130;

// Runs the console program with its arguments (without the program name), reading and
// writing settings through `profile`. Output goes to standard output and error.
int RunConsole(const std::vector<std::string>& arguments, Profile& profile);

}  // namespace km
