#pragma once

// Adding a catalogue command to a script, with the model's rules: only one "Set Output
// Options" (544) per script, the new command goes directly after the selection, and a
// cancelled parameter dialog takes it out again.

#include <functional>

#include "common/MessageService.h"
#include "script/Script.h"

namespace km {

inline constexpr int kOnlyOneOccurrence = 2022;  // string id of the refusal

// Edits the parameters of command `index` of the script; false when the user cancelled.
// Commands without a parameter dialog answer true.
using EditParametersFn = std::function<bool(CScript& script, int index)>;

struct AddCommandResult {
  bool added = false;  // the script holds the new command
  int select = -1;     // the line to select afterwards (-1: none)
};

// Adds command `code` after line `selection` (-1 when nothing is selected):
// - 544 when the script already has one: shows string 2022, adds nothing and selects
//   the existing command;
// - otherwise inserts it at selection + 1 and calls editParameters for it; when that
//   answers false the command is removed again and the script is as it was.
AddCommandResult AddCommand(CScript* script, int code, int selection,
                            const EditParametersFn& editParameters, MessageService& messages);

}  // namespace km
