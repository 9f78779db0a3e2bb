#pragma once

// The run's log as a file: text lines ending in CR LF.

#include <cstddef>
#include <string>
#include <vector>

namespace km {

// Writes every log line followed by CR LF, replacing the file. False with the system's
// description of the failure in *reason.
bool SaveLogFile(const std::string& path, const std::vector<std::string>& lines, std::string* reason);

// Appends lines[from...] followed by CR LF each to the file. False when the file cannot
// be opened or written.
bool AppendLogFile(const std::string& path, const std::vector<std::string>& lines, std::size_t from);

// Where CURRENT.LOG lives: $XDG_STATE_HOME/kilnmark/CURRENT.LOG, by default under
// ~/.local/state. The folder is created when missing.
std::string CurrentLogPath();

}  // namespace km
