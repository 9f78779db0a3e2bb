#pragma once

#include <string>

namespace km {

// The path of a data file that ships with the program (for example "PALX.DAT"): the
// file next to the running executable when it exists there, else the one in
// ../share/kilnmark/ beside the executable's folder when that exists, else the path
// next to the executable (which then fails to open). No length limit.
std::string ProgramFilePath(const std::string& name);

}  // namespace km
