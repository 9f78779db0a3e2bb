#pragma once

// kilnmark-batch's options that show a script as text or make one from text, for
// machines without a display and for version control:
//   --describe SCRIPT         each command, numbered, with its parameter description
//                             (the editor's text), indented below it
//   --to-json SCRIPT          the script's JSON form (script/ScriptJson.h) on standard output
//   --from-json JSON OUT      the script of a JSON file ("-" reads standard input) saved
//                             as the script file OUT
// Each takes the whole command line.

#include <iosfwd>
#include <string>
#include <vector>

namespace km {

// False when no argument is one of the options above; otherwise runs it and sets
// *status to 0, or to 2 after writing the refusal to `err`.
bool RunScriptTextOption(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                         int* status);

}  // namespace km
