#include "script/AddCommand.h"

#include <memory>

#include "StringTable.h"

namespace km {

AddCommandResult AddCommand(CScript* script, int code, int selection,
                            const EditParametersFn& editParameters, MessageService& messages) {
  AddCommandResult result;
  if (!script) {
    return result;
  }
  if (code == kSetOutputOptions) {
    if (const CScriptCommand* existing = script->FindCode(kSetOutputOptions)) {
      messages.message(LoadString(kOnlyOneOccurrence), MessageIcon::None);
      result.select = script->IndexOf(existing);
      return result;
    }
  }
  CScriptCommand* inserted = script->InsertAfter(std::make_unique<CScriptCommand>(code), selection);
  const int index = script->IndexOf(inserted);
  if (editParameters && !editParameters(*script, index)) {
    script->RemoveAt(index);
    result.select = selection;
    return result;
  }
  result.added = true;
  result.select = index;
  return result;
}

}  // namespace km
