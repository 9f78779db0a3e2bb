#pragma once

// The host program's work (kilnmark-filter-host FLTRUN16.INI): reads "Open", "Filter",
// "FilterOptions" and "Options" from the section "FLTRUN16" of the given file, runs the
// filter on the file, writes the picture as a placeable metafile beside the INI file,
// sets "MetaFile" to its path and "RetVal" to the result (0 on success), and then
// writes one byte to the descriptor named by "Hwnd" to report that it is done.

#include <string>

namespace km::filters {

// The process's exit status: 0 once the result is written, 2 when the INI file cannot
// be read or written.
int RunFilterHost(const std::string& iniPath);

}  // namespace km::filters
