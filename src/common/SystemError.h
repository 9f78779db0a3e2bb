#pragma once

// The system's description of a file error, for messages such as "The script could not
// be loaded because %s".

#include <string>

namespace km {

// The description of errno value `err` as the system gives it, its first letter in
// lower case so it reads on after "because" ("no such file or directory"). An unknown
// or zero value still gives a text.
std::string SystemErrorText(int err);

// Opens `path` for reading and closes it again. True when that works; otherwise false
// with the system's description of the failure in *reason.
bool CanOpenForReading(const std::string& path, std::string* reason);

}  // namespace km
