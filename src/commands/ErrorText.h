#pragma once

// Result codes become messages here.
//
// A result code is 0 for success; a negative code is the program's own and its
// absolute value is the string id of its message (-5000 ... -5020); 101 (invalid
// argument) reads as -5000; any other positive code is an image operation's or the
// format library's and takes the library's text. A code without a text gives string
// 5018 "An unknown error (%i) has occurred" with the number (the positive id for a
// negative code).

#include <string>

#include "common/MessageService.h"

namespace km {

// The message for `code`; empty for 0.
std::string ErrorText(int code);

// The same, and when showBox is true (and the code is not 0) also shown in a plain
// message box with an OK button.
std::string ErrorText(int code, bool showBox, MessageService& messages);

// Shows the format library's own message for `code` (its text, or the unknown-error
// text when it has none) with a stop icon. Callers ignore the answer, which is 0.
int ShowLibraryError(int code, MessageService& messages);

// "Script Line %i Error: " (string 2026) with the 1-based line, followed by
// ErrorText(code): how the editor and the batch run report a failed command.
std::string ScriptLineErrorText(int line, int code);

}  // namespace km
