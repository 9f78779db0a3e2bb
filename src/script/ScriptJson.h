#pragma once

// The JSON form of a script: readable, diffable text that converts to and from the
// script file byte for byte.
//
//   {
//     "commands": [
//       { "code": 502, "command": "Adjust Brightness/Contrast", "brightness": 10, "contrast": 15 },
//       { "code": 544, "command": "Set Output Options", "type": 9, "folder": "out", ... }
//     ]
//   }
//
// One object per command: "code" and the display name "command" (either one identifies
// the command; given both, they must agree), then the fields the command uses, each under
// its catalogue name (FieldDef::name). Integers are JSON integers, reals JSON numbers,
// texts JSON strings, colours "#RRGGBB". A field holding the unset marker, or an empty
// text, is left out; a colour is always written.
//
// Whatever the readable members cannot carry goes under "raw", keyed by the stored field
// names Int1..Int5, Real1, Real2, Text1, Text2, Color1, Color2: fields the command does
// not use that differ from a new command's, and values outside what the field accepts
// (integers as JSON integers, reals as their bit pattern "0xXXXXXXXX", texts as pairs of
// hexadecimal digits, colours as the stored 32-bit integer). At the top, "count" keeps a
// negative stored count of a file without commands, "trailing" the bytes (hexadecimal)
// after the last record.
//
// Reading refuses malformed JSON (duplicate members included), unknown codes, names and
// members, values of the wrong type and values outside the field's range, with a message
// that names the command (by number, from 1, and display name) and the member.

#include <string>
#include <string_view>

#include "script/Script.h"
#include "script/ScriptFile.h"

namespace km {

// The JSON text of `script` (with `extras`, what its file holds beyond the commands).
// False, with the message in *message, for a command whose code is not in the catalogue.
bool ScriptToJson(const CScript& script, const ScriptFileExtras* extras, std::string* json, std::string* message);

// Reads a JSON text and appends its commands to *script (and the file's extras to
// *extras, when given). False, with nothing appended and the message in *message, on
// any refusal.
bool JsonToScript(std::string_view json, CScript* script, ScriptFileExtras* extras, std::string* message);

}  // namespace km
