#include "support/ScriptTestUtil.h"

#include <memory>

#include "script/CommandCodes.h"
#include "script/Script.h"
#include "script/ScriptFile.h"

namespace km::test {

bool WriteFlipToBmpScript(const std::string& scriptPath, const std::string& outputFolder, std::string* message) {
  CScript script;
  script.Append(std::make_unique<CScriptCommand>(kFlipImage));
  auto out = std::make_unique<CScriptCommand>(kSetOutputOptions);
  out->Int1 = 0;  // BMP
  out->Int2 = 1;
  out->Int3 = 300;
  out->Int4 = 15;
  out->Int5 = 0;
  out->Text1 = outputFolder;
  script.Append(std::move(out));
  return WriteScriptFile(scriptPath, script, message) == 0;
}

}  // namespace km::test
