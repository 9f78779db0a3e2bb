#pragma once

// Script commands on the system clipboard: the byte block of script/ClipboardBlock.h in
// QMimeData under a MIME type made from the format name "ZVK Script Command", so two
// running editors can pass commands to each other.

#include <QString>

#include "common/MessageService.h"
#include "script/Script.h"

namespace km::gui {

// "application/x-zvk-script-command".
QString CommandMimeType();

// Puts the command on the clipboard. Where the clipboard cannot be used, shows string
// 2089 (no clipboard), 2088 (cannot be emptied) or 2090 (contents not taken) and answers
// false.
bool CopyCommand(const CScriptCommand& command, MessageService& messages);

// Reads the command on the clipboard into the freshly made *command. False without a
// message when there is no command block on the clipboard, or the block is shorter than
// its numbers or has an unterminated text; 2091 when the block cannot be read. The
// block stays on the clipboard.
bool PasteCommand(CScriptCommand* command, MessageService& messages);

}  // namespace km::gui
