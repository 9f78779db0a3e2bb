#pragma once

// The start of a batch run from the command line, shared by the GUI and the console
// runner: the script's "Set Output Options" command becomes the run's settings and the
// stored output options, and the input list is made from the pattern or named list.
// Qt-free.

#include <string>

#include "batch/BatchRun.h"
#include "common/MessageService.h"
#include "common/Profile.h"
#include "fileio/WriteImage.h"
#include "script/Script.h"

namespace km {

// What a command-line run was given.
struct CommandLineInput {
  std::string scriptPath;
  std::string filePattern;  // pattern or single file; empty when a list file is given
  std::string listFile;
  std::string logFile;
  bool showErrors = false;
  bool minimise = false;
  bool keepOpen = false;
};

// The output options a "Set Output Options" command holds: format Int1 + 1 (stored
// 0-based), sub-type Int2, DPI Int3, compression Int4, transparency type the high and
// transparent index the low byte of Int5's low word, transparent colour Color1.
OutputOptions OutputOptionsFromCommand(const CScriptCommand& command);

// Refuses a script without "Set Output Options" (2086), copies that command's fields
// into the run settings and the stored output options, and makes the input list from
// the pattern or takes the named list file. 0 and *settings ready to run, or the
// negative string id of the message already shown (-2086, -5000 for neither pattern
// nor list, -2019 for a list that cannot be made).
int PrepareCommandLineRun(const CScript& script, const CommandLineInput& input, Profile& profile,
                          MessageService& messages, BatchSettings* settings);

}  // namespace km
