// The JSON form of scripts, both ways.
//
// FuzzScriptJson: a script file that loads (texts kept whole) converts to JSON and back
// to exactly its own bytes; only a code outside the catalogue may be refused.
// FuzzJson: any text is read or refused with a message and no command; a text that is
// read converts to JSON and back to the same script bytes.

#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "script/ScriptFile.h"
#include "script/ScriptJson.h"

namespace km::fuzz {
namespace {

std::vector<std::uint8_t> Encoded(const CScript& script, const ScriptFileExtras& extras) {
  std::vector<std::uint8_t> bytes;
  if (!EncodeScript(script, &bytes, &extras)) std::abort();  // a text that is read fits the file
  return bytes;
}

// The script of `json`, which must be read.
std::vector<std::uint8_t> Reread(const std::string& json) {
  CScript script;
  ScriptFileExtras extras;
  std::string message;
  if (!JsonToScript(json, &script, &extras, &message)) std::abort();
  return Encoded(script, extras);
}

}  // namespace

int FuzzScriptJson(const std::uint8_t* data, std::size_t size) {
  CScript script;
  ScriptFileExtras extras;
  if (DecodeScript(data, size, &script, &extras) != 0) return 0;
  std::string json;
  std::string message;
  if (!ScriptToJson(script, &extras, &json, &message)) {
    for (int i = 0; i < script.GetCount(); ++i) {
      if (!IsCommandCode(script.GetAt(i)->Code)) return 0;
    }
    std::abort();
  }
  if (Reread(json) != std::vector<std::uint8_t>(data, data + size)) std::abort();
  return 0;
}

int FuzzJson(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CScript script;
  ScriptFileExtras extras;
  std::string message;
  if (!JsonToScript(text, &script, &extras, &message)) {
    if (message.empty() || script.GetCount() != 0) std::abort();
    return 0;
  }
  const std::vector<std::uint8_t> bytes = Encoded(script, extras);
  std::string json;
  if (!ScriptToJson(script, &extras, &json, &message)) std::abort();
  if (Reread(json) != bytes) std::abort();
  return 0;
}

}  // namespace km::fuzz
