#pragma once

// The command line shared by the GUI and the console runner:
//
//   script [file specification | -@ list file] [-l log file] [-e] [-i] [-n] [-r]
//
// An argument that starts with "-" is a switch (the "-" dropped). One that starts with
// "/" is a switch only when it is exactly two characters long ("/r", "/@", "/l"), since
// every absolute path starts with "/". Switches are accepted only after the script.

#include <string>
#include <vector>

#include "common/MessageService.h"

namespace km {

inline constexpr int kInvalidCommandLine = 2085;  // string id of the refusal

struct CommandLineRecord {
  int errorMessages = 0;  // "e": stop at each failure and show its message
  int minimise = 0;       // "i"
  int keepOpen = 0;       // "n"
  int shellCommand = 1;   // 1 while no file specification or list file has been given
  std::string scriptPath;
  std::string filePattern;
  std::string listFile;   // after "@"
  std::string logFile;    // after "l"
  int mode = 0;           // 0 no script, 1 script, 2 script and "r"
  int parseState = 0;     // 0 expecting the script, 1 normal, 2 list file, 3 log file

  // One argument, as the start-up loop hands it over (the switch character already
  // dropped). False when the argument is not acceptable at this point.
  bool ParseArgument(const std::string& text, bool isSwitch, bool isLast);
};

// Splits the leading "-" or "/" off a switch: true and *text = the switch for "-x..."
// and for a two-character "/x"; false and *text = the argument for a plain parameter.
bool SplitSwitch(const std::string& argument, std::string* text);

// Feeds every argument (without the program name) to ParseArgument in order. False at
// the first refusal.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLineRecord* record);

// What start-up hands to the editor (or the console runner) before it runs.
struct StartSettings {
  int startMode = 0;                // the command-line mode
  int runWithoutInterrupting = 1;   // 0 when "e" was given
  int minimise = 0;
  int closeAtEnd = 1;               // 0 when "n" was given
  std::string scriptPath;           // extended with ".rsq" and made absolute
  std::string filePattern;          // "*.*" when no input was named
  std::string listFile;
  std::string logFile;
};

// The script path as start-up opens it: ".rsq" appended when the file-name part (after
// the last "/") has no ".".
std::string WithScriptExtension(const std::string& path);

// The start-up steps that need no window, in order: parse the arguments; when a script
// is named, take over the flags, extend the script path, check that the file opens (then
// close it again) and make the path absolute. Answers 0 with *settings filled, or the
// string id of the refusal (2085 for the arguments, 2067 when the script cannot be
// opened) with the whole message text in *message; *record receives the parsed line.
int PrepareStart(const std::vector<std::string>& arguments, CommandLineRecord* record,
                 StartSettings* settings, std::string* message);

// The same, showing a refusal through `messages` (2085 plain, 2067 with a stop icon).
// False means start-up ends without showing the editor.
bool PrepareStart(const std::vector<std::string>& arguments, MessageService& messages,
                  StartSettings* settings, CommandLineRecord* record = nullptr);

// The display depth kept by the application: bits per pixel times planes, anything
// above 8 counted as 24.
int DisplayDepth(int bitsPerPixelTimesPlanes);

}  // namespace km
