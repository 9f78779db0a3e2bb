#pragma once

// The parameter description the editor shows for the selected command: the stored
// parameter block formatted with the string table's formats, one parameter per line.
// Values are shown as stored (the unset marker included); a choice outside its range
// shows an empty line rather than a neighbouring string.

#include <string>

#include "script/Script.h"

namespace km {

// "Color: R:%ld G:%ld B:%ld" with the red, green and blue bytes of Color1.
std::string ColorText(const CScriptCommand& command);

// The description of one command.
std::string DescribeCommand(const CScriptCommand& command);

// Sets *text to the description of command `index`; leaves it as it was and answers
// false when the index is out of range.
bool DescribeCommand(const CScript& script, int index, std::string* text);

// The 501 size line ("640 x 480", "320 x (Maintain Aspect)", "(Maintain Aspect) x 200").
std::string ResizeSizeText(const CScriptCommand& command);

// The name of output type `type` (0-based, as Int1 of command 544) cut before its first
// "|", and the name of its sub-type: string 1800 "None" for a type without sub-types,
// empty for a sub-type outside the type's list.
std::string OutputTypeName(int type);
std::string OutputSubTypeName(int type, int subType);

}  // namespace km
