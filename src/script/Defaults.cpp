#include "script/Defaults.h"

#include "script/CommandCatalogue.h"

namespace km {

CScriptCommand WithDialogDefaults(const CScriptCommand& command) {
  CScriptCommand c = command;
  const CommandInfo* info = FindCommand(c.Code);
  if (!info) return c;
  for (const FieldDef& f : info->fields) {
    if (auto member = IntMember(f.field)) {
      c.*member = ParamOrDefault(c.*member, f.def);
    } else if (auto real = RealMember(f.field)) {
      c.*real = RealOrDefault(c.*real, f.realDefault());
    }
  }
  return c;
}

}  // namespace km
