#pragma once

// Registers ".rsq" script files with the desktop, freedesktop style, under the user's
// data folder ($XDG_DATA_HOME, default ~/.local/share):
//
//   mime/packages/kilnmark-script.xml   the MIME type for *.rsq, described by string 5021
//   applications/kilnmark.desktop       Exec = the running program's full path and %f
//   applications/mimeapps.list          the default-application line for the type
//
// then runs update-mime-database and update-desktop-database when they are installed.
// It runs at every GUI start and overwrites what is there; nothing is ever removed, and
// failures are ignored except that a failed first write skips the rest.

#include <string>

namespace km {

inline constexpr char kScriptMimeType[] = "application/x-kilnmark-script";
inline constexpr char kDesktopFileName[] = "kilnmark.desktop";

// The data folder the registration goes to: $XDG_DATA_HOME when it is set to an
// absolute path, else $HOME/.local/share.
std::string UserDataHome();

// The full path of the running program (/proc/self/exe).
std::string RunningProgramPath();

// The Exec line value for `program`: the path quoted as a desktop entry requires,
// followed by " %f".
std::string DesktopExecLine(const std::string& program);

// Writes the three files into `dataHome` for `program`. False when the first one could
// not be written (the other two are then not written). With runUpdateTools, the
// desktop databases are refreshed afterwards (their failures are ignored).
bool RegisterScriptFileType(const std::string& program, const std::string& dataHome,
                            bool runUpdateTools);

// The start-up form: the running program, the user's data folder, tools run.
bool RegisterScriptFileType();

}  // namespace km
