// Script files through the editor's Open. A script that loads must survive a save and a
// load unchanged: its encoding, read back, encodes to the same bytes. A refused file
// leaves the script as it was.

#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "MemoryFile.h"
#include "common/MessageService.h"
#include "script/ScriptFile.h"

namespace km::fuzz {

int FuzzScript(const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteMemoryFile(0, data, size);
  SilentMessageService messages;
  CScript script;
  script.Append(std::make_unique<CScriptCommand>(501));  // a refusal must leave it alone
  if (!LoadScript(path, &script, messages)) {
    if (script.GetCount() != 1 || script.GetAt(0)->Code != 501) {
      std::abort();
    }
    return 0;
  }
  script.RemoveAt(0);
  std::vector<std::uint8_t> first;
  if (!EncodeScript(script, &first)) {
    std::abort();  // every text that loads is short enough to save
  }
  CScript again;
  if (DecodeScript(first.data(), first.size(), &again) != 0 || again.GetCount() != script.GetCount()) {
    std::abort();
  }
  std::vector<std::uint8_t> second;
  if (!EncodeScript(again, &second) || second != first) {
    std::abort();
  }
  return 0;
}

}  // namespace km::fuzz
