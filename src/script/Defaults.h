#pragma once

// The defaults a parameter dialog shows for fields that hold the unset marker. Only the
// fields a command's dialog covers have defaults (the field definitions of its catalogue row);
// every other field keeps what it holds. The dispatcher never applies them: a command executed unedited runs with its stored
// values, the marker included.

#include "script/Script.h"

namespace km {

// `command` with each covered field that holds the marker replaced by its default
// (ParamOrDefault / RealOrDefault), as the command's dialog shows it on opening.
CScriptCommand WithDialogDefaults(const CScriptCommand& command);

}  // namespace km
