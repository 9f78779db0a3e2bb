#pragma once

// The script model: one command with its parameter block (CScriptCommand) and the
// ordered list of commands that makes a script (CScript).
//
// A new command holds the unset marker in every parameter: -650000 in Int1..Int5 and
// the float -650000.0 (bit pattern 0xC91EB100) in Real1 and Real2. A parameter dialog
// replaces a marker with the command's default when it opens (ParamOrDefault,
// RealOrDefault); the dispatcher uses the stored values as they are.

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/CommandCodes.h"

namespace km {

inline constexpr std::int32_t kUnsetParam = -650000;
inline constexpr std::uint32_t kUnsetRealBits = 0xC91EB100u;
inline constexpr float kUnsetReal = std::bit_cast<float>(kUnsetRealBits);
static_assert(kUnsetReal == -650000.0f);


struct CScriptCommand {
  std::int32_t Code = -1;
  std::int32_t Int1 = kUnsetParam;
  std::int32_t Int2 = kUnsetParam;
  std::int32_t Int3 = kUnsetParam;
  std::int32_t Int4 = kUnsetParam;
  std::int32_t Int5 = kUnsetParam;
  float Real1 = kUnsetReal;
  float Real2 = kUnsetReal;
  std::string Text1;
  std::string Text2;
  std::uint32_t Color1 = 0;  // 0x00BBGGRR
  std::uint32_t Color2 = 0;

  CScriptCommand() = default;
  explicit CScriptCommand(std::int32_t code) : Code(code) {}
};

// `def` when `value` is exactly the unset marker, else `value`.
inline constexpr std::int32_t ParamOrDefault(std::int32_t value, std::int32_t def) {
  return value == kUnsetParam ? def : value;
}

// `def` when `value` has exactly the bit pattern of the unset marker, else `value`.
inline constexpr float RealOrDefault(float value, float def) {
  return std::bit_cast<std::uint32_t>(value) == kUnsetRealBits ? def : value;
}

// An ordered list of commands that owns them. Indices are 0-based; no operation fails
// on a bad index (see each one).
class CScript {
public:
  CScript() = default;
  CScript(const CScript&) = delete;
  CScript& operator=(const CScript&) = delete;
  CScript(CScript&&) = default;
  CScript& operator=(CScript&&) = default;

  int GetCount() const { return static_cast<int>(commands_.size()); }

  // The command at `index`, or null when index < 0 or index >= GetCount().
  CScriptCommand* GetAt(int index);
  const CScriptCommand* GetAt(int index) const;

  // Puts `command` at `index` and hands the command it replaces back to the caller (the
  // replaced object is not deleted). Out of range, or with a null command, nothing
  // changes and `command` itself comes back.
  std::unique_ptr<CScriptCommand> SetAt(int index, std::unique_ptr<CScriptCommand> command);

  // Exchanges two entries (what the editor's move up and down do with two SetAt calls).
  // False, and no change, when either index is out of range.
  bool Swap(int a, int b);

  // Takes `command` and inserts it at index + 1: first for a negative index, last for an
  // index at or beyond the last command. Answers the inserted command (null when
  // `command` is null, which inserts nothing).
  CScriptCommand* InsertAfter(std::unique_ptr<CScriptCommand> command, int index);

  // Appends at the end (the script file reader's step).
  CScriptCommand* Append(std::unique_ptr<CScriptCommand> command);

  // Deletes the command at `index`; nothing happens when it is out of range.
  void RemoveAt(int index);

  // Deletes every command.
  void RemoveAll() { commands_.clear(); }

  // The first command whose Code equals `code`, or null.
  CScriptCommand* FindCode(int code);
  const CScriptCommand* FindCode(int code) const;

  // Position of that very object, or -1 when it is not in the script.
  int IndexOf(const CScriptCommand* command) const;

private:
  std::vector<std::unique_ptr<CScriptCommand>> commands_;
};

// ---- The catalogue of the 56 commands -------------------------------------------------

// True for 501..556.
inline constexpr bool IsCommandCode(int code) {
  return code >= kFirstCommandCode && code <= kLastCommandCode;
}

// The display name (string `code`); empty for a code outside the catalogue.
std::string CommandName(int code);

// Whether editing the command opens a parameter dialog (false for commands without
// parameters, and for codes outside the catalogue).
bool HasParameterDialog(int code);

// The 56 codes in the order the catalogue list shows them: by display name, compared
// without regard to case (ties, which the table does not have, by code).
const std::vector<int>& CatalogueDisplayOrder();

}  // namespace km
